// Draws a figure of the graphics object model with QPainter, the same way into a window or into
// an image: background, axes with their curves, texts, patches and images, and the controls.
#pragma once

#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include "platform/core/graphics.h"

namespace ziva {

struct RenderOptions {
  // Device pixels per typographic point (fonts, line widths, marker sizes and positions given in
  // pixels or points). 0: the canvas width divided by the figure's width in points, so that the
  // whole figure scales like a print.
  double pixels_per_point = 0;
  bool background = true;  // fill the canvas with the figure's "Color"
  bool axes = true;        // draw the axes and their children
  bool controls = true;    // draw the uicontrols as they would look
  // The window layout: automatic ticks as dense as the canvas allows, axes moved in so that their
  // labels and the texts beside them fit between the controls and the canvas edge, y label always
  // rotated beside its axis. Off for prints, which keep the figure's own ticks and places.
  bool screen_layout = false;
  // Static texts keep their font and are wrapped at blanks to their box's width, shrunk only
  // when the wrapped text is still too tall, instead of being shrunk to fit or cut (prints in
  // the window layout, which have no tooltip to show the whole text).
  bool wrap_texts = false;
};

// Draws figure `fig` onto the rectangle (0, 0, size) of `p`. Invisible objects are skipped;
// non-finite curve points break a curve instead of being drawn.
void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size);
void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size,
                   const RenderOptions& options);

// Where an axes draws its data on a canvas and how data coordinates map onto it.
struct AxesView {
  QRectF box;  // the axes rectangle in canvas pixels (origin top left)
  double xlo = 0, xhi = 1, ylo = 0, yhi = 1;
  bool xreverse = false, yreverse = false;

  // False when the limits are unusable (not finite or not increasing) or the box is empty.
  bool valid() const;
  QPointF to_pixel(double x, double y) const;
  // The data coordinates (x, y) of a canvas point.
  QPointF to_data(QPointF pixel) const;
};

// The view of axes `ax` on a canvas of `size` pixels; `pixels_per_point` as in RenderOptions
// (0 = derived from the canvas width).
AxesView axes_view(const Graphics& g, Handle ax, QSize size, double pixels_per_point = 0);

// The same in the window layout (RenderOptions::screen_layout): the axes box may be moved in to
// make room for the labels and the texts beside it.
AxesView screen_axes_view(const Graphics& g, Handle ax, QSize size, double pixels_per_point);

// The canvas rectangle of a positioned object (axes or uicontrol) from its "Position" and
// "Units": normalised positions are fractions of the canvas, others are converted to points.
QRectF object_rect(const Graphics& g, Handle h, QSize size, double pixels_per_point);

// Pixels per point when figure `fig` is drawn on a canvas of `size` (its width in points fills
// the canvas width).
double fitting_pixels_per_point(const Graphics& g, Handle fig, QSize size);

// The colour map a figure uses: its "Colormap" (m x 3) or, when empty, default_colormap().
Eigen::MatrixX3d figure_colormap(const Graphics& g, Handle fig);
// The default colour map: `n` colours from dark blue-violet to light yellow whose lightness rises
// steadily, so that ordered values read as ordered shades also in grey.
Eigen::MatrixX3d default_colormap(int n = 256);

}  // namespace ziva
