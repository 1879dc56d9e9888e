// Rational resampling with a linear-phase anti-aliasing filter (Kaiser-windowed least-squares
// low-pass), done by a polyphase upfirdn.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <memory>
#include <optional>

namespace ziva {

struct ResampleResult {
  Eigen::MatrixXd y;     // the resampled signal
  Eigen::RowVectorXd h;  // the filter used, without the alignment zeros
};

// Resamples `x` (a vector, or a matrix of column signals) to p/q times its rate. Returns
// ceil(Lx·p/q) samples per signal (a row signal stays a row), sample k lying at the time of
// input position k·q/p.
//
// `N`: absent or empty for the default 10; a single number is the filter half-length factor
// (filter length 2·N·max(p, q) + 1, cut-off at the lower of the two Nyquist rates; N <= 0 means
// a hold filter of p ones); a vector of more than one value is the filter itself, used as given.
// `beta`: the Kaiser window parameter, default 5.
// p = q (after reducing the fraction) returns `x` unchanged with h = 1.
// Throws "P must be a positive integer." / "Q must be a positive integer." for p or q not a
// positive whole number, "P and Q are too large." when they cannot be handled (above 2^53, or
// above 2^31 - 1 once reduced), and "N must be a number or a filter vector." for a matrix N.
ResampleResult resample(const Eigen::MatrixXd& x, double p, double q,
                        const std::optional<Eigen::MatrixXd>& N = std::nullopt,
                        std::optional<double> beta = std::nullopt);

// resample(x, p, q) of a column of `length` samples computed a range of outputs at a time from
// the input samples that range needs, in any order and on any thread at once: every output is
// bit-identical to the whole-signal call's. Throws as resample() does for the factors.
class PieceResampler {
 public:
  PieceResampler(std::int64_t length, double p, double q);
  ~PieceResampler();
  PieceResampler(const PieceResampler&) = delete;
  PieceResampler& operator=(const PieceResampler&) = delete;

  // ceil(length·p/q), or length when p = q.
  std::int64_t outputs() const;
  // How many outputs need no input sample from n on (all of them for n >= length).
  std::int64_t outputs_before(std::int64_t n) const;
  // The input samples the outputs first ... end - 1 need: input_from(first) up to, not
  // including, input_to(end).
  std::int64_t input_from(std::int64_t first) const;
  std::int64_t input_to(std::int64_t end) const;
  // Outputs first ... end - 1 into y[0 ... end - first - 1], from the input samples x_from ...
  // x_from + lx - 1 at x, which must take in those the outputs need. Throws
  // std::invalid_argument otherwise.
  void run(const double* x, std::int64_t x_from, std::int64_t lx, std::int64_t first,
           std::int64_t end, double* y) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ziva
