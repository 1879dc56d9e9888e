// Recursive linear filtering in transposed direct form II with an explicit filter state, the
// building block of the zero-phase filter and of any other IIR/FIR filtering on sample sequences.
#pragma once

#include <Eigen/Core>

namespace ziva {

// Runs `count` samples data[0], data[step], data[2*step], ... (a negative step runs backwards)
// through the filter b/a of length nfilt (a[0] == 1, both arrays of nfilt values) in place.
// `state` holds the nfilt-1 state values: the initial state on entry, the final state on return.
// The output at each position depends only on that position's input and earlier ones in the
// direction of travel.
void filter_in_place(const double* b, const double* a, int nfilt, double* state, double* data,
                     Eigen::Index count, Eigen::Index step);

// Filters x through b/a (any lengths; a(0) must not be zero, both are normalised by a(0)) starting
// from the state zi (max(length b, length a) - 1 values, or empty for a zero state).
// Throws ziva::Error when a is empty or a(0) is zero, or when zi has the wrong length.
Eigen::VectorXd linear_filter(const Eigen::VectorXd& b, const Eigen::VectorXd& a,
                              const Eigen::VectorXd& x,
                              const Eigen::VectorXd& zi = Eigen::VectorXd());

}  // namespace ziva
