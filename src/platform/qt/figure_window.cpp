#include "platform/qt/figure_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "diagram/ax_lims.h"
#include "platform/core/text.h"
#include "platform/qt/canvas.h"
#include "platform/qt/desktop.h"
#include "platform/qt/language_choice.h"
#include "platform/qt/layout.h"
#include "platform/render/renderer.h"
#include "ui/main_window_view.h"

namespace ziva {

namespace {

// Below this many pixels of drag a press and release count as a click.
constexpr int kClickSlack = 5;

Eigen::RowVectorXd row2(Range r) {
  Eigen::RowVectorXd v(2);
  v << r.lo, r.hi;
  return v;
}

bool usable(Range r) {
  return std::isfinite(r.lo) && std::isfinite(r.hi) && r.lo < r.hi;
}

// Runs a model change made by user input; a change the model refuses changes nothing.
template <class F>
void guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
}

// The files of a drag the main window takes: the first WAV file and the first parameter file.
struct DroppedFiles {
  QString wav, cfg;
  bool any() const { return !wav.isEmpty() || !cfg.isEmpty(); }
};

DroppedFiles dropped_files(const QMimeData* mime) {
  DroppedFiles d;
  if (mime == nullptr || !mime->hasUrls()) return d;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QString file = url.toLocalFile();
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == "wav" && d.wav.isEmpty()) d.wav = file;
    if (suffix == "cfg" && d.cfg.isEmpty()) d.cfg = file;
  }
  return d;
}

}  // namespace

FigureWindow::FigureWindow(Desktop& desktop, Handle fig)
    : QWidget(nullptr, Qt::Window), desktop_(desktop), fig_(fig) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  band_ = new QRubberBand(QRubberBand::Rectangle, this);
  band_->hide();
  sync_title();
  sync_color();
  sync_geometry();
  setAcceptDrops(true);
  for (QKeySequence keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return),
                            QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, &FigureWindow::press_evaluate);
  }
  // Shown once the program has filled it (at the next turn of the event loop, a drawing flush
  // or a pause), in the size it ends up with.
  QTimer::singleShot(0, this, [this] {
    if (!detached_) sync_visible();
  });
}

FigureWindow::~FigureWindow() {
  // Closing the window on its way out moves the focus; nothing may reach this object then.
  detached_ = true;
  for (QObject* child : children()) child->disconnect(this);
}

const Graphics& FigureWindow::g() const {
  return desktop_.graphics();
}

bool FigureWindow::is_main() const {
  return !detached_ && g().exists(fig_) && g().get_text(fig_, "Tag") == tag::main_figure;
}

void FigureWindow::press_evaluate() {
  if (!is_main()) return;
  for (auto& [h, view] : controls_) {
    if (view.kind != ControlKind::Button || !view.widget || !g().exists(h)) continue;
    if (trim_blanks(g().get_text(h, "Callback")) != "calc_diag") continue;
    auto* button = static_cast<QPushButton*>(view.widget.data());
    if (button->isEnabled() && button->isVisible()) button->click();
    return;
  }
}

bool FigureWindow::take_drop(QEvent* e) {
  if (!is_main()) return false;
  auto* drag = static_cast<QDropEvent*>(e);
  const DroppedFiles files = dropped_files(drag->mimeData());
  if (!files.any()) return false;
  drag->setDropAction(Qt::CopyAction);
  drag->accept();
  if (e->type() != QEvent::Drop) return true;
  // A parameter file loads as "Laden" loads it; a WAV file goes into "WAV Datei" after it, so
  // that a parameter file dropped together with it does not replace it.
  if (!files.cfg.isEmpty())
    desktop_.run("load_par('" + escape_quotes(files.cfg.toStdString()) + "')");
  if (!files.wav.isEmpty()) {
    const std::string wav = files.wav.toStdString();
    desktop_.serve([this, wav] {
      if (!is_main()) return;
      guarded([&] { MainWindowView(desktop_.program().env()).set_wav_file(wav); });
    });
  }
  return true;
}

void FigureWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!take_drop(e)) QWidget::dragEnterEvent(e);
}

void FigureWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (!take_drop(e)) QWidget::dragMoveEvent(e);
}

void FigureWindow::dropEvent(QDropEvent* e) {
  if (!take_drop(e)) QWidget::dropEvent(e);
}

bool FigureWindow::eventFilter(QObject* watched, QEvent* e) {
  // Edit fields take dropped text themselves; files for the main window pass them by.
  const QEvent::Type t = e->type();
  if ((t == QEvent::DragEnter || t == QEvent::DragMove || t == QEvent::Drop) && take_drop(e))
    return true;
  return QWidget::eventFilter(watched, e);
}

void FigureWindow::sync_title() {
  std::string name = g().get_text(fig_, "Name");
  std::string title = name;
  if (g().is_on(fig_, "NumberTitle")) {
    double h = fig_;
    title = h == std::floor(h) ? "Figure " + num2str(h) : "Figure";
    if (!name.empty()) title += ": " + name;
  }
  setWindowTitle(QString::fromStdString(title));
}

void FigureWindow::sync_color() {
  QPalette pal = palette();
  Value c = g().get(fig_, "Color");
  if (c.is_number() && c.num().size() == 3) {
    const auto& m = c.num();
    pal.setColor(QPalette::Window,
                 QColor::fromRgbF(static_cast<float>(std::clamp(m(0), 0.0, 1.0)),
                                  static_cast<float>(std::clamp(m(1), 0.0, 1.0)),
                                  static_cast<float>(std::clamp(m(2), 0.0, 1.0))));
    setPalette(pal);
  }
  invalidate();
}

void FigureWindow::sync_geometry() {
  double scale = desktop_.scale();
  QSize size = figure_window_size(g(), fig_, scale);
  Eigen::RowVectorXd pos = g().get_row(fig_, "Position");
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  double left = 0, bottom = 0;
  if (pos.size() >= 2) {
    std::string units = g().get_text(fig_, "Units");
    if (iequals(units, "normalized")) {
      left = pos(0) * avail.width();
      bottom = pos(1) * avail.height();
    } else {
      double k = points_per_unit(units) / 0.75 * scale;
      left = pos(0) * k;
      bottom = pos(1) * k;
    }
  }
  int x = avail.left() + static_cast<int>(std::lround(left));
  int y = avail.top() + avail.height() - static_cast<int>(std::lround(bottom)) - size.height();
  x = std::clamp(x, avail.left(), std::max(avail.left(), avail.right() - size.width()));
  y = std::clamp(y, avail.top(), std::max(avail.top(), avail.bottom() - size.height()));
  if (iequals(g().get_text(fig_, "Resize"), "off")) {
    setFixedSize(size);
  } else {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(size);
  }
  move(x, y);
  layout_controls();
}

void FigureWindow::sync_visible() {
  bool visible = g().is_on(fig_, "Visible");
  if (visible && !isVisible()) {
    if (!shown_) {
      place_beside_main();
      cascade();
    }
    shown_ = true;
    show();
    bring_to_front(this);
  } else if (!visible && isVisible()) {
    hide();
  }
}

void FigureWindow::place_beside_main() {
  // The main window's controls stay in view: a new window that may be resized (a diagram, a cut
  // view) opens beside it where the screen has room. Fixed-size windows (progress) keep their
  // place.
  if (is_main() || iequals(g().get_text(fig_, "Resize"), "off")) return;
  for (FigureWindow* other : desktop_.windows()) {
    if (other == this || !other->isVisible() || !other->is_main()) continue;
    const QRect main = other->frameGeometry();
    const QSize frame = size() + (main.size() - other->size());
    QScreen* screen = other->screen();
    if (screen == nullptr) return;
    if (auto at = beside(main, frame, screen->availableGeometry())) move(*at);
    return;
  }
}

void FigureWindow::cascade() {
  // A new window does not hide another one exactly: it moves down and right until its place
  // is free.
  QPoint at = pos();
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  for (int step = 0; step < 20; ++step) {
    bool taken = false;
    for (FigureWindow* other : desktop_.windows())
      taken |= other != this && other->isVisible() && other->pos() == at;
    if (!taken) break;
    const QPoint next = cascade_step(at, frameGeometry().size(), avail, 32);
    if (next == at) break;
    at = next;
  }
  if (at != pos()) move(at);
}

void FigureWindow::figure_changed(const std::string& property) {
  if (detached_) return;
  const std::string& p = property;
  if (p == "name" || p == "numbertitle") {
    sync_title();
  } else if (p == "position" || p == "units" || p == "resize") {
    sync_geometry();
  } else if (p == "color") {
    sync_color();
  } else if (p == "visible") {
    sync_visible();
  } else {
    invalidate();
  }
}

void FigureWindow::add_control(Handle h) {
  if (detached_ || controls_.count(h)) return;
  ControlView view;
  view.style = g().get_text(h, "Style");
  view.kind = control_kind(view.style);
  view.widget = make_control_widget(view.kind, view.style, this);
  controls_[h] = view;
  wire(h, view);
  show_control(view.widget, view.kind, g(), h);
  place_control(view.widget, view.kind, g(), h, control_rect(g(), h, size(), desktop_.scale()));
  view.widget->raise();
}

void FigureWindow::control_changed(Handle h, const std::string& property) {
  auto it = controls_.find(h);
  if (detached_ || it == controls_.end()) return;
  ControlView& view = it->second;
  if (!view.widget) return;
  if (property == "style") {
    std::string style = g().get_text(h, "Style");
    if (to_lower(style) != to_lower(view.style)) {
      // A new kind of widget in the same place of the stacking order.
      QWidget* old = view.widget;
      view.style = style;
      view.kind = control_kind(style);
      view.widget = make_control_widget(view.kind, style, this);
      view.widget->stackUnder(old);
      old->hide();
      old->deleteLater();
      wire(h, view);
      show_control(view.widget, view.kind, g(), h);
      place_control(view.widget, view.kind, g(), h, control_rect(g(), h, size(), desktop_.scale()));
    }
    return;
  }
  if (property == "position" || property == "units") {
    place_control(view.widget, view.kind, g(), h, control_rect(g(), h, size(), desktop_.scale()));
    return;
  }
  show_control(view.widget, view.kind, g(), h);
}

bool FigureWindow::remove_control(Handle h) {
  auto it = controls_.find(h);
  if (it == controls_.end()) return false;
  if (QWidget* w = it->second.widget) {
    w->hide();
    w->deleteLater();
  }
  controls_.erase(it);
  return true;
}

QWidget* FigureWindow::control_widget(Handle h) const {
  auto it = controls_.find(h);
  return it == controls_.end() ? nullptr : it->second.widget.data();
}

void FigureWindow::wire(Handle h, const ControlView& view) {
  QWidget* w = view.widget;
  w->installEventFilter(this);
  Graphics& model = desktop_.graphics();
  switch (view.kind) {
    case ControlKind::Button:
      connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this, [this, h] {
        commit_edits();
        operated(h);
      });
      break;
    case ControlKind::Check:
      connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this,
              [this, h, &model](bool on) {
                if (detached_ || !model.exists(h)) return;
                guarded([&] { model.set(h, "Value", model.get(h, on ? "Max" : "Min")); });
                commit_edits();
                operated(h);
              });
      break;
    case ControlKind::Popup:
      connect(static_cast<QComboBox*>(w), &QComboBox::activated, this,
              [this, h, &model](int index) {
                if (detached_ || !model.exists(h)) return;
                guarded([&] { model.set(h, "Value", static_cast<double>(index + 1)); });
                commit_edits();
                operated(h);
              });
      break;
    case ControlKind::Edit: {
      auto* e = static_cast<QLineEdit*>(w);
      connect(e, &QLineEdit::editingFinished, this, [this, h, e, &model] {
        if (detached_ || !model.exists(h)) return;
        std::string text = e->text().toStdString();
        e->setModified(false);
        if (text == display_text(model.get(h, "String")).toStdString()) return;
        guarded([&] { model.set(h, "String", text); });
        operated(h);
      });
      break;
    }
    case ControlKind::Text:
    case ControlKind::Frame:
      break;
  }
}

void FigureWindow::operated(Handle h) {
  const Graphics& model = g();
  if (detached_ || !model.exists(h)) return;
  std::string callback = model.get_text(h, "Callback");
  if (!trim_blanks(callback).empty()) desktop_.run(callback);
}

void FigureWindow::commit_edits() {
  Graphics& model = desktop_.graphics();
  for (FigureWindow* w : desktop_.windows()) {
    if (w->detached_) continue;
    std::vector<Handle> committed;
    for (auto& [h, view] : w->controls_) {
      if (view.kind != ControlKind::Edit || !view.widget || !model.exists(h)) continue;
      auto* e = static_cast<QLineEdit*>(view.widget.data());
      if (!e->isModified()) continue;
      e->setModified(false);
      std::string text = e->text().toStdString();
      if (text == display_text(model.get(h, "String")).toStdString()) continue;
      guarded([&] { model.set(h, "String", text); });
      committed.push_back(h);
    }
    for (Handle h : committed) w->operated(h);
  }
}

void FigureWindow::layout_controls() {
  for (auto& [h, view] : controls_) {
    if (!view.widget || !g().exists(h)) continue;
    place_control(view.widget, view.kind, g(), h, control_rect(g(), h, size(), desktop_.scale()));
  }
}

void FigureWindow::invalidate() {
  dirty_ = true;
  update();
}

void FigureWindow::detach() {
  detached_ = true;
  controls_.clear();
  hide();
  deleteLater();
}

void FigureWindow::paintEvent(QPaintEvent*) {
  qreal dpr = devicePixelRatioF();
  QSize pixels = size() * dpr;
  if (dirty_ || canvas_.size() != pixels) {
    canvas_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    canvas_.setDevicePixelRatio(dpr);
    canvas_.fill(palette().color(QPalette::Window));
    if (!detached_ && g().exists(fig_)) {
      QPainter cp(&canvas_);
      draw_canvas(g(), fig_, cp, size(), desktop_.scale());
    }
    dirty_ = false;
  }
  QPainter p(this);
  p.drawImage(QPoint(0, 0), canvas_);
}

void FigureWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  layout_controls();
  invalidate();
}

void FigureWindow::closeEvent(QCloseEvent* e) {
  if (detached_) {
    e->accept();
    return;
  }
  e->ignore();
  desktop_.request_close(fig_);
}

// --- zoom ----------------------------------------------------------------------------------

Handle FigureWindow::axes_at(QPoint p) const {
  if (detached_ || !g().exists(fig_)) return 0;
  for (Handle c : g().children(fig_)) {
    if (g().type(c) != ObjType::Axes || !g().is_on(c, "Visible")) continue;
    AxesView v = view(c);
    if (v.valid() && v.box.contains(QPointF(p))) return c;
  }
  return 0;
}

AxesView FigureWindow::view(Handle ax) const {
  return screen_axes_view(g(), ax, size(), canvas_pixels_per_point(g(), fig_, desktop_.scale()));
}

void FigureWindow::set_zoom(bool on, ZoomDrag drag) {
  zoom_ = on;
  zoom_drag_ = drag;
  before_zoom_.clear();
  drag_axes_ = 0;
  band_->hide();
  if (on) {
    setCursor(Qt::CrossCursor);
  } else {
    unsetCursor();
  }
}

void FigureWindow::zoom_to(Handle ax, Range x, Range y) {
  Graphics& model = desktop_.graphics();
  if (!model.exists(ax) || !usable(x) || !usable(y)) return;
  if (!before_zoom_.count(ax)) {
    before_zoom_[ax] = {model.get_row(ax, "XLim"), model.get_row(ax, "YLim"),
                        iequals(model.get_text(ax, "XLimMode"), "auto"),
                        iequals(model.get_text(ax, "YLimMode"), "auto")};
  }
  const Eigen::RowVectorXd old_x = model.get_row(ax, "XLim"), old_y = model.get_row(ax, "YLim");
  guarded([&] {
    model.set(ax, "XLim", Value(row2(x)));
    model.set(ax, "YLim", Value(row2(y)));
    follow_limits(model, ax, old_x, old_y);
  });
}

void FigureWindow::restore_zoom(Handle ax) {
  Graphics& model = desktop_.graphics();
  auto it = before_zoom_.find(ax);
  if (it == before_zoom_.end() || !model.exists(ax)) return;
  Limits l = it->second;
  before_zoom_.erase(it);
  const Eigen::RowVectorXd old_x = model.get_row(ax, "XLim"), old_y = model.get_row(ax, "YLim");
  guarded([&] {
    model.set(ax, "XLim", Value(l.x));
    model.set(ax, "YLim", Value(l.y));
    if (l.x_auto) model.set(ax, "XLimMode", "auto");
    if (l.y_auto) model.set(ax, "YLimMode", "auto");
    follow_limits(model, ax, old_x, old_y);
  });
}

void FigureWindow::contextMenuEvent(QContextMenuEvent* e) {
  // The main window's background offers the language; its controls keep their places.
  if (detached_ || !g().exists(fig_) || g().get_text(fig_, "Tag") != "Main Figure") {
    QWidget::contextMenuEvent(e);
    return;
  }
  QSettings settings;
  QMenu* menu = language_menu(this, settings);
  menu->exec(e->globalPos());
  delete menu;
}

void FigureWindow::mousePressEvent(QMouseEvent* e) {
  QPoint p = e->position().toPoint();
  Handle ax = zoom_ ? axes_at(p) : 0;
  if (ax == 0) {
    QWidget::mousePressEvent(e);
    return;
  }
  if (e->button() == Qt::RightButton) {
    AxesView v = view(ax);
    QPointF d = v.to_data(p);
    zoom_to(ax, zoom_about({v.xlo, v.xhi}, d.x(), 0.5), zoom_about({v.ylo, v.yhi}, d.y(), 0.5));
    skip_release_ = true;
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  drag_axes_ = ax;
  drag_start_ = p;
  drag_both_ = (e->modifiers() & Qt::ShiftModifier) != 0;
  skip_release_ = false;
  band_->setGeometry(QRect(p, QSize()));
  band_->show();
}

void FigureWindow::mouseMoveEvent(QMouseEvent* e) {
  if (drag_axes_ == 0) {
    QWidget::mouseMoveEvent(e);
    return;
  }
  QRect area = view(drag_axes_).box.toAlignedRect();
  QRect band = QRect(drag_start_, e->position().toPoint()).normalized();
  // A drag on the time axis alone spans the axes' full height.
  if (zoom_drag_ == ZoomDrag::Time && !drag_both_) {
    band.setTop(area.top());
    band.setBottom(area.bottom());
  }
  band_->setGeometry(band.intersected(area));
}

void FigureWindow::mouseReleaseEvent(QMouseEvent* e) {
  band_->hide();
  Handle ax = drag_axes_;
  drag_axes_ = 0;
  if (skip_release_ || ax == 0 || e->button() != Qt::LeftButton) {
    skip_release_ = false;
    return;
  }
  if (!g().exists(ax)) return;
  AxesView v = view(ax);
  if (!v.valid()) return;
  Range xr{v.xlo, v.xhi}, yr{v.ylo, v.yhi};
  QPoint end = e->position().toPoint();
  int dx = std::abs(end.x() - drag_start_.x());
  int dy = std::abs(end.y() - drag_start_.y());
  // Plain gestures of a time zoom act on the time axis only; with Shift they act on both axes.
  const bool time_only = zoom_drag_ == ZoomDrag::Time && !drag_both_;
  if (dx < kClickSlack && dy < kClickSlack) {
    // A click zooms in by two; with Shift it zooms out by two.
    const double factor = drag_both_ ? 0.5 : 2.0;
    QPointF d = v.to_data(drag_start_);
    zoom_to(ax, zoom_about(xr, d.x(), factor), time_only ? yr : zoom_about(yr, d.y(), factor));
    return;
  }
  QPointF a = v.to_data(drag_start_);
  QPointF b = v.to_data(end);
  // A flat drag zooms along one axis only.
  Range x = dx >= kClickSlack ? span(a.x(), b.x()) : xr;
  Range y = dy >= kClickSlack && !time_only ? span(a.y(), b.y()) : yr;
  zoom_to(ax, x, y);
}

void FigureWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  Handle ax = zoom_ ? axes_at(e->position().toPoint()) : 0;
  if (ax == 0 || e->button() != Qt::LeftButton) {
    QWidget::mouseDoubleClickEvent(e);
    return;
  }
  drag_axes_ = 0;
  band_->hide();
  skip_release_ = true;
  restore_zoom(ax);
}

}  // namespace ziva
