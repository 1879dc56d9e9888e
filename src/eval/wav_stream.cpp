#include "eval/wav_stream.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <memory>
#include <thread>

#include "base/huge_pages.h"
#include "base/threads.h"
#include "dsp/resample.h"
#include "eval/dig2v.h"
#include "eval/wav2v.h"
#include "wav/sample_rates.h"
#include "wav/wav_read.h"

namespace ziva {

namespace {

// Frames of the recording taken at a time by a thread: small enough to stay in its cache, many
// enough per recording that the threads end together.
constexpr Eigen::Index kPieceFrames = Eigen::Index{1} << 15;

// What one piece of the recording gave.
struct PieceResult {
  std::unique_ptr<RecordingSummarizer> summary;
  std::vector<EdgeFinder> edges;  // per pulse channel
};

// Storage a thread reuses from piece to piece.
struct Scratch {
  Eigen::MatrixXd frames;  // the piece's frames, one column per channel
  Eigen::VectorXd mean;    // the mean of columns 1 and 2
  std::vector<unsigned char> bytes;
};

}  // namespace

std::optional<StreamedRecording> read_streamed(const std::string& file,
                                               const std::vector<StreamedChannel>& wanted,
                                               int threads,
                                               const std::function<void()>& alongside) {
  const WavFrameReader reader(file);
  const WavReadResult& info = reader.info();
  const double frames = info.y(0, 0);
  const double channels = info.y(0, 1);
  const double FS = info.Fs;
  if (frames < 1 || !reader.single_data_chunk()) return std::nullopt;
  for (const StreamedChannel& c : wanted) {
    if (c.column < 0 || c.column > channels) return std::nullopt;
    if (c.column == 0 && channels != 2) return std::nullopt;
  }
  // Rates the evaluation does not take are refused, with their message, on the usual way.
  if (!(FS >= kLowestRate && FS <= kHighestRate && FS == std::floor(FS))) return std::nullopt;

  const auto total = static_cast<Eigen::Index>(frames);
  // The recording checks look at the channels read (both columns and their mean for the mean).
  const auto columns = static_cast<Eigen::Index>(channels);
  std::vector<bool> judged(static_cast<std::size_t>(columns + (columns >= 2 ? 1 : 0)), false);
  for (const StreamedChannel& c : wanted) {
    if (c.column == 0)
      judged[0] = judged[1] = judged[2] = true;
    else
      judged[static_cast<std::size_t>(c.column - 1)] = true;
  }
  std::vector<int> tone_columns, pulse_columns;
  std::vector<bool> refine;  // per pulse channel
  for (const StreamedChannel& c : wanted) {
    (c.tone ? tone_columns : pulse_columns).push_back(c.column);
    if (!c.tone) refine.push_back(c.refine);
  }
  const bool around = std::find(refine.begin(), refine.end(), true) != refine.end();
  // Every tone has the same rate and length, so one resampler serves them all; pulses need none.
  std::optional<PieceResampler> tone_resampler;
  if (!tone_columns.empty()) tone_resampler.emplace(total, kAnalysisRate, FS);
  const PieceResampler* resampler = tone_resampler ? &*tone_resampler : nullptr;
  StreamedRecording out;
  out.FS = FS;
  for (std::size_t i = 0; i < tone_columns.size(); ++i) {
    out.tones.emplace_back(resampler->outputs(), 1);
    advise_huge_pages(out.tones.back().data(),
                      static_cast<std::size_t>(out.tones.back().size()) * sizeof(double));
  }

  // Piece k holds frames [k·kPieceFrames, (k + 1)·kPieceFrames) and the tone samples whose
  // inputs end there (the first piece also those before, the last one those after).
  const Eigen::Index pieces = (total + kPieceFrames - 1) / kPieceFrames;
  auto piece_outputs = [&](Eigen::Index k) {
    if (!resampler) return std::make_pair(Eigen::Index{0}, Eigen::Index{0});
    const Eigen::Index from = k == 0 ? 0 : resampler->outputs_before(k * kPieceFrames);
    const Eigen::Index to =
        k + 1 == pieces ? resampler->outputs() : resampler->outputs_before((k + 1) * kPieceFrames);
    return std::make_pair(from, to);
  };
  // The frames read for piece k start earlier, at h, by the samples the filter and the edge
  // search look back; refined edges also look four samples further back and three ahead.
  auto first_read = [&](Eigen::Index k) {
    const Eigen::Index a = k * kPieceFrames;
    const auto [out_from, out_to] = piece_outputs(k);
    Eigen::Index h = a;
    if (!pulse_columns.empty() && a > 0) h = a - 1;
    if (around) h = std::max<Eigen::Index>(h - 4, 0);
    if (resampler && out_to > out_from) h = std::min(h, resampler->input_from(out_from));
    return h;
  };
  auto ahead_of = [&](Eigen::Index b) {
    return around ? std::min<Eigen::Index>(3, total - b) : Eigen::Index{0};
  };
  auto end_of = [&](Eigen::Index k) { return std::min(total, (k + 1) * kPieceFrames); };
  // Each thread's frame storage holds the longest piece read, allocated once.
  Eigen::Index longest = 0;
  for (Eigen::Index k = 0; k < pieces; ++k)
    longest = std::max(longest, end_of(k) - first_read(k) + ahead_of(end_of(k)));
  std::vector<PieceResult> results(static_cast<std::size_t>(pieces));
  auto run_piece = [&](Eigen::Index k, Scratch& s) {
    const Eigen::Index a = k * kPieceFrames;
    const Eigen::Index b = end_of(k);
    const auto [out_from, out_to] = piece_outputs(k);
    const Eigen::Index h = first_read(k);
    const Eigen::Index n = b - h;
    const Eigen::Index ahead = ahead_of(b);
    if (s.frames.rows() < n + ahead) s.frames.resize(longest, columns);
    const Eigen::Index stride = s.frames.rows();
    reader.read(h, n + ahead, s.frames.data(), stride, s.bytes);
    const Eigen::Map<const Eigen::MatrixXd, 0, Eigen::OuterStride<>> y(
        s.frames.data(), n + ahead, columns, Eigen::OuterStride<>(stride));
    auto mean = [&]() -> const double* {
      s.mean = (y.col(0) + y.col(1)) / 2;
      return s.mean.data();
    };
    PieceResult& r = results[static_cast<std::size_t>(k)];
    r.summary =
        std::make_unique<RecordingSummarizer>(file, FS, columns, judged, reader.finite_samples());
    r.summary->feed(y.middleRows(a - h, b - a));
    const Eigen::Index edges_from = a == 0 ? 0 : a - 1;
    for (std::size_t i = 0; i < pulse_columns.size(); ++i) {
      const int column = pulse_columns[i];
      const double* x = column == 0 ? mean() : y.col(column - 1).data();
      r.edges.emplace_back(edges_from, refine[i]);
      r.edges.back().feed(x + (edges_from - h), b - edges_from, edges_from - h, ahead);
    }
    for (std::size_t i = 0; i < tone_columns.size(); ++i) {
      const int column = tone_columns[i];
      const double* x = column == 0 ? mean() : y.col(column - 1).data();
      resampler->run(x, h, n, out_from, out_to, out.tones[i].data() + out_from);
    }
  };

  // The threads take the pieces in turn from a shared counter; which thread computes a piece
  // does not change what it gives.
  std::atomic<Eigen::Index> next{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    Scratch s;
    for (Eigen::Index k = next++; k < pieces && !stop; k = next++) run_piece(k, s);
  };
  if (threads <= 1 || pieces < 2) {
    if (alongside) alongside();
    work();
  } else {
    std::exception_ptr failure;
    std::thread helper = start_beside([&] {
      try {
        if (alongside) alongside();
        work();
      } catch (...) {
        stop = true;
        failure = std::current_exception();
      }
    });
    try {
      work();
    } catch (...) {
      stop = true;
      helper.join();
      throw;
    }
    helper.join();
    if (failure) std::rethrow_exception(failure);
  }

  RecordingSummarizer& summary = *results.front().summary;
  std::vector<EdgeFinder>& edges = results.front().edges;
  for (std::size_t k = 1; k < results.size(); ++k) {
    summary.append(*results[k].summary);
    for (std::size_t i = 0; i < edges.size(); ++i) edges[i].append(results[k].edges[i]);
  }
  for (EdgeFinder& f : edges) {
    out.edges.push_back(f.finish());
    out.refined.push_back(f.refined());
  }
  out.summary = summary.finish();
  return out;
}

}  // namespace ziva
