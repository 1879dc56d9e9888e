#include "app/calc_diag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "base/error.h"
#include "base/warning.h"
#include "eval/air_correction.h"
#include "eval/trace_cache.h"
#include "eval/wav2v.h"
#include "progress_log.h"
#include "sim/simulate.h"
#include "support/error_of.h"
#include "support/program_fixture.h"
#include "support/short_run.h"
#include "ui/strings.h"
#include "wav/wav_read.h"
#include "wav/wav_write.h"

using namespace ziva;
using ziva::testing::error_of;
using ziva::testing::file_bytes;
using ziva::testing::ProgramTest;
using ziva::testing::short_run;

namespace {

// A short simulated run at a low rate, quick to convert.
class Driver : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start();
    choose("cut_File", 0);  // no hand cut in these tests
  }
  std::string make_wav(const std::string& name, const SynthOptions& o) {
    run_ = synthesize(o);
    write_run_wav(run_, o.bits, path(name));
    return path(name);
  }
  // The largest true full-load power of the simulated run, kW.
  double true_peak_power(const SynthOptions& o) {
    double best = 0;
    for (double n = o.rpm_start; n <= o.rpm_end; n += 1) best = std::max(best, engine_power(o, n));
    return best;
  }
  SynthRun run_;
};

}  // namespace

TEST(InterpLinear, HandDerivedValuesAndNaNOutside) {
  Eigen::RowVectorXd at(6);
  at << 0.5, 1, 1.5, 2, 3, 4.5;
  const Eigen::RowVectorXd r =
      interp_linear(Eigen::Vector3d(1, 2, 4), Eigen::Vector3d(10, 20, 0), at);
  EXPECT_TRUE(std::isnan(r(0)) && std::isnan(r(5)));
  EXPECT_EQ(Eigen::RowVector4d(r.segment(1, 4)), Eigen::RowVector4d(10, 15, 20, 10));
}

// The rows of the channel table that the accuracy tests do not run, each recorded with the
// sensors it names: the diagram data are finite and the peak power comes out near the engine's.
TEST_F(Driver, EveryRowOfTheChannelTable) {
  using S = SynthSignal;
  struct Row {
    int c1, c2;
    S left, right;
    bool roller;
  };
  const Row rows[] = {{2, 1, S::wheel, S::alternator, false}, {2, 2, S::wheel, S::wheel, false},
                      {3, 1, S::roller, S::alternator, true}, {3, 2, S::roller, S::roller, true},
                      {3, 3, S::roller, S::off, true},        {4, 1, S::off, S::alternator, false},
                      {4, 2, S::off, S::wheel, false},        {4, 3, S::off, S::roller, true}};
  type("total_tork", "10");  // the simulated roller
  choose("popup_xaxis", 1);
  choose("popup_yaxis", 2);
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.c1) + "," + std::to_string(row.c2));
    const SynthOptions o = short_run(row.left, row.right, row.roller);
    type("wav_file", make_wav("row" + std::to_string(row.c1) + std::to_string(row.c2) + ".wav", o));
    channels(row.c1, row.c2);
    std::optional<DiagInputs> in = calc_diag_inputs(env());
    ASSERT_TRUE(in);
    ASSERT_EQ(in->y.cols(), 2);
    ASSERT_GT(in->x.size(), 20);
    EXPECT_TRUE(in->x.allFinite());
    EXPECT_TRUE(in->y.allFinite());
    EXPECT_EQ(in->k, 1);
    EXPECT_EQ(in->vx, 1);
    EXPECT_EQ(in->vy, 2);
    EXPECT_NEAR(in->y.col(0).maxCoeff() / true_peak_power(o), 1, 0.12);
    EXPECT_NEAR(in->x.maxCoeff() / o.rpm_end, 1, 0.05);
  }
  EXPECT_EQ(cache_lines().size(), 16u);
}

TEST_F(Driver, TraceCacheTagsReuseAndNewEntries) {
  const std::string wav =
      make_wav("run.wav", short_run(SynthSignal::alternator, SynthSignal::wheel));
  type("wav_file", wav);
  channels(1, 2);
  ProgressLog log(g());
  std::optional<DiagInputs> first = calc_diag_inputs(env());
  ASSERT_TRUE(first);
  EXPECT_EQ(log.opened, 2);  // wav2v, then dig2v
  const std::string tag = "Saved Data" + wav + "6.321.32530.9321112";
  const Handle v_line = g().find_first("Tag", tag + "V");
  const Handle rpm_line = g().find_first("Tag", tag + "RPM");
  ASSERT_NE(v_line, 0);
  ASSERT_NE(rpm_line, 0);
  EXPECT_EQ(g().parent(v_line), g().find_first("Tag", "Saved Data"));
  EXPECT_EQ(g().get(v_line, "XData"), g().get(rpm_line, "XData"));
  // Raw speed in m/s, before the Vmax cut: the roll-off is still there.
  const Eigen::RowVectorXd v = g().get_row(v_line, "YData");
  EXPECT_NEAR(v.maxCoeff(), run_.truth.v.maxCoeff(), 0.05 * run_.truth.v.maxCoeff());
  EXPECT_LT(v(v.size() - 1), 0.99 * v.maxCoeff());

  // Same file and key, another filter length and mass: no conversion, same traces.
  type("filt_length", "0.7");
  type("total_mass", "250");
  ASSERT_TRUE(calc_diag_inputs(env()));
  type("filt_length", "1");
  type("total_mass", "200.0");
  std::optional<DiagInputs> again = calc_diag_inputs(env());
  ASSERT_TRUE(again);
  EXPECT_EQ(log.opened, 2);
  EXPECT_EQ(again->x, first->x);
  EXPECT_EQ(again->y, first->y);
  EXPECT_EQ(cache_lines().size(), 2u);

  // A trace-shaping parameter makes a new entry; the old one stays.
  type("gear_ratio", "6.5");
  ASSERT_TRUE(calc_diag_inputs(env()));
  EXPECT_EQ(log.opened, 4);
  EXPECT_EQ(cache_lines().size(), 4u);
  EXPECT_NE(g().find_first("Tag", "Saved Data" + wav + "6.51.32530.9321112V"), 0);
  EXPECT_NE(g().find_first("Tag", tag + "V"), 0);
  EXPECT_EQ(log.open, 0);
}

// Engine speed is undefined before the first alternator time: those speed samples are dropped, so
// the torque stays finite; after the last alternator time the last engine speed holds.
TEST_F(Driver, AlternatorWithPulsesCoversOnlyTheTimeBothChannelsCover) {
  for (int swap = 0; swap < 2; ++swap) {
    SCOPED_TRACE(swap ? "2,1" : "1,2");
    SynthOptions o = swap ? short_run(SynthSignal::wheel, SynthSignal::alternator)
                          : short_run(SynthSignal::alternator, SynthSignal::wheel);
    o.lead_in = 2;  // wheel pulses well before the first alternator window centre (0.2 s)
    const std::string wav = make_wav("held" + std::to_string(swap) + ".wav", o);
    type("wav_file", wav);
    channels(swap ? 2 : 1, swap ? 1 : 2);
    choose("popup_yaxis", 5);
    std::optional<DiagInputs> in = calc_diag_inputs(env());
    ASSERT_TRUE(in);
    EXPECT_TRUE(in->y.allFinite());

    const std::string tag = saved_data_tag(wav, get_par(env()));
    const Eigen::RowVectorXd t = g().get_row(g().find_first("Tag", tag + "V"), "XData");
    const Eigen::RowVectorXd rpm = g().get_row(g().find_first("Tag", tag + "RPM"), "YData");
    EXPECT_TRUE(rpm.allFinite());
    EXPECT_GE(t(0), 0.2);

    const WavReadResult wr = wavread(wav);
    const SpeedTrace alt = tone_trace(wr.y.col(swap ? 1 : 0), wr.Fs, 3, 3);
    const double last_time = alt.t(alt.t.size() - 1);
    int held = 0;
    for (Eigen::Index i = 0; i < t.size(); ++i) {
      if (t(i) > last_time) {
        EXPECT_EQ(rpm(i), alt.v(alt.v.size() - 1) * 60);
        ++held;
      }
    }
    EXPECT_GT(held, 0);
  }
}

TEST_F(Driver, EmptyFileFieldOpensTheDialogAndEvaluates) {
  const std::string wav =
      make_wav("chosen.wav", short_run(SynthSignal::alternator, SynthSignal::off));
  channels(1, 4);
  services_.answer_file(wav);
  std::optional<DiagInputs> in = calc_diag_inputs(env());
  ASSERT_TRUE(in);
  ASSERT_EQ(services_.dialogs.size(), 1u);
  EXPECT_EQ(services_.dialogs[0].kind, "get_file");
  EXPECT_EQ(str("wav_file"), wav);
  EXPECT_EQ(cache_lines().size(), 2u);

  type("wav_file", "");
  services_.answer_file("");  // cancelled
  EXPECT_FALSE(calc_diag_inputs(env()));
  EXPECT_TRUE(services_.errors.empty());
  EXPECT_EQ(services_.dialogs.size(), 2u);
}

// Failures before the conversion (a missing file, a bad number, an output over the recording)
// open no progress window; those during or after it close theirs. None fills the trace cache.
TEST_F(Driver, FailuresReadNothingTooEarlyAndCacheNothing) {
  ProgressLog log(g());
  const std::size_t figures = g().all_figures().size();
  type("wav_file", "nowhere/none.wav");
  EXPECT_FALSE(calc_diag_inputs(env()));
  ASSERT_EQ(services_.errors.size(), 1u);
  EXPECT_EQ(services_.errors[0].message, "Datei nicht gefunden:\nnowhere/none.wav");
  EXPECT_EQ(services_.errors[0].title, "Datei Fehler");
  const std::string wav = make_wav("run.wav", short_run(SynthSignal::alternator, SynthSignal::off));
  const std::string before = file_bytes(wav);
  type("wav_file", wav);
  type("lima", "drei");
  EXPECT_THROW(calc_diag_inputs(env()), ReportedError);
  ASSERT_EQ(services_.errors.size(), 2u);
  EXPECT_EQ(services_.errors[1].message, "Fehlerhaftes Zahlenformat von LiMa Spulen:drei");
  type("lima", "3");
  const std::string out_file = str("out_file"), print_file = str("print_file");
  type("out_file", path("./run.wav"));
  EXPECT_EQ(error_of([&] { calc_diag_inputs(env()); }),
            "Ausgabe Datei [ASCII] '" + path("./run.wav") + "' ist dieselbe Datei wie WAV Datei '" +
                wav + "' und würde sie überschreiben. Bitte einen anderen Dateinamen wählen.");
  type("out_file", path("run.asc"));
  type("print_file", path("run.asc"));
  EXPECT_THROW(calc_diag_inputs(env()), Error);
  EXPECT_EQ(log.opened, 0);
  EXPECT_EQ(file_bytes(wav), before);
  type("out_file", out_file);
  type("print_file", print_file);

  channels(4, 4);
  EXPECT_FALSE(calc_diag_inputs(env()));
  ASSERT_EQ(services_.errors.size(), 3u);
  EXPECT_EQ(services_.errors[2].message, "Linker Kanal: Aus - Rechter Kanal: Aus!");
  EXPECT_EQ(services_.errors[2].title, "");
  for (const auto& [c1, c2] : {std::pair{2, 4}, {3, 4}}) {
    channels(c1, c2);
    EXPECT_THROW(calc_diag_inputs(env()), Error);
  }
  channels(4, 2);  // no pulses on channel 2
  EXPECT_EQ(error_of([&] { calc_diag_inputs(env()); }), "The recording yields no speed samples.");
  channels(1, 4);
  choose("popup_yaxis", 13);  // no such diagram
  EXPECT_THROW(calc_diag_inputs(env()), Error);
  choose("popup_yaxis", 1);
  // A mono recording where the pulses would be on channel 2.
  SynthRun r = synthesize(short_run(SynthSignal::alternator, SynthSignal::off));
  wavwrite(Eigen::MatrixXd(r.y.col(0)), 11025, 16, path("mono.wav"));
  type("wav_file", path("mono.wav"));
  channels(1, 2);
  EXPECT_EQ(error_of([&] { calc_diag_inputs(env()); }),
            "Die WAV Datei '" + path("mono.wav") +
                "' hat nur einen Kanal; die Wahl bei „Rechter Kanal“ braucht eine "
                "Stereo-Aufnahme. Bitte die Kanalwahl ändern.");
  EXPECT_TRUE(cache_lines().empty());
  EXPECT_EQ(log.open, 0);
  EXPECT_EQ(g().all_figures().size(), figures);
  EXPECT_TRUE(g().exists(g().find_first("Tag", "Main Figure")));
  type("wav_file", wav);
  channels(1, 4);
  EXPECT_TRUE(calc_diag_inputs(env()));
  EXPECT_EQ(cache_lines().size(), 2u);
}

// The standards scale power and torque by their factors alone, and a standard's range warning
// reaches the user once per evaluation.
TEST_F(Driver, CorrectionStandardScalesPowerByItsFactorAndWarnsOnce) {
  type("wav_file", make_wav("air.wav", short_run(SynthSignal::alternator, SynthSignal::wheel)));
  channels(1, 2);
  type("air_temp", "30");
  type("air_pres", "970");
  type("air_humid", "50");
  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& w) { warnings.push_back(w); });
  std::optional<DiagInputs> din = calc_diag_inputs(env());
  ASSERT_TRUE(din);
  EXPECT_NEAR(din->k, 1.06200, 5e-6);
  // The factors of 30 °C, 970 mbar, 50 % for SAE J1349, ISO 1585 and none.
  const std::pair<int, double> others[] = {{2, 1.06164}, {3, 1.06322}, {4, 1.0}};
  for (const auto& [standard, k] : others) {
    choose("air_corr", standard);
    std::optional<DiagInputs> other = calc_diag_inputs(env());
    ASSERT_TRUE(other);
    EXPECT_NEAR(other->k, k, 5e-6);
    const double ratio = other->k / din->k;
    ASSERT_EQ(other->y.rows(), din->y.rows());
    for (Eigen::Index i = 0; i < din->y.rows(); i += 7) {
      EXPECT_NEAR(other->y(i, 0), din->y(i, 0) * ratio, 1e-12 * std::abs(din->y(i, 0)));
      EXPECT_NEAR(other->y(i, 1), din->y(i, 1) * ratio, 1e-12 * std::abs(din->y(i, 1)));
    }
  }
  EXPECT_TRUE(warnings.empty());
  choose("air_corr", 2);
  type("air_temp", "40");  // beyond SAE J1349's 35 °C
  ASSERT_TRUE(calc_diag_inputs(env()));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("hier 40 °C"), std::string::npos) << warnings[0];
  type("air_humid", "120");
  EXPECT_THROW(calc_diag_inputs(env()), Error);
}
