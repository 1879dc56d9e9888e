#include "cut/cut_window.h"

#include <cmath>
#include <optional>

#include "base/error.h"
#include "eval/full_load.h"
#include "platform/core/text.h"
#include "plot/figure_helpers.h"
#include "ui/main_window_view.h"
#include "ui/messages.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// Keeps the cut axes' x limits and the start and end fields in step: every change of the limits is
// seen at once (so a zoom made just before the window closes still counts) and shown in the
// fields; a time typed into a field becomes the new start or end, unless it is not a number, lies
// outside the recording or does not keep the start before the end, which a message names while
// the fields and the limits keep their values.
class RangeWatch : public GraphicsObserver {
 public:
  RangeWatch(Env& env, const CutWindow& w, double duration)
      : env_(env), ax_(w.ax), start_(w.start), end_(w.end), duration_(duration) {
    look();
    env_.g.add_observer(this);
  }
  ~RangeWatch() override { env_.g.remove_observer(this); }
  RangeWatch(const RangeWatch&) = delete;
  RangeWatch& operator=(const RangeWatch&) = delete;

  void created(Handle) override {}
  void changed(Handle h, const std::string& property) override {
    if (h == ax_) {
      look();
    } else if (!showing_ && property == "string" && (h == start_ || h == end_)) {
      typed(h);
    }
  }
  void deleted(Handle, ObjType) override {}

  bool open() const { return env_.g.exists(ax_); }
  void look() {
    if (!open()) return;
    const Eigen::RowVectorXd lim = env_.g.get_row(ax_, "XLim");
    if (lim.size() != 2) return;
    last_ = lim;
    show();
  }
  const Eigen::RowVector2d& last() const { return last_; }

 private:
  void show() {
    showing_ = true;
    for (const auto& [h, v] : {std::pair{start_, last_(0)}, std::pair{end_, last_(1)}})
      if (h != 0 && env_.g.exists(h)) env_.g.set(h, "String", num2str(v));
    showing_ = false;
  }

  void typed(Handle h) {
    const bool is_start = h == start_;
    const std::string key = is_start ? "cut_start" : "cut_end";
    const std::string text = env_.g.get_text(h, "String");
    const std::optional<double> t = str2num(replace_all(text, ",", "."));
    const double other = is_start ? last_(1) : last_(0);
    std::string problem;
    if (!t || !std::isfinite(*t)) {
      problem = messages::cut_time_not_number(key, text);
    } else if (*t < 0 || *t > duration_) {
      problem = messages::cut_time_outside(key, *t, duration_);
    } else if (is_start ? *t >= other : *t <= other) {
      problem = messages::cut_time_order(key, *t, other);
    }
    if (!problem.empty()) {
      show();
      env_.s.error_dialog(problem, "");
      return;
    }
    env_.g.set(ax_, "XLim", is_start ? Value::row({*t, other}) : Value::row({other, *t}));
  }

  Env& env_;
  Handle ax_, start_, end_;
  double duration_;
  bool showing_ = false;
  Eigen::RowVector2d last_{0, 0};
};

// The first index in [0, n) whose time i/FS does not satisfy `below` (times increase with i).
template <class Pred>
Eigen::Index first_not(Eigen::Index n, double FS, Pred below) {
  Eigen::Index lo = 0, hi = n;
  while (lo < hi) {
    const Eigen::Index mid = lo + (hi - lo) / 2;
    if (below(static_cast<double>(mid) / FS)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

}  // namespace

std::string cut_axes_tag(const Record& st) {
  return st_text(st, "cut_File") + "Axes";
}

Value cut_axes_position() {
  return Value::row({0.13, 0.22, 0.775, 0.705});
}

CutWindow open_cut_window(Env& env, const Record& st, bool browse_saves) {
  const std::string wavfile = env.g.get_text(control(env, tag::wav_file), "String");
  CutWindow w;
  w.fig = env.g.figure({{"NumberTitle", "off"}, {"Name", st_text(st, "cut_File")}});
  clf(env, w.fig);
  w.ax = env.g.axes(w.fig, {{"Tag", cut_axes_tag(st)}});
  env.g.hold(w.ax, true);

  const std::string save = "save_wav_cut('" + escape_quotes(wavfile) + "');";
  const std::string close = "close(" + num2str(w.fig) + ");";
  const std::string browse = browse_saves ? "put_wav_filename; " + save : "put_wav_filename;";
  env.g.uicontrol(w.fig, {{"Style", "frame"}, {"Position", Value::row({0.03, 0.04, 0.94, 0.07})}});
  env.g.uicontrol(w.fig, {{"Style", "text"},
                          {"Position", Value::row({0.035, 0.06, 0.15, 0.03})},
                          {"HorizontalAlignment", "right"},
                          {"String", st_text(st, "wav_files")}});
  env.g.uicontrol(w.fig, {{"Style", "edit"},
                          {"Position", Value::row({0.2, 0.05, 0.365, 0.05})},
                          {"HorizontalAlignment", "right"},
                          {"Tag", "wav_cut_file"},
                          {"String", wavfile}});
  env.g.uicontrol(w.fig, {{"Style", "pushbutton"},
                          {"Position", Value::row({0.57, 0.05, 0.04, 0.05})},
                          {"String", st_text(st, "get_file")},
                          {"CallBack", browse}});
  env.g.uicontrol(w.fig, {{"Style", "pushbutton"},
                          {"Position", Value::row({0.62, 0.05, 0.1, 0.05})},
                          {"String", st_text(st, "save")},
                          {"CallBack", save}});
  env.g.uicontrol(w.fig, {{"Style", "pushbutton"},
                          {"Position", Value::row({0.835, 0.05, 0.1, 0.05})},
                          {"String", st_text(st, "cut_done")},
                          {"CallBack", close}});
  // The range shown, in seconds, above the axes; typed times move its start and end.
  const Record& texts = strings();
  for (const auto& [key, left] : {std::pair{"cut_start", 0.13}, std::pair{"cut_end", 0.42}}) {
    env.g.uicontrol(w.fig, {{"Style", "text"},
                            {"Position", Value::row({left, 0.944, 0.12, 0.035})},
                            {"HorizontalAlignment", "right"},
                            {"BackgroundColor", env.g.get(w.fig, "Color")},
                            {"Tag", std::string(key) + "_txt"},
                            {"String", st_text(texts, key)}});
    const Handle field =
        env.g.uicontrol(w.fig, {{"Style", "edit"},
                                {"Position", Value::row({left + 0.125, 0.94, 0.12, 0.045})},
                                {"HorizontalAlignment", "right"},
                                {"Tag", key}});
    (std::string(key) == "cut_start" ? w.start : w.end) = field;
  }
  env.g.make_current(w.fig);
  env.g.set_current_axes(w.fig, w.ax);
  return w;
}

void set_time_limits(Graphics& g, Handle ax, const Eigen::VectorXd& t) {
  if (t.size() < 2 || !(t(0) < t(t.size() - 1)))
    throw Error("The recording is too short to be cut: the view holds fewer than two times.");
  g.set(ax, "XLim", Value::row({t(0), t(t.size() - 1)}));
}

Eigen::RowVector2d wait_for_range(Env& env, const CutWindow& w, double duration) {
  RangeWatch watch(env, w, duration);
  const Handle main = env.g.find_first("Tag", tag::main_figure);
  const auto main_open = [&] { return main == 0 || env.g.exists(main); };
  while (watch.open() && main_open()) {
    watch.look();
    env.s.pause(0.1);
  }
  // The main window closed meanwhile: the evaluation it started has nowhere to go. It ends
  // quietly, and the cut window closes with it (see CutWindowGuard).
  if (!main_open()) throw ReportedError(st_text(strings(), "eval_ended"));
  return watch.last();
}

void mark_full_load(Graphics& g, Handle ax, const Eigen::VectorXd& t, const Eigen::VectorXd& v,
                    double resolution, double y0, double y1) {
  const Eigen::RowVectorXd tr = t.transpose();
  const Eigen::RowVectorXd vr = v.transpose();
  const std::optional<IndexRange> r = find_full_load(tr, vr, vr, resolution);
  if (!r) return;
  for (const Eigen::Index i : {r->first, r->last}) {
    g.line(ax, Eigen::RowVector2d(t(i), t(i)), Eigen::RowVector2d(y0, y1),
           {{"Color", "r"}, {"LineStyle", "--"}});
  }
}

Eigen::MatrixXd rows_inside(const Eigen::MatrixXd& Y, double FS, const Eigen::RowVectorXd& tt) {
  if (!(FS > 0)) throw Error("The sampling rate must be positive.");
  if (tt.size() != 2) throw Error("The time range must hold two limits.");
  const Eigen::Index n = Y.rows();
  const double lo = tt(0), hi = tt(1);
  const Eigen::Index first = first_not(n, FS, [lo](double t) { return t <= lo; });
  const Eigen::Index end = first_not(n, FS, [hi](double t) { return t < hi; });
  if (end <= first) return Eigen::MatrixXd(0, Y.cols());
  return Y.middleRows(first, end - first);
}

CutWindowGuard::~CutWindowGuard() {
  try {
    if (!g_.exists(ax_)) return;
    const Handle fig = g_.parent(ax_);
    if (g_.exists(fig) && g_.type(fig) == ObjType::Figure) g_.close(fig);
  } catch (...) {
    // Closing a window on the way out of a failure must not hide that failure.
  }
}

}  // namespace ziva
