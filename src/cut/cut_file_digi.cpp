#include "cut/cut_file_digi.h"

#include <cmath>

#include "base/error.h"
#include "cut/cut_window.h"
#include "eval/dig2v.h"
#include "plot/labels.h"
#include "plot/waitbar.h"

namespace ziva {

namespace {

// The columns of Y named by the 1-based numbers `ch`, in their order.
Eigen::MatrixXd columns(const Eigen::MatrixXd& Y, const Eigen::MatrixXd& ch) {
  Eigen::MatrixXd out(Y.rows(), ch.size());
  for (Eigen::Index k = 0; k < ch.size(); ++k) {
    const double c = ch.data()[k];
    if (!(c >= 1 && c <= static_cast<double>(Y.cols())) || c != std::floor(c))
      throw Error("Index exceeds matrix dimensions.");
    out.col(k) = Y.col(static_cast<Eigen::Index>(c) - 1);
  }
  return out;
}

}  // namespace

Eigen::MatrixXd cut_file_digi(Env& env, const Eigen::MatrixXd& Y, double FS, double u, double W,
                              const Record& st, const std::optional<Eigen::MatrixXd>& ch) {
  return cut_on_pulse_speed(env, Y, FS, u, W, st, ch, false);
}

Eigen::MatrixXd cut_on_pulse_speed(Env& env, const Eigen::MatrixXd& Y, double FS, double u,
                                   double W, const Record& st,
                                   const std::optional<Eigen::MatrixXd>& ch, bool show_full_load) {
  Eigen::MatrixXd both(1, 2);
  both << 1, 2;
  const Eigen::MatrixXd signal = columns(Y, ch ? *ch : both);
  const CutWindow w = open_cut_window(env, st, false);
  CutWindowGuard guard(env.g, w.ax);

  ProgressWindow progress(env, st);
  const SpeedTrace s = dig2v(progress, signal, FS, u, W);
  const Eigen::RowVectorXd kmh = 3.6 * s.v.transpose();
  env.g.line(w.ax, s.t.transpose(), kmh, {{"Color", "k"}});
  env.g.set(w.ax, "YDir", "normal");
  set_time_limits(env.g, w.ax, s.t);
  env.g.set(w.ax, "YLim", Value::row({-5, 1.3 * kmh.maxCoeff()}));
  if (show_full_load) mark_full_load(env.g, w.ax, s.t, s.v, 0, -5, 1.3 * kmh.maxCoeff());
  env.g.set(w.ax,
            {{"Position", cut_axes_position()}, {"Box", "on"}, {"XGrid", "on"}, {"YGrid", "on"}});
  xlabel(env, w.ax, "[s]");
  ylabel(env, w.ax, "[km/h]");
  env.s.zoom(w.fig, true, ZoomDrag::Time);

  const Eigen::RowVector2d tt = wait_for_range(env, w, static_cast<double>(Y.rows()) / FS);
  return rows_inside(Y, FS, tt);
}

}  // namespace ziva
