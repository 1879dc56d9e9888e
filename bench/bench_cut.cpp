// The spectrogram cut view of a 60 s recording at 44.1 kHz: building the view (resampling to
// 4410 Hz, spectrum on 1551 frequencies, image and peak track), and one zoom step with the repaint
// of the whole window that follows it.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdint>

#include "app/functions.h"
#include "cut/cut_file_spect.h"
#include "platform/core/scripted_services.h"
#include "platform/render/print.h"
#include "platform/render/renderer.h"
#include "ui/strings.h"

using namespace ziva;

namespace {

constexpr double kFs = 44100;
constexpr double kSeconds = 60;

// An alternator-like tone rising from 100 to 500 Hz, with a little noise.
Eigen::MatrixXd recording() {
  const auto n = static_cast<Eigen::Index>(kSeconds * kFs);
  Eigen::MatrixXd y(n, 2);
  std::uint32_t seed = 1;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kFs;
    seed = seed * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.05;
    y(i, 0) =
        0.4 * std::sin(2 * 3.14159265358979 * (100 * t + 400 / (2 * kSeconds) * t * t)) + noise;
    y(i, 1) = noise;
  }
  return y;
}

const Eigen::MatrixXd& shared_recording() {
  static const Eigen::MatrixXd y = recording();
  return y;
}

void BM_CutViewBuild60s(benchmark::State& state) {
  const Eigen::MatrixXd& y = shared_recording();
  ScriptedServices services;
  Program program(services);
  program.call("zaror_arad", 0);
  const Record st = strings();
  for (auto _ : state) {
    // The first pause closes the window: what remains is building the view.
    services.on_pause = [&](double) {
      program.graphics().close(program.graphics().current_figure());
    };
    benchmark::DoNotOptimize(cut_file_spect(program.env(), y, kFs, 1, 3, st));
  }
  state.counters["seconds_of_recording_per_s"] = benchmark::Counter(
      kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CutViewBuild60s)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutViewZoomRepaint60s(benchmark::State& state) {
  ensure_gui();
  const Eigen::MatrixXd& y = shared_recording();
  ScriptedServices services;
  Program program(services);
  program.call("zaror_arad", 0);
  const Record st = strings();
  Graphics& g = program.graphics();
  services.on_pause = [&](double) {
    const Handle ax = g.find_first("Tag", "WAV Datei von Hand beschneidenAxes");
    const Handle fig = g.parent(ax);
    QImage canvas(840, 630, QImage::Format_RGB32);
    int step = 0;
    for (auto _ : state) {
      // Zoom in and out around the middle of the run, as a user dragging would.
      const double half = 5 + 20 * std::abs(std::sin(0.1 * step++));
      g.set(ax, "XLim", Value::row({30 - half, 30 + half}));
      QPainter p(&canvas);
      render_figure(g, fig, p, canvas.size());
      benchmark::DoNotOptimize(canvas.bits());
    }
    g.close(fig);
  };
  cut_file_spect(program.env(), y, kFs, 1, 3, st);
}
BENCHMARK(BM_CutViewZoomRepaint60s)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
