// Least-squares FIR design: the closed form against the ideal low-pass, the general case against
// the least-squares optimality condition (the error orthogonal to every basis function, which
// fixes the solution), and every check message.
#include "dsp/firls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
#include "support/error_of.h"

namespace ziva {
namespace {

constexpr double kPi = std::numbers::pi;

Eigen::VectorXd vec(std::initializer_list<double> v) {
  Eigen::VectorXd out(static_cast<Eigen::Index>(v.size()));
  Eigen::Index i = 0;
  for (double x : v) out(i++) = x;
  return out;
}

// Real amplitude of a linear-phase filter at f cycles per sample: H·e^(j·w·c) for a symmetric
// filter, H·e^(j·w·c)/j for an antisymmetric one (c the centre, w = 2·pi·f), from the taps.
double amplitude(const Eigen::RowVectorXd& h, double f, bool antisymmetric) {
  const double c = (h.size() - 1) / 2.0;
  std::complex<double> s = 0;
  for (Eigen::Index n = 0; n < h.size(); ++n) {
    s += h(n) * std::polar(1.0, -2 * kPi * f * (n - c));
  }
  return antisymmetric ? s.imag() : s.real();
}

struct Design {
  Eigen::VectorXd f, a, w;  // edges in [0, 1], amplitudes, weights
  bool antisymmetric = false;
  bool inverse_square = false;  // differentiator weighting
};

// Basis functions of the amplitude for a filter of `length` taps.
std::vector<std::function<double(double)>> basis(long length, bool antisymmetric) {
  std::vector<std::function<double(double)>> out;
  const bool odd = length % 2 == 1;
  const long count = odd ? (length - 1) / 2 + 1 : length / 2;
  for (long k = 0; k < count; ++k) {
    const double nu = odd ? static_cast<double>(k) : k + 0.5;
    if (antisymmetric && odd && k == 0) continue;
    if (antisymmetric) {
      out.push_back([nu](double f) { return std::sin(2 * kPi * nu * f); });
    } else {
      out.push_back([nu](double f) { return std::cos(2 * kPi * nu * f); });
    }
  }
  return out;
}

// Nodes of a composite three-point Gauss rule over every band (an open rule: the 1/f^2 weight
// is never taken at f = 0), f in cycles per sample, each with its quadrature weight times the
// band weight and the desired amplitude there.
struct Node {
  double f, weight, desired;
};

std::vector<Node> band_nodes(const Design& d) {
  const double node = std::sqrt(0.6), w_mid = 8.0 / 9, w_side = 5.0 / 9;
  const int panels = 1000;
  std::vector<Node> out;
  for (Eigen::Index s = 0; s < d.w.size(); ++s) {
    const double f1 = d.f(2 * s) / 2, f2 = d.f(2 * s + 1) / 2;
    if (f2 <= f1) continue;
    const double a1 = d.a(2 * s), a2 = d.a(2 * s + 1);
    const bool inv = d.inverse_square && (a1 != 0 || a2 != 0);
    const double half = (f2 - f1) / panels / 2;
    auto add = [&](double f, double qw) {
      const double wt = inv ? d.w(s) / ((2 * f) * (2 * f)) : d.w(s);
      out.push_back({f, qw * half * wt, a1 + (a2 - a1) * (f - f1) / (f2 - f1)});
    };
    for (int i = 0; i < panels; ++i) {
      const double mid = f1 + (2 * i + 1) * half;
      add(mid - node * half, w_side);
      add(mid, w_mid);
      add(mid + node * half, w_side);
    }
  }
  return out;
}

Eigen::RowVectorXd design(const Design& d, double order) {
  if (!d.antisymmetric) return firls(order, d.f, d.a, d.w);
  return firls(order, d.f, d.a, d.w, d.inverse_square ? "differentiator" : "hilbert");
}

// The least-squares optimum makes the weighted error orthogonal to every basis function.
void expect_orthogonal_error(const Design& d, const Eigen::RowVectorXd& h) {
  const auto phi = basis(h.size(), d.antisymmetric);
  const std::vector<Node> nodes = band_nodes(d);
  std::vector<double> error(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    error[i] = amplitude(h, nodes[i].f, d.antisymmetric) - nodes[i].desired;
  }
  for (size_t k = 0; k < phi.size(); ++k) {
    double inner = 0, scale = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
      const double v = phi[k](nodes[i].f);
      inner += nodes[i].weight * error[i] * v;
      scale += nodes[i].weight * std::abs(v);
    }
    // Tolerance: the quadrature error for these smooth integrands, relative to the basis size.
    EXPECT_LT(std::abs(inner), 1e-9 * std::max(scale, 1e-3)) << "basis " << k << " of " << h.size();
  }
}

TEST(Firls, ClosedFormIsTheIdealLowPass) {
  for (double fc : {0.05, 0.5 / 1600 * 10, 0.2}) {
    const long m = 100;
    const Eigen::RowVectorXd h = firls(2.0 * m, vec({0, 2 * fc, 2 * fc, 1}), vec({1, 1, 0, 0}));
    ASSERT_EQ(h.size(), 2 * m + 1);
    for (long n = 0; n <= 2 * m; ++n) {
      const double t = 2 * fc * (n - m);
      const double ideal = t == 0 ? 2 * fc : 2 * fc * std::sin(kPi * t) / (kPi * t);
      EXPECT_NEAR(h(n), ideal, 1e-15) << n;
    }
  }
}

// Each design's taps are (anti)symmetric and its error orthogonal to the basis; some also meet
// their amplitude at a few frequencies.
TEST(Firls, GeneralCasesAreLeastSquaresOptimal) {
  struct Case {
    Design d;
    double order;
    std::vector<std::pair<double, double>> amplitudes;  // f in cycles per sample, amplitude
  };
  const Design hilbert{vec({0.1, 0.9}), vec({1, 1}), vec({1}), true};
  const Design diff{vec({0, 0.8, 0.9, 1}), vec({0, 0.8 * kPi, 0, 0}), vec({1, 1}), true, true};
  const Design full_diff{vec({0, 1}), vec({0, kPi}), vec({1}), true, true};
  const Case cases[] = {
      // sloped bands without gaps (the closed form with slopes), odd length
      {{vec({0, 0.3, 0.3, 0.7, 0.7, 1}), vec({1, 0.5, 0.5, 0.8, 0.2, 0}), vec({1, 1, 1})}, 40, {}},
      // weights and gaps, odd length
      {{vec({0, 0.3, 0.45, 1}), vec({1, 1, 0, 0}), vec({1, 20})}, 30, {}},
      // band not starting at 0, sloped, gap in the middle; even length (last amplitude zero)
      {{vec({0.1, 0.4, 0.6, 0.9}), vec({0.5, 1, 0.3, 0}), vec({2, 0.5})}, 25, {}},
      // Hilbert transformers, odd and even length: H = +j·A·e^(-j·w·c), A close to 1 in the band
      {hilbert, 30, {{0.25, 1.0}}},
      {hilbert, 31, {{0.25, 1.0}}},
      // differentiators (error weighted by 1/f^2), odd and even length, with a zero band
      {diff, 20, {}},
      {diff, 21, {}},
      // a full-band even-length differentiator turns a sine into its derivative
      {full_diff, 21, {{0.05, 2 * kPi * 0.05}, {0.3, 2 * kPi * 0.3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "order " << c.order);
    const Eigen::RowVectorXd h = design(c.d, c.order);
    ASSERT_EQ(h.size(), c.order + 1);
    const double sign = c.d.antisymmetric ? -1 : 1;
    for (Eigen::Index n = 0; n < h.size(); ++n) EXPECT_EQ(h(n), sign * h(h.size() - 1 - n));
    expect_orthogonal_error(c.d, h);
    // within 2 % (Hilbert) and 1 % (differentiator)
    for (const auto& [f, want] : c.amplitudes)
      EXPECT_NEAR(amplitude(h, f, true), want, (c.d.inverse_square ? 0.01 : 0.02) * want) << f;
  }
}

TEST(Firls, OddOrderSymmetricIsRaisedWithWarning) {
  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& t) { warnings.push_back(t); });
  const Eigen::RowVectorXd h = firls(31, vec({0, 0.4, 0.5, 1}), vec({1, 1, 0.1, 0.1}));
  EXPECT_EQ(h.size(), 33);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0],
            "Odd order symmetric FIR filters must have a gain of zero \rat the Nyquist frequency. "
            "The order is being increased by one.");
  // Zero Nyquist amplitude, or an antisymmetric type: no change.
  EXPECT_EQ(firls(31, vec({0, 0.4, 0.5, 1}), vec({1, 1, 0, 0})).size(), 32);
  EXPECT_EQ(firls(31, vec({0.1, 1}), vec({1, 1}), std::nullopt, "h").size(), 32);
  EXPECT_EQ(warnings.size(), 1u);
}

TEST(Firls, EveryCheckMessage) {
  const Eigen::VectorXd f = vec({0, 0.4, 0.5, 1}), a = vec({1, 1, 0, 0});
  const std::string order = "Filter order must be a real, positive integer.";
  const auto m = [](double v) { return Eigen::MatrixXd::Constant(1, 1, v).eval(); };
  // clang-format off
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { firls(10, vec({0, 0.4, 0.5, 1.2}), a); }, "Frequencies in F must be in range [0,1]."},
      {[&] { firls(10, vec({0, 0.4, 0.5}), vec({1, 1, 0})); }, "F must have even length."},
      {[&] { firls(10, f, vec({1, 1, 0})); }, "F and A must be equal lengths."},
      {[&] { firls(10, f, a, std::nullopt, "lowpass"); },
       "Requires symmetry to be 'Hilbert' or 'differentiator'."},
      {[&] { firls(m(0), f, a); }, order},
      {[&] { firls(m(2.5), f, a); }, order},
      {[&] { firls(m(-4), f, a); }, order},
      {[&] { firls(Eigen::MatrixXd(), f, a); }, order},
      {[&] { firls(Eigen::MatrixXd::Ones(1, 2), f, a); }, order},
      {[&] { firls(10, f, a, vec({1, 1, 1})); }, "There should be one weight per band."},
      {[&] { firls(10, vec({0, 0.5, 0.4, 1}), a); }, "Frequencies in F must be nondecreasing."},
      {[&] { firls(10, f, a, vec({1, -1})); }, "Weights must not be negative."}};
  // clang-format on
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(testing::error_of(cases[i].first), cases[i].second) << "case " << i;
}

}  // namespace
}  // namespace ziva
