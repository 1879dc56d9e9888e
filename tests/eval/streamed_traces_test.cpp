// The channel step read block by block gives the raw traces of the whole-recording step bit for
// bit, for every channel row it takes, and the recording checks' messages.
#include <gtest/gtest.h>

#include "base/error.h"
#include "eval/input_checks.h"
#include "eval/traces.h"
#include "eval/wav_stream.h"
#include "sim/simulate.h"
#include "support/error_of.h"
#include "support/eval_params.h"
#include "support/work_dir.h"
#include "wav/wav_read.h"

using namespace ziva;

namespace {

struct Row {
  const char* name;
  int ch1, ch2;
  SynthSignal left, right;
  bool roller = false;
  int estimator = 1;
  double rate = 11025;
};

// Runs of about 15 s: several blocks of the reader; rates that are and are not multiples of the
// analysis rate.
const Row kRows[] = {
    {"alternator_wheel", 1, 2, SynthSignal::alternator, SynthSignal::wheel},
    {"wheel_alternator", 2, 1, SynthSignal::wheel, SynthSignal::alternator, false, 1, 12000},
    {"alternator_roller", 1, 3, SynthSignal::alternator, SynthSignal::roller, true},
    {"alternator_only", 1, 4, SynthSignal::alternator, SynthSignal::off},
    {"right_alternator_only", 4, 1, SynthSignal::off, SynthSignal::alternator},
    {"alternator_both_columns", 1, 1, SynthSignal::alternator, SynthSignal::alternator},
    {"wheel_both_columns", 2, 2, SynthSignal::wheel, SynthSignal::wheel},
    {"roller_both_columns", 3, 2, SynthSignal::roller, SynthSignal::roller, true},
    {"roller_only_precise", 3, 3, SynthSignal::roller, SynthSignal::off, true, 2, 4410},
    {"alternator_wheel_precise", 1, 2, SynthSignal::alternator, SynthSignal::wheel, false, 2},
    {"wheel_both_columns_precise", 2, 2, SynthSignal::wheel, SynthSignal::wheel, false, 2, 8000},
};

ParSet params(const Row& r) {
  ParSet p = ziva::testing::startup_par(r.ch1, r.ch2);
  p.estimator = r.estimator;
  return p;
}

SynthOptions options(const Row& r) {
  SynthOptions o;
  o.roller_run = r.roller;
  o.left = r.left;
  o.right = r.right;
  o.rate = r.rate;
  return o;
}

class StreamedTraces : public ziva::testing::WorkDirTest,
                       public ::testing::WithParamInterface<Row> {
 protected:
  // The run written as a 16-bit WAV file of the working folder.
  std::string wav_of(const SynthRun& run) {
    write_run_wav(run, 16, path("run.wav"));
    return path("run.wav");
  }
};

TEST_P(StreamedTraces, EqualTheWholeRecordingsTraces) {
  const Row& r = GetParam();
  const std::string file = wav_of(synthesize(options(r)));
  const ParSet par = params(r);
  const std::optional<RawTraces> streamed = streamed_channel_traces({}, file, par);
  const WavReadResult wav = wavread(file);
  const std::optional<RawTraces> whole = channel_traces({}, wav.y, wav.Fs, par);
  ASSERT_TRUE(whole);
  ASSERT_TRUE(streamed);
  ASSERT_GT(whole->t.size(), 10);
  // Bit for bit: the same samples through the same arithmetic.
  EXPECT_EQ(streamed->t, whole->t);
  EXPECT_EQ(streamed->v, whole->v);
  EXPECT_EQ(streamed->rpm, whole->rpm);
}

INSTANTIATE_TEST_SUITE_P(Rows, StreamedTraces, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Read on one thread or two: the same tones, edges and summary; the work alongside runs once.
TEST_F(StreamedTraces, SameOnOneThreadOrTwo) {
  for (const Row& r : {kRows[0], kRows[5], kRows[7]}) {
    const std::string file = wav_of(synthesize(options(r)));
    const std::vector<StreamedChannel> wanted = {{r.ch1 == 1 && r.ch2 == 1 ? 0 : 1, true},
                                                 {2, r.roller}};
    int ran = 0;
    const std::optional<StreamedRecording> one = read_streamed(file, wanted, 1, [&] { ++ran; });
    const std::optional<StreamedRecording> two = read_streamed(file, wanted, 2, [&] { ++ran; });
    ASSERT_TRUE(one && two);
    EXPECT_EQ(ran, 2);
    ASSERT_EQ(one->tones.size(), two->tones.size());
    for (std::size_t i = 0; i < one->tones.size(); ++i) EXPECT_TRUE(one->tones[i] == two->tones[i]);
    EXPECT_EQ(one->edges, two->edges);
    EXPECT_EQ(one->summary.samples, two->summary.samples);
    EXPECT_EQ(one->summary.constant, two->summary.constant);
    EXPECT_EQ(one->summary.finite, two->summary.finite);
  }
}

// A channel without signal is refused with the message of the whole-recording checks.
TEST_F(StreamedTraces, SilentToneChannelGivesTheChecksMessage) {
  SynthRun run = synthesize(options(kRows[0]));
  run.y.col(0).setZero();
  const std::string file = wav_of(run);
  const ParSet par = params(kRows[0]);
  const WavReadResult wav = wavread(file);
  const std::string expected = ziva::testing::error_of(
      [&] { check_recording(summarize_recording(file, wav.y, wav.Fs), par); });
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ziva::testing::error_of([&] { streamed_channel_traces({}, file, par); }), expected);
}

}  // namespace
