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

// Checks a window length (of a matrix: its first element; an empty matrix counts as length 0).
// Throws "Order cannot be less than zero." for a negative length and "Order must be a finite
// number." for NaN or infinity; rounds a fractional length with the warning "Rounding order to
// nearest integer.".
CheckedOrder check_order(const Eigen::MatrixXd& n);
CheckedOrder check_order(double n);

// Kaiser window of length n (checked by check_order) with parameter beta, as a column: the values
// I0(beta·sqrt(1 - t^2))/I0(beta) at n points t evenly spaced from -1 to 1, I0 the modified
// Bessel function of order 0. Exactly symmetric; finite for any finite beta.
Eigen::VectorXd kaiser(double n, double beta);

// sin(pi·x)/(pi·x) element-wise with 1 where x is 0, same shape as `x`; exactly 0 at the other
// whole numbers.
Eigen::MatrixXd sinc(const Eigen::MatrixXd& x);
double sinc(double x);

}  // namespace ziva
