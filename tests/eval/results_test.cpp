#include "eval/results.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "params/channels.h"
#include "support/error_of.h"
#include "support/eval_params.h"

using namespace ziva;
using ziva::testing::startup_par;

namespace {

struct Traces {
  Eigen::RowVectorXd t, v, rpm;
};

// Speed v0 + a0·t sampled every dt, engine speed through ratio r and circumference u.
Traces linear_run(Eigen::Index n, double dt, double v0, double a0, const ParSet& p) {
  Traces tr;
  tr.t = Eigen::RowVectorXd::LinSpaced(n, 0, dt * static_cast<double>(n - 1));
  tr.v = (v0 + a0 * tr.t.array()).matrix();
  tr.rpm = tr.v / p.tyre_perimeter_m * p.gear_ratio * 60;
  return tr;
}

std::string error_of(const Traces& tr, const ParSet& p) {
  return ziva::testing::error_of([&] { compute_results(tr.t, tr.v, tr.rpm, p); });
}

}  // namespace

TEST(Results, CutoffFromFilterLengthAndMeanStep) {
  ParSet p = startup_par();
  Traces tr = linear_run(200, 0.04, 10, 1, p);
  EXPECT_NEAR(compute_quantities(tr.t, tr.v, tr.rpm, p).Wn, 0.08, 1e-12);
  p.filter_length_s = -1;
  EXPECT_EQ(compute_quantities(tr.t, tr.v, tr.rpm, p).Wn, 1e-06);
  p.filter_length_s = 0.05;  // 2 / 0.05 · 0.04 = 1.6
  EXPECT_EQ(compute_quantities(tr.t, tr.v, tr.rpm, p).Wn, 0.999999);
  const std::string rejected = "The cutoff frequencies must be within the interval of (0,1).";
  Traces halves = linear_run(50, 0.5, 10, 1, p);
  p.filter_length_s = 1;  // exactly 1: not limited, rejected by the design
  EXPECT_EQ(error_of(halves, p), rejected);
  p.filter_length_s = INFINITY;  // exactly 0
  EXPECT_EQ(error_of(halves, p), rejected);
}

TEST(Results, VmaxCutKeepsSamplesUpToTheFirstMaximum) {
  ParSet p = startup_par();
  p.cut_vmax = 1;
  Traces tr = linear_run(40, 0.1, 10, 1, p);
  // Maximum at the last sample: that sample goes too.
  EXPECT_EQ(compute_quantities(tr.t, tr.v, tr.rpm, p).t.size(), 39);
  // Maximum at sample 25 (1-based), twice: samples 26 … 40 go.
  tr.v(24) = 100;
  tr.v(30) = 100;
  RunQuantities q = compute_quantities(tr.t, tr.v, tr.rpm, p);
  ASSERT_EQ(q.t.size(), 25);
  EXPECT_EQ(q.t(24), tr.t(24));
  p.cut_vmax = 0;
  EXPECT_EQ(compute_quantities(tr.t, tr.v, tr.rpm, p).t.size(), 40);
}

// A constant acceleration without drag: away from the ends the zero-phase smoothing keeps linear
// sequences, the kinetic energy of each step is m·a0·dt·(v(i−1) + v(i))/2, so
// P = m·a0·(v − a0·dt/2).
TEST(Results, RoadFormulaMatchesKineticPowerOfConstantAcceleration) {
  ParSet p = startup_par();
  p.cw = 0;
  p.filter_length_s = 0.2;  // Wn = 0.5: the end transients die out within a few samples
  const double dt = 0.05, a0 = 2.5, v0 = 8;
  const Eigen::Index n = 300;
  Traces tr = linear_run(n, dt, v0, a0, p);
  RunQuantities q = compute_quantities(tr.t, tr.v, tr.rpm, p);
  for (Eigen::Index i = 0; i < n; ++i) EXPECT_NEAR(q.ratio(i), p.gear_ratio, 1e-9);
  for (Eigen::Index i = 40; i < n - 40; ++i) {
    const double v = v0 + a0 * tr.t(i);
    EXPECT_NEAR(q.a(i), a0, 1e-6);
    EXPECT_NEAR(q.P(i), p.total_mass_kg * a0 * (v - a0 * dt / 2) / 1000, 1e-6);
    EXPECT_NEAR(q.v(i), v * 3.6, 1e-6);
    EXPECT_NEAR(q.Pps(i), q.P(i) * 1.35962, 1e-9);
  }
  EXPECT_FALSE(q.roller);
}

// Constant speed against air drag: P = 0.65·cw·A·v³; distance grows from v·dt at the first
// sample; 100 PS at 7024 1/min is 100 Nm.
TEST(Results, DragPowerDistanceAndTorqueAtConstantSpeed) {
  ParSet p = startup_par();
  p.frontal_area_m2 = 1;
  const double v = 30;
  const double P_kw = 100 / 1.35962;
  p.cw = P_kw * 1000 / (0.65 * v * v * v);
  const Eigen::Index n = 100;
  const double dt = 0.1;
  Traces tr = linear_run(n, dt, v, 0, p);
  tr.rpm.setConstant(7024);
  RunQuantities q = compute_quantities(tr.t, tr.v, tr.rpm, p);
  for (Eigen::Index i = 0; i < n; ++i) {
    EXPECT_NEAR(q.P(i), P_kw, 1e-9);
    EXPECT_NEAR(q.M(i), 100, 1e-9);
    EXPECT_NEAR(q.X(i), v * dt * static_cast<double>(i + 1), 1e-9);
  }
}

// On the roller: P = J·(dω/dt)·ω/1000 + 0.0001·cw·ω², ω = v / ur · 2 · 3.1416, not smoothed again.
TEST(Results, RollerFormulaWithItsPiAndLossTerm) {
  ParSet p = startup_par();
  p.sig_ch1 = 4;
  p.sig_ch2 = 3;
  p.filter_length_s = 0.16;  // Wn = 0.5
  const double dt = 0.04, a0 = 1.5, v0 = 5;
  const Eigen::Index n = 250;
  Traces tr = linear_run(n, dt, v0, a0, p);
  RunQuantities q = compute_quantities(tr.t, tr.v, tr.rpm, p);
  EXPECT_TRUE(q.roller);
  const double alpha = a0 / p.roller_perimeter_m * 2 * 3.1416;
  for (Eigen::Index i = 40; i < n - 40; ++i) {
    const double w = (v0 + a0 * tr.t(i)) / p.roller_perimeter_m * 2 * 3.1416;
    EXPECT_NEAR(q.P(i), p.roller_inertia_kgm2 * alpha * w / 1000 + 0.0001 * p.cw * w * w, 1e-6);
  }
}

TEST(Results, AxisChoices) {
  ParSet p = startup_par();
  Traces tr = linear_run(60, 0.1, 10, 1, p);
  const RunQuantities q = compute_quantities(tr.t, tr.v, tr.rpm, p);
  const Eigen::RowVectorXd* xs[] = {&q.rpm, &q.t, &q.X, &q.v};
  for (int x = 1; x <= 4; ++x) {
    p.xaxis = x;
    EXPECT_EQ(pick_axes(q, p).x, *xs[x - 1]) << x;
  }
  p.xaxis = 1;
  // 1 and 2: power in PS or kW, with torque beside it.
  const Eigen::RowVectorXd* ys[] = {&q.Pps, &q.P, &q.Pps, &q.P,   &q.M,    &q.v,
                                    &q.a,   &q.t, &q.X,   &q.rpm, &q.ratio};
  for (int y = 1; y <= 11; ++y) {
    p.yaxis = y;
    DiagData d = pick_axes(q, p);
    EXPECT_EQ(d.y.rows(), q.t.size());
    ASSERT_EQ(d.y.cols(), y <= 2 ? 2 : 1) << y;
    EXPECT_EQ(Eigen::RowVectorXd(d.y.col(0).transpose()), *ys[y - 1]) << y;
  }
}

// Too few samples (also after the Vmax cut) and axis choices out of range are errors; zero speed
// gives a non-finite ratio and torque, without an error.
TEST(Results, ErrorCases) {
  const std::string short_data = "Index exceeds matrix dimensions.",
                    filter = "Data must have length more than 3 times filter order.";
  const struct {
    Eigen::Index n;
    double cut_vmax, xaxis, yaxis;
    std::string error;  // "*": any error
  } cases[] = {{2, 0, 1, 1, short_data}, {3, 1, 1, 1, short_data}, {9, 0, 1, 1, filter},
               {10, 0, 1, 1, ""},        {20, 0, 5, 1, "*"},       {20, 0, 1, 13, "*"}};
  for (const auto& c : cases) {
    ParSet p = startup_par();
    p.cut_vmax = c.cut_vmax, p.xaxis = c.xaxis, p.yaxis = c.yaxis;
    const std::string e = error_of(linear_run(c.n, 0.1, 10, 1, p), p);
    if (c.error == "*")
      EXPECT_NE(e, "") << c.n << " " << c.xaxis << " " << c.yaxis;
    else
      EXPECT_EQ(e, c.error) << c.n << " " << c.cut_vmax;
  }
  const ParSet p = startup_par();
  const Traces rest = linear_run(30, 0.1, 0, 0, p);
  const RunQuantities q = compute_quantities(rest.t, rest.v, rest.rpm, p);
  EXPECT_FALSE(std::isfinite(q.ratio(0)));
  EXPECT_FALSE(std::isfinite(q.M(0)));
}
