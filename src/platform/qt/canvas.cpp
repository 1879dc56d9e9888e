#include "platform/qt/canvas.h"

#include "platform/core/text.h"
#include "platform/render/renderer.h"

namespace ziva {

double canvas_pixels_per_point(const Graphics& g, Handle fig, double scale) {
  constexpr double kScreen = 96.0 / 72.0;
  for (Handle c : g.children(fig)) {
    if (g.type(c) == ObjType::Axes && g.is_on(c, "Visible") &&
        !iequals(g.get_text(c, "Units"), "normalized"))
      return kScreen * scale;
  }
  return kScreen;
}

void draw_canvas(const Graphics& g, Handle fig, QPainter& painter, QSize size, double scale) {
  RenderOptions options;
  options.pixels_per_point = canvas_pixels_per_point(g, fig, scale);
  options.controls = false;
  options.screen_layout = true;
  painter.setRenderHint(QPainter::Antialiasing);
  render_figure(g, fig, painter, size, options);
}

}  // namespace ziva
