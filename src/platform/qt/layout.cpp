#include "platform/qt/layout.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>

#include "platform/core/text.h"

namespace ziva {

namespace {
constexpr double kPointsPerPixel = 72.0 / 96.0;
}

double points_per_unit(const std::string& units) {
  std::string u = to_lower(units);
  if (u == "points") return 1.0;
  if (u == "centimeters") return 72.0 / 2.54;
  if (u == "inches") return 72.0;
  if (u == "characters") return 5.0;
  return kPointsPerPixel;
}

QSize figure_window_size(const Graphics& g, Handle fig, double scale) {
  Eigen::RowVector2d pt = g.figure_size_points(fig);
  int w = static_cast<int>(std::lround(pt(0) / kPointsPerPixel * scale));
  int h = static_cast<int>(std::lround(pt(1) / kPointsPerPixel * scale));
  return {std::max(w, 1), std::max(h, 1)};
}

QRect place(const Eigen::RowVectorXd& position, const std::string& units, QSize window,
            double scale) {
  if (position.size() < 4) return {};
  double W = window.width();
  double H = window.height();
  double left, bottom, width, height;
  if (iequals(units, "normalized")) {
    left = position(0) * W;
    bottom = position(1) * H;
    width = position(2) * W;
    height = position(3) * H;
  } else {
    double k = points_per_unit(units) / kPointsPerPixel * scale;
    left = position(0) * k;
    bottom = position(1) * k;
    width = position(2) * k;
    height = position(3) * k;
  }
  auto clampi = [](double v) { return static_cast<int>(std::clamp(std::round(v), -1e6, 1e6)); };
  int x0 = clampi(left);
  int x1 = clampi(left + width);
  int y0 = clampi(H - bottom - height);
  int y1 = clampi(H - bottom);
  return QRect(QPoint(x0, y0), QSize(std::max(x1 - x0, 0), std::max(y1 - y0, 0)));
}

QRect control_rect(const Graphics& g, Handle h, QSize window, double scale) {
  return place(g.get_row(h, "Position"), g.get_text(h, "Units"), window, scale);
}

std::optional<QPoint> beside(const QRect& main, QSize frame, const QRect& avail) {
  const int gap = 8;
  const int top = std::max(avail.top(), std::min(main.top(), avail.bottom() + 1 - frame.height()));
  if (main.right() + 1 + gap + frame.width() <= avail.right() + 1)
    return QPoint(main.right() + 1 + gap, top);
  if (main.left() - gap - frame.width() >= avail.left())
    return QPoint(main.left() - gap - frame.width(), top);
  return std::nullopt;
}

QPoint cascade_step(QPoint at, QSize frame, const QRect& avail, int step) {
  const int right = std::max(avail.left(), avail.right() + 1 - frame.width());
  const int bottom = std::max(avail.top(), avail.bottom() + 1 - frame.height());
  return {std::clamp(at.x() + step, std::min(at.x(), avail.left()), std::max(at.x(), right)),
          std::clamp(at.y() + step, std::min(at.y(), avail.top()), std::max(at.y(), bottom))};
}

void bring_to_front(QWidget* w) {
  if (QGuiApplication::platformName() != "offscreen") w->raise();
}

}  // namespace ziva
