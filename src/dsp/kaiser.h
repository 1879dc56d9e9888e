// Window and helper functions of the resampling filter design: Kaiser window, sinc, and the
// length check shared by the window functions.
#pragma once

#include <Eigen/Dense>

namespace ziva {

// Result of check_order: the length to use, and for trivial lengths (0 or 1) the window itself.
struct CheckedOrder {
  double n = 0;          // the length, rounded to a whole number
  Eigen::VectorXd w;     // the window when `trivial` (empty for 0, the value 1 for 1)
  bool trivial = false;  // true when the caller has nothing left to compute
};

// Checks a window length. Throws "Order cannot be less than zero." for a negative length and
// "Order must be a finite number." for NaN or infinity; rounds a fractional length with the warning
// "Rounding order to nearest integer."; an empty matrix counts as length 0.
CheckedOrder check_order(const Eigen::MatrixXd& n);
CheckedOrder check_order(double n);

// Kaiser window of length n with parameter beta, as a column, symmetric, peak 1 in the middle.
Eigen::VectorXd kaiser(double n, double beta);

// sin(pi·x)/(pi·x) element-wise with 1 where x is 0, same shape as `x`; exactly 0 at the other
// whole numbers.
Eigen::MatrixXd sinc(const Eigen::MatrixXd& x);
double sinc(double x);

}  // namespace ziva
