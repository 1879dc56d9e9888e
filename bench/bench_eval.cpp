// The evaluation's hot path on a simulated 60 s run (44.1 kHz stereo, 16-bit; alternator left,
// wheel sensors right): its stages one by one, a whole first evaluation, a re-evaluation from the
// trace cache, and the peak memory of a 10-minute 48 kHz stereo evaluation.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/calc_diag.h"
#include "app/functions.h"
#include "app/main_window.h"
#include "dsp/resample.h"
#include "dsp/specgram.h"
#include "eval/dig2v.h"
#include "eval/full_load.h"
#include "eval/results.h"
#include "eval/wav2v.h"
#include "params/parameters.h"
#include "platform/core/graphics.h"
#include "platform/core/scripted_services.h"
#include "sim/simulate.h"
#include "ui/strings.h"
#include "wav/wav_read.h"

namespace {

using namespace ziva;

std::filesystem::path work_dir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "ziva_bench_eval";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// The 60 s recording, written once per process.
const std::string& run_60s() {
  static const std::string file = [] {
    SynthOptions o;
    o.length = 60;
    const std::string f = (work_dir() / "run60.wav").string();
    write_run_wav(synthesize(o), o.bits, f);
    return f;
  }();
  return file;
}

const WavReadResult& recording() {
  static const WavReadResult wr = wavread(run_60s());
  return wr;
}

// A started program whose main window names `wav` with channels alternator / wheel sensors.
struct Session {
  ScriptedServices services;
  Program program{services};
  explicit Session(const std::string& wav) {
    program.call("zaror_arad", 0);
    Env& env = program.env();
    env.g.set(control(env, "wav_file"), "String", wav);
    env.g.set(control(env, "popup_sig_ch2"), "Value", 2.0);
    env.g.set(control(env, "cut_File"), "Value", 0.0);
  }
};

// CPU time of every thread of the process during a benchmark's loop, reported per iteration as
// "cpu_all_ms" (the main thread's alone is the "CPU" column).
class ProcessCpu {
 public:
  explicit ProcessCpu(benchmark::State& state) : state_(state), start_(now()) {}
  ~ProcessCpu() {
    const double iterations =
        static_cast<double>(std::max<benchmark::IterationCount>(state_.iterations(), 1));
    state_.counters["cpu_all_ms"] = (now() - start_) * 1e3 / iterations;
  }
  ProcessCpu(const ProcessCpu&) = delete;
  ProcessCpu& operator=(const ProcessCpu&) = delete;

 private:
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
  }
  benchmark::State& state_;
  double start_;
};

void BM_Read(benchmark::State& state) {
  const std::string& f = run_60s();
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(wavread(f).y.data());
}
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Resample(benchmark::State& state) {
  const Eigen::MatrixXd left = recording().y.col(0);
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(resample(left, 4410, 44100).y.data());
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ToneSignal(benchmark::State& state) {
  ProcessCpu cpu(state);
  for (auto _ : state)
    benchmark::DoNotOptimize(tone_signal(recording().y.col(0), recording().Fs).data());
}
BENCHMARK(BM_ToneSignal)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Spectrogram(benchmark::State& state) {
  const Eigen::VectorXd x = tone_signal(recording().y.col(0), recording().Fs);
  const Specgram sg = tone_spectrogram(x, candidate_frequencies(3));
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(sg.run(2).yo.data());
  state.counters["windows"] = static_cast<double>(sg.segments());
}
BENCHMARK(BM_Spectrogram)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeakPicking(benchmark::State& state) {
  const Eigen::VectorXd x = tone_signal(recording().y.col(0), recording().Fs);
  const Eigen::MatrixXcd yo = tone_spectrogram(x, candidate_frequencies(3)).run(2).yo;
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(pick_peaks(yo).data());
}
BENCHMARK(BM_PeakPicking)->Unit(benchmark::kMillisecond)->UseRealTime();

// Spectrum and peak picking as the conversion runs them: batches of windows, two threads.
void BM_SpectrumWithPeaks(benchmark::State& state) {
  const Eigen::VectorXd x = tone_signal(recording().y.col(0), recording().Fs);
  const Specgram sg = tone_spectrogram(x, candidate_frequencies(3));
  const int threads = static_cast<int>(state.range(0));
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(spectral_peaks(sg, threads).data());
}
BENCHMARK(BM_SpectrumWithPeaks)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ToneConversion(benchmark::State& state) {
  ProcessCpu cpu(state);
  for (auto _ : state)
    benchmark::DoNotOptimize(tone_trace(recording().y.col(0), recording().Fs, 3, 3).v.data());
}
BENCHMARK(BM_ToneConversion)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PulseConversion(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  ProcessCpu cpu(state);
  for (auto _ : state) {
    const auto edges = pulse_edges(recording().y.col(1), threads);
    benchmark::DoNotOptimize(
        remove_spikes(interval_speeds(edges, recording().Fs, 1.325, 1)).v.data());
  }
}
BENCHMARK(BM_PulseConversion)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResultComputation(benchmark::State& state) {
  Session s(run_60s());
  const ParSet par = get_par(s.program.env());
  const auto raw =
      channel_traces(s.program.env(), recording().y, recording().Fs, par, strings(), false);
  ProcessCpu cpu(state);
  for (auto _ : state)
    benchmark::DoNotOptimize(compute_results(raw->t, raw->v, raw->rpm, par).x.data());
  state.counters["samples"] = static_cast<double>(raw->t.size());
}
BENCHMARK(BM_ResultComputation)->Unit(benchmark::kMillisecond)->UseRealTime();

// Conversion and result computation of the 60 s run: Arg 1 the standard estimators on all
// samples, Arg 2 the precise estimators with the automatic full-load detection.
void BM_EvaluationByEstimator(benchmark::State& state) {
  Session s(run_60s());
  ParSet par = get_par(s.program.env());
  par.estimator = static_cast<double>(state.range(0));
  par.auto_trim = state.range(0) == 2 ? 1 : 0;
  ProcessCpu cpu(state);
  for (auto _ : state) {
    const auto raw =
        channel_traces(s.program.env(), recording().y, recording().Fs, par, strings(), false);
    benchmark::DoNotOptimize(evaluate_traces(*raw, par).x.data());
  }
}
BENCHMARK(BM_EvaluationByEstimator)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole first evaluation (no cache entry): read, convert, cache, compute.
void BM_CalcDiagFirst(benchmark::State& state) {
  const std::string& f = run_60s();
  ProcessCpu cpu(state);
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<Session>(f);
    state.ResumeTiming();
    benchmark::DoNotOptimize(calc_diag_inputs(s->program.env()));
    state.PauseTiming();
    s.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CalcDiagFirst)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A re-evaluation of the same file from the trace cache.
void BM_CalcDiagCached(benchmark::State& state) {
  Session s(run_60s());
  calc_diag_inputs(s.program.env());
  ProcessCpu cpu(state);
  for (auto _ : state) benchmark::DoNotOptimize(calc_diag_inputs(s.program.env()));
}
BENCHMARK(BM_CalcDiagCached)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The same two with the diagram drawn (plot_diag) as the button does it.
void BM_CalcDiagWithDiagramFirst(benchmark::State& state) {
  const std::string& f = run_60s();
  ProcessCpu cpu(state);
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<Session>(f);
    state.ResumeTiming();
    s->program.call("calc_diag", 0);
    state.PauseTiming();
    s.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CalcDiagWithDiagramFirst)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_CalcDiagWithDiagramCached(benchmark::State& state) {
  Session s(run_60s());
  s.program.call("calc_diag", 0);
  ProcessCpu cpu(state);
  for (auto _ : state) s.program.call("calc_diag", 0);
}
BENCHMARK(BM_CalcDiagWithDiagramCached)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Resident set size figures of this process in kB ("VmRSS", "VmHWM").
double status_kb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
  return 0;
}

// Peak memory of a first evaluation of a 10-minute 48 kHz stereo recording, against the
// recording's samples held as doubles.
void BM_PeakMemory10Minutes(benchmark::State& state) {
  const std::string f = (work_dir() / "run600.wav").string();
  SynthOptions o;
  o.rate = 48000;
  o.length = 600;
  write_run_wav(synthesize(o), o.bits, f);
  const double samples_mb = 2 * 600 * 48000 * 8 / 1e6;
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<Session>(f);
    std::ofstream("/proc/self/clear_refs") << "5";  // restart the peak at the current size
    const double before = status_kb("VmRSS");
    state.ResumeTiming();
    benchmark::DoNotOptimize(calc_diag_inputs(s->program.env()));
    state.PauseTiming();
    const double peak = status_kb("VmHWM");
    state.counters["recording_MB"] = samples_mb;
    state.counters["rss_before_MB"] = before / 1000;
    state.counters["peak_MB"] = peak / 1000;
    state.counters["peak_over_recording"] = (peak - before) / 1000 / samples_mb;
    s.reset();
    state.ResumeTiming();
  }
  std::filesystem::remove(f);
}
BENCHMARK(BM_PeakMemory10Minutes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
