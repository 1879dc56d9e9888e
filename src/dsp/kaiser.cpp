// Kaiser window, sinc and the window-length check.
#include "dsp/kaiser.h"

#include <cmath>
#include <numbers>

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
  const double norm = i0_scaled(b);
  const Eigen::Index half = (n + 1) / 2;
  Eigen::VectorXd w(n);
  for (Eigen::Index j = 0; j < half; ++j) {
    const double t = static_cast<double>(j) + (odd ? 0.0 : 0.5);
    const double r = std::sqrt(std::max(0.0, 1.0 - 4.0 * t * t / d));
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
