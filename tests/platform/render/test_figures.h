// Figures for the renderer tests, built directly in the object model the way the diagram
// window and its limits arrange them: a power/torque diagram with comment blocks.
#pragma once

#include <cmath>
#include <string>

#include "platform/core/graphics.h"
#include "platform/core/text.h"

namespace ziva::testing {

inline const char* kDiagName = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";

// One run: engine speed 2500..9500 1/min, a power curve in PS and a torque curve in Nm.
struct TestRun {
  Eigen::RowVectorXd rpm, ps, nm;
};

inline TestRun make_run(double scale, int n = 180) {
  TestRun r;
  r.rpm = Eigen::RowVectorXd::LinSpaced(n, 2500, 9500);
  r.nm.resize(n);
  r.ps.resize(n);
  for (int i = 0; i < n; ++i) {
    double u = (r.rpm(i) - 2500) / 7000;
    r.nm(i) = scale * (62 + 40 * std::sin(3.14159 * (0.2 + 0.7 * u)));
    r.ps(i) = r.nm(i) * r.rpm(i) * 2 * 3.14159 / 60 / 735.5;
  }
  return r;
}

// Adds one curve group with its comment block, as a new evaluation of the diagram does.
inline void add_group(Graphics& g, Handle fig, Handle ax, const TestRun& r,
                      const Eigen::RowVector3d& color, const std::string& comment, int n_before) {
  Value c{Eigen::RowVectorXd(color)};
  std::string tag = std::string(kDiagName) + comment;
  g.line(ax, r.rpm, r.ps, {{"LineWidth", 1.0}, {"Color", c}, {"Tag", "Diag" + tag}});
  double h = 0.87 - 0.1 * n_before, d = 1;
  auto ctl = [&](const char* style, double l, double b, double w, double hh, Props more) {
    Props p = {{"Style", style}, {"Units", "normalized"}, {"Position", Value::row({l, b, w, hh})}};
    p.insert(p.end(), more.begin(), more.end());
    g.uicontrol(fig, p);
  };
  ctl("frame", 0.001, h, 0.31, 0.09 * d, {{"Tag", std::string(kDiagName) + "CommentFrame"}});
  ctl("checkbox", 0.004, h + 0.05 * d, 0.03, 0.03 * d, {{"Value", 1.0}});
  ctl("edit", 0.04, h + 0.055 * d, 0.26, 0.03 * d,
      {{"String", comment}, {"BackgroundColor", "w"}, {"ForegroundColor", "k"}});
  ctl("pushbutton", 0.004, h + 0.01 * d, 0.03, 0.03 * d, {{"BackgroundColor", c}});
  Eigen::Index ip, it;
  double mp = r.ps.maxCoeff(&ip), mt = r.nm.maxCoeff(&it);
  auto r2 = [](double v) { return num2str(std::round(v * 100) / 100); };
  ctl("text", 0.035, h + 0.03 * d, 0.155, 0.02 * d,
      {{"String", r2(mp) + " PS / " + r2(r.rpm(ip)) + " 1/min"}});
  ctl("text", 0.035, h + 0.005 * d, 0.155, 0.02 * d,
      {{"String", r2(mt) + " Nm / " + r2(r.rpm(it)) + " 1/min"}});
  ctl("text", 0.19, h + 0.03 * d, 0.118, 0.02 * d, {{"String", "k: 1.0123"}});
  ctl("text", 0.19, h + 0.005 * d, 0.118, 0.02 * d,
      {{"String", "Max: " + r2(r.rpm.maxCoeff()) + " 1/min"}});
  Eigen::RowVectorXd half = r.nm / 2;
  g.line(ax, r.rpm, half,
         {{"LineStyle", "-"}, {"LineWidth", 1.0}, {"Color", c}, {"Tag", "2Diag" + tag}});
  int dy = static_cast<int>(std::lround(r.rpm.size() / 36.0));
  Eigen::Index m = (r.rpm.size() - 1) / dy + 1;
  Eigen::RowVectorXd mx(m), my(m);
  for (Eigen::Index i = 0; i < m; ++i) mx(i) = r.rpm(i * dy), my(i) = half(i * dy);
  g.line(ax, mx, my,
         {{"LineStyle", "none"},
          {"Marker", "."},
          {"MarkerSize", 12.0},
          {"Color", c},
          {"Tag", "2Diag" + tag}});
}

// Limits, grid, second scale and labels as they are set after a power/torque evaluation.
inline void finish_diagram(Graphics& g, Handle ax, const TestRun& top) {
  double mx = 1e6, my = 1e6, Mx = 0, My = 0, M2 = 0;
  for (Handle h : g.children(ax)) {
    if (g.type(h) != ObjType::Line) continue;
    Eigen::RowVectorXd x = g.get_row(h, "XData"), y = g.get_row(h, "YData");
    Mx = std::max(Mx, x.maxCoeff());
    My = std::max(My, y.maxCoeff());
    mx = std::min(mx, x.minCoeff());
    my = std::min({my, y.minCoeff(), 0.0});
    if (g.get_text(h, "Tag").rfind("2", 0) == 0) M2 = std::max(M2, y.maxCoeff());
  }
  g.set(ax, {{"XLim", Value::row({std::floor(mx), std::ceil(Mx)})},
             {"YLim", Value::row({std::floor(my), std::ceil(My)})},
             {"XMinorTick", "off"},
             {"YMinorTick", "on"},
             {"YMinorGrid", "off"},
             {"YGrid", "on"},
             {"XGrid", "on"},
             {"Box", "on"}});
  Eigen::RowVectorXd ticks = g.get_row(ax, "YTick");
  double right = g.get_row(ax, "XLim")(1);
  double fs = g.get_scalar(ax, "FontSize");
  int nb = 0;
  for (Eigen::Index i = 0; i < ticks.size(); ++i) nb += ticks(i) < M2;
  for (Eigen::Index i = 0; i < std::min<Eigen::Index>(ticks.size(), nb + 1); ++i) {
    g.text(ax, right, ticks(i), "-" + num2str(2 * ticks(i)),
           {{"FontSize", fs}, {"HorizontalAlignment", "left"}, {"FontWeight", "bold"}});
  }
  g.set(g.label_of(ax, "YLabel"), "String", "Leistung[PS]");
  g.text(ax, 1.05 * right, M2 / 2, "Drehm[Nm]   ",
         {{"Rotation", 270.0},
          {"FontSize", fs},
          {"HorizontalAlignment", "center"},
          {"VerticalAlignment", "middle"},
          {"FontWeight", "bold"}});
  g.set(g.label_of(ax, "XLabel"), "String", "RPM [1/min]");
  g.set(g.label_of(ax, "Title"),
        {{"String", "Rizid Ziva"}, {"FontSize", 12.0}, {"FontWeight", "bold"}});
  (void)top;
}

// A diagram window with two power/torque groups (blue, then red), as the program leaves it.
inline Handle two_group_diagram(Graphics& g) {
  g.set(kRoot, "DefaultFigureUnits", "centimeters");
  g.set(kRoot, "DefaultUIcontrolUnits", "normalized");
  Handle fig = g.figure({{"NumberTitle", "off"}, {"Name", kDiagName}});
  Handle ax = g.axes(fig, {{"Tag", std::string("DiagAxes") + kDiagName},
                           {"Position", Value::row({0.35, 0.12, 0.58, 0.78})}});
  g.hold(ax, true);
  TestRun a = make_run(1.0), b = make_run(1.15);
  add_group(g, fig, ax, a, {0, 0, 1}, "Serie", 0);
  add_group(g, fig, ax, b, {1, 0, 0}, "Tuning", 1);
  finish_diagram(g, ax, b);
  return fig;
}

}  // namespace ziva::testing
