// Least-squares linear-phase FIR filter design, and the order check it shares with other FIR
// designs.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

namespace ziva {

// Designs the linear-phase FIR filter of order n (n + 1 taps) whose amplitude response A(f)
// minimises sum over bands s of w_s · integral over band s of (A(f) - D(f))^2 df.
//
// `f`: band edges in [0, 1] (1 is half the sample rate), nondecreasing, two per band; the gaps
// between bands are left out of the fit. `a`: the desired amplitude at each band edge; D(f) runs
// in a straight line between the two edges of a band. `w`: one weight per band (default 1).
// `ftype`: absent for a symmetric filter (H = A·e^(-j·pi·f·n/2)); "hilbert"/"h" or
// "differentiator"/"d" (any case) for an antisymmetric one (H = j·A·e^(-j·pi·f·n/2)), where the
// differentiator weights every band with a nonzero amplitude by 1/f^2 as well (f as in `f`).
//
// Odd orders of symmetric filters whose last amplitude is not zero are raised by one with a
// warning (see firchk). Throws ziva::Error with the message of the first failing check:
// "Frequencies in F must be in range [0,1].", "F must have even length.", "F and A must be equal
// lengths.", "Requires symmetry to be 'Hilbert' or 'differentiator'.", the order check of
// firchk, "There should be one weight per band.", "Frequencies in F must be nondecreasing.",
// and "Weights must not be negative." Returns the taps as a row.
Eigen::RowVectorXd firls(const Eigen::MatrixXd& n, const Eigen::VectorXd& f,
                         const Eigen::VectorXd& a,
                         const std::optional<Eigen::VectorXd>& w = std::nullopt,
                         const std::optional<std::string>& ftype = std::nullopt);
Eigen::RowVectorXd firls(double n, const Eigen::VectorXd& f, const Eigen::VectorXd& a,
                         const std::optional<Eigen::VectorXd>& w = std::nullopt,
                         const std::optional<std::string>& ftype = std::nullopt);

// Checks a FIR filter order: it must be a single, finite, whole, positive number, else
// "Filter order must be a real, positive integer." is thrown. A symmetric filter
// (`antisymmetric` false) of odd order whose last amplitude in `a` is not zero gets its order
// raised by one, with the warning "Odd order symmetric FIR filters must have a gain of zero
// <CR>at the Nyquist frequency. The order is being increased by one." Returns the order to use.
long firchk(const Eigen::MatrixXd& n, const Eigen::VectorXd& a, bool antisymmetric);

}  // namespace ziva
