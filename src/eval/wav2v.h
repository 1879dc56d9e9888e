// Speed from a tone channel: the dominant frequency of the recording over time, found on a fine
// grid of candidate engine speeds by a short-time spectrum at 4410 Hz.
#pragma once

#include <Eigen/Dense>
#include <complex>
#include <functional>
#include <tuple>
#include <vector>

#include "base/progress.h"
#include "eval/estimator.h"
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

// Builds what tone_spectrogram on candidate_frequencies(L) takes (its transform and FFT plans)
// ahead, e.g. on another thread while the signal is made ready; the spectrum then finds it.
void prepare_tone_spectrum(double L);

// Per window of the spectrum: the top of the peak between grid rows (offset from the peak row,
// −1 … 1 rows) and whether the peak's power is less than kPeakOverFloor times the median power
// of the window (the power of rank ⌊m/2⌋ from the lowest, counted from 0, of the m rows).
struct PeakDetail {
  std::vector<double> offset;
  std::vector<char> weak;
};

// For every window of the spectrum, the row of the largest magnitude (the first of equal ones),
// the windows split into batches computed on `threads` threads; the result does not depend on
// their number. With `detail`, also the refined tops and the prominences.
std::vector<Eigen::Index> spectral_peaks(const Specgram& sg, int threads = 2,
                                         PeakDetail* detail = nullptr);

// The top of a peak at row idx of the magnitudes col[0 … m−1]: the vertex of the parabola through
// the logarithms of the squared magnitudes at idx − 1, idx, idx + 1 (exact for a Gaussian peak),
// as an offset in rows; 0 at the first and last rows or where the three do not form a peak.
double peak_offset(const std::complex<double>* col, Eigen::Index m, Eigen::Index idx);

// Whether the peak at row idx of col[0 … m−1] is weak (as PeakDetail::weak); `scratch` is
// working storage.
bool weak_peak(const std::complex<double>* col, Eigen::Index m, Eigen::Index idx,
               std::vector<double>& scratch);

// The same picking on a computed spectrum.
std::vector<Eigen::Index> pick_peaks(const Eigen::MatrixXcd& yo);

// The whole conversion without the progress window: window centre times t (s) and the picked
// frequency divided by l (revolutions per second of the measured shaft); the precise estimator
// takes the frequency at the refined top of the peak. `progress` is told the fractions 0.2
// (signal ready) and 1.0 (spectrum done). The quality counts windows whose peak does not stand
// out of the noise (kPeakOverFloor).
SpeedTrace tone_trace(Eigen::MatrixXd Y, double FS, double l, double L,
                      const std::function<void(double)>& progress = {}, int threads = 2,
                      Estimator estimator = Estimator::standard);

// The time (s) over which one sample of a tone trace averages: the analysis window.
double tone_resolution();

// wav2v: tone_trace reporting to `progress`, which is closed on every way out.
SpeedTrace wav2v(Progress& progress, Eigen::MatrixXd Y, double FS, double l, double L,
                 Estimator estimator = Estimator::standard);

}  // namespace ziva
