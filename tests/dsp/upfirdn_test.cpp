// Polyphase upfirdn against a naive upsample - convolve - downsample.
#include "dsp/upfirdn.h"

#include <gtest/gtest.h>

#include <complex>
#include <tuple>
#include <vector>

#include "base/error.h"
#include "support/signals.h"

namespace ziva {
namespace {

using testing::gaussian;

// Inserts p - 1 zeros after every sample, convolves fully, keeps every q-th sample from the first.
template <typename T>
Eigen::Matrix<T, Eigen::Dynamic, 1> naive(const Eigen::VectorXd& x,
                                          const Eigen::Matrix<T, Eigen::Dynamic, 1>& h, int p,
                                          int q) {
  const Eigen::Index lu = (x.size() - 1) * p + 1;  // upsampled, without the trailing zeros
  std::vector<double> u(static_cast<size_t>(lu), 0.0);
  for (Eigen::Index i = 0; i < x.size(); ++i) u[static_cast<size_t>(i * p)] = x(i);
  const Eigen::Index lc = lu + h.size() - 1;
  std::vector<T> c(static_cast<size_t>(lc), T(0));
  for (Eigen::Index n = 0; n < lu; ++n) {
    if (u[static_cast<size_t>(n)] == 0) continue;  // zero terms add nothing
    for (Eigen::Index k = 0; k < h.size(); ++k)
      c[static_cast<size_t>(n + k)] += h(k) * u[static_cast<size_t>(n)];
  }
  Eigen::Matrix<T, Eigen::Dynamic, 1> y((lc + q - 1) / q);
  for (Eigen::Index m = 0; m < y.size(); ++m) y(m) = c[static_cast<size_t>(m * q)];
  return y;
}

TEST(Upfirdn, MatchesNaiveForManyFactorsAndLengths) {
  // Tolerance: sums of up to ~100 products of unit-size numbers, in another order.
  struct Case {
    int p, q, lx, lh;
  };
  // clang-format off
  const Case cases[] = {{1, 1, 50, 7}, {1, 10, 200, 201}, {3, 1, 40, 31}, {147, 160, 60, 2001},
                        {2, 3, 1, 5}, {4, 4, 20, 1}, {1, 7, 5, 200}, {3, 5, 17, 2},
                        // long enough for phases of 16 taps or more inside the signal
                        {1, 10, 2000, 201}, {3, 2, 500, 300}, {147, 160, 1500, 4001}};
  // clang-format on
  unsigned seed = 1;
  for (const Case& c : cases) {
    const Eigen::VectorXd x = gaussian(c.lx, seed++);
    const Eigen::VectorXd h = gaussian(c.lh, seed++);
    const Eigen::MatrixXd y = upfirdn(Eigen::MatrixXd(x), Eigen::MatrixXd(h), c.p, c.q);
    const Eigen::VectorXd ref = naive<double>(x, h, c.p, c.q);
    const Eigen::Index expected = ((c.lx - 1) * c.p + c.lh + c.q - 1) / c.q;
    ASSERT_EQ(y.rows(), expected) << c.p << "/" << c.q;
    ASSERT_EQ(y.cols(), 1);
    EXPECT_LT((y.col(0) - ref).cwiseAbs().maxCoeff(), 1e-12) << c.p << "/" << c.q;
  }
}

TEST(Upfirdn, ShapesOfSignalsAndFilters) {
  const Eigen::VectorXd a = gaussian(30, 11), b = gaussian(30, 12);
  const Eigen::VectorXd h1 = gaussian(9, 13), h2 = gaussian(9, 14);
  Eigen::MatrixXd x(30, 2);
  x << a, b;
  Eigen::MatrixXd hh(9, 2);
  hh << h1, h2;

  // Matrix signal, one filter (given as a row): column by column.
  const Eigen::MatrixXd y = upfirdn(x, Eigen::MatrixXd(h1.transpose()), 3, 2);
  ASSERT_EQ(y.cols(), 2);
  EXPECT_LT((y.col(0) - naive<double>(a, h1, 3, 2)).cwiseAbs().maxCoeff(), 1e-12);
  EXPECT_LT((y.col(1) - naive<double>(b, h1, 3, 2)).cwiseAbs().maxCoeff(), 1e-12);

  // Vector signal, filter matrix: one column per filter.
  const Eigen::MatrixXd yf = upfirdn(Eigen::MatrixXd(a), hh, 2, 3);
  ASSERT_EQ(yf.cols(), 2);
  EXPECT_LT((yf.col(1) - naive<double>(a, h2, 2, 3)).cwiseAbs().maxCoeff(), 1e-12);

  // Matrix signal and filter matrix of the same width: paired.
  const Eigen::MatrixXd yp = upfirdn(x, hh, 1, 1);
  EXPECT_LT((yp.col(0) - naive<double>(a, h1, 1, 1)).cwiseAbs().maxCoeff(), 1e-12);
  EXPECT_LT((yp.col(1) - naive<double>(b, h2, 1, 1)).cwiseAbs().maxCoeff(), 1e-12);

  // Row signal with one filter: a row result.
  const Eigen::MatrixXd yr = upfirdn(Eigen::MatrixXd(a.transpose()), Eigen::MatrixXd(h1), 2, 5);
  ASSERT_EQ(yr.rows(), 1);
  EXPECT_LT((yr.row(0).transpose() - naive<double>(a, h1, 2, 5)).cwiseAbs().maxCoeff(), 1e-12);

  // Empty signal: empty result.
  EXPECT_EQ(upfirdn(Eigen::MatrixXd(0, 1), Eigen::MatrixXd(h1), 2, 3).rows(), 0);
}

TEST(Upfirdn, ComplexFilterBankOneColumnPerFilter) {
  // The filter-bank form: each column of a complex matrix is one filter, p = 1.
  const Eigen::VectorXd x = gaussian(120, 21);
  const int nfilt = 4, len = 16;
  Eigen::MatrixXcd d(len, nfilt);
  for (int k = 0; k < nfilt; ++k) {
    for (int n = 0; n < len; ++n) {
      d(n, k) = std::polar(0.5 + 0.1 * n, -0.3 * k * (len - n));
    }
  }
  const Eigen::MatrixXcd y = upfirdn(Eigen::MatrixXd(x), d, 1, 5);
  ASSERT_EQ(y.cols(), nfilt);
  ASSERT_EQ(y.rows(), (119 + len + 4) / 5);
  for (int k = 0; k < nfilt; ++k) {
    const Eigen::VectorXcd ref = naive<std::complex<double>>(x, d.col(k), 1, 5);
    EXPECT_LT((y.col(k) - ref).cwiseAbs().maxCoeff(), 1e-12);
  }
  // A single-row filter matrix is that many one-tap filters.
  const Eigen::MatrixXcd taps = Eigen::MatrixXcd::Constant(1, 3, std::complex<double>(2, -1));
  const Eigen::MatrixXcd y1 = upfirdn(Eigen::MatrixXd(x), taps, 1, 1);
  ASSERT_EQ(y1.cols(), 3);
  ASSERT_EQ(y1.rows(), x.size());
  EXPECT_EQ(y1(7, 2), std::complex<double>(2 * x(7), -x(7)));
}

TEST(Upfirdn, WindowIsASliceOfTheZeroPaddedFilterOutput) {
  const Eigen::VectorXd x = gaussian(70, 41);
  const Eigen::VectorXd h = gaussian(45, 42);
  for (int lead : {0, 3, 17}) {
    Eigen::VectorXd padded = Eigen::VectorXd::Zero(lead + 45 + 40);
    padded.segment(lead, 45) = h;
    const Eigen::VectorXd full = naive<double>(x, padded, 7, 4);
    const Eigen::MatrixXd w =
        upfirdn_window(Eigen::MatrixXd(x), Eigen::MatrixXd(h), 7, 4, lead, 5, full.size() - 5);
    ASSERT_EQ(w.rows(), full.size() - 5);
    EXPECT_LT((w.col(0) - full.tail(full.size() - 5)).cwiseAbs().maxCoeff(), 1e-12) << lead;
  }
}

// Interior samples may be computed several at a time; every sample must come out the same
// whichever neighbours it is computed with, for one phase (p = 1) and for many.
TEST(Upfirdn, EverySampleIsTheSameInEveryWindow) {
  const Eigen::MatrixXd x = gaussian(3000, 33);
  for (const auto& [p, q, taps] : {std::tuple{1, 10, 201}, std::tuple{147, 160, 2941}}) {
    const Eigen::MatrixXd h = gaussian(taps, 34);
    const Eigen::MatrixXd whole = upfirdn_window(x, h, p, q, 5, 0, 600);
    for (std::int64_t first : {1, 2, 3, 250}) {
      const Eigen::MatrixXd part = upfirdn_window(x, h, p, q, 5, first, 7);
      EXPECT_TRUE(part == whole.middleRows(first, 7)) << p << " " << first;
    }
  }
}

TEST(Upfirdn, Errors) {
  const Eigen::MatrixXd x = Eigen::MatrixXd::Ones(10, 3);
  const Eigen::MatrixXd h = Eigen::MatrixXd::Ones(4, 1);
  EXPECT_THROW(upfirdn(x, h, 0, 1), Error);
  EXPECT_THROW(upfirdn(x, h, 1, -2), Error);
  EXPECT_THROW(upfirdn(x, Eigen::MatrixXd::Ones(4, 2), 1, 1), Error);
}

}  // namespace
}  // namespace ziva
