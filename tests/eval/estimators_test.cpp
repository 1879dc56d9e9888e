// The pieces of the precise evaluation against values derived by hand: full-load detection on
// constructed traces, local polynomial fits, refined spectral peaks and pulse edges, the quality
// verdicts of tone traces from clean, noisy and mismatched signals, and the road load measured
// from a clutch-in coast (simulated coasts end to end: accuracy_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "base/error.h"
#include "eval/coast_loss.h"
#include "eval/dig2v.h"
#include "eval/full_load.h"
#include "eval/smoothing.h"
#include "eval/trace_quality.h"
#include "eval/wav2v.h"
#include "sim/simulate.h"
#include "support/short_run.h"

using namespace ziva;

namespace {

// A run sampled every `step` s: constant v0 until t1, rising with 3 − 0.2·(t − t1) (speed units
// per second) until t2, falling at 2 per second after; `scale` multiplies everything (units).
struct Shape {
  double step, scale, t1 = 3, t2 = 9, end = 12;
};

double speed_at(double t, const Shape& r) {
  auto rise = [&](double x) { return 3 * x - 0.1 * x * x; };
  if (t < r.t1) return r.scale * 10;
  if (t < r.t2) return r.scale * (10 + rise(t - r.t1));
  return r.scale * (10 + rise(r.t2 - r.t1) - 2 * (t - r.t2));
}

class FullLoadDetection : public ::testing::TestWithParam<Shape> {};

}  // namespace

TEST_P(FullLoadDetection, FindsTheRiseAtAnySpacingAndUnit) {
  const Shape r = GetParam();
  const auto n = static_cast<Eigen::Index>(r.end / r.step);
  Eigen::RowVectorXd t(n), v(n);
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0, 0.002);
  for (Eigen::Index i = 0; i < n; ++i) {
    t(i) = static_cast<double>(i) * r.step;
    v(i) = speed_at(t(i), r) * (1 + noise(gen));
  }
  const std::optional<IndexRange> found = find_full_load(t, v, v * 300, 0.4);
  ASSERT_TRUE(found);
  // Within half the resolution plus two steps of the corners, and never outside them.
  const double slack = 0.2 + 2 * r.step + 1e-9;
  EXPECT_GE(t(found->first), r.t1);
  EXPECT_LE(t(found->first), r.t1 + slack);
  EXPECT_LE(t(found->last), r.t2);
  EXPECT_GE(t(found->last), r.t2 - slack);
}

INSTANTIATE_TEST_SUITE_P(Spacings, FullLoadDetection,
                         ::testing::Values(Shape{0.04, 1}, Shape{0.01, 3.6}, Shape{0.2, 1},
                                           Shape{0.04, 0.01}));

TEST(FullLoadDetection, NothingInAConstantOrNoisyTrace) {
  const Eigen::Index n = 500;
  Eigen::RowVectorXd t = Eigen::RowVectorXd::LinSpaced(n, 0, 20);
  std::mt19937 gen(5);
  std::normal_distribution<double> noise(0, 1);
  Eigen::RowVectorXd v(n);
  for (Eigen::Index i = 0; i < n; ++i) v(i) = 20 + noise(gen);
  EXPECT_FALSE(find_full_load(t, v, v * 300, 0.4));
  EXPECT_FALSE(find_full_load(t, Eigen::RowVectorXd::Constant(n, 20), v * 300, 0.4));
}

TEST(LocalFit, ReproducesAQuadraticUpToTheEnds) {
  // Uneven spacing; a quadratic is fitted exactly, value and slope, at every sample.
  std::vector<double> times;
  for (double x = 0; x < 6; x += 0.03 + 0.02 * std::sin(7 * x)) times.push_back(x);
  const Eigen::Index n = static_cast<Eigen::Index>(times.size());
  Eigen::RowVectorXd t = Eigen::Map<Eigen::RowVectorXd>(times.data(), n);
  const Eigen::RowVectorXd x = (2 + 3 * t.array() - 0.4 * t.array().square()).matrix();
  const LocalFit f = local_fit(t, x, 1.5, 2);
  for (Eigen::Index i = 0; i < n; ++i) {
    EXPECT_NEAR(f.value(i), x(i), 1e-9);
    EXPECT_NEAR(f.slope(i), 3 - 0.8 * t(i), 1e-8);
  }
}

TEST(PeakOffset, VertexOfAGaussianPeak) {
  // |X|² = exp(−(k − 10.3)² / 8): the log is a parabola with its vertex 0.3 rows after row 10.
  std::vector<std::complex<double>> col(21);
  for (int k = 0; k < 21; ++k) col[k] = std::sqrt(std::exp(-(k - 10.3) * (k - 10.3) / 8));
  EXPECT_NEAR(peak_offset(col.data(), 21, 10), 0.3, 1e-12);
  EXPECT_EQ(peak_offset(col.data(), 21, 0), 0);
  EXPECT_EQ(peak_offset(col.data(), 21, 20), 0);
}

TEST(RefineEdges, CrossingOfTheMiddleLevelBetweenSamples) {
  // A fall from 0.5 to −0.5 over samples 10 … 12 (0.5, 0.1, −0.5): the middle level 0 is crossed
  // a sixth of a sample after sample 11; raised by 0.4, the middle level 0.4 at the same place.
  for (const double raised : {0.0, 0.4}) {
    Eigen::MatrixXd y = Eigen::MatrixXd::Constant(30, 1, 0.5 + raised);
    y(11, 0) = 0.1 + raised;
    for (int k = 12; k < 30; ++k) y(k, 0) = -0.5 + raised;
    const std::vector<Eigen::Index> edges = pulse_edges(y);
    ASSERT_EQ(edges.size(), 1u);
    const std::vector<double> at = refine_edges(y, edges);
    EXPECT_NEAR(at[0], 11 + 0.1 / 0.6, 1e-12) << raised;
  }
}

TEST(TraceQuality, VerdictsOnToneTraces) {
  const SynthOptions o = ziva::testing::short_run(SynthSignal::alternator, SynthSignal::off);
  const SynthRun run = synthesize(o);
  const Eigen::MatrixXd tone = run.y.col(0);
  EXPECT_EQ(judge(tone_trace(tone, o.rate, 3, 3).quality), TraceVerdict::reliable);

  // The right input carries only the noise of an unused input.
  EXPECT_EQ(judge(tone_trace(run.y.col(1), o.rate, 3, 3).quality), TraceVerdict::noise_only);

  // The tone stops half way: unreliable from there on.
  Eigen::MatrixXd half = tone;
  const Eigen::Index mid = half.rows() / 2;
  half.bottomRows(half.rows() - mid) = run.y.col(1).tail(half.rows() - mid) * 100;
  const TraceQuality q = tone_trace(half, o.rate, 3, 3).quality;
  EXPECT_EQ(judge(q), TraceVerdict::partly_noise);
  EXPECT_NEAR(q.weak_from, static_cast<double>(mid) / o.rate, 0.5);
}

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
