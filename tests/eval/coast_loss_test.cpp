// The road load measured from a clutch-in coast: the robust fit on hand-made data and the
// continuation below the coast. Simulated coasts end to end: accuracy_test.cpp.
#include "eval/coast_loss.h"

#include <gtest/gtest.h>

#include "base/error.h"

using namespace ziva;

// A quadratic through hand-picked points is recovered exactly; a tenth of the samples thrown far
// off (both ways) get weight 0 and leave the coefficients where they were.
TEST(CoastLoss, RobustFitRecoversQuadraticAndRejectsOutliers) {
  const int n = 60;
  Eigen::VectorXd x(n), y(n);
  for (int i = 0; i < n; ++i) {
    x(i) = 18 + 20.0 * i / (n - 1);
    // 28.5 + 0.2·v + 0.24·v², and a small alternating ripple of ±0.5 N.
    y(i) = 28.5 + 0.2 * x(i) + 0.24 * x(i) * x(i) + (i % 2 == 0 ? 0.5 : -0.5);
  }
  // The ripple moves the coefficients by at most these (least squares of ±0.5 over 18…38).
  auto near_truth = [](const RobustFit& f) {
    EXPECT_NEAR(f.coeffs(0), 28.5, 0.5);
    EXPECT_NEAR(f.coeffs(1), 0.2, 0.03);
    EXPECT_NEAR(f.coeffs(2), 0.24, 0.001);
  };
  near_truth(robust_polyfit(x, y, 2));
  for (int i = 3; i < n; i += 10) y(i) += (i % 20 == 3 ? 150 : -150);
  const RobustFit fit = robust_polyfit(x, y, 2);
  near_truth(fit);
  for (int i = 0; i < n; ++i) EXPECT_EQ(fit.weights(i) == 0, i % 10 == 3) << i;
  EXPECT_NEAR(fit.scale, 0.5 * 1.4826, 0.05);
  EXPECT_THROW(robust_polyfit(x.head(3), y.head(3), 2), Error);
}

// Below the coast the curve goes on while it falls towards rest, is held at its lowest value
// beyond, and never goes negative (values by hand).
TEST(CoastLoss, LoadBelowTheCoastNeverRisesTowardsRestNorGoesNegative) {
  RoadLoad load;
  load.low = 10;
  load.high = 30;
  load.c = Eigen::Vector3d(20, -4, 0.5);  // lowest at v = 4: 12 N
  EXPECT_DOUBLE_EQ(load.force(12), 44);
  EXPECT_DOUBLE_EQ(load.force(6), 14);
  EXPECT_DOUBLE_EQ(load.force(2), 12);
  EXPECT_DOUBLE_EQ(load.power(2), 24);
  load.c = Eigen::Vector3d(-50, 0, 1);  // zero at v = 7.07
  EXPECT_DOUBLE_EQ(load.force(8), 14);
  EXPECT_DOUBLE_EQ(load.force(5), 0);
}
