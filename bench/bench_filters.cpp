// Throughput of the Butterworth design and of the zero-phase filter on trace-sized inputs.
#include <benchmark/benchmark.h>

#include <cmath>

#include "dsp/butter.h"
#include "dsp/filtfilt.h"

namespace {

Eigen::MatrixXd trace(Eigen::Index rows, Eigen::Index cols) {
  Eigen::MatrixXd x(rows, cols);
  for (Eigen::Index c = 0; c < cols; ++c) {
    for (Eigen::Index i = 0; i < rows; ++i) {
      x(i, c) =
          std::sin(0.01 * static_cast<double>(i * (c + 1))) + 1e-3 * static_cast<double>(i % 7);
    }
  }
  return x;
}

void BM_ButterLowpass(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ziva::butter_lowpass(3, 0.25));
}
BENCHMARK(BM_ButterLowpass);

void BM_FiltfiltColumn(benchmark::State& state) {
  const ziva::ButterCoeffs c = ziva::butter_lowpass(3, 0.25);
  const Eigen::MatrixXd x = trace(state.range(0), 1);
  for (auto _ : state) benchmark::DoNotOptimize(ziva::filtfilt(c.b, c.a, x));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FiltfiltColumn)->Arg(4000)->Arg(100000);

void BM_FiltfiltMatrix(benchmark::State& state) {
  const ziva::ButterCoeffs c = ziva::butter_lowpass(3, 0.25);
  const Eigen::MatrixXd x = trace(4000, state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(ziva::filtfilt(c.b, c.a, x));
  state.SetItemsProcessed(state.iterations() * 4000 * state.range(0));
}
BENCHMARK(BM_FiltfiltMatrix)->Arg(2)->Arg(8);

}  // namespace

BENCHMARK_MAIN();
