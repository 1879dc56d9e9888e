// Short-time spectrum: a signal cut into overlapping windowed segments, each transformed to the
// frequency domain, either with an FFT of a given length or at requested frequencies.
#pragma once

#include <Eigen/Dense>
#include <memory>
#include <optional>
#include <string>

#include "dsp/fft.h"

namespace ziva {

struct SpecgramResult {
  Eigen::MatrixXcd yo;  // one row per frequency, one column per segment
  Eigen::VectorXd fo;   // the frequency of each row, Hz
  Eigen::VectorXd to;   // the start time of each segment, s (the first sample lies at 0)
};

// The arguments of a spectrum after the defaults are filled in.
struct SpecgramArgs {
  Eigen::VectorXd x;       // the signal as a column
  Eigen::VectorXd nfft;    // one value: the FFT length; more: the frequencies wanted, Hz
  double fs = 2;           // sample rate, Hz
  Eigen::VectorXd window;  // the window weights
  double noverlap = 0;     // samples shared by successive segments
};

// Fills in the defaults of specgram (an omitted or empty input counts as absent) and checks the
// arguments. Returns the message to raise, empty when the arguments pass; when several of the
// checks fail the last of them names the message. "You must specify a window function."
// (frequencies without a window) and "Requires FS to be a scalar." are returned at once; a window
// length given as one number goes through hanning, whose errors are thrown.
std::string specgramchk(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft,
                        const std::optional<Eigen::MatrixXd>& fs,
                        const std::optional<Eigen::MatrixXd>& window,
                        const std::optional<Eigen::MatrixXd>& noverlap, SpecgramArgs& args);

// A checked and prepared spectrum. Segment j holds samples j·hop … j·hop + nwind − 1 (hop =
// nwind − noverlap) of the signal, zero-extended to one window when shorter; samples after the
// last full segment are not used. Segments are computed independently: compute() may run on
// disjoint ranges from several threads at once, and every split gives bit-identical results.
class Specgram {
 public:
  enum class Road {
    fft,          // scalar FFT length: rows for 0 … fs/2 (for real signals)
    chirp,        // more than 20 evenly spaced frequencies: chirp z-transform
    filter_bank,  // other frequency vectors: a bank of complex filters run by upfirdn
  };

  // Checks the arguments as specgram does (throws ziva::Error with the message) and prepares
  // the transform.
  Specgram(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft = {},
           const std::optional<Eigen::MatrixXd>& fs = {},
           const std::optional<Eigen::MatrixXd>& window = {},
           const std::optional<Eigen::MatrixXd>& noverlap = {});
  ~Specgram();
  Specgram(Specgram&&) noexcept;
  Specgram& operator=(Specgram&&) noexcept;

  Road road() const;
  Eigen::Index segments() const;     // columns of yo
  Eigen::Index frequencies() const;  // rows of yo
  const Eigen::VectorXd& fo() const;
  const Eigen::VectorXd& to() const;

  // The same for a signal that is no longer needed elsewhere: it is taken over, not copied.
  Specgram(Eigen::MatrixXd&& x, const std::optional<Eigen::MatrixXd>& nfft,
           const std::optional<Eigen::MatrixXd>& fs, const std::optional<Eigen::MatrixXd>& window,
           const std::optional<Eigen::MatrixXd>& noverlap);

  // Computes the columns first … first + count − 1 of the spectrum into the same columns of `yo`,
  // which must already have frequencies() rows and segments() columns.
  void compute(Eigen::Index first, Eigen::Index count, Eigen::MatrixXcd& yo) const;
  // The same columns, one after another (frequencies() values each), into `out`; the values are
  // bit-identical to those of the matrix form.
  void compute(Eigen::Index first, Eigen::Index count, std::complex<double>* out) const;
  // The same with working storage that a thread computing many batches keeps between them, so
  // that its memory is allocated and touched once; it grows as needed.
  void compute(Eigen::Index first, Eigen::Index count, std::complex<double>* out,
               fft::Buffer& work) const;

  // Builds, on any thread, the transform that a spectrum on the frequencies `freq` (Hz) at rate
  // `fs` with these window weights takes on the chirp road, so that a Specgram made later with
  // them finds it ready (the last few are kept). Other frequencies are left to the Specgram.
  static void prepare_chirp(const Eigen::VectorXd& freq, double fs, const Eigen::VectorXd& window);

  // The whole spectrum; with threads > 1 the segments are split into that many contiguous
  // batches computed at the same time.
  SpecgramResult run(int threads = 1) const;

 private:
  struct Impl;
  void prepare(SpecgramArgs& args);
  std::unique_ptr<Impl> impl_;
};

// The short-time spectrum of the vector `x` (row or column). Inputs, each optional (empty counts
// as omitted):
//  `nfft`: an FFT length (default min(length of x, 256)), or a vector of frequencies in Hz;
//  `fs`: the sample rate (default 2);
//  `window`: window weights, or one number n for hanning(n) (default hanning(nfft) for an FFT
//            length; required with frequencies);
//  `noverlap`: samples shared by successive segments (default ceil(nwind/2)).
// Each column of yo is the transform of one windowed segment, Σ_n w(n)·s(n)·e^(−2πi·f·n/fs):
// for an FFT length at f = r·fs/nfft for r = 0 … floor(nfft/2); otherwise at the requested
// frequencies, evaluated exactly at them. Throws ziva::Error with the message of specgramchk.
SpecgramResult specgram(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft = {},
                        const std::optional<Eigen::MatrixXd>& fs = {},
                        const std::optional<Eigen::MatrixXd>& window = {},
                        const std::optional<Eigen::MatrixXd>& noverlap = {});

}  // namespace ziva
