// Butterworth filter design: low-pass, high-pass, band-pass and band-stop, digital (bilinear
// transformation with pre-warping) or analog, as polynomials, zeros/poles/gain or state space.
#pragma once

#include <Eigen/Core>
#include <string>
#include <vector>

namespace ziva {

// Band type codes of a design.
namespace butter_type {
inline constexpr int kLowpass = 1;
inline constexpr int kBandpass = 2;
inline constexpr int kHighpass = 3;
inline constexpr int kBandstop = 4;
}  // namespace butter_type

// Result of the argument check: band type code, analog flag (0 digital, 1 analog) and the
// message of the first failed check (empty when all checks pass).
struct IirchkResult {
  int btype = butter_type::kLowpass;
  int analog = 0;
  std::string msg;
};

// Checks the cut-off Wn and the trailing option strings of a design ("low", "bandpass", "high",
// "stop" and "z" or "s", matched without regard to case) in a fixed order and reports the first
// failure; without a type option one element means low-pass and two band-pass.
IirchkResult iirchk(const Eigen::MatrixXd& Wn, const std::vector<std::string>& options);

// Zeros, poles and gain of a continuous- or discrete-time system (columns of complex values).
struct Zpk {
  Eigen::VectorXcd z;
  Eigen::VectorXcd p;
  double k = 1.0;
};

// State-space system x' = a x + b u, y = c x + d u (a square, b a column, c a row, d 1x1).
struct StateSpace {
  Eigen::MatrixXd a;
  Eigen::MatrixXd b;
  Eigen::MatrixXd c;
  Eigen::MatrixXd d;
};

// Analog Butterworth prototype of order n (n >= 0) with cut-off 1 rad/s: no zeros; the poles on
// the unit circle in the left half plane (upper-half-plane poles, then their conjugates in the same
// order, then -1 for odd n); gain such that the response is 1 at s = 0. Throws ziva::Error for a
// negative n.
Zpk buttap(int n);

// Analog frequency transformations of a low-pass state-space system with cut-off 1 rad/s:
// to a low-pass with cut-off Wo, a high-pass with cut-off Wo, a band-pass and a band-stop with
// centre Wo and bandwidth Bw (both in rad/s). The band transformations double the order.
// They throw ziva::Error when the matrix sizes do not fit together; lp2hp and lp2bs need a
// regular a (no pole at s = 0).
StateSpace lp2lp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo);
StateSpace lp2hp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo);
StateSpace lp2bp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo, double Bw);
StateSpace lp2bs(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo, double Bw);

// Bilinear transformation of an analog state-space system to a digital one with sample rate fs:
// the digital response at z equals the analog one at s = 2 fs (z - 1) / (z + 1).
// Throws ziva::Error when the matrix sizes do not fit together.
StateSpace bilinear(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                    const Eigen::MatrixXd& d, double fs);

// Numerator (descending powers, same length as den) of a Butterworth design of order n with the
// zeros of its type, scaled so that its gain equals that of den at the band centre. Wo and Bw are
// the analog centre (the cut-off for low- and high-pass) and bandwidth in rad/s (pre-warped for a
// digital design with fs = 2).
Eigen::RowVectorXd buttnum(int btype, int n, double Wo, double Bw, bool analog,
                           const Eigen::RowVectorXd& den);

// Zeros of a Butterworth design of order n (see buttnum for Wo and Bw).
Eigen::VectorXcd buttzeros(int btype, int n, double Wo, double Bw, bool analog);

// Designs a Butterworth filter of order n with cut-off Wn and up to two options (type, then "z"
// or "s"). The outputs, each a complex matrix (num, den, k, a, b, c, d have zero imaginary parts):
// nargout 0..2: num, den (rows, descending powers; 0 or 1 gives num only);
// nargout 3: z, p (columns), k (1x1); nargout 4: a, b, c, d (the digital or analog state space).
// Throws ziva::Error with the message of iirchk, "Filter order too large." for n > 500, or
// "Filter order must be a real, positive integer." for an order that is not a whole number >= 1,
// and "The cutoff frequencies must be in increasing order." for band edges not increasing.
// nargout must lie in 0..4 (std::invalid_argument otherwise).
std::vector<Eigen::MatrixXcd> butter(int nargout, const Eigen::MatrixXd& n,
                                     const Eigen::MatrixXd& Wn,
                                     const std::vector<std::string>& options);

// Numerator b and denominator a (a(0) == 1) of a digital Butterworth filter.
struct ButterCoeffs {
  Eigen::RowVectorXd b;
  Eigen::RowVectorXd a;
};

// Digital low-pass of order n with normalised cut-off Wn (1 = half the sample rate), checked and
// designed as butter(2, n, Wn, {}) does; throws the same errors.
ButterCoeffs butter_lowpass(int n, double Wn);

}  // namespace ziva
