// Shared pieces of the figure renderer: tolerant property reading, fonts and text blocks at the
// canvas scale, and object placement on the canvas. Internal to platform/render.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <cmath>
#include <string>
#include <vector>

#include "platform/core/graphics.h"

namespace ziva::render_detail {

// A property's value, or absent when the object has no such property.
Value prop(const Graphics& g, Handle h, const char* name);
std::string prop_text(const Graphics& g, Handle h, const char* name, const std::string& def = {});
double prop_number(const Graphics& g, Handle h, const char* name, double def);
bool prop_on(const Graphics& g, Handle h, const char* name, bool def = false);
Eigen::RowVectorXd prop_row(const Graphics& g, Handle h, const char* name);
bool visible(const Graphics& g, Handle h);
// A colour property: an RGB triple, or an invalid colour for "none" and other texts.
QColor prop_color(const Graphics& g, Handle h, const char* name);
QColor mix(const QColor& a, const QColor& b, double t);

// The lines a text property shows: a text split at line breaks, a list's rows, a cell list's
// texts, numbers as the program writes them. Trailing blanks are not shown.
std::vector<QString> text_lines(const Value& v);

double points_per_unit(const std::string& units);
inline bool finite(double a) {
  return std::isfinite(a);
}

// What every drawing step needs: the model, the painter, the canvas and its scale.
struct Ctx {
  const Graphics& g;
  QPainter& p;
  QSize size;
  double ppp;           // pixels per point
  bool screen = false;  // the window layout (RenderOptions::screen_layout)
  bool wrap = false;    // RenderOptions::wrap_texts

  // A font whose size in points becomes size_pt * ppp pixels on this painter's device.
  QFont font(const std::string& name, double size_pt, const std::string& weight,
             const std::string& angle) const;
  // The font of an object with the usual font properties, its size scaled by `scale`.
  QFont font_of(Handle h, double scale = 1.0) const;
  QFontMetricsF metrics(const QFont& f) const { return QFontMetricsF(f, p.device()); }
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Middle, Bottom, Baseline };
HAlign halign_of(const std::string& s, HAlign def);
VAlign valign_of(const std::string& s);

struct TextBlock {
  std::vector<QString> lines;
  double width = 0;   // widest line
  double height = 0;  // all lines
};
TextBlock measure(const Ctx& c, const QFont& f, std::vector<QString> lines);
// Draws a block of lines anchored at `at`, rotated counter-clockwise by `degrees` about the anchor.
void draw_block(const Ctx& c, const TextBlock& b, const QFont& f, const QColor& color, QPointF at,
                HAlign ha, VAlign va, double degrees);

// The canvas rectangle of a [left bottom width height] position in `units`.
QRectF place(const Value& pos, const std::string& units, QSize size, double ppp);

// One axes with its children, ticks, grid, labels and title. `obstacles` are the rectangles of
// the figure's controls, which the y label keeps clear of.
void draw_axes(const Ctx& c, Handle ax, const std::vector<QRectF>& obstacles);
// The canvas rectangles of the figure's visible controls.
std::vector<QRectF> control_rects(const Graphics& g, Handle fig, QSize size, double ppp);
// One uicontrol as it would look.
void draw_control(const Ctx& c, Handle h);

}  // namespace ziva::render_detail
