// Chirp z-transform: the z-transform of finite sequences at points of a spiral (for spectra, an
// arc of the unit circle), computed with Bluestein's algorithm in FFTs of a power-of-two length.
#pragma once

#include <Eigen/Dense>
#include <complex>
#include <optional>

#include "dsp/fft.h"

namespace ziva {

// A prepared transform of m-sample sequences: g(j) = Σ_{n<m} u(n)·x(n)·z_j^(−n) at the k points
// z_j = a·w^(−j), j = 0 … k−1, with sample weights u (all 1 unless given). The chirp and its
// transform are computed once, in the constructor; apply() is const and may run on several
// threads at once, each with its own workspace. Every sequence goes through the same arithmetic,
// so a sequence's result does not depend on which call or thread transforms it. When m <= L/2
// each transform of length L runs as two of length L/2 (the zero-padded half is skipped), which
// gives the same values up to rounding.
class ChirpZ {
 public:
  ChirpZ(Eigen::Index m, Eigen::Index k, std::complex<double> w, std::complex<double> a);
  ChirpZ(const Eigen::VectorXd& weights, Eigen::Index k, std::complex<double> w,
         std::complex<double> a);

  Eigen::Index output_length() const { return k_; }
  // The FFT length: the smallest power of two not below m + k − 1.
  Eigen::Index fft_length() const { return l_; }

  // Scratch storage for apply(), 2·fft_length() values; one per thread.
  fft::Buffer workspace() const { return fft::Buffer(2 * l_); }

  // Transforms the m consecutive samples at `x` into the k consecutive values at `out`.
  void apply(const double* x, std::complex<double>* out, fft::Buffer& work) const;
  void apply(const std::complex<double>* x, std::complex<double>* out, fft::Buffer& work) const;

 private:
  void init(const Eigen::VectorXd* weights, std::complex<double> w, std::complex<double> a);
  template <typename Sample>
  void premultiply(const Sample* x, std::complex<double>* out, fft::Buffer& work) const;
  void convolve(std::complex<double>* out, fft::Buffer& work) const;

  Eigen::Index m_ = 0;
  Eigen::Index k_ = 0;
  Eigen::Index l_ = 1;
  bool split_ = false;        // m <= L/2: transforms of length L/2 on even and odd halves
  Eigen::VectorXcd pre_;      // u(n)·a^(−n)·w^(n²/2), n < m
  Eigen::VectorXcd pre_odd_;  // split form: pre_ times W^n, W = e^(−2πi/L)
  fft::Buffer kernel_;  // FFT of w^(−t²/2), t = −(m−1) … k−1, divided by L (split form:
                        // its even-indexed values, then its odd-indexed ones)
  Eigen::VectorXcd post_;      // w^(j²/2), j < k
  Eigen::VectorXcd post_odd_;  // split form: post_ times W^(−(m−1+j))
  const fft::Plan* forward_ = nullptr;
  const fft::Plan* backward_ = nullptr;
};

// The z-transform of each column of `x` at k points z_j = a·w^(−j), j = 0 … k−1:
// g(j, c) = Σ_n x(n, c)·z_j^(−n). A row `x` (one row, including 1×1) is transformed as one column
// and gives a row result; otherwise the result has k rows and one column per column of `x`.
//
// Omitted or empty inputs take defaults: k = the number of samples per column, w = e^(−2πi/k)
// (so that the result is the k-point DFT), a = 1. A fractional k is truncated and a negative one
// gives no rows. Throws "Inputs M, W and A must be scalars." when k, w or a has more than one
// value, and "Input M must be a finite number." for an infinite or NaN k.
// On the unit circle the result is exact to a few rounding errors per FFT stage; off it the
// error grows with the spread of the chirp's magnitude |w|^(±t²/2), t < max(m, k), a property of
// the method.
Eigen::MatrixXcd czt(const Eigen::MatrixXcd& x, const std::optional<Eigen::MatrixXd>& k = {},
                     const std::optional<Eigen::MatrixXcd>& w = {},
                     const std::optional<Eigen::MatrixXcd>& a = {});
Eigen::MatrixXcd czt(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& k = {},
                     const std::optional<Eigen::MatrixXcd>& w = {},
                     const std::optional<Eigen::MatrixXcd>& a = {});

// The same for any other dense expression (a vector, a block), evaluated first.
template <typename Derived>
Eigen::MatrixXcd czt(const Eigen::MatrixBase<Derived>& x,
                     const std::optional<Eigen::MatrixXd>& k = {},
                     const std::optional<Eigen::MatrixXcd>& w = {},
                     const std::optional<Eigen::MatrixXcd>& a = {}) {
  if constexpr (Eigen::NumTraits<typename Derived::Scalar>::IsComplex) {
    return czt(Eigen::MatrixXcd(x), k, w, a);
  } else {
    return czt(Eigen::MatrixXd(x), k, w, a);
  }
}

}  // namespace ziva
