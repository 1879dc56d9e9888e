// The window of one figure: its axes drawn by the renderer, its controls as real widgets placed
// by their positions, and interactive zoom on its axes.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <map>
#include <string>

#include "platform/core/graphics.h"
#include "platform/core/services.h"
#include "platform/qt/controls.h"
#include "platform/qt/zoom.h"
#include "platform/render/renderer.h"

class QRubberBand;

namespace ziva {

class Desktop;

class FigureWindow : public QWidget {
  Q_OBJECT

 public:
  FigureWindow(Desktop& desktop, Handle fig);
  ~FigureWindow() override;

  Handle figure() const { return fig_; }
  void figure_changed(const std::string& property);

  void add_control(Handle h);
  void control_changed(Handle h, const std::string& property);
  // False when the control is not one of this window's.
  bool remove_control(Handle h);
  QWidget* control_widget(Handle h) const;

  // The drawn contents changed: repaint the canvas.
  void invalidate();
  bool needs_repaint() const { return dirty_; }

  void set_zoom(bool on, ZoomDrag drag = ZoomDrag::Box);
  bool zoom_on() const { return zoom_; }
  // The axes under a window point that zoom would act on (0 for none).
  Handle axes_at(QPoint p) const;
  // Where the axes lies in the window and how its pixels map to data.
  AxesView view(Handle ax) const;

  // The figure is gone: the window hides, stops talking to the model and deletes itself.
  void detach();

  // Writes edit texts the user typed but has not confirmed into the model; their callbacks run.
  void commit_edits();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  struct ControlView {
    ControlKind kind;
    std::string style;
    QPointer<QWidget> widget;
  };
  struct Limits {
    Eigen::RowVectorXd x, y;
    bool x_auto, y_auto;
  };

  const Graphics& g() const;
  bool is_main() const;
  // "Berechne Diagramm >>" of the main window, as its keyboard shortcuts press it.
  void press_evaluate();
  // Takes a drag of files the main window understands; true when it was one.
  bool take_drop(QEvent* e);
  void wire(Handle h, const ControlView& view);
  void operated(Handle h);
  void layout_controls();
  void sync_title();
  void sync_geometry();
  void sync_color();
  void sync_visible();
  void place_beside_main();
  void cascade();
  void zoom_to(Handle ax, Range x, Range y);
  void restore_zoom(Handle ax);

  Desktop& desktop_;
  Handle fig_;
  std::map<Handle, ControlView> controls_;
  QImage canvas_;
  bool dirty_ = true;
  bool detached_ = false;
  bool shown_ = false;

  bool zoom_ = false;
  ZoomDrag zoom_drag_ = ZoomDrag::Box;
  bool drag_both_ = false;  // Shift held at the press
  std::map<Handle, Limits> before_zoom_;
  Handle drag_axes_ = 0;
  QPoint drag_start_;
  bool skip_release_ = false;
  QRubberBand* band_ = nullptr;
};

}  // namespace ziva
