// Speed from a tone channel: the dominant frequency of the recording over time, found on a fine
// grid of candidate engine speeds by a short-time spectrum at 4410 Hz.
#pragma once

#include <Eigen/Dense>
#include <functional>
#include <tuple>
#include <vector>

#include "base/progress.h"
#include "eval/speed_trace.h"

namespace ziva {

class Specgram;

inline constexpr double kAnalysisRate = 4410;

// The channel as one column at the analysis rate without its mean: two columns are averaged, a
// recording at another rate is resampled from FS to 4410 Hz (FS must be a positive whole number).
// A single column handed over by std::move is worked on in place.
Eigen::MatrixXd tone_signal(Eigen::MatrixXd Y, double FS);

// The 1551 candidate tone frequencies (500 + 10·k) / 60 · L Hz, k = 0 … 1550.
Eigen::VectorXd candidate_frequencies(double L);

// The short-time spectrum of the analysis signal x on the frequencies `freq`: windows of 1764
// samples (symmetric Hanning), overlap ⌊1587.6 / o⌋ with o = max(1, ⌈log10(D / 2)⌉) for a
// recording of D seconds.
Specgram tone_spectrogram(const Eigen::MatrixXd& x, const Eigen::VectorXd& freq);
// The same, taking the signal over instead of copying it.
Specgram tone_spectrogram(Eigen::MatrixXd&& x, const Eigen::VectorXd& freq);

// For every window of the spectrum, the row of the largest magnitude (the first of equal ones),
// the windows split into batches computed on `threads` threads; the result does not depend on
// their number.
std::vector<Eigen::Index> spectral_peaks(const Specgram& sg, int threads = 2);

// The same picking on a computed spectrum.
std::vector<Eigen::Index> pick_peaks(const Eigen::MatrixXcd& yo);

// The whole conversion without the progress window: window centre times t (s) and the picked
// frequency divided by l (revolutions per second of the measured shaft). `progress` is told the
// fractions 0.2 (signal ready) and 1.0 (spectrum done).
SpeedTrace tone_trace(Eigen::MatrixXd Y, double FS, double l, double L,
                      const std::function<void(double)>& progress = {}, int threads = 2);

// wav2v: tone_trace reporting to `progress`, which is closed on every way out.
SpeedTrace wav2v(Progress& progress, Eigen::MatrixXd Y, double FS, double l, double L);

}  // namespace ziva
