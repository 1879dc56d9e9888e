// Kaiser window, sinc and the window-length check.
#include "dsp/kaiser.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "base/error.h"
#include "base/warning.h"

namespace ziva {

namespace {

// sin(pi·x), exact zero at whole numbers: the argument is reduced exactly before scaling by pi.
double sinpi(double x) {
  double r = x - 2.0 * std::nearbyint(0.5 * x);  // exact, r in [-1, 1]
  if (r > 0.5) {
    r = 1.0 - r;
  } else if (r < -0.5) {
    r = -1.0 - r;
  }
  return std::sin(std::numbers::pi * r);
}

// e^(-x)·I0(x) for x >= 0, I0 the modified Bessel function of the first kind of order 0.
double i0_scaled(double x) {
  if (x < 30.0) {
    // Power series sum ((x/2)^k / k!)^2; all terms positive, so no cancellation.
    const double q = 0.25 * x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 500; ++k) {
      term *= q / (static_cast<double>(k) * k);
      sum += term;
      if (term < sum * 1e-17) break;
    }
    return sum * std::exp(-x);
  }
  // Asymptotic series 1/sqrt(2·pi·x) · sum ((2k-1)!!)^2 / (k!·(8x)^k); its smallest term lies
  // near k = 2x, far below the rounding error for x >= 30.
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k < 60; ++k) {
    const double odd = 2.0 * k - 1.0;
    term *= odd * odd / (k * 8.0 * x);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum / std::sqrt(2.0 * std::numbers::pi * x);
}

// I0(x) = sum ((x/2)^2)^k / (k!)^2 for 0 <= x <= x_max < kSeriesLimit, truncated where the
// terms fall below 1e-17 (I0 >= 1), evaluated by Horner's rule.
constexpr double kSeriesLimit = 30.0;

class PowerSeries {
 public:
  explicit PowerSeries(double x_max) {
    const double q = 0.25 * x_max * x_max;
    double c = 1.0, term = 1.0;
    coef_.push_back(c);
    for (int k = 1; k < 200 && term >= 1e-17; ++k) {
      c /= static_cast<double>(k) * k;
      term *= q / (static_cast<double>(k) * k);
      coef_.push_back(c);
    }
  }
  double operator()(double x) const {
    double v;
    evaluate(&x, &v, 1);
    return v;
  }
  // out[i] = I0(x[i]) for i < count <= kBlock; the independent chains run side by side.
  static constexpr int kBlock = 8;
  void evaluate(const double* x, double* out, int count) const {
    double q[kBlock] = {}, s[kBlock];
    for (int i = 0; i < count; ++i) q[i] = 0.25 * x[i] * x[i];
    for (int i = 0; i < kBlock; ++i) s[i] = coef_.back();
    for (auto c = coef_.rbegin() + 1; c != coef_.rend(); ++c) {
      for (int i = 0; i < kBlock; ++i) s[i] = s[i] * q[i] + *c;
    }
    for (int i = 0; i < count; ++i) out[i] = s[i];
  }

 private:
  std::vector<double> coef_;
};

}  // namespace

CheckedOrder check_order(double n) {
  CheckedOrder out;
  if (std::isnan(n) || std::isinf(n)) throw Error("Order must be a finite number.");
  if (n < 0) throw Error("Order cannot be less than zero.");
  if (n != std::round(n)) {
    n = std::round(n);
    warning("Rounding order to nearest integer.");
  }
  out.n = n;
  if (n == 0) {
    out.w = Eigen::VectorXd();
    out.trivial = true;
  } else if (n == 1) {
    out.w = Eigen::VectorXd::Ones(1);
    out.trivial = true;
  }
  return out;
}

CheckedOrder check_order(const Eigen::MatrixXd& n) {
  if (n.size() == 0) {
    CheckedOrder out;
    out.trivial = true;
    return out;
  }
  return check_order(n(0));
}

Eigen::VectorXd kaiser(double n_in, double beta) {
  const CheckedOrder checked = check_order(n_in);
  if (checked.trivial) return checked.w;
  const Eigen::Index n = static_cast<Eigen::Index>(checked.n);
  const bool odd = n % 2 == 1;
  const double d = static_cast<double>(n - 1) * static_cast<double>(n - 1);
  const double b = std::abs(beta);
  const Eigen::Index half = (n + 1) / 2;
  Eigen::VectorXd w(n);
  auto radius = [&](Eigen::Index j) {
    const double t = static_cast<double>(j) + (odd ? 0.0 : 0.5);
    return std::sqrt(std::max(0.0, 1.0 - 4.0 * t * t / d));
  };
  if (b < kSeriesLimit) {
    // Every argument is at most b: one truncated power series in (x/2)^2 serves all of them.
    const PowerSeries series(b);
    const double norm = series(b);
    double args[PowerSeries::kBlock], values[PowerSeries::kBlock];
    for (Eigen::Index j0 = 0; j0 < half; j0 += PowerSeries::kBlock) {
      const int count = static_cast<int>(std::min<Eigen::Index>(PowerSeries::kBlock, half - j0));
      for (int i = 0; i < count; ++i) args[i] = b * radius(j0 + i);
      series.evaluate(args, values, count);
      for (int i = 0; i < count; ++i) {
        const double v = values[i] / norm;
        w(n / 2 + j0 + i) = v;
        w((n - 1) / 2 - j0 - i) = v;
      }
    }
    return w;
  }
  const double norm = i0_scaled(b);
  for (Eigen::Index j = 0; j < half; ++j) {
    const double r = radius(j);
    // I0(b·r)/I0(b) = (e^(-b·r)·I0(b·r)) / (e^(-b)·I0(b)) · e^(b·(r - 1)); cannot overflow.
    const double v = i0_scaled(b * r) / norm * std::exp(b * (r - 1.0));
    w(n / 2 + j) = v;
    w((n - 1) / 2 - j) = v;
  }
  return w;
}

double sinc(double x) {
  if (x == 0) return 1.0;
  return sinpi(x) / (std::numbers::pi * x);
}

Eigen::MatrixXd sinc(const Eigen::MatrixXd& x) {
  return x.unaryExpr([](double v) { return sinc(v); });
}

}  // namespace ziva
