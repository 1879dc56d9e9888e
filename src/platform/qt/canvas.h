// The drawn part of a figure window: background and axes with their contents, by the shared
// renderer. Controls are widgets of their own and lie on top.
#pragma once

#include <QPainter>
#include <QSize>

#include "platform/core/graphics.h"

namespace ziva {

// Pixels per point on a window showing figure `fig` `scale` times its model size: fonts keep
// their natural screen size while normalised positions fill the window; a figure that places
// axes in absolute units is zoomed as a whole, so that those axes keep their place.
double canvas_pixels_per_point(const Graphics& g, Handle fig, double scale);

// Draws figure `fig` without its controls into `size` window pixels.
void draw_canvas(const Graphics& g, Handle fig, QPainter& painter, QSize size, double scale);

}  // namespace ziva
