#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/text.h"
#include "platform/render/render_support.h"
#include "platform/render/renderer.h"

namespace ziva::render_detail {

namespace {

void bevel(QPainter& p, const QRectF& r, const QColor& base, bool raised, double w) {
  QColor light = mix(base, Qt::white, 0.7);
  QColor dark = mix(base, Qt::black, 0.45);
  QColor tl = raised ? light : dark, br = raised ? dark : light;
  p.setPen(QPen(tl, w));
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(QPen(br, w));
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
}

// `line` broken into lines that fit `width` in metrics `m`: at double blanks (between the fields
// of a parameter summary) where that suffices, else also at single blanks; a word wider than
// `width` keeps a line of its own.
void wrap_line(const QFontMetricsF& m, const QString& line, double width, std::vector<QString>& out,
               bool fields = true) {
  if (m.horizontalAdvance(line) <= width) {
    out.push_back(line);
    return;
  }
  const QString gap = fields ? QStringLiteral("  ") : QStringLiteral(" ");
  if (fields && !line.contains(gap)) return wrap_line(m, line, width, out, false);
  QString current;
  for (const QString& part : line.split(gap)) {
    const QString longer = current.isEmpty() ? part : current + gap + part;
    if (current.isEmpty() || m.horizontalAdvance(longer) <= width) {
      current = longer;
      continue;
    }
    wrap_line(m, current, width, out, false);
    current = part;
  }
  wrap_line(m, current, width, out, false);
}

// `text` in font `f` wrapped to `width` (wrap_line, at double blanks first when `fields`).
TextBlock wrapped(const Ctx& c, const QFont& f, const std::vector<QString>& text, double width,
                  bool fields) {
  const QFontMetricsF m = c.metrics(f);
  std::vector<QString> out;
  for (const QString& line : text) wrap_line(m, line, width, out, fields);
  return measure(c, f, out);
}

}  // namespace

void draw_control(const Ctx& c, Handle h) {
  QRectF r = object_rect(c.g, h, c.size, c.ppp);
  if (r.isEmpty()) return;
  std::string style = to_lower(trim_blanks(prop_text(c.g, h, "Style", "pushbutton")));
  QColor bg = prop_color(c.g, h, "BackgroundColor");
  if (!bg.isValid()) bg = QColor::fromRgbF(0.94f, 0.94f, 0.94f);
  QColor fg = prop_color(c.g, h, "ForegroundColor");
  if (!fg.isValid()) fg = Qt::black;
  if (iequals(prop_text(c.g, h, "Enable", "on"), "off")) fg = mix(fg, bg, 0.55);
  double lw = std::max(1.0, 0.75 * c.ppp);
  double pad = 2 * c.ppp;
  std::vector<QString> lines = text_lines(prop(c.g, h, "String"));
  HAlign ha = halign_of(prop_text(c.g, h, "HorizontalAlignment"), HAlign::Center);

  // Text in `area`, its font reduced (not below 55 %) to fit the height and, if `fit_width`,
  // the width; a text still wider than the area shows its beginning and is cut at the area.
  auto caption = [&](const std::vector<QString>& text, QRectF area, HAlign align, bool fit_width,
                     bool top) {
    if (text.empty() || area.width() <= 0 || area.height() <= 0) return;
    QFont f = c.font_of(h);
    TextBlock blk = measure(c, f, text);
    double scale = std::min(1.0, area.height() / std::max(1e-9, blk.height));
    if (fit_width) scale = std::min(scale, area.width() / std::max(1e-9, blk.width));
    if (scale < 0.999) {
      f = c.font_of(h, std::max(0.55, scale * 0.98));
      blk = measure(c, f, text);
    }
    if (blk.width > area.width()) align = HAlign::Left;
    double x = align == HAlign::Left     ? area.left()
               : align == HAlign::Center ? area.center().x()
                                         : area.right();
    QPointF at(x, top ? area.top() : area.center().y());
    c.p.save();
    c.p.setClipRect(area.adjusted(-1, -1, 1, 1));
    draw_block(c, blk, f, fg, at, align, top ? VAlign::Top : VAlign::Middle, 0);
    c.p.restore();
  };

  // The whole text in `area` at the font's size, wrapped at blanks to its width (between fields
  // where that fits) and made smaller only while it is still too tall or a word too wide.
  auto whole = [&](const std::vector<QString>& text, QRectF area, HAlign align) {
    if (text.empty() || area.width() <= 0 || area.height() <= 0) return;
    auto fits = [&](const TextBlock& b) {
      return b.height <= area.height() && b.width <= area.width();
    };
    QFont f;
    TextBlock blk;
    for (double s = 1; s > 0.3; s *= 0.9) {
      f = c.font_of(h, s);
      blk = wrapped(c, f, text, area.width(), true);
      if (fits(blk)) break;
      blk = wrapped(c, f, text, area.width(), false);
      if (fits(blk)) break;
    }
    if (blk.width > area.width()) align = HAlign::Left;
    const double x = align == HAlign::Left     ? area.left()
                     : align == HAlign::Center ? area.center().x()
                                               : area.right();
    c.p.save();
    c.p.setClipRect(area.adjusted(-1, -1, 1, 1));
    draw_block(c, blk, f, fg, QPointF(x, area.center().y()), align, VAlign::Middle, 0);
    c.p.restore();
  };

  c.p.save();
  c.p.setRenderHint(QPainter::Antialiasing, false);
  if (style == "frame") {
    c.p.fillRect(r, bg);
    QRectF e = r.adjusted(lw / 2, lw / 2, -lw, -lw);
    bevel(c.p, e, bg, false, lw);
    bevel(c.p, e.adjusted(lw, lw, lw, lw), bg, true, lw);
  } else if (style == "text") {
    c.p.fillRect(r, bg);
    if (c.wrap) {
      whole(lines, r, ha);
    } else {
      caption(lines, r, ha, true, false);
    }
  } else if (style == "edit" || style == "listbox") {
    c.p.fillRect(r, bg);
    c.p.setPen(QPen(mix(bg, Qt::black, 0.45), lw));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawRect(r.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2));
    QRectF area = r.adjusted(pad + lw, lw, -pad - lw, -lw);
    bool multi = prop_number(c.g, h, "Max", 1) - prop_number(c.g, h, "Min", 0) > 1;
    if (style == "listbox" || multi) {
      caption(lines, area, HAlign::Left, false, true);
    } else {
      std::vector<QString> one;
      if (!lines.empty()) one.push_back(lines.front());
      if (c.wrap) {
        whole(one, area, ha);
      } else {
        caption(one, area, ha, false, false);
      }
    }
  } else if (style == "checkbox" || style == "radiobutton") {
    c.p.fillRect(r, bg);
    double s = std::min(r.height() - 2 * lw, 9.0 * c.ppp);
    s = std::max(s, 3.0);
    QRectF box(r.left() + pad, r.center().y() - s / 2, s, s);
    bool on = prop_number(c.g, h, "Value", 0) == prop_number(c.g, h, "Max", 1);
    c.p.setRenderHint(QPainter::Antialiasing, true);
    c.p.setPen(QPen(mix(fg, bg, 0.3), lw));
    c.p.setBrush(Qt::white);
    if (style == "checkbox") {
      c.p.drawRect(box);
      if (on) {
        c.p.setPen(QPen(fg, std::max(1.5, s / 6), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick({QPointF(box.left() + 0.2 * s, box.top() + 0.55 * s),
                        QPointF(box.left() + 0.42 * s, box.top() + 0.78 * s),
                        QPointF(box.left() + 0.82 * s, box.top() + 0.25 * s)});
        c.p.drawPolyline(tick);
      }
    } else {
      c.p.drawEllipse(box);
      if (on) {
        c.p.setPen(Qt::NoPen);
        c.p.setBrush(fg);
        c.p.drawEllipse(box.center(), s / 4, s / 4);
      }
    }
    c.p.setRenderHint(QPainter::Antialiasing, false);
    caption(lines, QRectF(box.right() + pad, r.top(), r.right() - box.right() - pad, r.height()),
            HAlign::Left, false, false);
  } else if (style == "popupmenu") {
    c.p.fillRect(r, bg);
    bevel(c.p, r.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2), bg, true, lw);
    double arrow = std::min(r.height() * 0.8, 12.0 * c.ppp);
    QRectF ar(r.right() - arrow - lw, r.top() + lw, arrow, r.height() - 2 * lw);
    c.p.setRenderHint(QPainter::Antialiasing, true);
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(fg);
    double t = std::min(ar.width(), ar.height()) * 0.3;
    QPointF m = ar.center();
    c.p.drawPolygon(
        QPolygonF({m + QPointF(-t, -t / 2), m + QPointF(t, -t / 2), m + QPointF(0, t / 2)}));
    c.p.setRenderHint(QPainter::Antialiasing, false);
    auto index = static_cast<long long>(prop_number(c.g, h, "Value", 1)) - 1;
    std::vector<QString> entry;
    if (index >= 0 && index < static_cast<long long>(lines.size()))
      entry.push_back(lines[static_cast<std::size_t>(index)]);
    caption(entry, QRectF(r.left() + pad + lw, r.top(), ar.left() - r.left() - 2 * pad, r.height()),
            HAlign::Left, false, false);
  } else if (style == "slider") {
    c.p.fillRect(r, mix(bg, Qt::black, 0.1));
    bevel(c.p, r, bg, false, lw);
  } else {  // push button and toggle button
    c.p.fillRect(r, bg);
    bool pressed =
        style == "togglebutton" && prop_number(c.g, h, "Value", 0) == prop_number(c.g, h, "Max", 1);
    QRectF e = r.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2);
    bevel(c.p, e, bg, !pressed, lw);
    caption(lines, r.adjusted(pad, lw, -pad, -lw), HAlign::Center, true, false);
  }
  c.p.restore();
}

}  // namespace ziva::render_detail
