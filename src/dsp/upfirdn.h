// Upsample, FIR-filter and downsample in one polyphase pass that computes only the samples
// kept after downsampling.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <memory>

namespace ziva {

// Upsamples by p (p - 1 zeros after every sample), convolves with the filter (full convolution,
// output starts at the first sample of the convolution), keeps samples 0, q, 2q, ... .
// Each column of `x` has ceil(((Lx - 1)·p + Lh)/q) output samples, Lx its length and Lh the
// filter length; an empty `x` gives an empty result.
//
// `x`: a column (or row) signal, or a matrix whose columns are separate signals.
// `h`: one filter per column. A signal vector gives one output column per filter column; a
// signal matrix with one filter gives one output column per signal column; a signal matrix
// with as many columns as `h` pairs them up column by column.
// Throws "P and Q must be positive integers." for p or q below 1 and "The filter must have one
// column or as many columns as the signal." for column counts that cannot be paired.
Eigen::MatrixXcd upfirdn(const Eigen::MatrixXd& x, const Eigen::MatrixXcd& h, int p, int q);

// The same for a real filter. Here a filter given as a row or a column vector is one filter,
// and a row signal with one filter gives a row result; a matrix `h` holds one filter per column.
Eigen::MatrixXd upfirdn(const Eigen::MatrixXd& x, const Eigen::MatrixXd& h, int p, int q);

// Any other Eigen filter expression (a vector, a row, a constant ...) goes to the overload of
// its scalar type.
template <typename Derived>
auto upfirdn(const Eigen::MatrixXd& x, const Eigen::MatrixBase<Derived>& h, int p, int q) {
  if constexpr (Eigen::NumTraits<typename Derived::Scalar>::IsComplex) {
    return upfirdn(x, Eigen::MatrixXcd(h), p, q);
  } else {
    return upfirdn(x, Eigen::MatrixXd(h), p, q);
  }
}

// Output samples [first, first + count) of upfirdn(x, h', p, q), h' being the vector filter `h`
// preceded by `lead` zeros and followed by as many zeros as needed: samples past the end of the
// convolution are zero. A row signal gives a row. Costs only the samples asked for. Throws "The
// output window must not be negative." for a negative lead, first or count.
Eigen::MatrixXd upfirdn_window(const Eigen::Ref<const Eigen::MatrixXd>& x, const Eigen::MatrixXd& h,
                               int p, int q, std::int64_t lead, std::int64_t first,
                               std::int64_t count);

// upfirdn_window of one vector filter over many windows: the filter phases are built once.
// run() works on the calling thread alone and may be called from several threads at once.
class UpfirdnWindow {
 public:
  // Throws as upfirdn_window does for p or q below 1.
  UpfirdnWindow(const Eigen::Ref<const Eigen::VectorXd>& h, int p, int q);
  ~UpfirdnWindow();
  UpfirdnWindow(const UpfirdnWindow&) = delete;
  UpfirdnWindow& operator=(const UpfirdnWindow&) = delete;

  // The samples of upfirdn_window(x, h, p, q, lead, first, count) for the column of the lx
  // samples at x, written to y[0 ... count - 1]; bit-identical to that call.
  void run(const double* x, std::int64_t lx, std::int64_t lead, std::int64_t first,
           std::int64_t count, double* y) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Worker threads used for long filterings: 0 (the default) means one per core, at most two.
// The results do not depend on the number of threads. Returns the previous setting.
int set_upfirdn_threads(int threads);

}  // namespace ziva
