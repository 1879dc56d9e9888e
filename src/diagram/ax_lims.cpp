#include "diagram/ax_lims.h"

#include <algorithm>
#include <cmath>

#include "platform/core/text.h"
#include "plot/labels.h"

namespace ziva {

namespace {

// Smallest and largest finite value of `v`; false when there is none.
bool finite_range(const Eigen::RowVectorXd& v, double& lo, double& hi) {
  bool any = false;
  for (Eigen::Index i = 0; i < v.size(); ++i) {
    if (!std::isfinite(v(i))) continue;
    lo = any ? std::min(lo, v(i)) : v(i);
    hi = any ? std::max(hi, v(i)) : v(i);
    any = true;
  }
  return any;
}

Value limits(double lo, double hi) {
  lo = std::floor(lo);
  hi = std::ceil(hi);
  if (lo == hi) {
    lo -= 1;
    hi += 1;
  }
  return Value::row({lo, hi});
}

constexpr const char* kSecondScale = kSecondScaleTag;
// The right-hand scale shows torque in Nm at twice the left-hand value.
constexpr double kSecondFactor = 2;

// The top of the half-scale (torque) curves, those tagged with a leading '2'; 0 without one.
double half_scale_top(const Graphics& g, const VisibleCurves& curves) {
  double m2 = 0;
  for (std::size_t i = 0; i < curves.handles.size(); ++i) {
    std::string tag = g.get_text(curves.handles[i], "Tag");
    if (tag.empty() || tag[0] != '2') continue;
    double lo = 0, hi = 0;
    if (finite_range(curves.y[i], lo, hi)) m2 = std::max(m2, hi);
  }
  return m2;
}

// The right-hand tick labels: twice the left tick values at the right edge `x`, up to the first
// tick at or above `m2`.
void second_tick_labels(Graphics& g, Handle ad, const Eigen::RowVectorXd& ticks, double x,
                        double m2, double fs, const std::string& tag) {
  Eigen::Index below = 0;
  for (Eigen::Index i = 0; i < ticks.size(); ++i)
    if (ticks(i) < m2) ++below;
  Eigen::Index labels = std::min<Eigen::Index>(ticks.size(), below + 1);
  for (Eigen::Index i = 0; i < labels; ++i) {
    std::string label = "-";
    label += num2str(kSecondFactor * ticks(i));
    g.text(ad, x, ticks(i), label,
           {{"FontSize", fs},
            {"HorizontalAlignment", "left"},
            {"FontWeight", "bold"},
            {"Tag", tag},
            {"UserData", kSecondFactor}});
  }
}

void draw_second_scale(Env& env, Handle ad, const VisibleCurves& curves, const std::string& figname,
                       const std::string& var_y) {
  env.s.drawnow();
  Eigen::RowVectorXd ticks = env.g.get_row(ad, "YTick");
  Eigen::RowVectorXd xlim = env.g.get_row(ad, "XLim");
  double fs = env.g.get_scalar(ad, "FontSize");
  const double m2 = half_scale_top(env.g, curves);
  const std::string tag = kSecondScale + figname;
  for (Handle h : env.g.findobj({{"Type", "text"}, {"Tag", tag}})) env.g.remove(h);
  second_tick_labels(env.g, ad, ticks, xlim(1), m2, fs, tag);
  std::size_t slash = var_y.find('/');
  if (slash == std::string::npos) {
    ylabel(env, ad, var_y);
    return;
  }
  ylabel(env, ad, var_y.substr(0, slash));
  env.g.text(ad, 1.05 * xlim(1), m2 / 2, var_y.substr(slash + 1),
             {{"Rotation", 270.0},
              {"FontSize", fs},
              {"HorizontalAlignment", "center"},
              {"VerticalAlignment", "middle"},
              {"FontWeight", "bold"},
              {"Tag", tag}});
}

}  // namespace

VisibleCurves visible_curves(const Graphics& g, Handle ad) {
  VisibleCurves out;
  for (Handle h : g.children(ad)) {
    if (g.type(h) != ObjType::Line || !g.is_on(h, "Visible")) continue;
    out.handles.push_back(h);
    out.x.push_back(g.get_row(h, "XData"));
    out.y.push_back(g.get_row(h, "YData"));
  }
  return out;
}

VisibleCurves ax_lims(Env& env, Handle ad, int ly, const std::string& figname,
                      const std::string& var_y) {
  VisibleCurves curves = visible_curves(env.g, ad);
  if (curves.empty()) return curves;

  double mx = 1000000, my = 1000000, big_x = 0, big_y = 0;
  bool any_x = false;
  for (std::size_t i = 0; i < curves.handles.size(); ++i) {
    double lo = 0, hi = 0;
    if (finite_range(curves.x[i], lo, hi)) {
      mx = std::min(mx, lo);
      big_x = std::max(big_x, hi);
      any_x = true;
    }
    my = std::min(my, 0.0);
    if (finite_range(curves.y[i], lo, hi)) {
      my = std::min(my, lo);
      big_y = std::max(big_y, hi);
    }
  }
  if (any_x) env.g.set(ad, "XLim", limits(mx, big_x));
  env.g.set(ad, {{"YLim", limits(my, big_y)},
                 {"XMinorTick", "off"},
                 {"YMinorTick", "on"},
                 {"YMinorGrid", "off"},
                 {"YGrid", "on"},
                 {"XGrid", "on"},
                 {"Box", "on"}});
  if (ly == 2) draw_second_scale(env, ad, curves, figname, var_y);
  return curves;
}

void follow_limits(Graphics& g, Handle ad, const Eigen::RowVectorXd& old_x,
                   const Eigen::RowVectorXd& old_y) {
  if (!g.exists(ad) || old_x.size() != 2 || old_y.size() != 2) return;
  std::vector<Handle> tick_labels;
  Handle unit = 0;
  std::string tag;
  for (Handle h : g.children(ad)) {
    if (g.type(h) != ObjType::Text) continue;
    const std::string t = g.get_text(h, "Tag");
    if (t.rfind(kSecondScale, 0) != 0) continue;
    tag = t;
    if (g.get_scalar(h, "Rotation") != 0) {
      unit = h;
    } else {
      tick_labels.push_back(h);
    }
  }
  if (tag.empty()) return;
  const Eigen::RowVectorXd xlim = g.get_row(ad, "XLim");
  const Eigen::RowVectorXd ylim = g.get_row(ad, "YLim");
  const double fs = tick_labels.empty() ? g.get_scalar(ad, "FontSize")
                                        : g.get_scalar(tick_labels.front(), "FontSize");
  for (Handle h : tick_labels) g.remove(h);
  second_tick_labels(g, ad, g.get_row(ad, "YTick"), xlim(1),
                     half_scale_top(g, visible_curves(g, ad)), fs, tag);
  if (unit != 0) {
    // The unit keeps its place beside the axes: the same fractions of the axes' width and height.
    Eigen::RowVectorXd p = g.get_row(unit, "Position");
    if (p.size() < 2) return;
    p(0) = xlim(0) + (p(0) - old_x(0)) / (old_x(1) - old_x(0)) * (xlim(1) - xlim(0));
    p(1) = ylim(0) + (p(1) - old_y(0)) / (old_y(1) - old_y(0)) * (ylim(1) - ylim(0));
    g.set(unit, "Position", Value(p));
  }
}

std::tuple<Value, Value, Value> ax_lims_v(Env& env, const Value& ad, double ly,
                                          const std::string& figname, const std::string& var_y) {
  if (!ad.is_number() || ad.num().size() == 0)
    return {Value::empty_matrix(), Value::empty_matrix(), Value::empty_matrix()};
  VisibleCurves c = ax_lims(env, ad.num()(0), static_cast<int>(ly), figname, var_y);
  if (c.empty()) return {Value::empty_matrix(), Value::empty_matrix(), Value::empty_matrix()};
  Eigen::MatrixXd handles(static_cast<Eigen::Index>(c.handles.size()), 1);
  for (std::size_t i = 0; i < c.handles.size(); ++i)
    handles(static_cast<Eigen::Index>(i), 0) = c.handles[i];
  if (c.handles.size() == 1) return {Value(c.x[0]), Value(c.y[0]), Value(handles)};
  std::vector<Value> xs, ys;
  for (std::size_t i = 0; i < c.handles.size(); ++i) {
    xs.emplace_back(c.x[i]);
    ys.emplace_back(c.y[i]);
  }
  return {Value(std::move(xs)), Value(std::move(ys)), Value(handles)};
}

}  // namespace ziva
