// The hand cut inside an evaluation: "Berechne Diagramm >>" with "WAV Datei von Hand beschneiden"
// ticked opens the view the channel table names, converts the cut samples and caches them under
// the name of a saved cut file.
#include <gtest/gtest.h>

#include "app/calc_diag.h"
#include "cut_fixture.h"
#include "eval/trace_cache.h"
#include "params/parameters.h"
#include "sim/simulate.h"
#include "support/short_run.h"
#include "wav/wav_read.h"

using namespace ziva;
using ziva::testing::CutTest;
using ziva::testing::same;
using ziva::testing::short_run;

namespace {

class CutEvaluation : public CutTest {
 protected:
  std::string make_wav(const std::string& name, const SynthOptions& o) {
    run_ = synthesize(o);
    write_run_wav(run_, o.bits, path(name));
    return path(name);
  }
  std::string key(const std::string& wav) { return saved_data_tag(wav, get_par(env())); }
  SynthRun run_;
};

}  // namespace

// An alternator run cut to its full-load part and saved under a new name: the traces are cached
// under that name, the next evaluation of it takes them from the cache without a cut view, and
// converting the written file anew gives the very same traces.
TEST_F(CutEvaluation, SavedCutIsCachedUnderItsNameAndEvaluatesAgain) {
  const std::string wav = make_wav("run.wav", short_run(SynthSignal::alternator, SynthSignal::off));
  type("wav_file", wav);
  channels(1, 4);
  const double a = run_.full_load_start, b = run_.full_load_end;
  const std::string cut = path("cut.wav");
  services_.answer_file(cut);
  script({[&] { zoom(a, b); }, [&] { EXPECT_TRUE(press("...")); }});
  ASSERT_TRUE(program_->run("calc_diag"));

  EXPECT_EQ(str("wav_file"), cut);
  const Handle v_line = g().find_first("Tag", key(cut) + "V");
  ASSERT_NE(v_line, 0);
  EXPECT_NE(g().find_first("Tag", key(cut) + "RPM"), 0);
  EXPECT_EQ(g().find_first("Tag", key(wav) + "V"), 0);
  EXPECT_EQ(cache_lines().size(), 2u);
  const WavReadResult in = wavread(wav);
  EXPECT_TRUE(same(wavread(cut).y, rows_between(in.y, in.Fs, a, b)));
  const Eigen::RowVectorXd t = g().get_row(v_line, "XData");
  const Eigen::RowVectorXd v = g().get_row(v_line, "YData");
  EXPECT_LE(t(t.size() - 1), b - a);  // times count from the start of the cut

  const int pauses = services_.pause_count;
  ASSERT_TRUE(program_->run("calc_diag"));
  EXPECT_EQ(services_.pause_count, pauses);  // from the cache: no cut view
  EXPECT_EQ(cache_lines().size(), 2u);

  start();
  type("wav_file", cut);
  channels(1, 4);
  choose("cut_File", 0);
  ASSERT_TRUE(program_->run("calc_diag"));
  const Handle fresh = g().find_first("Tag", key(cut) + "V");
  ASSERT_NE(fresh, 0);
  EXPECT_EQ(g().get_row(fresh, "XData"), t);
  EXPECT_EQ(g().get_row(fresh, "YData"), v);
}

// Without saving, the traces of the cut samples are cached under the recording's own name.
// Channel 1 off and wheel sensors on channel 2 cut on the pulse-speed view of channel 2.
TEST_F(CutEvaluation, PulseChannelTwoCutWithoutSaving) {
  const std::string wav = make_wav("wheel.wav", short_run(SynthSignal::off, SynthSignal::wheel));
  type("wav_file", wav);
  channels(4, 2);
  const double a = run_.full_load_start, b = run_.full_load_end;
  std::string ylabel;
  script({[&] { ylabel = g().get_text(g().label_of(cut_axes(), "YLabel"), "String"); },
          [&] { zoom(a, b); }});
  ASSERT_TRUE(program_->run("calc_diag"));
  EXPECT_EQ(ylabel, "[km/h]");
  const Handle v_line = g().find_first("Tag", key(wav) + "V");
  ASSERT_NE(v_line, 0);
  const Eigen::RowVectorXd t = g().get_row(v_line, "XData");
  EXPECT_EQ(t(0), 0);
  // The trace spans the cut, not the whole run with its lead-in and roll-off of 0.5 s each.
  EXPECT_LT(t(t.size() - 1), b - a);
  EXPECT_GT(t(t.size() - 1), b - a - 0.3);
}

// A range that holds no sample ends the evaluation with the conversion's error: nothing cached.
TEST_F(CutEvaluation, EmptyRangeEndsWithAnErrorAndCachesNothing) {
  struct Case {
    int c1, c2;
    SynthSignal left, right;
  };
  for (const Case& c : {Case{1, 4, SynthSignal::alternator, SynthSignal::off},
                        Case{4, 2, SynthSignal::off, SynthSignal::wheel}}) {
    SCOPED_TRACE(std::to_string(c.c1) + "," + std::to_string(c.c2));
    type("wav_file", make_wav("run.wav", short_run(c.left, c.right)));
    channels(c.c1, c.c2);
    const std::size_t errors = services_.errors.size();
    script({[&] { zoom(1.00001, 1.00002); }});
    EXPECT_FALSE(program_->run("calc_diag"));
    EXPECT_EQ(services_.errors.size(), errors + 1);
    EXPECT_TRUE(cache_lines().empty());
    EXPECT_EQ(cut_axes(), 0);
  }
}

// While the cut window waits, pressing "Berechne Diagramm >>" again opens no second cut window:
// the waiting one becomes the current window, and the first evaluation goes on to its diagram.
TEST_F(CutEvaluation, ASecondEvaluationWhileACutWaitsBringsTheCutWindowForward) {
  type("wav_file", make_wav("run.wav", short_run(SynthSignal::alternator, SynthSignal::off)));
  channels(1, 4);
  std::size_t cut_windows = 0;
  Handle current = 0, waiting = 0;
  script({[&] {
    waiting = cut_figure();
    const Handle main = g().find_first("Tag", "Main Figure");
    g().make_current(main);
    EXPECT_TRUE(program_->run("calc_diag"));
    cut_windows = g().findobj(Props{{"Name", std::string(ziva::testing::kCutName)}}).size();
    current = g().current_figure();
  }});
  ASSERT_TRUE(program_->run("calc_diag"));
  EXPECT_EQ(cut_windows, 1u);
  EXPECT_EQ(current, waiting);
  EXPECT_TRUE(services_.errors.empty());
  EXPECT_EQ(cut_axes(), 0);
  EXPECT_EQ(cache_lines().size(), 2u);
}

// Closing the main window while the cut window waits ends the evaluation quietly: no dialog, the
// cut window closes, nothing is cached, and no window is left.
TEST_F(CutEvaluation, ClosingTheMainWindowDuringACutEndsItQuietly) {
  type("wav_file", make_wav("run.wav", short_run(SynthSignal::alternator, SynthSignal::off)));
  channels(1, 4);
  script({[&] { g().close(g().find_first("Tag", "Main Figure")); }});
  EXPECT_FALSE(program_->run("calc_diag"));
  EXPECT_TRUE(services_.errors.empty());
  EXPECT_EQ(cut_axes(), 0);
  EXPECT_TRUE(g().all_figures().empty());
}
