#include "sim/simulate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>

#include "base/error.h"
#include "eval/dig2v.h"

using namespace ziva;

namespace {

SynthOptions quiet(bool roller) {
  SynthOptions o;
  o.roller_run = roller;
  o.rate = 8000;
  o.snr_db = 60;
  o.lead_in = 1;
  o.roll_off = 1;
  o.left = SynthSignal::alternator;
  o.right = roller ? SynthSignal::roller : SynthSignal::wheel;
  return o;
}

// Indices of the truth rows inside full load, away from its ends.
std::vector<Eigen::Index> full_load_rows(const SynthRun& r) {
  std::vector<Eigen::Index> rows;
  for (Eigen::Index k = 1; k + 1 < r.truth.t.size(); ++k)
    if (r.truth.t(k) > r.full_load_start + 0.1 && r.truth.t(k) < r.full_load_end - 0.1)
      rows.push_back(k);
  return rows;
}

// Positive-going zero crossings of column `ch` between two times.
int periods(const SynthRun& r, int ch, double from, double to) {
  int n = 0;
  for (auto i = static_cast<Eigen::Index>(from * r.rate);
       i < static_cast<Eigen::Index>(to * r.rate); ++i)
    if (r.y(i, ch) <= 0 && r.y(i + 1, ch) > 0) ++n;
  return n;
}

// Engine (or roller) turns between two times from the truth speed, by the trapezoid rule.
double turns(const SynthRun& r, double per_metre, double from, double to) {
  double sum = 0;
  for (Eigen::Index k = 1; k < r.truth.t.size(); ++k)
    if (r.truth.t(k - 1) >= from && r.truth.t(k) <= to)
      sum += (r.truth.v(k - 1) + r.truth.v(k)) / 2 * (r.truth.t(k) - r.truth.t(k - 1));
  return sum * per_metre;
}

// dv/dt at row k of the truth, by central differences.
double accel_at(const SynthTruth& tr, Eigen::Index k) {
  return (tr.v(k + 1) - tr.v(k - 1)) / (tr.t(k + 1) - tr.t(k - 1));
}

// A rolling resistance and a drivetrain drag of a few per cent of the peak power.
SynthOptions with_extra_load(SynthOptions o) {
  o.rolling_coeff = 0.015;
  o.drag_f0 = 10;
  o.drag_f1 = 0.5;
  return o;
}

// The extra road load force at speed v, N, written out by hand.
double extra_force(const SynthOptions& o, double v) {
  return 0.015 * o.mass * 9.81 + 10 + 0.5 * v;
}

}  // namespace

class SimulateRun : public ::testing::TestWithParam<bool> {};

// At full load the recorded course obeys its balance, with dv/dt taken from the truth by central
// differences: on the road engine power = m·v·dv/dt + 0.65·cw·A·v³ and engine speed follows the
// gear ratio, on the roller P = J·ω·dω/dt + 0.1·cw·ω².
TEST_P(SimulateRun, FullLoadFollowsItsBalance) {
  const SynthOptions o = quiet(GetParam());
  const SynthRun r = synthesize(o);
  const SynthTruth& tr = r.truth;
  const double per_rad = o.roller_perim / (2 * std::numbers::pi);  // roller radius, m
  for (Eigen::Index k : full_load_rows(r)) {
    const double v = tr.v(k), a = accel_at(tr, k), w = v / per_rad;
    const double P = o.roller_run ? o.roller_inertia * w * a / per_rad + 0.1 * o.cw * w * w
                                  : o.mass * v * a + 0.65 * o.cw * o.area * v * v * v;
    EXPECT_NEAR(P / 1000, tr.power(k), 0.002 * tr.power(k));
    if (o.roller_run) continue;
    EXPECT_NEAR(tr.rpm(k), v / o.tyre * o.gear_ratio * 60, 1e-9);
    EXPECT_NEAR(tr.torque(k), engine_torque(o, tr.rpm(k)), 1e-9);
    EXPECT_NEAR(tr.loss_power(k), 0.65 * o.cw * o.area * v * v * v / 1000, 1e-9);
  }
  if (o.roller_run) return;
  EXPECT_NEAR(tr.rpm(full_load_rows(r).back()), o.rpm_end, 100);
  EXPECT_NEAR(r.full_load_start, o.lead_in, 1e-9);
  EXPECT_NEAR(static_cast<double>(r.y.rows()) / o.rate, r.full_load_end + o.roll_off, 1e-3);
}

TEST(Simulate, SensorsCountTurns) {
  SynthOptions o = quiet(false);
  o.wheel_marks = 3;
  const SynthRun r = synthesize(o);
  const double end = static_cast<double>(r.y.rows() - 2) / o.rate;
  // Alternator: coils periods per engine turn.
  const double engine = turns(r, o.gear_ratio * o.coils / o.tyre, 0.5, end - 0.5);
  EXPECT_NEAR(periods(r, 0, 0.5, end - 0.5), engine, 0.002 * engine + 2);
  // Wheel sensors: W falling steps per wheel turn.
  const double marks = turns(r, o.wheel_marks / o.tyre, 0, r.truth.t(r.truth.t.size() - 1));
  EXPECT_NEAR(static_cast<double>(pulse_edges(r.y.col(1)).size()), marks, 0.002 * marks + 2);

  SynthOptions ro = quiet(true);
  ro.roller_marks = 4;
  const SynthRun rr = synthesize(ro);
  const double rend = static_cast<double>(rr.y.rows() - 2) / ro.rate;
  const double roller = turns(rr, ro.roller_marks / ro.roller_perim, 0.5, rend - 0.5);
  EXPECT_NEAR(periods(rr, 1, 0.5, rend - 0.5), roller, 0.002 * roller + 2);
}

TEST(Simulate, NoiseLevelLengthAndSeed) {
  SynthOptions o = quiet(false);
  o.snr_db = 20;
  o.length = 30;
  const SynthRun noisy = synthesize(o);
  EXPECT_EQ(noisy.y.rows(), 30 * 8000);
  EXPECT_NEAR(noisy.full_load_end + o.roll_off, 30, 1e-3);
  o.snr_db = 200;
  const SynthRun clean = synthesize(o);
  const Eigen::VectorXd noise = noisy.y.col(0) - clean.y.col(0);
  EXPECT_NEAR(10 * std::log10(clean.y.col(0).squaredNorm() / noise.squaredNorm()), 20, 0.2);
  o.snr_db = 20;
  EXPECT_EQ(synthesize(o).y, noisy.y);
  o.seed = 2;
  EXPECT_NE(synthesize(o).y, noisy.y);
  EXPECT_LE(noisy.y.cwiseAbs().maxCoeff(), 1.0);
}

// In the clutch-in coast the engine idles down while the vehicle (roller) rolls down: on the road
// m·dv/dt = −(0.65·cw·A·v² + F), on the roller J·ω·dω/dt = −(0.1·cw·ω² + F·v), with F the extra
// road load; the truth's loss power is that load and the engine gives no power.
TEST_P(SimulateRun, CoastRollsDownUnderTheRoadLoad) {
  SynthOptions o = with_extra_load(quiet(GetParam()));
  o.coast = 4;
  const SynthRun r = synthesize(o);
  const SynthTruth& tr = r.truth;
  EXPECT_NEAR(r.coast_start, r.full_load_end, 1e-9);
  EXPECT_NEAR(r.coast_end - r.coast_start, o.coast, 1e-9);
  EXPECT_NEAR(static_cast<double>(r.y.rows()) / o.rate, r.coast_end, 1e-9);
  const double per_rad = o.roller_perim / (2 * std::numbers::pi);  // roller radius, m
  int rows = 0;
  for (Eigen::Index k = 1; k + 1 < tr.t.size(); ++k) {
    if (tr.t(k) < r.coast_start + 0.05 || tr.t(k) > r.coast_end - 0.05) continue;
    ++rows;
    const double v = tr.v(k);
    const double a = accel_at(tr, k);
    double expected = 0, loss = 0;
    if (o.roller_run) {
      const double w = v / per_rad;
      loss = 0.1 * o.cw * w * w + extra_force(o, v) * v;
      expected = -loss / (o.roller_inertia * w) * per_rad;
    } else {
      loss = 0.65 * o.cw * o.area * v * v * v + extra_force(o, v) * v;
      expected = -loss / (o.mass * v);
    }
    EXPECT_NEAR(a, expected, 0.002 * std::abs(expected)) << tr.t(k);
    EXPECT_NEAR(tr.loss_power(k), loss / 1000, 1e-9);
    EXPECT_EQ(tr.power(k), 0);
    EXPECT_LT(tr.rpm(k), tr.rpm(k - 1));
    EXPECT_GT(tr.rpm(k), o.idle_rpm);
  }
  EXPECT_GT(rows, 300);
  // Half a second in, the engine has fallen well below road speed × ratio; at the end it idles.
  const auto half = static_cast<Eigen::Index>((r.coast_start + 0.5) / 0.01);
  EXPECT_LT(tr.rpm(half), 0.8 * tr.v(half) / o.tyre * o.gear_ratio * 60);
  EXPECT_NEAR(tr.rpm(tr.t.size() - 1), o.idle_rpm, 0.01 * (o.rpm_end - o.idle_rpm));
}

INSTANTIATE_TEST_SUITE_P(RoadAndRoller, SimulateRun, ::testing::Bool());

// The truth CSV carries loss_kW only for a coast or an extra road load.
TEST(Simulate, LossColumnOnlyWhenAsked) {
  struct Case {
    double coast, drag_f1;
    const char* header;
  };
  for (const Case& c : {Case{0, 0, "t_s,v_mps,rpm,power_kW,torque_Nm"},
                        Case{2, 0, "t_s,v_mps,rpm,power_kW,torque_Nm,loss_kW"},
                        Case{0, 0.5, "t_s,v_mps,rpm,power_kW,torque_Nm,loss_kW"}}) {
    SynthOptions o = quiet(false);
    o.coast = c.coast;
    o.drag_f1 = c.drag_f1;
    const std::string path = ::testing::TempDir() + "simulate_truth.csv";
    write_truth_csv(synthesize(o).truth, path);
    std::ifstream in(path);
    std::string header, row;
    std::getline(in, header);
    std::getline(in, row);
    EXPECT_EQ(header, c.header);
    EXPECT_EQ(std::count(row.begin(), row.end(), ','),
              std::count(header.begin(), header.end(), ','));
  }
}

TEST(Simulate, ImpossibleRunsAreRefused) {
  const std::function<void(SynthOptions&)> changes[] = {
      [](SynthOptions& o) { o.length = 2; },
      [](SynthOptions& o) { o.torque_peak = 2; },  // cannot overcome the drag at high speed
      [](SynthOptions& o) { o.bits = 12; },
      [](SynthOptions& o) { o.coast = 2, o.idle_rpm = 12000; },      // above the end engine speed
      [](SynthOptions& o) { o.coast = 60, o.rolling_coeff = 0.1; },  // stops long before
      [](SynthOptions& o) { o.drag_f0 = -1; }};
  for (const auto& change : changes) {
    SynthOptions o = quiet(false);
    change(o);
    EXPECT_THROW(synthesize(o), Error);
  }
}
