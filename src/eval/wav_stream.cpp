#include "eval/wav_stream.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "dsp/resample.h"
#include "eval/dig2v.h"
#include "eval/wav2v.h"
#include "wav/sample_rates.h"
#include "wav/wav_read.h"

namespace ziva {

namespace {

constexpr Eigen::Index kBlockFrames = Eigen::Index{1} << 16;

}  // namespace

std::optional<StreamedRecording> read_streamed(const std::string& file,
                                               const std::vector<StreamedChannel>& wanted) {
  const WavReadResult info = wavread(file, WavExtent::size());
  const double frames = info.y(0, 0);
  const double channels = info.y(0, 1);
  const double FS = info.Fs;
  if (frames < 1) return std::nullopt;
  for (const StreamedChannel& c : wanted) {
    if (c.column < 0 || c.column > channels) return std::nullopt;
    if (c.column == 0 && channels != 2) return std::nullopt;
  }
  // Rates the evaluation does not take are refused, with their message, on the usual way.
  if (!(FS >= kLowestRate && FS <= kHighestRate && FS == std::floor(FS))) return std::nullopt;

  const auto total = static_cast<Eigen::Index>(frames);
  StreamedRecording out;
  out.FS = FS;
  // The recording checks look at the channels read (both columns and their mean for the mean).
  const auto columns = static_cast<Eigen::Index>(channels);
  std::vector<bool> judged(static_cast<std::size_t>(columns + (columns >= 2 ? 1 : 0)), false);
  for (const StreamedChannel& c : wanted) {
    if (c.column == 0)
      judged[0] = judged[1] = judged[2] = true;
    else
      judged[static_cast<std::size_t>(c.column - 1)] = true;
  }
  RecordingSummarizer summary(file, FS, columns, judged);
  // Tones filtered in batches of a 64th of the recording, at least 2^18 samples: few waits for
  // the filter's threads, little memory.
  std::vector<std::unique_ptr<StreamResampler>> resamplers;
  std::vector<EdgeFinder> finders;
  for (const StreamedChannel& c : wanted) {
    if (c.tone)
      resamplers.push_back(std::make_unique<StreamResampler>(
          total, kAnalysisRate, FS, std::max<Eigen::Index>(Eigen::Index{1} << 18, total / 64)));
    else
      finders.emplace_back(c.refine);
  }
  Eigen::VectorXd mean;
  for (Eigen::Index at = 0; at < total; at += kBlockFrames) {
    const Eigen::Index n = std::min(kBlockFrames, total - at);
    const Eigen::MatrixXd y =
        wavread(file, WavExtent::range(static_cast<double>(at + 1), static_cast<double>(at + n))).y;
    summary.feed(y);
    std::size_t tone = 0, pulses = 0;
    for (const StreamedChannel& c : wanted) {
      const double* x = nullptr;
      if (c.column == 0) {
        mean = (y.col(0) + y.col(1)) / 2;
        x = mean.data();
      } else {
        x = y.col(c.column - 1).data();
      }
      // The resampler shares each batch between the two cores; the edges are a quick pass.
      if (c.tone)
        resamplers[tone++]->feed(x, n);
      else
        finders[pulses++].feed(x, n);
    }
  }
  for (auto& r : resamplers) out.tones.push_back(r->finish());
  for (auto& f : finders) {
    out.edges.push_back(f.finish());
    out.refined.push_back(f.refined());
  }
  out.summary = summary.finish();
  return out;
}

}  // namespace ziva
