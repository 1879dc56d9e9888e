// Throughput of resample on a minute of audio to the 4410 Hz analysis rate, and of its filter
// design alone. Counters: MACs/s is the polyphase multiply-adds per second of wall time (output
// samples times taps per phase), MACs/cpu_s the same per second of CPU time summed over the
// threads (what a busy machine still shows), design_share the design's share of the whole call.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <numbers>

#include "dsp/firls.h"
#include "dsp/kaiser.h"
#include "dsp/resample.h"
#include "dsp/upfirdn.h"

namespace {

Eigen::MatrixXd minute_of_audio(double rate) {
  const auto n = static_cast<Eigen::Index>(60 * rate);
  Eigen::MatrixXd x(n, 1);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    x(i) = 0.5 * std::sin(2 * std::numbers::pi * 440 * t) +
           0.2 * std::sin(2 * std::numbers::pi * 1234.5 * t);
  }
  return x;
}

// The designed filter of the resampler for the reduced ratio p/q (N = 10, beta = 5).
Eigen::RowVectorXd design(int p, int q) {
  const int pqmax = std::max(p, q);
  const double fc = 1.0 / (2.0 * pqmax);
  Eigen::VectorXd edges(4), amplitudes(4);
  edges << 0, 2 * fc, 2 * fc, 1;
  amplitudes << 1, 1, 0, 0;
  Eigen::RowVectorXd h = p * ziva::firls(20.0 * pqmax, edges, amplitudes);
  h.array() *= ziva::kaiser(static_cast<double>(h.size()), 5).transpose().array();
  return h;
}

struct Seconds {
  double wall = 0, cpu = 0;  // cpu: process CPU time, all threads together
};

Seconds time_of(const auto& f) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  f();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC};
}

void resample_minute(benchmark::State& state, double rate, int p, int q) {
  const int threads = static_cast<int>(state.range(0));
  const int before = ziva::set_upfirdn_threads(threads);
  const Eigen::MatrixXd x = minute_of_audio(rate);
  const Eigen::Index ly = (x.rows() * p + q - 1) / q;
  const double taps_per_phase = std::ceil((20.0 * std::max(p, q) + 1) / p);
  Seconds total, design_only;
  for (auto _ : state) {
    const Seconds t =
        time_of([&] { benchmark::DoNotOptimize(ziva::resample(x, 4410, rate).y.data()); });
    const Seconds d = time_of([&] { benchmark::DoNotOptimize(design(p, q).data()); });
    total.wall += t.wall;
    total.cpu += t.cpu;
    design_only.wall += d.wall;
    design_only.cpu += d.cpu;
  }
  ziva::set_upfirdn_threads(before);
  const double macs =
      static_cast<double>(ly) * taps_per_phase * static_cast<double>(state.iterations());
  state.counters["MACs/s"] = benchmark::Counter(macs / (total.wall - design_only.wall));
  state.counters["MACs/cpu_s"] = benchmark::Counter(macs / (total.cpu - design_only.cpu));
  state.counters["design_share"] = design_only.wall / total.wall;
  state.counters["design_cpu_share"] = design_only.cpu / total.cpu;
  state.counters["taps"] = 20.0 * std::max(p, q) + 1;
}

void BM_Resample44100(benchmark::State& state) {
  resample_minute(state, 44100, 1, 10);
}
void BM_Resample48000(benchmark::State& state) {
  resample_minute(state, 48000, 147, 1600);
}

void BM_Design32001Taps(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(design(147, 1600).data());
}

}  // namespace

BENCHMARK(BM_Resample44100)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Resample48000)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Design32001Taps)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
