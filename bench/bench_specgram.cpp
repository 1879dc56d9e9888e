// Speed of the tone conversion's spectrogram (20 s at 4410 Hz, 1551 frequencies, window 1764,
// overlap 1587: 489 segments) against its floor, two complex FFTs of length 4096 per segment.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/czt.h"
#include "dsp/fft.h"
#include "dsp/specgram.h"

namespace {

constexpr double kRate = 4410;
constexpr Eigen::Index kSamples = 20 * 4410;
constexpr Eigen::Index kSegments = 489;

Eigen::VectorXd signal() {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 0.1);
  Eigen::VectorXd x(kSamples);
  for (Eigen::Index n = 0; n < kSamples; ++n) {
    const double t = static_cast<double>(n) / kRate;
    x(n) = std::sin(2 * std::numbers::pi * (100 * t + 10 * t * t)) + noise(rng);
  }
  return x;
}

Eigen::MatrixXd frequencies() {
  Eigen::MatrixXd f(1551, 1);
  for (Eigen::Index k = 0; k < 1551; ++k) f(k) = (500.0 + 10.0 * static_cast<double>(k)) / 60 * 3;
  return f;
}

Eigen::MatrixXd scalar(double v) {
  return Eigen::MatrixXd::Constant(1, 1, v);
}

// On a shared machine the fastest repetition is the one least disturbed by other work.
double fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

// The floor: a forward and a backward FFT of length 4096 for each segment, from one buffer into
// another and back (out of place, FFTW's fastest form here, as the spectrogram uses it). Every
// pair scales the data by 4096 = 2^12; an exact rescaling every 64 segments (a negligible cost)
// keeps it finite.
class Floor {
 public:
  Floor()
      : forward_(ziva::fft::Plan::get(4096, ziva::fft::Direction::forward,
                                      ziva::fft::Placement::out_of_place)),
        backward_(ziva::fft::Plan::get(4096, ziva::fft::Direction::backward,
                                       ziva::fft::Placement::out_of_place)),
        data_(4096),
        spectrum_(4096) {}

  void run() {
    for (Eigen::Index i = 0; i < 4096; ++i) {
      data_[i] = i < 1764 ? std::complex<double>(std::sin(0.1 * static_cast<double>(i)), 0) : 0;
    }
    for (Eigen::Index j = 0; j < kSegments; ++j) {
      forward_.execute(data_.data(), spectrum_.data());
      backward_.execute(spectrum_.data(), data_.data());
      if (j % 64 == 63) {
        for (Eigen::Index i = 0; i < 4096; ++i) data_[i] *= std::ldexp(1.0, -768);
      }
    }
    benchmark::DoNotOptimize(data_.data());
    benchmark::ClobberMemory();
  }

 private:
  const ziva::fft::Plan& forward_;
  const ziva::fft::Plan& backward_;
  ziva::fft::Buffer data_;
  ziva::fft::Buffer spectrum_;
};

void BM_SpecgramFloor(benchmark::State& state) {
  Floor floor;
  for (auto _ : state) floor.run();
}
BENCHMARK(BM_SpecgramFloor)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_Specgram(benchmark::State& state) {
  const Eigen::MatrixXd x = signal();
  const Eigen::MatrixXd f = frequencies();
  ziva::specgram(x, f, scalar(kRate), scalar(1764), scalar(1587));  // makes the FFT plans
  for (auto _ : state) {
    ziva::SpecgramResult r = ziva::specgram(x, f, scalar(kRate), scalar(1764), scalar(1587));
    benchmark::DoNotOptimize(r.yo.data());
  }
}
BENCHMARK(BM_Specgram)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Floor and spectrogram in turns within each iteration, so that both see the same load; the
// counter `ratio` is the median of the per-iteration ratios of thread CPU time.
void BM_SpecgramOverFloor(benchmark::State& state) {
  const Eigen::MatrixXd x = signal();
  const Eigen::MatrixXd f = frequencies();
  Floor floor;
  ziva::specgram(x, f, scalar(kRate), scalar(1764), scalar(1587));  // makes the FFT plans
  std::vector<double> ratios;
  double floor_total = 0;
  double specgram_total = 0;
  for (auto _ : state) {
    const double t0 = thread_seconds();
    floor.run();
    const double t1 = thread_seconds();
    ziva::SpecgramResult r = ziva::specgram(x, f, scalar(kRate), scalar(1764), scalar(1587));
    benchmark::DoNotOptimize(r.yo.data());
    const double t2 = thread_seconds();
    floor_total += t1 - t0;
    specgram_total += t2 - t1;
    ratios.push_back((t2 - t1) / (t1 - t0));
  }
  std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
  state.counters["ratio"] = ratios[ratios.size() / 2];
  state.counters["floor_ms"] = 1e3 * floor_total / static_cast<double>(ratios.size());
  state.counters["specgram_ms"] = 1e3 * specgram_total / static_cast<double>(ratios.size());
}
BENCHMARK(BM_SpecgramOverFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The segment work alone: prepared once, written into the same result matrix every time.
void BM_SpecgramSegmentsOnly(benchmark::State& state) {
  const Eigen::MatrixXd x = signal();
  const ziva::Specgram plan(x, frequencies(), scalar(kRate), scalar(1764), scalar(1587));
  Eigen::MatrixXcd yo(plan.frequencies(), plan.segments());
  for (auto _ : state) {
    plan.compute(0, plan.segments(), yo);
    benchmark::DoNotOptimize(yo.data());
  }
}
BENCHMARK(BM_SpecgramSegmentsOnly)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

// Two threads, each with half of the segments.
void BM_SpecgramTwoThreads(benchmark::State& state) {
  const Eigen::MatrixXd x = signal();
  const Eigen::MatrixXd f = frequencies();
  for (auto _ : state) {
    const ziva::Specgram plan(x, f, scalar(kRate), scalar(1764), scalar(1587));
    ziva::SpecgramResult r = plan.run(2);
    benchmark::DoNotOptimize(r.yo.data());
  }
}
BENCHMARK(BM_SpecgramTwoThreads)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", fastest);

// The chirp z-transform of one segment matrix (1764 × 489) in one call.
void BM_CztSegments(benchmark::State& state) {
  const Eigen::VectorXd x = signal();
  Eigen::MatrixXd segments(1764, kSegments);
  for (Eigen::Index j = 0; j < kSegments; ++j) segments.col(j) = x.segment(j * 177, 1764);
  const std::complex<double> w = std::polar(1.0, -2 * std::numbers::pi * 0.5 * 3 / kRate);
  const std::complex<double> a = std::polar(1.0, 2 * std::numbers::pi * 25 / kRate);
  for (auto _ : state) {
    Eigen::MatrixXcd g = ziva::czt(segments, scalar(1551), Eigen::MatrixXcd::Constant(1, 1, w),
                                   Eigen::MatrixXcd::Constant(1, 1, a));
    benchmark::DoNotOptimize(g.data());
  }
}
BENCHMARK(BM_CztSegments)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

}  // namespace

BENCHMARK_MAIN();
