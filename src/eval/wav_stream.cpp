#include "eval/wav_stream.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "dsp/resample.h"
#include "eval/dig2v.h"
#include "eval/wav2v.h"
#include "wav/sample_rates.h"
#include "wav/wav_read.h"

namespace ziva {

namespace {

constexpr Eigen::Index kBlockFrames = Eigen::Index{1} << 16;
constexpr std::size_t kBlocksAhead = 2;

// The blocks of frames of a recording, read and converted on a thread of their own while the
// caller works on the blocks before them; a reading error reaches the caller at its block.
class BlockReader {
 public:
  BlockReader(const std::string& file, Eigen::Index total)
      : worker_([this, file, total] { run(file, total); }) {}
  ~BlockReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The next block, or an empty matrix after the last one.
  Eigen::MatrixXd next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
      if (failure_) std::rethrow_exception(failure_);
      return {};
    }
    Eigen::MatrixXd block = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return block;
  }

 private:
  void run(const std::string& file, Eigen::Index total) {
    try {
      for (Eigen::Index first = 0; first < total; first += kBlockFrames) {
        const Eigen::Index n = std::min(kBlockFrames, total - first);
        Eigen::MatrixXd block = wavread(file, WavExtent::range(static_cast<double>(first + 1),
                                                               static_cast<double>(first + n)))
                                    .y;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return ready_.size() < kBlocksAhead || stop_; });
        if (stop_) return;
        ready_.push_back(std::move(block));
        changed_.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Eigen::MatrixXd> ready_;
  bool finished_ = false, stop_ = false;
  std::exception_ptr failure_;
  std::thread worker_;  // last: starts once the rest is set up
};

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
  RecordingSummarizer summary(file, FS, static_cast<Eigen::Index>(channels));
  // Tones filtered in batches of a 64th of the recording, at least 2^18 samples: few waits for
  // the filter's threads, little memory.
  std::vector<std::unique_ptr<StreamResampler>> resamplers;
  std::vector<EdgeFinder> finders;
  for (const StreamedChannel& c : wanted) {
    if (c.tone)
      resamplers.push_back(std::make_unique<StreamResampler>(
          total, kAnalysisRate, FS, std::max<Eigen::Index>(Eigen::Index{1} << 18, total / 64)));
    else
      finders.emplace_back();
  }
  Eigen::VectorXd mean;
  BlockReader reader(file, total);
  for (Eigen::MatrixXd y = reader.next(); y.rows() > 0; y = reader.next()) {
    const Eigen::Index n = y.rows();
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
  for (auto& f : finders) out.edges.push_back(f.finish());
  out.summary = summary.finish();
  return out;
}

}  // namespace ziva
