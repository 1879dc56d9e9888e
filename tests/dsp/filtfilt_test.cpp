#include "dsp/filtfilt.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "dsp/butter.h"
#include "dsp/linear_filter.h"
#include "support/error_of.h"
#include "support/signals.h"

namespace {

struct Filter {
  Eigen::MatrixXd b;
  Eigen::MatrixXd a;
};

Filter lowpass(double wn) {
  const ziva::ButterCoeffs c = ziva::butter_lowpass(3, wn);
  return {c.b, c.a};
}

// The causal filter by its difference equation a0 y(k) = sum b(j) x(k-j) - sum a(j) y(k-j).
Eigen::VectorXd difference_equation(const Eigen::MatrixXd& b, const Eigen::MatrixXd& a,
                                    const Eigen::VectorXd& x) {
  Eigen::VectorXd y = Eigen::VectorXd::Zero(x.size());
  for (Eigen::Index k = 0; k < x.size(); ++k) {
    double acc = 0.0;
    for (Eigen::Index j = 0; j < b.size() && j <= k; ++j) acc += b(j) * x(k - j);
    for (Eigen::Index j = 1; j < a.size() && j <= k; ++j) acc -= a(j) * y(k - j);
    y(k) = acc / a(0);
  }
  return y;
}

std::string error_of(const Filter& f, const Eigen::MatrixXd& x) {
  return ziva::testing::error_of([&] { ziva::filtfilt(f.b, f.a, x); });
}

TEST(Filtfilt, ConstantIsUnchanged) {
  for (double wn : {0.25, 0.05, 0.9}) {
    const Filter f = lowpass(wn);
    const Eigen::VectorXd x = Eigen::VectorXd::Constant(50, 7.25);
    const Eigen::MatrixXd y = ziva::filtfilt(f.b, f.a, x);
    EXPECT_LT((y - x).cwiseAbs().maxCoeff(), 1e-12) << wn;
  }
  // A moving average: the denominator is padded to the numerator's length.
  const Eigen::MatrixXd y = ziva::filtfilt(Eigen::RowVector3d(0.25, 0.5, 0.25),
                                           Eigen::MatrixXd::Ones(1, 1), Eigen::VectorXd::Ones(8));
  EXPECT_LT((y.array() - 1.0).abs().maxCoeff(), 1e-15);
}

// The reflection continues a ramp, so the only deviation is the start-up transient of a pass
// started in the steady state of a constant: about the slope times the filter's delay at zero
// frequency (~2 samples), shrunk by the 9 reflected samples at the decay of the slowest pole
// (radius 0.69 for the cut-off 0.25; 0.69^9 ~ 0.036). So less than 0.1 of one step remains at
// the ends, and the deviation has died out 70 samples in.
TEST(Filtfilt, RampIsAlmostUnchangedAtTheEndsAndExactInside) {
  const Filter f = lowpass(0.25);
  const double slope = 0.8;
  Eigen::VectorXd x(200);
  for (Eigen::Index i = 0; i < x.size(); ++i) x(i) = 3.0 + slope * static_cast<double>(i);
  const Eigen::VectorXd y = ziva::filtfilt(f.b, f.a, x);
  EXPECT_LT((y - x).cwiseAbs().maxCoeff(), 0.1 * slope);
  EXPECT_LT((y - x).segment(70, 60).cwiseAbs().maxCoeff(), 1e-10);
}

// The forward-backward filter's impulse response is the autocorrelation of the causal one:
// symmetric about the impulse (no phase shift) and summing to the squared DC gain; away from the
// ends this fixes the filter, its gain at every frequency being the causal one's squared.
TEST(Filtfilt, ImpulseResponseIsTheSymmetricAutocorrelation) {
  const Filter f = lowpass(0.2);
  const int len = 401;
  const int centre = 200;
  Eigen::VectorXd x = Eigen::VectorXd::Zero(len);
  x(centre) = 1.0;
  const Eigen::VectorXd y = ziva::filtfilt(f.b, f.a, x);
  const Eigen::VectorXd h = difference_equation(f.b, f.a, Eigen::VectorXd::Unit(600, 0));
  for (int m = 0; m <= 60; ++m) {
    const double g = h.head(600 - m).dot(h.tail(600 - m));
    EXPECT_NEAR(y(centre + m), g, 1e-14) << m;
    EXPECT_NEAR(y(centre - m), g, 1e-14) << m;
  }
  EXPECT_NEAR(y.sum(), 1.0, 1e-12);
}

TEST(Filtfilt, RowsColumnsAndMatrices) {
  const Filter f = lowpass(0.25);
  Eigen::MatrixXd both(40, 2);
  both << ziva::testing::gaussian(40, 1), ziva::testing::gaussian(40, 2);
  const Eigen::MatrixXd y = ziva::filtfilt(f.b, f.a, both);
  ASSERT_EQ(y.rows(), 40);
  ASSERT_EQ(y.cols(), 2);
  const Eigen::VectorXd x1 = both.col(0), y1 = y.col(0);
  EXPECT_EQ(ziva::filtfilt(f.b, f.a, x1), y1);
  EXPECT_EQ(ziva::filtfilt(f.b, f.a, both.col(1)), y.col(1));
  EXPECT_EQ(ziva::filtfilt(f.b, f.a, x1.transpose()), y1.transpose());
  // Coefficients as columns work the same; scaling both by a(1) changes nothing.
  EXPECT_EQ(ziva::filtfilt(f.b.transpose(), f.a.transpose(), x1), y1);
  EXPECT_LT((ziva::filtfilt(2.5 * f.b, 2.5 * f.a, x1) - y1).cwiseAbs().maxCoeff(), 1e-13);
}

TEST(Filtfilt, NeedsMoreThanThreeTimesTheOrderButNothingIsEmpty) {
  const Filter f = lowpass(0.25);
  EXPECT_EQ(ziva::filtfilt(f.b, f.a, Eigen::MatrixXd()).size(), 0);
  EXPECT_EQ(ziva::filtfilt(f.b, f.a, Eigen::MatrixXd(0, 3)).size(), 0);
  EXPECT_EQ(ziva::filtfilt(Eigen::MatrixXd(), f.a, Eigen::VectorXd::Ones(20)).size(), 0);
  EXPECT_EQ(error_of(f, Eigen::VectorXd::Ones(10)), "");
  // A pure gain has order 0: one sample is enough, and it is scaled by the gain squared.
  EXPECT_EQ(ziva::filtfilt(Eigen::MatrixXd::Constant(1, 1, 2.0), Eigen::MatrixXd::Ones(1, 1),
                           Eigen::MatrixXd::Constant(1, 1, 3.0))(0, 0),
            12.0);
  EXPECT_EQ(error_of(f, Eigen::VectorXd::Ones(9)),
            "Data must have length more than 3 times filter order.");
  EXPECT_EQ(error_of(f, Eigen::MatrixXd::Ones(9, 2)),
            "Data must have length more than 3 times filter order.");
  EXPECT_EQ(error_of({f.b, Eigen::MatrixXd::Zero(1, 4)}, Eigen::VectorXd::Ones(20)),
            "The first denominator coefficient must not be zero.");
}

// The linear filter against the difference equation, with and without an initial state.
TEST(LinearFilter, MatchesTheDifferenceEquation) {
  Eigen::VectorXd b(3), a(2);
  b << 0.5, -0.2, 0.1;
  a << 2.0, -0.6;
  const Eigen::VectorXd x = ziva::testing::gaussian(30, 3);
  const Eigen::VectorXd want = difference_equation(b, a, x);
  EXPECT_LT((ziva::linear_filter(b, a, x) - want).cwiseAbs().maxCoeff(), 1e-14);

  // A state of zeros but one is the same as feeding its effect as extra input samples: with
  // zi = (z1, z2), y(0) gains z1 and y(1) gains z2 - a1 z1 (a normalised).
  Eigen::VectorXd zi(2);
  zi << 0.7, -0.3;
  const Eigen::VectorXd y = ziva::linear_filter(b, a, x, zi);
  Eigen::VectorXd extra(30);
  extra(0) = zi(0);
  extra(1) = zi(1) - (a(1) / a(0)) * extra(0);
  for (int k = 2; k < 30; ++k) extra(k) = -(a(1) / a(0)) * extra(k - 1);
  EXPECT_LT((y - want - extra).cwiseAbs().maxCoeff(), 1e-14);
  EXPECT_THROW(ziva::linear_filter(b, Eigen::VectorXd::Zero(2), x), ziva::Error);
}

}  // namespace
