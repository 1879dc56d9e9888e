#include "diagram/plot_diag.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "base/error.h"
#include "diagram/ax_lims.h"
#include "diagram/export.h"
#include "params/channels.h"
#include "params/parameters.h"
#include "platform/core/text.h"
#include "plot/labels.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// The text between the n-th "[" (1-based) and the next "]"; empty when there is none.
std::string unit_of(const std::string& label, int n) {
  std::size_t open = std::string::npos;
  for (int i = 0; i < n; ++i) {
    open = label.find('[', open == std::string::npos ? 0 : open + 1);
    if (open == std::string::npos) return {};
  }
  std::size_t close = label.find(']', open + 1);
  if (close == std::string::npos) return {};
  return label.substr(open + 1, close - open - 1);
}

double round2(double v) {
  return std::round(v * 100) / 100;
}

// Index of the first largest finite value; -1 when there is none.
Eigen::Index first_max(const Eigen::VectorXd& v) {
  Eigen::Index best = -1;
  for (Eigen::Index i = 0; i < v.size(); ++i) {
    if (!std::isfinite(v(i))) continue;
    if (best < 0 || v(i) > v(best)) best = i;
  }
  return best;
}

Eigen::RowVectorXd as_row(const Eigen::MatrixXd& m) {
  return Eigen::Map<const Eigen::RowVectorXd>(m.data(), m.size());
}

// The correction standard's short name beside k when it is not the first version's (DIN 70020,
// the default of its pop-up); empty otherwise.
std::string standard_note(const ParSet& p, const Record& st) {
  const ParamSpec* corr = find_param("air_corr");
  if (corr == nullptr || p.air_correction == corr->default_value) return {};
  return " " + trim_blanks(st_row(st, "corr_short", static_cast<int>(p.air_correction)));
}

// What the parameter summary adds after k for other air settings: the standard, the humidity.
std::string air_note(const ParSet& p, const Record& st) {
  std::string note = standard_note(p, st);
  if (p.air_humidity_pct != 0)
    note += st_text(st, "humid_short") + num2str(p.air_humidity_pct) + "%";
  return note;
}

// The parameter summary appended to the comment, laid out as the channel table says; `note`
// follows k.
std::string summary(const ParSet& p, double k, const std::string& note) {
  auto n = [](double x) { return num2str(x); };
  const std::string mass = " [ M: " + n(p.total_mass_kg) + "kg " + " FA: " + n(p.frontal_area_m2) +
                           "m² " + " Cw: " + n(p.cw) + "  R: " + n(p.gear_ratio) +
                           "  U: " + n(p.tyre_perimeter_m) + "m ";
  const std::string roller = " [ J: " + n(p.roller_inertia_kgm2) + "kg " +
                             " UR: " + n(p.roller_perimeter_m) + " Cw: " + n(p.cw);
  const std::string coils = " L#: " + n(p.coils);
  const std::string sensors = " S#: " + n(p.sensors);
  const std::string tail = " FL: " + n(p.filter_length_s) + "s " + "  k: " + n(k) + note + " ]";
  const std::optional<ChannelRow> row = channel_row(p.sig_ch1, p.sig_ch2);
  switch (row ? row->summary : Summary::None) {
    case Summary::Road:
      return mass + coils + tail;
    case Summary::RoadSensors:
      return mass + coils + sensors + tail;
    case Summary::RollerSensors:
      return roller + "  U: " + n(p.tyre_perimeter_m) + "m " + coils + sensors + tail;
    case Summary::RoadPulses:
      return mass + sensors + tail;
    case Summary::RollerRoller:
      return roller + "  R: " + n(p.gear_ratio) + "  U: " + n(p.tyre_perimeter_m) + "m " + coils +
             sensors + tail;
    case Summary::None:
      break;
  }
  return {};
}

// Text of the maximum of `v` with its unit and the x value where it is reached.
std::string maximum_text(const Eigen::VectorXd& v, const Eigen::RowVectorXd& x,
                         const std::string& unit, const std::string& x_unit) {
  Eigen::Index i = first_max(v);
  double top = i < 0 ? std::numeric_limits<double>::quiet_NaN() : round2(v(i));
  double at = i < 0 ? std::numeric_limits<double>::quiet_NaN() : round2(x(i));
  return num2str(top) + " " + unit + " / " + num2str(at) + " " + x_unit;
}

Props control_props(const char* style, double left, double bottom, double width, double height) {
  return {{"Style", style},
          {"Units", "normalized"},
          {"Position", Value::row({left, bottom, width, height})}};
}

}  // namespace

void plot_diag(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
               const Eigen::MatrixXd& ccc, const std::string& kkk, double vx, double vy, double k) {
  plot_diag_with_loss(env, x, y, ccc, kkk, vx, vy, k, std::nullopt);
}

void plot_diag_with_loss(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
                         const Eigen::MatrixXd& ccc, const std::string& kkk, double vx, double vy,
                         double k, const std::optional<LossNote>& loss) {
  Graphics& g = env.g;
  // 1. Labels and window name.
  const Record& st = strings();
  const MainWindowView w(env);
  const std::string x_label = w.xaxis_label(static_cast<int>(vx));
  const std::string y_label = w.yaxis_label(static_cast<int>(vy));
  const std::string figname =
      collapse_blanks(st_text(st, "fig_diag") + ": " + x_label + " - " + y_label);

  // 2. The window and its axes, found again by name or created.
  const std::string axes_tag = "DiagAxes" + figname;
  std::vector<Handle> windows = g.findobj({{"Type", "figure"}, {"Name", figname}});
  Handle fig = 0;
  Handle ax = 0;
  if (windows.empty()) {
    fig = g.figure({{"NumberTitle", "off"}, {"Name", figname}});
  } else {
    fig = windows.front();
    g.make_current(fig);
    std::vector<Handle> found = g.findobj({fig}, {{"Tag", axes_tag}});
    if (!found.empty()) ax = found.front();
  }
  if (ax == 0) {
    ax = g.axes(fig, {{"Tag", axes_tag}, {"Position", Value::row({0.35, 0.12, 0.58, 0.78})}});
    g.hold(ax, true);
  }

  // 3.-6. Parameters, summary and the displayed comment.
  const ParSet par = get_par(env);
  const std::string default_comment = st_text(st, "comment");
  std::string shown = kkk == default_comment ? std::string() : kkk;
  // The measured load follows the user's comment, ahead of the longer parameter summary.
  const std::string loss_text = loss ? loss_note_text(*loss) : std::string();
  if (loss) shown += (shown.empty() ? "" : "; ") + loss_text;
  const std::string note = air_note(par, st);
  const std::string comment = kkk + summary(par, k, note);
  const std::string wav_file = w.wav_file();
  if (par.add_par_to_comment == 1) shown += "; " + comment;
  if (par.add_wav_to_comment == 1) {
    std::size_t sep = wav_file.rfind('/');
    shown += " " + (sep == std::string::npos ? wav_file : wav_file.substr(sep + 1));
  }

  // 7. The curve group: shown again when it exists.
  Eigen::MatrixXd yy = y;
  if (yy.rows() == 1 && yy.cols() == x.size() && x.size() > 1) yy.transposeInPlace();
  const int ly = yy.cols() >= 2 ? 2 : 1;
  std::string group = figname + wav_file + comment;
  // Channel choices without a summary leave k out of the group's key; a run corrected to another
  // standard or humidity is another group all the same.
  if (!note.empty() && comment == kkk) group += "  k: " + num2str(k) + note;
  // A run with the measured load is a group of its own.
  if (loss) group += " " + loss_text;
  if (!g.findobj({{"Tag", "Diag" + group}}).empty()) {
    for (const std::string& tag : {"Diag" + group, "2Diag" + group})
      for (Handle h : g.findobj({{"Tag", tag}})) g.set(h, "Visible", "on");
    for (Handle h : g.findobj({{"Tag", "Checkbox" + group}})) g.set(h, "Value", 1.0);
  } else {
    // 8. A new group with its comment block.
    const Eigen::RowVectorXd xr = as_row(x);
    const Value colour{Eigen::RowVectorXd(to_rgb(Value(ccc)))};
    g.set_current_axes(fig, ax);
    g.line(ax, xr, as_row(yy.col(0)),
           {{"LineWidth", 1.0},
            {"Color", colour},
            {"Tag", "Diag" + group},
            {"UserData", group_conditions(env, par, k, kkk, wav_file, loss)}});

    const std::string frame_tag = figname + "CommentFrame";
    std::vector<Handle> frames = g.findobj({fig}, {{"Tag", frame_tag}});
    const auto n = static_cast<int>(frames.size());
    const double d = n == 0 ? 1.0 : g.get_row(frames.front(), "Position")(3) / 0.09;
    const double h = 0.87 - 0.1 * std::min(n, 9);

    const std::string callback = "toggle_vis('Diag" + escape_quotes(group) + "');" +
                                 "ax_lims(findobj('Tag','DiagAxes" + escape_quotes(figname) +
                                 "')," + num2str(ly) + ",'" + escape_quotes(figname) + "','" +
                                 escape_quotes(y_label) + "');";
    Props p = control_props("frame", 0.001, h, 0.31, 0.09 * d);
    p.emplace_back("Tag", frame_tag);
    g.uicontrol(fig, p);
    p = control_props("checkbox", 0.004, h + 0.05 * d, 0.03, 0.03 * d);
    p.insert(p.end(), {{"Value", 1.0}, {"Callback", callback}, {"Tag", "Checkbox" + group}});
    g.uicontrol(fig, p);
    p = control_props("edit", 0.04, h + 0.055 * d, 0.26, 0.03 * d);
    p.insert(p.end(), {{"String", shown}, {"BackgroundColor", "w"}, {"ForegroundColor", "k"}});
    g.uicontrol(fig, p);
    p = control_props("pushbutton", 0.004, h + 0.01 * d, 0.03, 0.03 * d);
    p.insert(p.end(), {{"BackgroundColor", colour},
                       {"Callback", "ch_color('" + escape_quotes(group) + "');"},
                       {"Tag", "PushColor" + group}});
    g.uicontrol(fig, p);

    const std::string x_unit = unit_of(x_label, 1);
    p = control_props("text", 0.035, h + 0.03 * d, 0.155, 0.02 * d);
    p.emplace_back("String", maximum_text(yy.col(0), xr, unit_of(y_label, 1), x_unit));
    g.uicontrol(fig, p);
    if (ly == 2) {
      p = control_props("text", 0.035, h + 0.005 * d, 0.155, 0.02 * d);
      p.emplace_back("String", maximum_text(yy.col(1), xr, unit_of(y_label, 2), x_unit));
      g.uicontrol(fig, p);
    }
    p = control_props("text", 0.19, h + 0.03 * d, 0.118, 0.02 * d);
    p.emplace_back("String", "k: " + num2str(k) + standard_note(par, st));
    g.uicontrol(fig, p);
    Eigen::Index top = first_max(Eigen::VectorXd(xr.transpose()));
    double x_max = top < 0 ? std::numeric_limits<double>::quiet_NaN() : round2(xr(top));
    p = control_props("text", 0.19, h + 0.005 * d, 0.118, 0.02 * d);
    p.emplace_back("String", "Max: " + num2str(x_max) + " " + x_unit);
    g.uicontrol(fig, p);

    if (ly == 2) {
      g.set_current_axes(fig, ax);
      const Eigen::RowVectorXd half = as_row(yy.col(1)) / 2;
      g.line(ax, xr, half,
             {{"LineStyle", "-"}, {"LineWidth", 1.0}, {"Color", colour}, {"Tag", "2Diag" + group}});
      const Eigen::Index points = yy.rows();
      const auto dy = static_cast<Eigen::Index>(std::round(static_cast<double>(points) / 36));
      if (dy > 0) {
        const Eigen::Index m = (points - 1) / dy + 1;
        Eigen::RowVectorXd mx(m), my(m);
        for (Eigen::Index i = 0; i < m; ++i) {
          mx(i) = xr(i * dy);
          my(i) = half(i * dy);
        }
        g.line(ax, mx, my,
               {{"LineStyle", "none"},
                {"Marker", "."},
                {"MarkerSize", 12.0},
                {"Color", colour},
                {"Tag", "2Diag" + group}});
      }
    }

    const int blocks = n + 1;
    if (blocks > 9) {
      const double f = static_cast<double>(blocks - 1) / blocks;
      for (Handle c : g.children(fig)) {
        if (g.type(c) != ObjType::Uicontrol) continue;
        Eigen::RowVectorXd pos = g.get_row(c, "Position");
        pos(1) = 0.87 - (0.87 - pos(1)) * f;
        pos(3) *= f;
        g.set(c, "Position", Value(pos));
      }
    }
  }

  // 9.-10. Limits, second scale, labels and title.
  const VisibleCurves curves = ax_lims(env, ax, ly, figname, y_label);
  xlabel(env, ax, x_label);
  title(env, ax, par.title, {{"FontSize", 12.0}, {"FontWeight", "bold"}});

  // 11.-13. Print, table file (neither may replace the recording or the other), zoom.
  PrintOptions print_options;
  print_options.window_layout = par.print_layout == 2;
  export_diagram(
      env, {fig, w.out_file(), w.print_file(), wav_file, x_label, y_label, print_options}, curves);
  env.s.zoom(fig, true, ZoomDrag::Box);
}

}  // namespace ziva
