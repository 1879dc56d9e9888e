// The desktop front end: one window per figure of the object model, kept in step with it through
// its notifications; runs the callbacks of operated controls one at a time; ends with the last
// window.
#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <map>

#include "app/functions.h"
#include "platform/core/graphics.h"
#include "platform/qt/figure_window.h"
#include "platform/qt/qt_services.h"

namespace ziva {

// Windows show figures 1.5 times their size in the model: the program's default figure (560 by
// 420 pixels) opens at a comfortable 840 by 630, enough room for the main window's controls.
inline constexpr double kDisplayScale = 1.5;

class Desktop : public QObject, public GraphicsObserver {
  Q_OBJECT

 public:
  Desktop(Program& program, QtServices& services, double scale = kDisplayScale);
  ~Desktop() override;
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Runs the start-up sequence (zaror_arad) and shows its windows; false when it failed.
  bool start();
  // Serves the windows until the last one is closed; the process's exit code.
  int exec();

  Graphics& graphics() { return program_.graphics(); }
  Program& program() { return program_; }
  double scale() const { return scale_; }
  // The window of a figure (null when there is none).
  FigureWindow* window(Handle fig) const;
  std::vector<FigureWindow*> windows() const;

  // Runs a callback string now, or after the running callback when one is running (a callback
  // that pauses lets others run meanwhile).
  void run(const std::string& callback);
  // The figure's window was closed by the user: its close request runs like a callback.
  void request_close(Handle fig);
  // True while a callback runs.
  bool busy() const { return busy_ > 0; }
  // Runs `action` as a callback: now, or after the running callback when one is running.
  void serve(std::function<void()> action);

  // Services of the window layer.
  void pause(double seconds);
  void drawnow();
  void set_zoom(Handle fig, bool on, ZoomDrag drag = ZoomDrag::Box);
  void print(Handle fig, const std::string& device, const std::string& file,
             const PrintOptions& options);
  QWidget* dialog_parent() const;

  // GraphicsObserver
  void created(Handle h) override;
  void changed(Handle h, const std::string& property) override;
  void deleted(Handle h, ObjType type) override;

 signals:
  // The model holds no figure any more.
  void last_window_closed();

 private:
  void settle();
  Handle figure_of(Handle h) const;
  FigureWindow* window_holding(Handle control) const;

  Program& program_;
  QtServices& services_;
  double scale_;
  std::map<Handle, QPointer<FigureWindow>> windows_;
  int busy_ = 0;
  int pause_level_ = -1;  // the callback depth whose pause lets other callbacks in
  std::deque<std::function<void()>> queue_;
  bool started_ = false;
  bool running_ = false;
};

}  // namespace ziva
