#include "cut/cut_window.h"

#include "base/error.h"
#include "eval/full_load.h"
#include "platform/core/text.h"
#include "plot/figure_helpers.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// Follows the x limits of the cut axes: every change of the axes is seen at once, so a zoom made
// just before the window closes still counts.
class LimitWatch : public GraphicsObserver {
 public:
  LimitWatch(Graphics& g, Handle ax) : g_(g), ax_(ax) {
    look();
    g_.add_observer(this);
  }
  ~LimitWatch() override { g_.remove_observer(this); }
  LimitWatch(const LimitWatch&) = delete;
  LimitWatch& operator=(const LimitWatch&) = delete;

  void created(Handle) override {}
  void changed(Handle h, const std::string&) override {
    if (h == ax_) look();
  }
  void deleted(Handle, ObjType) override {}

  bool open() const { return g_.exists(ax_); }
  void look() {
    if (!open()) return;
    const Eigen::RowVectorXd lim = g_.get_row(ax_, "XLim");
    if (lim.size() == 2) last_ = lim;
  }
  const Eigen::RowVector2d& last() const { return last_; }

 private:
  Graphics& g_;
  Handle ax_;
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
  env.g.make_current(w.fig);
  env.g.set_current_axes(w.fig, w.ax);
  return w;
}

void set_time_limits(Graphics& g, Handle ax, const Eigen::VectorXd& t) {
  if (t.size() < 2 || !(t(0) < t(t.size() - 1)))
    throw Error("The recording is too short to be cut: the view holds fewer than two times.");
  g.set(ax, "XLim", Value::row({t(0), t(t.size() - 1)}));
}

Eigen::RowVector2d wait_for_range(Env& env, Handle ax) {
  LimitWatch watch(env.g, ax);
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
