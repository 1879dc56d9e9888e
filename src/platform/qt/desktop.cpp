#include "platform/qt/desktop.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/error.h"
#include "platform/core/text.h"
#include "platform/qt/layout.h"
#include "platform/render/print.h"

namespace ziva {

Desktop::Desktop(Program& program, QtServices& services, double scale)
    : program_(program), services_(services), scale_(scale) {
  services_.attach(this);
  Graphics& g = graphics();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // The program centres windows on the screen it is told of, in its own pixels.
    QRect r = screen->geometry();
    g.set(kRoot, "ScreenSize",
          Value::row({1, 1, std::floor(r.width() / scale_), std::floor(r.height() / scale_)}));
  }
  g.add_observer(this);
  auto figures = g.all_figures();
  for (auto it = figures.rbegin(); it != figures.rend(); ++it) {
    created(*it);
    for (Handle c : g.children(*it)) {
      if (g.type(c) == ObjType::Uicontrol) created(c);
    }
  }
}

Desktop::~Desktop() {
  graphics().remove_observer(this);
  services_.attach(nullptr);
  for (auto& [h, w] : windows_) delete w.data();
}

FigureWindow* Desktop::window(Handle fig) const {
  auto it = windows_.find(fig);
  return it == windows_.end() ? nullptr : it->second.data();
}

std::vector<FigureWindow*> Desktop::windows() const {
  std::vector<FigureWindow*> out;
  for (const auto& [h, w] : windows_)
    if (w) out.push_back(w.data());
  return out;
}

bool Desktop::start() {
  started_ = true;
  bool ok = false;
  serve([this, &ok] { ok = program_.run("zaror_arad"); });
  return ok;
}

int Desktop::exec() {
  bool any = false;
  for (FigureWindow* w : windows()) any |= graphics().is_on(w->figure(), "Visible");
  if (!any) return 1;
  running_ = true;
  int rc = QApplication::exec();
  running_ = false;
  return rc;
}

void Desktop::run(const std::string& callback) {
  serve([this, callback] { program_.run(callback); });
}

void Desktop::request_close(Handle fig) {
  serve([this, fig] {
    Graphics& g = graphics();
    if (!g.exists(fig)) return;
    std::string request = trim_blanks(g.get_text(fig, "CloseRequestFcn"));
    if (!request.empty() && !iequals(request, "closereq")) {
      program_.run(request);
      return;
    }
    try {
      g.close(fig);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
  });
}

void Desktop::serve(std::function<void()> action) {
  if (busy_ > 0 && pause_level_ != busy_) {
    queue_.push_back(std::move(action));
    return;
  }
  ++busy_;
  int saved = pause_level_;
  pause_level_ = -1;
  action();
  pause_level_ = saved;
  --busy_;
  if (busy_ > 0) return;
  while (!queue_.empty()) {
    auto next = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    next();
    --busy_;
  }
  settle();
}

void Desktop::settle() {
  if (!started_) return;
  Graphics& g = graphics();
  for (Handle f : g.all_figures())
    if (g.is_on(f, "Visible")) return;
  emit last_window_closed();
  if (running_) QCoreApplication::exit(0);
}

void Desktop::pause(double seconds) {
  int saved = pause_level_;
  pause_level_ = busy_;
  // What was held back while the running callback kept the windows busy may run now.
  while (!queue_.empty()) {
    auto next = std::move(queue_.front());
    queue_.pop_front();
    serve(std::move(next));
  }
  if (seconds > 0) {
    double ms = std::min(seconds * 1000.0, static_cast<double>(std::numeric_limits<int>::max()));
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(ms)), &loop, &QEventLoop::quit);
    loop.exec();
  } else {
    QCoreApplication::processEvents();
  }
  pause_level_ = saved;
}

void Desktop::drawnow() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  for (FigureWindow* w : windows())
    if (w->isVisible() && w->needs_repaint()) w->repaint();
}

void Desktop::set_zoom(Handle fig, bool on, ZoomDrag drag) {
  if (FigureWindow* w = window(fig)) w->set_zoom(on, drag);
}

void Desktop::print(Handle fig, const std::string& device, const std::string& file,
                    const PrintOptions& options) {
  print_figure(graphics(), fig, file, device, options);
}

QWidget* Desktop::dialog_parent() const {
  if (QWidget* active = QApplication::activeWindow()) return active;
  FigureWindow* w = window(program_.graphics().current_figure());
  return w && w->isVisible() ? w : nullptr;
}

Handle Desktop::figure_of(Handle h) const {
  const Graphics& g = program_.graphics();
  while (g.exists(h)) {
    ObjType t = g.type(h);
    if (t == ObjType::Figure) return h;
    if (t == ObjType::Root) return 0;
    h = g.parent(h);
  }
  return 0;
}

FigureWindow* Desktop::window_holding(Handle control) const {
  const Graphics& g = program_.graphics();
  return g.exists(control) ? window(g.parent(control)) : nullptr;
}

void Desktop::created(Handle h) {
  Graphics& g = graphics();
  ObjType t = g.type(h);
  if (t == ObjType::Figure) {
    if (!window(h)) windows_[h] = new FigureWindow(*this, h);
    return;
  }
  if (t == ObjType::Uicontrol) {
    if (FigureWindow* w = window_holding(h)) w->add_control(h);
    return;
  }
  if (FigureWindow* w = window(figure_of(h))) w->invalidate();
}

void Desktop::changed(Handle h, const std::string& property) {
  Graphics& g = graphics();
  if (!g.exists(h)) return;
  switch (g.type(h)) {
    case ObjType::Root:
      if (property == "currentfigure") {
        // The program's current window comes to the front, as the one it works on.
        FigureWindow* w = window(g.current_figure());
        if (w && w->isVisible()) bring_to_front(w);
      }
      return;
    case ObjType::Figure:
      if (FigureWindow* w = window(h)) w->figure_changed(property);
      return;
    case ObjType::Uicontrol:
      if (FigureWindow* w = window_holding(h)) w->control_changed(h, property);
      return;
    default:
      if (FigureWindow* w = window(figure_of(h))) w->invalidate();
  }
}

void Desktop::deleted(Handle h, ObjType type) {
  if (type == ObjType::Figure) {
    auto it = windows_.find(h);
    if (it != windows_.end()) {
      if (it->second) it->second->detach();
      windows_.erase(it);
    }
    if (busy_ == 0) settle();
    return;
  }
  if (type == ObjType::Uicontrol) {
    for (FigureWindow* w : windows())
      if (w->remove_control(h)) return;
    return;
  }
  for (FigureWindow* w : windows()) w->invalidate();
}

}  // namespace ziva
