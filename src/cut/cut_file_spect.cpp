#include "cut/cut_file_spect.h"

#include "base/error.h"
#include "cut/cut_window.h"
#include "dsp/specgram.h"
#include "eval/wav2v.h"
#include "plot/figure_helpers.h"
#include "plot/labels.h"

namespace ziva {

namespace {

constexpr double kWindowSeconds = 4 * 441 / kAnalysisRate;

}  // namespace

Eigen::MatrixXd cut_file_spect(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                               const Record& st) {
  return cut_on_spectrogram(env, Y, FS, ch, L, st, false);
}

Eigen::MatrixXd cut_on_spectrogram(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                                   const Record& st, bool show_full_load) {
  const CutWindow w = open_cut_window(env, st, true);
  CutWindowGuard guard(env.g, w.ax);
  if (ch < 1 || ch > Y.cols()) throw Error("Index exceeds matrix dimensions.");

  const Eigen::MatrixXd x = tone_signal(Y.col(ch - 1), FS);
  const Eigen::VectorXd freq = candidate_frequencies(L);
  const SpecgramResult sg = tone_spectrogram(x, freq).run(2);
  const Eigen::VectorXd t = sg.to.array() + kWindowSeconds / 2;
  const Eigen::MatrixXd mag = sg.yo.cwiseAbs();
  const std::vector<Eigen::Index> peaks = pick_peaks(sg.yo);
  Eigen::RowVectorXd track(t.size());
  for (Eigen::Index j = 0; j < t.size(); ++j) track(j) = sg.fo(peaks[static_cast<std::size_t>(j)]);

  env.g.make_current(w.fig);
  env.g.set_current_axes(w.fig, w.ax);
  imagesc(env, t.transpose(), sg.fo.transpose(), mag);
  // Red and 1.5 points (2 pixels on screen) stand out on the dark field and the bright ridge alike.
  env.g.line(w.ax, t.transpose(), track, {{"Color", "r"}, {"LineWidth", 1.5}});
  env.g.set(w.ax, "YDir", "normal");
  set_time_limits(env.g, w.ax, t);
  env.g.set(w.ax, "YLim", Value::row({sg.fo(0), sg.fo(sg.fo.size() - 1)}));
  if (show_full_load)
    mark_full_load(env.g, w.ax, t, track.transpose(), tone_resolution(), sg.fo(0),
                   sg.fo(sg.fo.size() - 1));
  env.g.set(w.ax, "Position", cut_axes_position());
  xlabel(env, w.ax, "[s]");
  ylabel(env, w.ax, "[Hz]");
  env.s.zoom(w.fig, true, ZoomDrag::Time);

  const Eigen::RowVector2d tt = wait_for_range(env, w, static_cast<double>(Y.rows()) / FS);
  return rows_inside(Y, FS, tt);
}

}  // namespace ziva
