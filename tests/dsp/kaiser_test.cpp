// Kaiser window, sinc and the window-length check.
#include "dsp/kaiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/warning.h"

namespace ziva {
namespace {

std::vector<std::string> g_warnings;

ScopedWarningSink collect() {
  g_warnings.clear();
  return ScopedWarningSink([](const std::string& t) { g_warnings.push_back(t); });
}

// The window from its definition, with the standard library's Bessel function as reference.
double kaiser_reference(int n, double beta, int k) {
  const double x = 2.0 * k / (n - 1) - 1.0;
  return std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
}

TEST(Kaiser, TrivialLengths) {
  EXPECT_EQ(kaiser(0, 5).size(), 0);
  const Eigen::VectorXd one = kaiser(1, 5);
  ASSERT_EQ(one.size(), 1);
  EXPECT_EQ(one(0), 1.0);
  for (int n : {7, 8}) {
    const Eigen::VectorXd w = kaiser(n, 0);
    ASSERT_EQ(w.size(), n);
    for (int k = 0; k < n; ++k) EXPECT_DOUBLE_EQ(w(k), 1.0);
  }
}

TEST(Kaiser, MatchesDefinitionOddEvenAndLargeBeta) {
  // Tolerance: a few ulps of the ratio; the reference's own error is of that order.
  for (int n : {2, 7, 8, 201}) {
    for (double beta : {0.5, 5.0, 20.0, 45.0, 80.0}) {
      const Eigen::VectorXd w = kaiser(n, beta);
      ASSERT_EQ(w.size(), n);
      for (int k = 0; k < n; ++k) {
        const double ref = kaiser_reference(n, beta, k);
        EXPECT_NEAR(w(k), ref, 1e-13 * std::max(ref, 1e-300) + 1e-300)
            << n << " " << beta << " " << k;
        EXPECT_EQ(w(k), w(n - 1 - k));
      }
    }
  }
  // Odd lengths peak at exactly 1 in the middle; a negative beta gives the same window.
  EXPECT_EQ(kaiser(9, 5)(4), 1.0);
  EXPECT_EQ(kaiser(9, -5), kaiser(9, 5));
}

TEST(Kaiser, HugeBetaStaysFinite) {
  const Eigen::VectorXd w = kaiser(11, 2000);
  EXPECT_EQ(w(5), 1.0);
  EXPECT_TRUE(w.allFinite());
  EXPECT_EQ(w(0), 0.0);  // e^-2000 underflows
}

TEST(CheckOrder, LengthsAndMessages) {
  auto sink = collect();
  try {
    check_order(-1);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Order cannot be less than zero.");
  }
  EXPECT_THROW(check_order(std::nan("")), Error);
  EXPECT_TRUE(g_warnings.empty());

  const CheckedOrder rounded = check_order(2.6);
  EXPECT_EQ(rounded.n, 3);
  EXPECT_FALSE(rounded.trivial);
  ASSERT_EQ(g_warnings.size(), 1u);
  EXPECT_EQ(g_warnings[0], "Rounding order to nearest integer.");
  EXPECT_EQ(kaiser(2.6, 3).size(), 3);

  const CheckedOrder empty = check_order(Eigen::MatrixXd());
  EXPECT_TRUE(empty.trivial);
  EXPECT_EQ(empty.w.size(), 0);
  const CheckedOrder one = check_order(1.0);
  EXPECT_TRUE(one.trivial);
  ASSERT_EQ(one.w.size(), 1);
  EXPECT_EQ(one.w(0), 1.0);
}

TEST(Sinc, ValuesAndShape) {
  EXPECT_EQ(sinc(0.0), 1.0);
  EXPECT_NEAR(sinc(0.5), 2 / std::numbers::pi, 1e-16);
  for (double k : {1.0, -2.0, 7.0, 1e6}) EXPECT_EQ(sinc(k), 0.0) << k;
  for (double x : {0.1, 0.25, 1.5, -3.3, 123.456}) {
    EXPECT_NEAR(sinc(x), std::sin(std::numbers::pi * x) / (std::numbers::pi * x), 1e-14) << x;
    EXPECT_EQ(sinc(x), sinc(-x));
  }
  Eigen::MatrixXd x(2, 3);
  x << 0, 0.5, 1, -0.5, 2.5, 0.25;
  const Eigen::MatrixXd y = sinc(x);
  ASSERT_EQ(y.rows(), 2);
  ASSERT_EQ(y.cols(), 3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(y(i), sinc(x(i)));
}

}  // namespace
}  // namespace ziva
