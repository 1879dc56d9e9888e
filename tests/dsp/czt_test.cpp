#include "dsp/czt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "base/error.h"
#include "support/error_of.h"

namespace ziva {
using ziva::testing::error_of;

namespace {

using Complex = std::complex<double>;
using LComplex = std::complex<long double>;

Eigen::MatrixXcd scalar(Complex v) {
  return Eigen::MatrixXcd::Constant(1, 1, v);
}
Eigen::MatrixXd scalar(double v) {
  return Eigen::MatrixXd::Constant(1, 1, v);
}

// A point of the spiral given by modulus and angle, kept exact for the reference sums.
struct Polar {
  long double radius;
  long double angle;
  Complex value() const {
    return std::polar(static_cast<double>(radius), static_cast<double>(angle));
  }
};

// Direct evaluation of Σ_n x(n)·z_j^(−n), z_j = a·w^(−j), in long double: z_j^(−n) has modulus
// (|a|·|w|^(−j))^(−n) and angle −n·(arg a − j·arg w).
struct Direct {
  LComplex value;
  long double magnitude_sum;  // Σ |x(n)·z_j^(−n)|, the scale of the rounding error
};

Direct direct(const Eigen::VectorXcd& x, Eigen::Index j, Polar w, Polar a) {
  Direct d{LComplex(0, 0), 0};
  const long double log_r = std::log(a.radius) - static_cast<long double>(j) * std::log(w.radius);
  const long double phi = a.angle - static_cast<long double>(j) * w.angle;
  for (Eigen::Index n = 0; n < x.size(); ++n) {
    const long double nn = static_cast<long double>(n);
    const LComplex z = std::polar(std::exp(-nn * log_r), -nn * phi);
    const LComplex xn(x(n).real(), x(n).imag());
    d.value += xn * z;
    d.magnitude_sum += std::abs(xn * z);
  }
  return d;
}

Eigen::VectorXcd random_complex(Eigen::Index n, std::mt19937& rng) {
  std::normal_distribution<double> g;
  Eigen::VectorXcd x(n);
  for (auto& v : x) v = Complex(g(rng), g(rng));
  return x;
}

// Random spirals, and k = 0 for the defaults (k = m points around the unit circle: the DFT).
TEST(Czt, MatchesDirectSumAtRandomPointsAndDefaultsGiveTheDft) {
  std::mt19937 rng(2);
  std::uniform_real_distribution<long double> angle(-std::numbers::pi_v<long double>,
                                                    std::numbers::pi_v<long double>);
  struct Case {
    Eigen::Index m, k;
    long double w_radius, a_radius;
  };
  // Off the unit circle the chirp's magnitude |w|^(t²/2) spreads over many orders, and Bluestein's
  // rounding error grows with that spread; the spirals below keep it moderate.
  const std::vector<Case> cases{{1, 0, 1, 1},
                                {2, 0, 1, 1},
                                {7, 0, 1, 1},
                                {37, 0, 1, 1},
                                {64, 0, 1, 1},
                                {100, 0, 1, 1},
                                {5, 3, 1, 1},
                                {3, 40, 1, 1},
                                {100, 100, 1, 1},
                                {257, 31, 1, 1},
                                {1000, 1500, 1, 1},
                                {4000, 10, 1, 1},
                                {60, 80, 1.0005L, 0.99L},
                                {200, 50, 0.9999L, 1.01L}};
  for (const Case& c : cases) {
    const Eigen::VectorXcd x = random_complex(c.m, rng);
    const bool dft = c.k == 0;
    const long double step = 2 * std::numbers::pi_v<long double> / static_cast<long double>(c.m);
    const Polar w{c.w_radius, dft ? -step : angle(rng)};
    const Polar a{c.a_radius, dft ? 0 : angle(rng)};
    const Eigen::Index k = dft ? c.m : c.k;
    const Eigen::MatrixXcd g = dft ? czt(Eigen::MatrixXcd(x))
                                   : czt(Eigen::MatrixXcd(x), scalar(static_cast<double>(k)),
                                         scalar(w.value()), scalar(a.value()));
    ASSERT_EQ(g.rows(), k);
    ASSERT_EQ(g.cols(), 1);
    std::uniform_int_distribution<Eigen::Index> pick(0, k - 1);
    for (int trial = 0; trial < (dft ? k : 12); ++trial) {
      const Eigen::Index j = dft ? trial : trial == 0 ? 0 : trial == 1 ? k - 1 : pick(rng);
      const Direct d = direct(x, j, w, a);
      // Rounding grows with the transform length and with the spread of the chirp's phase.
      const double size = static_cast<double>(c.m + k);
      const double t = static_cast<double>(std::max(c.m, k));
      const double spread = std::exp(std::abs(std::log(static_cast<double>(c.w_radius))) * t * t);
      const double tol =
          (dft ? 1e-14 * static_cast<double>(c.m) : 1e-15 * size * std::log2(size) * spread) *
          static_cast<double>(d.magnitude_sum);
      EXPECT_NEAR(std::abs(g(j) - Complex(static_cast<double>(d.value.real()),
                                          static_cast<double>(d.value.imag()))),
                  0.0, tol)
          << "m " << c.m << " k " << c.k << " j " << j;
    }
  }
}

TEST(Czt, RowsAndMatrices) {
  const Eigen::MatrixXcd x = Eigen::MatrixXcd::Random(50, 3);
  const auto k = scalar(20.0);
  const auto w = scalar(std::polar(1.0, -0.05));
  const auto a = scalar(std::polar(1.0, 0.3));
  const Eigen::MatrixXcd g = czt(x, k, w, a);
  ASSERT_EQ(g.rows(), 20);
  ASSERT_EQ(g.cols(), 3);
  for (Eigen::Index c = 0; c < 3; ++c) {
    // Every column goes through the same arithmetic, alone or in a batch.
    EXPECT_EQ(czt(Eigen::MatrixXcd(x.col(c)), k, w, a), g.col(c)) << c;
    const Eigen::MatrixXcd row = czt(Eigen::MatrixXcd(x.col(c).transpose()), k, w, a);
    ASSERT_EQ(row.rows(), 1);
    EXPECT_EQ(row.transpose(), g.col(c)) << c;
  }
  // Real data gives the same transform as the same data held as complex numbers.
  const Eigen::MatrixXd real = Eigen::MatrixXd::Random(40, 2);
  const Eigen::MatrixXcd from_real = czt(real, k, w, a);
  const Eigen::MatrixXcd from_complex = czt(Eigen::MatrixXcd(real.cast<Complex>()), k, w, a);
  EXPECT_LT((from_real - from_complex).cwiseAbs().maxCoeff(), 1e-12);
  // A single value is a row: k values in a row, all equal to it (z^0 = 1).
  const Eigen::MatrixXcd one = czt(Eigen::MatrixXd::Constant(1, 1, 2.5), k);
  ASSERT_EQ(one.rows(), 1);
  ASSERT_EQ(one.cols(), 20);
  EXPECT_LT((one.array() - 2.5).abs().maxCoeff(), 1e-12);
}

TEST(Czt, OmittedInputsAndDegenerateSizes) {
  const Eigen::MatrixXd x = Eigen::MatrixXd::Random(12, 2);
  const Eigen::MatrixXd empty;
  EXPECT_EQ(czt(x, empty, Eigen::MatrixXcd(), Eigen::MatrixXcd()), czt(x));
  // Default k is the number of samples per column, also for a matrix wider than tall.
  EXPECT_EQ(czt(Eigen::MatrixXd::Random(3, 5)).rows(), 3);
  EXPECT_EQ(czt(x, scalar(7.9)).rows(), 7);
  EXPECT_EQ(czt(x, scalar(-3.0)).rows(), 0);
  EXPECT_EQ(czt(x, scalar(0.0)).cols(), 2);
  const Eigen::MatrixXcd none = czt(Eigen::MatrixXd(0, 2), scalar(4.0));
  ASSERT_EQ(none.rows(), 4);
  ASSERT_EQ(none.cols(), 2);
  EXPECT_EQ(none.cwiseAbs().maxCoeff(), 0.0);
}

TEST(Czt, NonScalarParametersAreRejected) {
  const std::string message = "Inputs M, W and A must be scalars.";
  const Eigen::MatrixXd x = Eigen::MatrixXd::Random(8, 1);
  const Eigen::MatrixXcd two = Eigen::MatrixXcd::Ones(1, 2);
  EXPECT_EQ(error_of([&] { czt(x, {}, two); }), message);
  EXPECT_EQ(error_of([&] { czt(x, Eigen::MatrixXd::Ones(2, 1)); }), message);
  EXPECT_EQ(error_of([&] { czt(x, {}, {}, two); }), message);
  EXPECT_EQ(error_of([&] { czt(x, scalar(std::nan(""))); }), "Input M must be a finite number.");
}

}  // namespace
}  // namespace ziva
