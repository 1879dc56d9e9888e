#include "platform/render/render_support.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva::render_detail {

// ---- property access -------------------------------------------------------------------------

Value prop(const Graphics& g, Handle h, const char* name) {
  try {
    return g.get(h, name);
  } catch (const Error&) {
    return Value();
  }
}

std::string prop_text(const Graphics& g, Handle h, const char* name, const std::string& def) {
  Value v = prop(g, h, name);
  if (v.is_text()) return v.text();
  if (v.is_list()) return v.row_text(0);
  return def;
}

double prop_number(const Graphics& g, Handle h, const char* name, double def) {
  Value v = prop(g, h, name);
  if (v.is_number() && v.num().size() > 0) return v.num()(0);
  return def;
}

bool prop_on(const Graphics& g, Handle h, const char* name, bool def) {
  Value v = prop(g, h, name);
  if (!v.is_text()) return def;
  return iequals(trim_blanks(v.text()), "on");
}

Eigen::RowVectorXd prop_row(const Graphics& g, Handle h, const char* name) {
  Value v = prop(g, h, name);
  if (!v.is_number() || v.num().size() == 0) return Eigen::RowVectorXd(0);
  const auto& m = v.num();
  return Eigen::Map<const Eigen::RowVectorXd>(m.data(), m.size());
}

bool visible(const Graphics& g, Handle h) {
  return prop_on(g, h, "Visible", true);
}

QColor prop_color(const Graphics& g, Handle h, const char* name) {
  Value v = prop(g, h, name);
  if (v.is_number() && v.num().size() >= 3) {
    const auto& m = v.num();
    return QColor::fromRgbF(static_cast<float>(std::clamp(m(0), 0.0, 1.0)),
                            static_cast<float>(std::clamp(m(1), 0.0, 1.0)),
                            static_cast<float>(std::clamp(m(2), 0.0, 1.0)));
  }
  return QColor();
}

QColor mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - t) + b.redF() * t),
                          static_cast<float>(a.greenF() * (1 - t) + b.greenF() * t),
                          static_cast<float>(a.blueF() * (1 - t) + b.blueF() * t));
}

std::vector<QString> text_lines(const Value& v) {
  std::vector<std::string> raw;
  if (v.is_text()) {
    std::string s = v.text();
    std::size_t start = 0;
    while (true) {
      std::size_t nl = s.find('\n', start);
      raw.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
  } else if (v.is_list()) {
    raw = v.rows();
  } else if (v.is_cell()) {
    for (const Value& c : v.cells()) {
      for (const QString& line : text_lines(c)) raw.push_back(line.toStdString());
    }
  } else if (v.is_number()) {
    const auto& m = v.num();
    for (Eigen::Index i = 0; i < m.size(); ++i) raw.push_back(num2str(m.data()[i]));
  }
  std::vector<QString> out;
  for (const auto& r : raw) out.push_back(QString::fromStdString(trim_trailing_blanks(r)));
  while (!out.empty() && out.back().isEmpty()) out.pop_back();
  return out;
}

double points_per_unit(const std::string& units) {
  std::string u = to_lower(trim_blanks(units));
  if (u == "points") return 1.0;
  if (u == "centimeters") return 72.0 / 2.54;
  if (u == "inches") return 72.0;
  if (u == "characters") return 5.0;
  return 72.0 / 96.0;  // pixels
}

// ---- drawing context -------------------------------------------------------------------------

QFont Ctx::font(const std::string& name, double size_pt, const std::string& weight,
                const std::string& angle) const {
  QFont f(QString::fromStdString(name.empty() ? std::string("Helvetica") : name));
  f.setStyleHint(QFont::SansSerif);
  double dpi = p.device() != nullptr ? p.device()->logicalDpiY() : 96.0;
  if (!(dpi > 0)) dpi = 96.0;
  f.setPointSizeF(std::max(0.5, size_pt * ppp * 72.0 / dpi));
  std::string w = to_lower(weight);
  if (w == "bold" || w == "demi") f.setWeight(QFont::Bold);
  if (w == "light") f.setWeight(QFont::Light);
  std::string a = to_lower(angle);
  if (a == "italic" || a == "oblique") f.setItalic(true);
  return f;
}

QFont Ctx::font_of(Handle h, double scale) const {
  return font(prop_text(g, h, "FontName", "Helvetica"), prop_number(g, h, "FontSize", 10) * scale,
              prop_text(g, h, "FontWeight", "normal"), prop_text(g, h, "FontAngle", "normal"));
}

HAlign halign_of(const std::string& s, HAlign def) {
  std::string a = to_lower(trim_blanks(s));
  if (a == "left") return HAlign::Left;
  if (a == "center" || a == "centre") return HAlign::Center;
  if (a == "right") return HAlign::Right;
  return def;
}

VAlign valign_of(const std::string& s) {
  std::string a = to_lower(trim_blanks(s));
  if (a == "top" || a == "cap") return VAlign::Top;
  if (a == "bottom") return VAlign::Bottom;
  if (a == "baseline") return VAlign::Baseline;
  return VAlign::Middle;
}

TextBlock measure(const Ctx& c, const QFont& f, std::vector<QString> lines) {
  QFontMetricsF fm = c.metrics(f);
  TextBlock b;
  for (const auto& l : lines) b.width = std::max(b.width, fm.horizontalAdvance(l));
  b.height =
      lines.empty() ? 0 : fm.lineSpacing() * static_cast<double>(lines.size() - 1) + fm.height();
  b.lines = std::move(lines);
  return b;
}

void draw_block(const Ctx& c, const TextBlock& b, const QFont& f, const QColor& color, QPointF at,
                HAlign ha, VAlign va, double degrees) {
  if (b.lines.empty() || !color.isValid()) return;
  QFontMetricsF fm = c.metrics(f);
  double x0 = ha == HAlign::Left ? 0 : ha == HAlign::Center ? -b.width / 2 : -b.width;
  double y0 = 0;
  switch (va) {
    case VAlign::Top:
      y0 = 0;
      break;
    case VAlign::Middle:
      y0 = -b.height / 2;
      break;
    case VAlign::Bottom:
      y0 = -b.height;
      break;
    case VAlign::Baseline:
      y0 = -fm.ascent() - fm.lineSpacing() * static_cast<double>(b.lines.size() - 1);
      break;
  }
  c.p.save();
  c.p.translate(at);
  if (degrees != 0) c.p.rotate(-degrees);
  c.p.setFont(f);
  c.p.setPen(color);
  for (std::size_t i = 0; i < b.lines.size(); ++i) {
    double w = fm.horizontalAdvance(b.lines[i]);
    double x = ha == HAlign::Left     ? x0
               : ha == HAlign::Center ? x0 + (b.width - w) / 2
                                      : x0 + b.width - w;
    double y = y0 + static_cast<double>(i) * fm.lineSpacing() + fm.ascent();
    c.p.drawText(QPointF(x, y), b.lines[i]);
  }
  c.p.restore();
}

// ---- geometry --------------------------------------------------------------------------------

QRectF place(const Value& pos, const std::string& units, QSize size, double ppp) {
  if (!pos.is_number() || pos.num().size() < 4) return {};
  const auto& m = pos.num();
  double l = m(0), b = m(1), w = m(2), h = m(3);
  double W = size.width(), H = size.height();
  if (iequals(trim_blanks(units), "normalized")) {
    return QRectF(l * W, H - (b + h) * H, w * W, h * H);
  }
  double k = points_per_unit(units) * ppp;
  return QRectF(l * k, H - (b + h) * k, w * k, h * k);
}

}  // namespace ziva::render_detail
