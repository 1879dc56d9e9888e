#include "platform/render/renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/error.h"
#include "platform/core/text.h"
#include "platform/render/render_support.h"

namespace ziva {

using namespace render_detail;

bool AxesView::valid() const {
  return finite(xlo) && finite(xhi) && finite(ylo) && finite(yhi) && xlo < xhi && ylo < yhi &&
         !box.isEmpty();
}

QPointF AxesView::to_pixel(double x, double y) const {
  double fx = (x - xlo) / (xhi - xlo);
  double fy = (y - ylo) / (yhi - ylo);
  if (xreverse) fx = 1 - fx;
  if (yreverse) fy = 1 - fy;
  return {box.left() + fx * box.width(), box.bottom() - fy * box.height()};
}

QPointF AxesView::to_data(QPointF pixel) const {
  double fx = (pixel.x() - box.left()) / box.width();
  double fy = (box.bottom() - pixel.y()) / box.height();
  if (xreverse) fx = 1 - fx;
  if (yreverse) fy = 1 - fy;
  return {xlo + fx * (xhi - xlo), ylo + fy * (yhi - ylo)};
}

double fitting_pixels_per_point(const Graphics& g, Handle fig, QSize size) {
  Eigen::RowVector2d pts = g.figure_size_points(fig);
  if (!(pts(0) > 0) || size.width() <= 0) return 96.0 / 72.0;
  return size.width() / pts(0);
}

QRectF object_rect(const Graphics& g, Handle h, QSize size, double pixels_per_point) {
  return place(prop(g, h, "Position"), prop_text(g, h, "Units", "pixels"), size, pixels_per_point);
}

AxesView axes_view(const Graphics& g, Handle ax, QSize size, double pixels_per_point) {
  double ppp =
      pixels_per_point > 0 ? pixels_per_point : fitting_pixels_per_point(g, g.parent(ax), size);
  AxesView v;
  v.box = object_rect(g, ax, size, ppp);
  Eigen::RowVectorXd xl = prop_row(g, ax, "XLim");
  Eigen::RowVectorXd yl = prop_row(g, ax, "YLim");
  if (xl.size() >= 2) v.xlo = xl(0), v.xhi = xl(1);
  if (yl.size() >= 2) v.ylo = yl(0), v.yhi = yl(1);
  v.xreverse = iequals(prop_text(g, ax, "XDir", "normal"), "reverse");
  v.yreverse = iequals(prop_text(g, ax, "YDir", "normal"), "reverse");
  return v;
}

namespace render_detail {
std::vector<QRectF> control_rects(const Graphics& g, Handle fig, QSize size, double ppp) {
  std::vector<Handle> kids = g.children(fig);
  std::reverse(kids.begin(), kids.end());
  std::vector<QRectF> out;
  for (Handle h : kids) {
    if (g.type(h) == ObjType::Uicontrol && visible(g, h))
      out.push_back(object_rect(g, h, size, ppp));
  }
  return out;
}
}  // namespace render_detail

void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size) {
  render_figure(g, fig, p, size, RenderOptions());
}

void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size,
                   const RenderOptions& options) {
  if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  double ppp = options.pixels_per_point > 0 ? options.pixels_per_point
                                            : fitting_pixels_per_point(g, fig, size);
  Ctx c{g, p, size, ppp, options.screen_layout, options.wrap_texts};
  p.save();
  p.setRenderHint(QPainter::TextAntialiasing, true);
  if (options.background) {
    QColor bg = prop_color(g, fig, "Color");
    p.fillRect(QRectF(0, 0, size.width(), size.height()),
               bg.isValid() ? bg : QColor(204, 204, 204));
  }
  std::vector<Handle> kids = g.children(fig);
  std::reverse(kids.begin(), kids.end());  // creation order
  std::vector<QRectF> controls = control_rects(g, fig, size, ppp);
  if (options.axes) {
    for (Handle h : kids) {
      if (g.type(h) != ObjType::Axes) continue;
      draw_axes(c, h, controls);
    }
  }
  if (options.controls) {
    for (Handle h : kids) {
      if (g.type(h) == ObjType::Uicontrol && visible(g, h)) draw_control(c, h);
    }
  }
  p.restore();
}

}  // namespace ziva
