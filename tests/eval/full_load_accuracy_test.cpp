// End-to-end accuracy of the automatic full-load detection with the precise estimators: simulated
// runs with a 3 s lead-in at constant speed and a 2 s roll-off, evaluated without a hand cut and
// compared with the simulated engine's true power and torque over engine speed. Targets: peak
// power and torque within 1 % (2 % at 5 dB SNR), RMS power error over 10–95 % of the full-load
// engine-speed range at most 1.5 % (3 %), every point in 5–98 % within 4 %, none beyond 25 %, and
// the curve starting within the first 10 % and ending within the last 5 % of the range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "base/warning.h"
#include "eval/full_load.h"
#include "sim/simulate.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

struct Case {
  const char* name;
  bool roller = false;
  SynthSignal left = SynthSignal::alternator;
  SynthSignal right = SynthSignal::wheel;
  int ch1 = 1, ch2 = 2;
  double marks = 1;
  double snr = 20;
  double rate = 44100;
  double tolerance = 1;  // scale of the peak and RMS targets
};

// The two method controls of the main window.
struct Mode {
  bool auto_trim = false;
  int estimator = 1;
};

struct Figures {
  double peak_power = 0, peak_torque = 0, rms = 0, worst_inner = 0, worst_all = 0;
  double start_share = 0, end_share = 0;  // where the curve starts and ends in the range
};

const Case kCases[] = {
    {"road, alternator + wheel sensors"},
    {"road, alternator only", false, SynthSignal::alternator, SynthSignal::off, 1, 4},
    {"road, wheel sensors only, 8 marks", false, SynthSignal::wheel, SynthSignal::off, 2, 3, 8},
    {"roller, alternator + roller", true, SynthSignal::alternator, SynthSignal::roller, 1, 3},
    {"road, alternator only, 5 dB", false, SynthSignal::alternator, SynthSignal::off, 1, 4, 1, 5,
     44100, 2},
    {"road, alternator + wheel, 8 kHz", false, SynthSignal::alternator, SynthSignal::wheel, 1, 2, 1,
     20, 8000},
};

class FullLoadAccuracy : public ProgramTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start();
  }

  Figures measure(const Case& c, const SynthRun& run, const SynthOptions& o, Mode mode) {
    choose("cut_File", 0);
    choose("popup_sig_ch1", c.ch1);
    choose("popup_sig_ch2", c.ch2);
    choose("popup_xaxis", 1);
    choose("popup_yaxis", 2);
    type("wheel_sens", std::to_string(static_cast<int>(c.marks)));
    if (c.roller) type("total_tork", std::to_string(o.roller_inertia));
    choose("auto_trim", mode.auto_trim ? 1 : 0);
    choose("estimator", mode.estimator);
    const ParSet par = get_par(env());
    const std::optional<RawTraces> raw = channel_traces(ConversionContext{}, run.y, run.rate, par);
    if (!raw) {
      ADD_FAILURE() << "no traces";
      return {};
    }
    const DiagData d = evaluate_traces(*raw, par);
    const Eigen::RowVectorXd& rpm = d.x;
    const Eigen::VectorXd P = d.y.col(0), M = d.y.col(1);
    double true_power = 0, true_torque = 0;
    for (double n = o.rpm_start; n <= o.rpm_end; n += 1) {
      true_power = std::max(true_power, engine_power(o, n));
      true_torque = std::max(true_torque, engine_torque(o, n));
    }
    Figures f;
    f.peak_power = P.maxCoeff() / true_power - 1;
    f.peak_torque = M.maxCoeff() / true_torque - 1;
    const double span = o.rpm_end - o.rpm_start;
    double sum = 0;
    int count = 0;
    for (Eigen::Index i = 0; i < rpm.size(); ++i) {
      const double share = (rpm(i) - o.rpm_start) / span;
      const double rel = std::isfinite(P(i)) ? P(i) / engine_power(o, rpm(i)) - 1 : HUGE_VAL;
      f.worst_all = std::max(f.worst_all, std::abs(rel));
      if (share >= 0.05 && share <= 0.98) f.worst_inner = std::max(f.worst_inner, std::abs(rel));
      if (share >= 0.10 && share <= 0.95) sum += rel * rel, ++count;
    }
    f.rms = count > 0 ? std::sqrt(sum / count) : HUGE_VAL;
    f.start_share = (rpm.minCoeff() - o.rpm_start) / span;
    f.end_share = (o.rpm_end - rpm.maxCoeff()) / span;
    return f;
  }
};

void print(const char* name, const char* mode, const Figures& f) {
  std::printf("| %-34s | %-8s | %+6.2f | %+6.2f | %5.2f | %6.2f | %6.1f | %5.1f | %5.1f |\n", name,
              mode, 100 * f.peak_power, 100 * f.peak_torque, 100 * f.rms, 100 * f.worst_inner,
              100 * f.worst_all, 100 * f.start_share, 100 * f.end_share);
}

SynthOptions options_of(const Case& c) {
  SynthOptions o;
  o.roller_run = c.roller;
  o.left = c.left;
  o.right = c.right;
  o.wheel_marks = c.marks;
  o.snr_db = c.snr;
  o.rate = c.rate;
  o.lead_in = 3;
  o.roll_off = 2;
  return o;
}

}  // namespace

TEST_P(FullLoadAccuracy, PreciseWithAutomaticFullLoadMeetsTargets) {
  const Case& c = GetParam();
  const SynthOptions o = options_of(c);
  const SynthRun run = synthesize(o);
  // The standard mode's figures beside (ZIVA_ACCURACY_TABLE=1 adds the mixed modes).
  if (std::getenv("ZIVA_ACCURACY_TABLE")) {
    print(c.name, "standard", measure(c, run, o, {false, 1}));
    print(c.name, "trim", measure(c, run, o, {true, 1}));
    print(c.name, "precise", measure(c, run, o, {false, 2}));
  }
  const Figures f = measure(c, run, o, {true, 2});
  print(c.name, "p + trim", f);
  EXPECT_LT(std::abs(f.peak_power), 0.01 * c.tolerance);
  EXPECT_LT(std::abs(f.peak_torque), 0.01 * c.tolerance);
  EXPECT_LT(f.rms, 0.015 * c.tolerance);
  EXPECT_LT(f.worst_inner, 0.04);
  EXPECT_LT(f.worst_all, 0.25);
  EXPECT_LE(f.start_share, 0.10);
  EXPECT_LE(f.end_share, 0.05);
}

INSTANTIATE_TEST_SUITE_P(SimulatedRuns, FullLoadAccuracy, ::testing::ValuesIn(kCases));

// A channel that carries only noise: in either mode a German warning names the channel, and the
// automatic full-load detection says that it found nothing instead of drawing a diagram.
TEST_F(FullLoadAccuracy, NoiseOnlyChannelIsReportedNotEvaluated) {
  SynthOptions o = options_of(kCases[1]);
  o.left = SynthSignal::off;
  o.right = SynthSignal::alternator;
  o.rate = 11025;
  const SynthRun run = synthesize(o);
  choose("popup_sig_ch1", 1);
  choose("popup_sig_ch2", 4);
  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& w) { warnings.push_back(w); });
  ASSERT_TRUE(channel_traces(ConversionContext{}, run.y, run.rate, get_par(env())));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("nur Rauschen"), std::string::npos) << warnings[0];
  warnings.clear();

  choose("auto_trim", 1);
  choose("estimator", 2);
  const ParSet par = get_par(env());
  const std::optional<RawTraces> raw = channel_traces(ConversionContext{}, run.y, run.rate, par);
  ASSERT_TRUE(raw);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind(st_text(strings(), "frame_ch1"), 0), 0u) << warnings[0];
  EXPECT_NE(warnings[0].find("nur Rauschen"), std::string::npos) << warnings[0];
  try {
    evaluate_traces(*raw, par);
    ADD_FAILURE() << "a diagram from noise";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), st_text(strings(), "no_full_load"));
  }
}
