#include "dsp/hanning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
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

TEST(Hanning, PeriodicIsZeroThenShorterSymmetricWindow) {
  const Eigen::VectorXd four = hanning(4);
  for (const char* flag : {"periodic", "p", "PER", "Periodic"}) {
    const Eigen::VectorXd w = hanning(5, std::string(flag));
    ASSERT_EQ(w.size(), 5) << flag;
    EXPECT_EQ(w(0), 0.0);
    EXPECT_EQ(w.tail(4), four) << flag;
  }
  EXPECT_EQ(hanning(4, std::string("S")), four);
}

TEST(Hanning, TrivialLengthsAndRounding) {
  EXPECT_EQ(hanning(0).size(), 0);
  EXPECT_EQ(hanning(Eigen::MatrixXd()).size(), 0);
  ASSERT_EQ(hanning(1).size(), 1);
  EXPECT_EQ(hanning(1)(0), 1.0);
  // Trivial lengths return before the flag is looked at.
  EXPECT_EQ(hanning(1, std::string("bogus"))(0), 1.0);

  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& text) { warnings.push_back(text); });
  EXPECT_EQ(hanning(3.6), hanning(4));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Rounding order to nearest integer.");
}

TEST(Hanning, Errors) {
  EXPECT_EQ(error_of([] { hanning(-2); }), "Order cannot be less than zero.");
  const std::string flag_message = "Sampling flag must be either 'symmetric' or 'periodic'.";
  EXPECT_EQ(error_of([] { hanning(8, std::string("hamming")); }), flag_message);
  EXPECT_EQ(error_of([] { hanning(8, std::string("symmetrical")); }), flag_message);
  // The empty text is a prefix of both flags: ambiguous.
  EXPECT_EQ(error_of([] { hanning(8, std::string("")); }), flag_message);
}

}  // namespace
}  // namespace ziva
