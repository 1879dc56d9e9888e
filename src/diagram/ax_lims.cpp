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

void draw_second_scale(Env& env, Handle ad, const VisibleCurves& curves, const std::string& figname,
                       const std::string& var_y) {
  env.s.drawnow();
  Eigen::RowVectorXd ticks = env.g.get_row(ad, "YTick");
  Eigen::RowVectorXd xlim = env.g.get_row(ad, "XLim");
  double fs = env.g.get_scalar(ad, "FontSize");

  double m2 = 0;
  for (std::size_t i = 0; i < curves.handles.size(); ++i) {
    std::string tag = env.g.get_text(curves.handles[i], "Tag");
    if (tag.empty() || tag[0] != '2') continue;
    double lo = 0, hi = 0;
    if (finite_range(curves.y[i], lo, hi)) m2 = std::max(m2, hi);
  }
  Eigen::Index below = 0;
  for (Eigen::Index i = 0; i < ticks.size(); ++i)
    if (ticks(i) < m2) ++below;
  Eigen::Index labels = std::min<Eigen::Index>(ticks.size(), below + 1);

  const std::string tag = "YTicks2" + figname;
  for (Handle h : env.g.findobj({{"Type", "text"}, {"Tag", tag}})) env.g.remove(h);
  for (Eigen::Index i = 0; i < labels; ++i) {
    std::string label = "-";
    label += num2str(2 * ticks(i));
    env.g.text(
        ad, xlim(1), ticks(i), label,
        {{"FontSize", fs}, {"HorizontalAlignment", "left"}, {"FontWeight", "bold"}, {"Tag", tag}});
  }
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
