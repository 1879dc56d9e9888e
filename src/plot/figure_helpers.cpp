#include "plot/figure_helpers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/error.h"
#include "plot/labels.h"

namespace ziva {

namespace {

// The first and the last element of a vector as the image's data range.
Value span_of(const Eigen::MatrixXd& v, double fallback_last) {
  if (v.size() == 0) return Value::row({1, fallback_last});
  return Value::row({v(0), v(v.size() - 1)});
}

}  // namespace

Handle clf(Env& env) {
  return clf(env, env.g.gcf());
}

Handle clf(Env& env, Handle fig) {
  if (!env.g.exists(fig) || env.g.type(fig) != ObjType::Figure)
    throw Error("Invalid figure handle.");
  env.g.clf(fig);
  return fig;
}

Handle imagesc(Env& env, const Eigen::MatrixXd& c) {
  Eigen::MatrixXd x(1, 2), y(1, 2);
  x << 1, static_cast<double>(std::max<Eigen::Index>(c.cols(), 1));
  y << 1, static_cast<double>(std::max<Eigen::Index>(c.rows(), 1));
  return imagesc(env, x, y, c);
}

Handle imagesc(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
               const Eigen::MatrixXd& c) {
  Handle ax = env.g.gca();
  Value next = env.g.get(ax, "NextPlot");
  bool held = next.is_text() && next.text() == "add";
  Handle h = env.g.image(ax, c,
                         {{"XData", span_of(x, static_cast<double>(c.cols()))},
                          {"YData", span_of(y, static_cast<double>(c.rows()))},
                          {"CDataMapping", "scaled"}});
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (Eigen::Index i = 0; i < c.size(); ++i) {
    double v = c.data()[i];
    if (!std::isfinite(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo <= hi) {
    if (lo == hi) {
      lo -= 1;
      hi += 1;
    }
    env.g.set(ax, "CLim", Value::row({lo, hi}));
    env.g.set(ax, "CLimMode", "auto");
  }
  if (!held) env.g.set(ax, "YDir", "reverse");
  return h;
}

Eigen::MatrixXd jet_colormap(int m) {
  m = std::max(m, 1);
  Eigen::MatrixXd map(m, 3);
  auto ramp = [](double t, double centre) {
    return std::clamp(1.5 - std::abs(4 * t - centre), 0.0, 1.0);
  };
  for (int i = 0; i < m; ++i) {
    double t = m == 1 ? 0.5 : static_cast<double>(i) / (m - 1);
    map(i, 0) = ramp(t, 3);
    map(i, 1) = ramp(t, 2);
    map(i, 2) = ramp(t, 1);
  }
  return map;
}

void specgram_draw(Env& env, const Eigen::MatrixXcd& yo, const Eigen::VectorXd& fo,
                   const Eigen::VectorXd& to) {
  const double eps = std::numeric_limits<double>::epsilon();
  Eigen::MatrixXd level = 20 * (yo.cwiseAbs().array() + eps).log10();
  Eigen::MatrixXd t = to.transpose();
  if (to.size() == 1) {
    double end = fo.size() >= 2 && fo(1) > 0 ? 1 / fo(1) : 1.0;
    t.resize(1, 2);
    t << 0, end;
  }
  imagesc(env, t, fo.transpose(), level);
  Handle ax = env.g.gca();
  env.g.set(ax, "YDir", "normal");
  env.g.set(env.g.parent(ax), "Colormap", jet_colormap(64));
  xlabel(env, ax, "Time");
  ylabel(env, ax, "Frequency");
}

Values clf_entry(Env& env, int, const Values& args) {
  if (args.empty() || args[0].absent()) return {Value(clf(env))};
  if (args.size() > 1 || !args[0].is_number() || args[0].num().size() != 1)
    throw Error("Invalid figure handle.");
  return {Value(clf(env, args[0].scalar()))};
}

Values imagesc_entry(Env& env, int, const Values& args) {
  auto matrix = [&](std::size_t i) {
    if (!args[i].is_number()) throw Error("Image data must be numeric.");
    return args[i].num();
  };
  Handle h = 0;
  std::size_t used = 0;
  if (args.size() == 1 || args.size() == 2) {
    h = imagesc(env, matrix(0));
    used = 1;
  } else if (args.size() == 3 || args.size() == 4) {
    h = imagesc(env, matrix(0), matrix(1), matrix(2));
    used = 3;
  } else {
    throw Error("Incorrect number of input arguments");
  }
  if (args.size() > used) {
    Eigen::MatrixXd clim = matrix(used);
    if (clim.size() != 2) throw Error("Color limits must be a 2-element vector.");
    env.g.set(env.g.parent(h), "CLim", Value::row({clim(0), clim(1)}));
  }
  return {Value(h)};
}

}  // namespace ziva
