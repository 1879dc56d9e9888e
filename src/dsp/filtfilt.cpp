#include "dsp/filtfilt.h"

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "dsp/linear_filter.h"

namespace ziva {
namespace {

// The state in which the filter (normalised, both of length nfilt), fed a constant 1, keeps its
// steady output G = sum(b) / sum(a): the solution of the steady-state system of nfilt-1 unknowns,
// z(i) = b(i+1) - a(i+1) G + z(i+1) with z(nfilt) = 0, summed from the last state back.
std::vector<double> steady_state(const std::vector<double>& b, const std::vector<double>& a) {
  const std::size_t nfilt = b.size();
  double sb = 0.0;
  double sa = 0.0;
  for (std::size_t i = 0; i < nfilt; ++i) {
    sb += b[i];
    sa += a[i];
  }
  const double gain = sb / sa;
  std::vector<double> zi(nfilt - 1);
  double acc = 0.0;
  for (std::size_t i = nfilt - 1; i >= 1; --i) {
    acc += b[i] - a[i] * gain;
    zi[i - 1] = acc;
  }
  return zi;
}

}  // namespace

Eigen::MatrixXd filtfilt(const Eigen::MatrixXd& b, const Eigen::MatrixXd& a,
                         const Eigen::MatrixXd& x) {
  if (b.size() == 0 || a.size() == 0) return Eigen::MatrixXd();
  if (x.size() == 0) return Eigen::MatrixXd(x.rows(), x.cols());

  // A row vector is one sequence; otherwise every column is one.
  const bool row = x.rows() == 1;
  const Eigen::Index len = row ? x.cols() : x.rows();
  const Eigen::Index columns = row ? 1 : x.cols();

  const Eigen::Index nfilt = std::max(b.size(), a.size());
  const Eigen::Index nfact = 3 * (nfilt - 1);
  if (len <= nfact) throw Error("Data must have length more than 3 times filter order.");
  if (a.data()[0] == 0.0) throw Error("The first denominator coefficient must not be zero.");

  std::vector<double> bn(nfilt, 0.0);
  std::vector<double> an(nfilt, 0.0);
  const double a0 = a.data()[0];
  for (Eigen::Index i = 0; i < b.size(); ++i) bn[i] = b.data()[i] / a0;
  for (Eigen::Index i = 0; i < a.size(); ++i) an[i] = a.data()[i] / a0;
  const std::vector<double> zi = steady_state(bn, an);

  // The sequence is extended by nfact point-reflected values at each end (which continue the
  // slope of the data there); only the extensions need buffers of their own: the data is filtered
  // in the result. The backward pass stops at the start of the data, since the values it would
  // produce over the leading extension are dropped.
  Eigen::MatrixXd y(x.rows(), x.cols());
  std::vector<double> head(nfact);
  std::vector<double> tail(nfact);
  std::vector<double> state(nfilt - 1);
  const int nf = static_cast<int>(nfilt);
  for (Eigen::Index c = 0; c < columns; ++c) {
    const double* in = x.data() + c * len;
    double* out = y.data() + c * len;
    const double first = in[0];
    const double last = in[len - 1];
    for (Eigen::Index k = 0; k < nfact; ++k) head[k] = 2.0 * first - in[nfact - k];
    for (Eigen::Index k = 0; k < nfact; ++k) tail[k] = 2.0 * last - in[len - 2 - k];
    std::copy(in, in + len, out);

    const double start = nfact > 0 ? head[0] : out[0];
    for (Eigen::Index i = 0; i < nfilt - 1; ++i) state[i] = zi[i] * start;
    filter_in_place(bn.data(), an.data(), nf, state.data(), head.data(), nfact, 1);
    filter_in_place(bn.data(), an.data(), nf, state.data(), out, len, 1);
    filter_in_place(bn.data(), an.data(), nf, state.data(), tail.data(), nfact, 1);

    const double end = nfact > 0 ? tail[nfact - 1] : out[len - 1];
    for (Eigen::Index i = 0; i < nfilt - 1; ++i) state[i] = zi[i] * end;
    if (nfact > 0) {
      filter_in_place(bn.data(), an.data(), nf, state.data(), tail.data() + (nfact - 1), nfact, -1);
    }
    filter_in_place(bn.data(), an.data(), nf, state.data(), out + (len - 1), len, -1);
  }
  return y;
}

}  // namespace ziva
