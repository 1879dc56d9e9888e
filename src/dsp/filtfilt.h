// Zero-phase filtering: a recursive filter applied forwards and backwards over a sequence
// extended by point reflection, each pass started from the filter's steady state.
#pragma once

#include <Eigen/Core>

namespace ziva {

// Filters x with numerator b and denominator a (any orientation) forwards and backwards, so that
// the result has no phase shift and the magnitude response |H|^2. A row vector gives a row, a
// column a column, and a matrix the matrix of its filtered columns; the result has the shape of x.
// An empty b, a or x gives an empty result. Coefficients are normalised by a(1).
// Throws ziva::Error "Data must have length more than 3 times filter order." when x has no more
// than 3*(max(length b, length a) - 1) samples (per column), and an error when a(1) is zero.
Eigen::MatrixXd filtfilt(const Eigen::MatrixXd& b, const Eigen::MatrixXd& a,
                         const Eigen::MatrixXd& x);

}  // namespace ziva
