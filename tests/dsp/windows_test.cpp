// The Hanning and Kaiser windows against their definitions, sinc, and the window-length check
// both share.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
#include "dsp/hanning.h"
#include "dsp/kaiser.h"
#include "support/error_of.h"

namespace ziva {
using ziva::testing::error_of;

namespace {

TEST(Hanning, SymmetricWindowsMatchClosedForms) {
  // n = 4: cos(2π/5) = (√5 − 1)/4 and cos(4π/5) = −(√5 + 1)/4.
  const double s5 = std::sqrt(5.0);
  const std::vector<double> four{(5 - s5) / 8, (5 + s5) / 8, (5 + s5) / 8, (5 - s5) / 8};
  // n = 5: 0.5·(1 − cos(π·k/3)) = 1/4, 3/4, 1, 3/4, 1/4.
  const std::vector<double> five{0.25, 0.75, 1.0, 0.75, 0.25};
  for (const auto& expected : {four, five}) {
    const Eigen::VectorXd w = hanning(static_cast<double>(expected.size()));
    ASSERT_EQ(w.size(), static_cast<Eigen::Index>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(w(i), expected[i], 1e-15);
  }
  // The system's window: exactly mirror-symmetric, no zero ends.
  const Eigen::VectorXd w = hanning(1764, std::string("symmetric"));
  ASSERT_EQ(w.size(), 1764);
  for (Eigen::Index i = 0; i < w.size(); ++i) EXPECT_EQ(w(i), w(w.size() - 1 - i));
  EXPECT_NEAR(w(0), 0.5 * (1 - std::cos(2 * std::numbers::pi / 1765)), 1e-15);
}

TEST(Hanning, PeriodicIsZeroThenShorterSymmetricWindowAndOtherFlagsAreRefused) {
  const Eigen::VectorXd four = hanning(4);
  for (const char* flag : {"periodic", "p", "PER", "Periodic"}) {
    const Eigen::VectorXd w = hanning(5, std::string(flag));
    ASSERT_EQ(w.size(), 5) << flag;
    EXPECT_EQ(w(0), 0.0);
    EXPECT_EQ(w.tail(4), four) << flag;
  }
  EXPECT_EQ(hanning(4, std::string("S")), four);
  // Other flags are refused; the empty text is a prefix of both flags: ambiguous.
  for (const char* flag : {"hamming", "symmetrical", ""}) {
    EXPECT_EQ(error_of([&] { hanning(8, std::string(flag)); }),
              "Sampling flag must be either 'symmetric' or 'periodic'.")
        << flag;
  }
}

// Lengths are checked and rounded the same way for both windows.
TEST(WindowLength, TrivialRoundedAndRefusedLengths) {
  EXPECT_EQ(hanning(0).size(), 0);
  EXPECT_EQ(kaiser(0, 5).size(), 0);
  EXPECT_EQ(hanning(Eigen::MatrixXd()).size(), 0);
  EXPECT_EQ(hanning(1), Eigen::VectorXd::Ones(1));
  EXPECT_EQ(kaiser(1, 5), Eigen::VectorXd::Ones(1));
  // Trivial lengths return before the flag is looked at.
  EXPECT_EQ(hanning(1, std::string("bogus"))(0), 1.0);

  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& text) { warnings.push_back(text); });
  EXPECT_EQ(hanning(3.6), hanning(4));
  EXPECT_EQ(kaiser(2.6, 3).size(), 3);
  EXPECT_EQ(warnings, std::vector<std::string>(2, "Rounding order to nearest integer."));

  EXPECT_EQ(error_of([] { hanning(-2); }), "Order cannot be less than zero.");
  EXPECT_EQ(error_of([] { kaiser(-1, 5); }), "Order cannot be less than zero.");
  EXPECT_THROW(check_order(std::nan("")), Error);
  EXPECT_EQ(warnings.size(), 2u);
}

TEST(Kaiser, MatchesDefinitionOddEvenAndLargeBeta) {
  // The window from its definition, with the standard library's Bessel function as reference.
  // Tolerance: a few ulps of the ratio; the reference's own error is of that order.
  for (int n : {2, 7, 8, 201}) {
    for (double beta : {0.0, 0.5, 5.0, 20.0, 45.0, 80.0}) {
      const Eigen::VectorXd w = kaiser(n, beta);
      ASSERT_EQ(w.size(), n);
      for (int k = 0; k < n; ++k) {
        const double x = 2.0 * k / (n - 1) - 1.0;
        const double ref =
            std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
        EXPECT_NEAR(w(k), ref, 1e-13 * std::max(ref, 1e-300) + 1e-300)
            << n << " " << beta << " " << k;
        EXPECT_EQ(w(k), w(n - 1 - k));
      }
    }
  }
  // Odd lengths peak at exactly 1 in the middle; a negative beta gives the same window.
  EXPECT_EQ(kaiser(9, 5)(4), 1.0);
  EXPECT_EQ(kaiser(9, -5), kaiser(9, 5));
  // A huge beta stays finite: e^-2000 underflows at the ends.
  const Eigen::VectorXd huge = kaiser(11, 2000);
  EXPECT_EQ(huge(5), 1.0);
  EXPECT_TRUE(huge.allFinite());
  EXPECT_EQ(huge(0), 0.0);
}

TEST(Sinc, ValuesAndShape) {
  EXPECT_EQ(sinc(0.0), 1.0);
  EXPECT_NEAR(sinc(0.5), 2 / std::numbers::pi, 1e-16);
  for (double k : {1.0, -2.0, 7.0, 1e6}) EXPECT_EQ(sinc(k), 0.0) << k;
  for (double x : {0.25, 1.5, -3.3}) EXPECT_EQ(sinc(x), sinc(-x));
  EXPECT_NEAR(sinc(1.5), -2 / (3 * std::numbers::pi), 1e-16);
  // A matrix element by element, keeping its shape.
  const Eigen::MatrixXd x = (Eigen::MatrixXd(2, 3) << 0, 0.5, 1, -0.5, 2.5, 0.25).finished();
  const Eigen::MatrixXd y = sinc(x);
  ASSERT_TRUE(y.rows() == 2 && y.cols() == 3);
  EXPECT_EQ(y, x.unaryExpr([](double v) { return sinc(v); }).eval());
}

}  // namespace
}  // namespace ziva
