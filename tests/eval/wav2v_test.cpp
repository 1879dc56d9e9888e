#include "eval/wav2v.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "base/error.h"
#include "dsp/specgram.h"
#include "dsp/upfirdn.h"
#include "eval/trace_quality.h"
#include "plot/waitbar.h"
#include "progress_log.h"
#include "support/error_of.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

Eigen::VectorXd tone(double f, double fs, double seconds, double amplitude = 1) {
  const auto n = static_cast<Eigen::Index>(std::llround(seconds * fs));
  Eigen::VectorXd y(n);
  for (Eigen::Index i = 0; i < n; ++i)
    y(i) = amplitude * std::sin(2 * std::numbers::pi * f * static_cast<double>(i) / fs);
  return y;
}

}  // namespace

// Tones at 4410 Hz and other rates through the spectrogram's grid of candidates (L = 3).
TEST(Wav2v, ToneTraces) {
  SpeedTrace s = tone_trace(tone(150, 4410, 5), 4410, 3, 3);
  ASSERT_GT(s.v.size(), 10);
  for (Eigen::Index j = 0; j < s.v.size(); ++j) EXPECT_DOUBLE_EQ(s.v(j), 50) << j;
  EXPECT_DOUBLE_EQ(s.t(0), 0.2);
  // Windows of 1764 samples every 177 (971 beyond 20 s): the last one ends inside the recording.
  EXPECT_NEAR(s.t(s.t.size() - 1) - s.t(0), (s.t.size() - 1) * 177.0 / 4410, 1e-12);
  EXPECT_EQ(s.t.size(), (22050 - 1587) / 177);
  s = tone_trace(tone(150, 4410, 20), 4410, 3, 3);
  EXPECT_EQ(std::llround((s.t(1) - s.t(0)) * 4410), 177);
  s = tone_trace(tone(150, 4410, 20.1), 4410, 3, 3);
  EXPECT_EQ(std::llround((s.t(1) - s.t(0)) * 4410), 971);
  // 150.25 Hz lies between the candidates 150 and 150.5 Hz; with l ≠ L the peak is divided by l.
  s = tone_trace(tone(150.25, 4410, 3), 4410, 3, 3);
  for (Eigen::Index j = 0; j < s.v.size(); ++j)
    EXPECT_TRUE(s.v(j) == 50 || s.v(j) == 150.5 / 3) << s.v(j);
  EXPECT_DOUBLE_EQ(tone_trace(tone(150, 4410, 3), 4410, 6, 3).v(0), 25);
  // Stereo: left 150 Hz, right −150 Hz plus 200 Hz; their mean holds only 200 Hz.
  const Eigen::VectorXd a = tone(150, 4410, 3);
  Eigen::MatrixXd y(a.size(), 2);
  y << a, -a + tone(200, 4410, 3);
  EXPECT_DOUBLE_EQ(tone_trace(y.col(0), 4410, 3, 3).v(3), 50);
  s = tone_trace(y, 4410, 3, 3);
  for (Eigen::Index j = 0; j < s.v.size(); ++j) EXPECT_DOUBLE_EQ(s.v(j), 200.0 / 3);
  // Other rates are resampled to 4410 Hz.
  const SpeedTrace base = tone_trace(tone(150, 4410, 4), 4410, 3, 3);
  const SpeedTrace twice = tone_trace(tone(150, 8820, 4), 8820, 3, 3);
  EXPECT_EQ(twice.t, base.t);
  EXPECT_EQ(twice.v, base.v);
  s = tone_trace(tone(212, 44100, 4), 44100, 3, 3);
  for (Eigen::Index j = 0; j < s.v.size(); ++j) EXPECT_DOUBLE_EQ(s.v(j), 212.0 / 3);
  // A recording shorter than a window gives one slice.
  s = tone_trace(tone(300, 4410, 0.2), 4410, 3, 3);
  ASSERT_EQ(s.t.size(), 1);
  EXPECT_DOUBLE_EQ(s.t(0), 0.2);
  EXPECT_NEAR(s.v(0), 100, 0.2);  // within one grid step
}

TEST(Wav2v, SameResultWithOneOrTwoThreads) {
  // A sweeping tone with noise, so that many different rows win.
  const double fs = 11025;
  Eigen::VectorXd y(static_cast<Eigen::Index>(fs * 8));
  double phase = 0;
  unsigned state = 1;
  for (Eigen::Index i = 0; i < y.size(); ++i) {
    phase += 2 * std::numbers::pi * (100 + 50 * static_cast<double>(i) / fs) / fs;
    state = state * 1103515245u + 12345u;
    y(i) = std::sin(phase) + 0.5 * (static_cast<double>(state >> 8) / 16777216.0 - 0.5);
  }
  const int old = set_upfirdn_threads(1);
  SpeedTrace one = tone_trace(y, fs, 3, 3, {}, 1);
  set_upfirdn_threads(2);
  SpeedTrace two = tone_trace(y, fs, 3, 3, {}, 2);
  set_upfirdn_threads(old);
  EXPECT_EQ(one.t, two.t);
  EXPECT_EQ(one.v, two.v);
}

TEST(PickPeaks, FirstOfEqualMagnitudesWins) {
  Eigen::MatrixXcd yo = Eigen::MatrixXcd::Zero(12, 4);
  yo(3, 0) = {3, 4};
  yo(1, 0) = {-4, 3};  // same magnitude 5, earlier row
  yo(4, 1) = {0, -2};
  yo(2, 2) = {1e-300, 0};
  // A power one step below the largest whose magnitude rounds to the same 1.4.
  yo(9, 3) = {1.4, 0};
  yo(6, 3) = {1.3999999999999997, 3 * std::ldexp(1.0, -27)};
  EXPECT_EQ(pick_peaks(yo), (std::vector<Eigen::Index>{1, 4, 2, 6}));
  // A power just below the peak's (24.9101 < 25) in the rows after the last whole four.
  Eigen::MatrixXcd tail = Eigen::MatrixXcd::Zero(7, 1);
  tail(1, 0) = {3, 4};
  tail(6, 0) = {0.1, 4.99};
  EXPECT_EQ(pick_peaks(tail)[0], 1);
}

// Every length and peak row, with the same power again later and a NaN just before: the first
// row of the largest power wins wherever it falls among the rows taken four at a time.
TEST(PickPeaks, FirstLargestPowerAtEveryRow) {
  for (Eigen::Index m = 1; m <= 12; ++m) {
    for (Eigen::Index first = 0; first < m; ++first) {
      Eigen::MatrixXcd yo = Eigen::MatrixXcd::Constant(m, 1, {1, 1});
      yo(first, 0) = {3, 4};
      for (Eigen::Index later = first + 1; later < m; later += 3) yo(later, 0) = {-4, 3};
      if (first > 0) yo(first - 1, 0) = {std::nan(""), 1};
      EXPECT_EQ(pick_peaks(yo)[0], first) << "length " << m;
    }
  }
}

TEST(PickPeaks, FusedPickingMatchesTheFullSpectrum) {
  Eigen::VectorXd x = tone(333, 4410, 6);
  x.array() += 0.3 * tone(97, 4410, 6).array();
  const Specgram sg = tone_spectrogram(x, candidate_frequencies(3));
  EXPECT_EQ(spectral_peaks(sg, 2), pick_peaks(sg.run().yo));
}

using Wav2vWindow = ProgramTest;

TEST_F(Wav2vWindow, ProgressMarksAndThirdOutputNeverAssigned) {
  start();
  ProgressLog log(g());
  const Values args{Value(Eigen::MatrixXd(tone(150, 4410, 2))), 4410.0, 3.0, 3.0, Value(strings())};
  Values out = program_->call("wav2v", 2, args);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].num().cols(), 1);
  EXPECT_DOUBLE_EQ(out[1].num()(0), 50);
  EXPECT_EQ(log.marks, (std::vector<double>{0, 20, 100}));
  EXPECT_EQ(log.names, (std::vector<std::string>{"Berechne Diagramm"}));
  EXPECT_EQ(log.open, 0);
  EXPECT_EQ(ziva::testing::error_of([&] { program_->call("wav2v", 3, args); }),
            "One or more output arguments not assigned during call to 'wav2v'.");
}

// At the boundary: 13 / 0.41139… is exactly kPeakOverFloor, and a row of power 0 also counts as
// low enough; the peak is weak when no more than half the rows are that far below it.
TEST(SpectralPeaks, PowersExactlyAtTheFloorAndZeroCountAsLow) {
  const std::complex<double> peak{2, 3}, at_floor{0.641398787856113, 0}, zero{0, 0}, high{1, 1};
  ASSERT_EQ(std::norm(peak) / std::norm(at_floor), kPeakOverFloor);
  std::vector<double> scratch;
  // Nine rows, the peak in the middle: five low rows stand out of it, four do not.
  const std::vector<std::complex<double>> five{at_floor, zero, high, at_floor, peak,
                                               high,     zero, high, at_floor};
  std::vector<std::complex<double>> four = five;
  four[8] = high;
  EXPECT_FALSE(weak_peak(five.data(), 9, 4, scratch));
  EXPECT_TRUE(weak_peak(four.data(), 9, 4, scratch));
}

// The weak peaks are those whose power is below kPeakOverFloor times the median power of their
// window, on a tone that fades into noise (windows on both sides of the floor).
TEST(SpectralPeaks, WeakPeaksAreThoseBelowTheFloorOverTheMedian) {
  const Eigen::Index n = 20 * 4410;
  Eigen::MatrixXd x(n, 1);
  std::uint32_t state = 12345;
  for (Eigen::Index i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(state) / 4294967296.0 - 0.5;
    const double fade = 0.2 * (1 - static_cast<double>(i) / static_cast<double>(n));
    x(i) = fade * std::sin(2 * std::numbers::pi * 120.0 * static_cast<double>(i) / 4410) + noise;
  }
  const Specgram sg = tone_spectrogram(x, candidate_frequencies(3));
  PeakDetail detail;
  const std::vector<Eigen::Index> peaks = spectral_peaks(sg, 2, &detail);
  const Eigen::Index m = sg.frequencies();
  Eigen::MatrixXcd yo(m, sg.segments());
  sg.compute(0, sg.segments(), yo);
  int weak = 0;
  for (Eigen::Index j = 0; j < sg.segments(); ++j) {
    std::vector<double> power(static_cast<std::size_t>(m));
    for (Eigen::Index i = 0; i < m; ++i) power[static_cast<std::size_t>(i)] = std::norm(yo(i, j));
    const double top = power[static_cast<std::size_t>(peaks[static_cast<std::size_t>(j)])];
    std::sort(power.begin(), power.end());
    const double median = power[static_cast<std::size_t>(m / 2)];
    const bool expected = !(top / median >= kPeakOverFloor);
    EXPECT_EQ(detail.weak[static_cast<std::size_t>(j)] != 0, expected) << j;
    weak += expected ? 1 : 0;
  }
  EXPECT_GT(weak, 0);
  EXPECT_LT(weak, sg.segments());
}
