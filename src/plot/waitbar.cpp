#include "plot/waitbar.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/warning.h"
#include "platform/core/text.h"
#include "plot/labels.h"
#include "ui/strings.h"

namespace ziva {

namespace {

constexpr const char* kTag = "TMWWaitbar";
constexpr const char* kHandlesGone = "Couldn't find waitbar handles.";

double percent(double x) {
  return std::max(0.0, std::min(100.0 * x, 100.0));
}

Eigen::RowVectorXd row4(double a, double b, double c, double d) {
  Eigen::RowVectorXd r(4);
  r << a, b, c, d;
  return r;
}

// A property value as the warning prints it.
std::string as_text(const Value& v) {
  if (v.is_chars()) return v.rows().empty() ? std::string() : v.rows().front();
  if (v.is_number()) {
    std::string s;
    const auto& m = v.num();
    for (Eigen::Index i = 0; i < m.size(); ++i) s += (i ? " " : "") + num2str(m.data()[i]);
    return s;
  }
  return v.class_name();
}

}  // namespace

Handle waitbar_create(Env& env, double x, const std::string& title_text, const Props& props) {
  Graphics& g = env.g;
  const Value old_units = g.get(kRoot, "Units");
  g.set(kRoot, "Units", "points");
  const double ppp = 72.0 / g.get_scalar(kRoot, "ScreenPixelsPerInch");
  const Eigen::RowVectorXd screen_px = g.get_row(kRoot, "ScreenSize");
  const double screen_w = screen_px(2) * ppp;
  const double screen_h = screen_px(3) * ppp;
  const double w = 360 * ppp;
  const double h = 75 * ppp;
  Eigen::RowVectorXd pos = row4(screen_w / 2 - w / 2, screen_h / 2 - h / 2, w, h);

  Handle fig = g.figure({{"Visible", "off"},
                         {"Units", "points"},
                         {"BusyAction", "queue"},
                         {"Position", Value(pos)},
                         {"Resize", "off"},
                         {"CreateFcn", ""},
                         {"NumberTitle", "off"},
                         {"IntegerHandle", "off"},
                         {"MenuBar", "none"},
                         {"Tag", kTag},
                         {"Interruptible", "off"}});
  try {
    double margin = 0;
    bool cancel_made = false;
    for (const auto& [name, value] : props) {
      if (!cancel_made && iequals(name, "createcancelbtn")) {
        cancel_made = true;
        const double bw = 60 * ppp;
        const double bh = 23 * ppp;
        g.uicontrol(fig, {{"Style", "pushbutton"},
                          {"String", "Cancel"},
                          {"Tag", "TMWWaitbarCancelButton"},
                          {"Units", "points"},
                          {"Position", Value(row4(pos(2) - 1.4 * bw, 7, bw, bh))},
                          {"Callback", value},
                          {"ButtonDownFcn", value}});
        g.set(fig, "CloseRequestFcn", value);
        margin = bh;
        pos(3) += bh;
        g.set(fig, "Position", Value(pos));
        continue;
      }
      try {
        g.set(fig, name, value);
      } catch (const Error&) {
        warning("could not set property '" + name + "' with value '" + as_text(value) + "'");
      }
    }

    g.set(fig, "Colormap", Value::empty_matrix());
    Eigen::RowVectorXd axpos = row4(0.05 * w, 0.3 * h + margin, 0.9 * w, 0.2 * h);
    Handle ax = g.axes(fig, {{"Units", "points"},
                             {"Position", Value(axpos)},
                             {"XLim", Value::row({0, 100})},
                             {"YLim", Value::row({0, 1})},
                             {"Box", "on"},
                             {"XTick", Value::empty_matrix()},
                             {"YTick", Value::empty_matrix()},
                             {"XTickLabel", ""},
                             {"YTickLabel", ""},
                             {"FontSize", g.get(kRoot, "FactoryAxesFontSize")}});
    Handle t = title(env, ax, title_text);

    const Eigen::RowVectorXd extent = g.get_row(t, "Extent");
    const double needed = extent(3) + axpos(1) + axpos(3) + 5;
    if (needed > pos(3)) {
      pos(3) = needed;
      pos(1) = screen_h / 2 - pos(3) / 2;
      g.set(fig, "Position", Value(pos));
    }
    if (extent(2) > 1.1 * pos(2)) {
      pos(2) = std::min(1.1 * extent(2), screen_w);
      pos(0) = screen_w / 2 - pos(2) / 2;
      g.set(fig, "Position", Value(pos));
      axpos(0) = 0.05 * pos(2);
      axpos(2) = 0.9 * pos(2);
      g.set(ax, "Position", Value(axpos));
    }

    const double p = percent(x);
    g.hold(ax, true);
    g.patch(ax, row4(0, p, p, 0), row4(0, 0, 1, 1),
            {{"FaceColor", "r"}, {"EdgeColor", "r"}, {"EraseMode", "none"}});
    Eigen::RowVectorXd fx(5), fy(5);
    fx << 100, 0, 0, 100, 100;
    fy << 0, 0, 1, 1, 0;
    Handle frame = g.line(ax, fx, fy, {{"EraseMode", "none"}});
    g.hold(ax, false);
    g.set(frame, "Color", g.get(ax, "XColor"));
    g.set(fig, {{"HandleVisibility", "callback"}, {"Visible", "on"}});
  } catch (...) {
    if (g.exists(fig)) g.close(fig);
    g.set(kRoot, "Units", old_units);
    throw;
  }
  g.set(kRoot, "Units", old_units);
  env.s.drawnow();
  return fig;
}

void waitbar_update(Env& env, double x, Handle fig, const std::optional<std::string>& title_text) {
  Graphics& g = env.g;
  if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error(kHandlesGone);
  const auto bars = g.findobj({fig}, {{"Type", "patch"}});
  const auto frames = g.findobj({fig}, {{"Type", "line"}});
  if (bars.empty() || frames.empty()) throw Error(kHandlesGone);
  const double p = percent(x);
  g.set(bars.front(), "XData", Value(row4(0, p, p, 0)));
  g.set(frames.front(), "XData", g.get(frames.front(), "XData"));
  if (title_text) g.set(g.label_of(g.parent(bars.front()), "Title"), "String", *title_text);
  env.s.drawnow();
}

Values waitbar_entry(Env& env, int, const Values& args) {
  if (args.empty() || args[0].absent()) throw Error("Input arguments not valid.");
  if (!args[0].is_number() || args[0].num().size() == 0)
    throw Error("Input arguments of type " + args[0].class_name() + " not valid.");
  const double x = args[0].scalar();
  if (args.size() == 1 || args[1].absent()) {
    for (Handle f : env.g.all_figures()) {
      if (env.g.get_text(f, "Tag") == kTag) {
        waitbar_update(env, x, f);
        return {Value(f)};
      }
    }
    return {Value(waitbar_create(env, x, "Waitbar"))};
  }
  const Value& second = args[1];
  if (second.is_chars()) {
    if (args.size() > 2 && args.size() % 2 != 0)
      throw Error("Optional initialization arguments must be passed in pairs");
    Props props;
    for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
      if (!args[i].is_text()) {
        warning("could not set property '" + as_text(args[i]) + "' with value '" +
                as_text(args[i + 1]) + "'");
        continue;
      }
      props.emplace_back(args[i].text(), args[i + 1]);
    }
    const auto rows = second.rows();
    return {Value(waitbar_create(env, x, rows.empty() ? std::string() : rows.front(), props))};
  }
  if (second.is_number() && second.num().size() > 0) {
    std::optional<std::string> text;
    if (args.size() > 2 && args[2].is_chars()) {
      const auto rows = args[2].rows();
      text = rows.empty() ? std::string() : rows.front();
    }
    waitbar_update(env, x, second.scalar(), text);
    return {Value(second.scalar())};
  }
  throw Error("Input arguments of type " + second.class_name() + " not valid.");
}

ProgressWindow::ProgressWindow(Env& env, const Record& st) : env_(env) {
  fig_ = waitbar_create(env, 0, st_text(st, "wait"),
                        {{"NumberTitle", "off"}, {"Name", st_text(st, "wb_sdiag")}});
}

ProgressWindow::~ProgressWindow() {
  try {
    close();
  } catch (...) {
    // The window was already gone; nothing is left to clean up.
  }
}

void ProgressWindow::advance(double x) {
  waitbar_update(env_, x, fig_);
}

void ProgressWindow::show() {
  env_.s.drawnow();
}

ProgressFactory progress_windows(Env& env, const Record& st) {
  return [&env, st] { return std::make_unique<ProgressWindow>(env, st); };
}

void ProgressWindow::close() {
  if (fig_ != 0 && env_.g.exists(fig_)) env_.g.close(fig_);
  fig_ = 0;
}

}  // namespace ziva
