// ziva-batch as a whole process on the simulated 60 s run (44.1 kHz stereo, 16-bit; alternator
// left, wheel sensors right): wall time from start to exit, without a bitmap (target: median
// under 25 ms), with a bitmap, and the start-up alone (--help). One process per repetition; the
// median over the repetitions is the figure.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/simulate.h"

extern char** environ;

namespace {

using namespace ziva;

std::filesystem::path work_dir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "ziva_bench_batch";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// The tool beside the build's bench folder, or the one named by ZIVA_BATCH.
std::string batch_exe() {
  if (const char* env = std::getenv("ZIVA_BATCH")) return env;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path().parent_path() / "ziva-batch").string();
}

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

// Runs the tool once with its output discarded; its exit status.
int run_once(const std::vector<std::string>& args) {
  std::vector<std::string> all = {batch_exe()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void time_process(benchmark::State& state, const std::vector<std::string>& args) {
  std::filesystem::current_path(work_dir());  // no start-up parameter file here
  if (!std::filesystem::exists(batch_exe())) {
    state.SkipWithError(("no " + batch_exe()).c_str());
    return;
  }
  if (run_once(args) != 0) {  // warms the file cache; must succeed
    state.SkipWithError("ziva-batch failed");
    return;
  }
  auto child_cpu = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  double cpu0 = child_cpu();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    int status = run_once(args);
    auto t1 = std::chrono::steady_clock::now();
    if (status != 0) {
      state.SkipWithError("ziva-batch failed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
  // CPU time of the tool's process (all its threads), which a busy machine inflates less.
  state.counters["process_cpu_ms"] =
      (child_cpu() - cpu0) * 1e3 /
      static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_BatchWithoutBitmap(benchmark::State& state) {
  time_process(state, {"--set", "popup_sig_ch2=2", run_60s()});
}

void BM_BatchWithBitmap(benchmark::State& state) {
  time_process(
      state, {"--set", "popup_sig_ch2=2", "--bmp", (work_dir() / "run60.bmp").string(), run_60s()});
}

void BM_BatchStartOnly(benchmark::State& state) {
  time_process(state, {"--help"});
}

BENCHMARK(BM_BatchWithoutBitmap)
    ->Iterations(1)
    ->Repetitions(31)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchWithBitmap)
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchStartOnly)
    ->Iterations(1)
    ->Repetitions(31)
    ->ReportAggregatesOnly(true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
