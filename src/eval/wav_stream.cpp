#include "eval/wav_stream.h"

#include <algorithm>
#include <cmath>

#include "dsp/resample.h"
#include "eval/dig2v.h"
#include "eval/wav2v.h"
#include "wav/sample_rates.h"
#include "wav/wav_read.h"

namespace ziva {

namespace {

constexpr Eigen::Index kBlockFrames = Eigen::Index{1} << 16;

}  // namespace

std::optional<TonePulseChannels> read_tone_and_pulses(const std::string& file, int tone_ch,
                                                      int pulse_ch) {
  const WavReadResult info = wavread(file, WavExtent::size());
  const double frames = info.y(0, 0);
  const double channels = info.y(0, 1);
  const double FS = info.Fs;
  if (frames < 1 || channels < std::max(tone_ch, pulse_ch) || std::min(tone_ch, pulse_ch) < 1)
    return std::nullopt;
  // Rates the evaluation does not take are refused, with their message, on the usual way.
  if (!(FS >= kLowestRate && FS <= kHighestRate && FS == std::floor(FS))) return std::nullopt;

  const auto total = static_cast<Eigen::Index>(frames);
  TonePulseChannels out;
  out.FS = FS;
  // Filtered in batches of a 64th of the recording, at least 2^18 samples: few waits for the
  // filter's threads, little memory.
  StreamResampler resampler(total, kAnalysisRate, FS,
                            std::max<Eigen::Index>(Eigen::Index{1} << 18, total / 64));
  EdgeFinder edges;
  for (Eigen::Index first = 0; first < total; first += kBlockFrames) {
    const Eigen::Index n = std::min(kBlockFrames, total - first);
    const WavReadResult block = wavread(
        file, WavExtent::range(static_cast<double>(first + 1), static_cast<double>(first + n)));
    // The resampler shares each block between the two cores; the edges are a quick pass.
    edges.feed(block.y.col(pulse_ch - 1).data(), block.y.rows());
    resampler.feed(block.y.col(tone_ch - 1).data(), block.y.rows());
  }
  out.edges = edges.finish();
  out.tone = resampler.finish();
  return out;
}

}  // namespace ziva
