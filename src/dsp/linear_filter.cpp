#include "dsp/linear_filter.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/error.h"

namespace ziva {
namespace {

// The state update is written in terms of the previous first state z0 (y = b0 x + z0), so that
// the loop-carried dependency is one multiply and one subtraction per sample:
// z(i) <- (b(i+1) - a(i+1) b0) x + z(i+1) - a(i+1) z0.

// Fixed-length kernel: the state lives in registers, the inner loops unroll.
template <int N>
void run_fixed(const double* b, const double* a, double* state, double* data, Eigen::Index count,
               Eigen::Index step) {
  std::array<double, N> c{};
  std::array<double, N> aa{};
  std::array<double, N> z{};  // z[N-1] stays zero
  const double b0 = b[0];
  for (int i = 1; i < N; ++i) {
    c[i] = b[i] - a[i] * b0;
    aa[i] = a[i];
  }
  for (int i = 0; i + 1 < N; ++i) z[i] = state[i];
  double* p = data;
  for (Eigen::Index k = 0; k < count; ++k, p += step) {
    const double x = *p;
    const double z0 = z[0];
    *p = b0 * x + z0;
    for (int i = 0; i + 1 < N; ++i) z[i] = c[i + 1] * x + z[i + 1] - aa[i + 1] * z0;
  }
  for (int i = 0; i + 1 < N; ++i) state[i] = z[i];
}

void run_general(const double* b, const double* a, int nfilt, double* state, double* data,
                 Eigen::Index count, Eigen::Index step) {
  const int m = nfilt - 1;
  const double b0 = b[0];
  std::vector<double> c(nfilt);
  for (int i = 1; i < nfilt; ++i) c[i] = b[i] - a[i] * b0;
  double* p = data;
  for (Eigen::Index k = 0; k < count; ++k, p += step) {
    const double x = *p;
    const double z0 = state[0];
    *p = b0 * x + z0;
    for (int i = 0; i + 1 < m; ++i) state[i] = c[i + 1] * x + state[i + 1] - a[i + 1] * z0;
    state[m - 1] = c[m] * x - a[m] * z0;
  }
}

}  // namespace

void filter_in_place(const double* b, const double* a, int nfilt, double* state, double* data,
                     Eigen::Index count, Eigen::Index step) {
  switch (nfilt) {
    case 1: {
      const double g = b[0];
      double* p = data;
      for (Eigen::Index k = 0; k < count; ++k, p += step) *p *= g;
      return;
    }
    case 2:
      return run_fixed<2>(b, a, state, data, count, step);
    case 3:
      return run_fixed<3>(b, a, state, data, count, step);
    case 4:
      return run_fixed<4>(b, a, state, data, count, step);
    case 5:
      return run_fixed<5>(b, a, state, data, count, step);
    case 6:
      return run_fixed<6>(b, a, state, data, count, step);
    case 7:
      return run_fixed<7>(b, a, state, data, count, step);
    case 8:
      return run_fixed<8>(b, a, state, data, count, step);
    default:
      return run_general(b, a, nfilt, state, data, count, step);
  }
}

Eigen::VectorXd linear_filter(const Eigen::VectorXd& b, const Eigen::VectorXd& a,
                              const Eigen::VectorXd& x, const Eigen::VectorXd& zi) {
  if (a.size() == 0 || a(0) == 0.0) {
    throw Error("The first denominator coefficient must not be zero.");
  }
  const Eigen::Index nfilt = std::max(b.size(), a.size());
  if (zi.size() != 0 && zi.size() != nfilt - 1) {
    throw Error("The initial state must have one value less than the longer coefficient vector.");
  }
  Eigen::VectorXd bn = Eigen::VectorXd::Zero(nfilt);
  Eigen::VectorXd an = Eigen::VectorXd::Zero(nfilt);
  bn.head(b.size()) = b / a(0);
  an.head(a.size()) = a / a(0);
  Eigen::VectorXd state = zi.size() == 0 ? Eigen::VectorXd::Zero(nfilt - 1) : zi;
  Eigen::VectorXd y = x;
  filter_in_place(bn.data(), an.data(), static_cast<int>(nfilt), state.data(), y.data(), y.size(),
                  1);
  return y;
}

}  // namespace ziva
