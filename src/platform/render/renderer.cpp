#include "platform/render/renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

namespace {

// ---- property access -------------------------------------------------------------------------

Value prop(const Graphics& g, Handle h, const char* name) {
  try {
    return g.get(h, name);
  } catch (const Error&) {
    return Value();
  }
}

std::string prop_text(const Graphics& g, Handle h, const char* name, const std::string& def = {}) {
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

bool prop_on(const Graphics& g, Handle h, const char* name, bool def = false) {
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

// A colour property: an RGB triple, or an invalid colour for "none" and other texts.
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

// The lines a text property shows: a text split at line breaks, a list's rows, a cell list's
// texts, numbers as the program writes them. Trailing blanks are not shown.
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

bool finite(double a) {
  return std::isfinite(a);
}

// ---- drawing context -------------------------------------------------------------------------

struct Ctx {
  const Graphics& g;
  QPainter& p;
  QSize size;
  double ppp;  // pixels per point

  QFont font(const std::string& name, double size_pt, const std::string& weight,
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
  // The font of an object with the usual font properties, scaled by `scale`.
  QFont font_of(Handle h, double scale = 1.0) const {
    return font(prop_text(g, h, "FontName", "Helvetica"), prop_number(g, h, "FontSize", 10) * scale,
                prop_text(g, h, "FontWeight", "normal"), prop_text(g, h, "FontAngle", "normal"));
  }
  QFontMetricsF metrics(const QFont& f) const { return QFontMetricsF(f, p.device()); }
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Middle, Bottom, Baseline };

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

struct TextBlock {
  std::vector<QString> lines;
  double width = 0;   // widest line
  double height = 0;  // all lines
};

TextBlock measure(const Ctx& c, const QFont& f, std::vector<QString> lines) {
  QFontMetricsF fm = c.metrics(f);
  TextBlock b;
  for (const auto& l : lines) b.width = std::max(b.width, fm.horizontalAdvance(l));
  b.height =
      lines.empty() ? 0 : fm.lineSpacing() * static_cast<double>(lines.size() - 1) + fm.height();
  b.lines = std::move(lines);
  return b;
}

// Draws a block of lines anchored at `at`, rotated counter-clockwise by `degrees` about the anchor.
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

// Cuts the segment a-b to `r` (Liang-Barsky); false when nothing of it lies inside. A cut end
// lies exactly on the edge that cut it, however far away the original end was.
bool clip_segment(const QRectF& r, QPointF& a, QPointF& b) {
  double t0 = 0, t1 = 1;
  int e0 = -1, e1 = -1;
  double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t, e0 = i;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t, e1 = i;
    }
  }
  auto cut = [&](double t, int edge) {
    QPointF c(a.x() + t * dx, a.y() + t * dy);
    const double edges[4] = {r.left(), r.right(), r.top(), r.bottom()};
    if (edge < 2) {
      c.setX(edges[edge]);
    } else {
      c.setY(edges[edge]);
    }
    return c;
  };
  if (e1 >= 0) b = cut(t1, e1);  // uses the original a
  if (e0 >= 0) a = cut(t0, e0);
  return true;
}

// Cuts a polygon to `r` (Sutherland-Hodgman), so that far-away vertices never reach the painter.
QPolygonF clip_polygon(const QPolygonF& poly, const QRectF& r) {
  QPolygonF out = poly;
  for (int edge = 0; edge < 4 && !out.isEmpty(); ++edge) {
    auto inside = [&](const QPointF& q) {
      switch (edge) {
        case 0:
          return q.x() >= r.left();
        case 1:
          return q.x() <= r.right();
        case 2:
          return q.y() >= r.top();
        default:
          return q.y() <= r.bottom();
      }
    };
    auto cross = [&](const QPointF& s, const QPointF& e) {
      double t = 0;
      switch (edge) {
        case 0:
          t = (r.left() - s.x()) / (e.x() - s.x());
          break;
        case 1:
          t = (r.right() - s.x()) / (e.x() - s.x());
          break;
        case 2:
          t = (r.top() - s.y()) / (e.y() - s.y());
          break;
        default:
          t = (r.bottom() - s.y()) / (e.y() - s.y());
          break;
      }
      return QPointF(s.x() + t * (e.x() - s.x()), s.y() + t * (e.y() - s.y()));
    };
    QPolygonF in = out;
    out.clear();
    for (qsizetype i = 0; i < in.size(); ++i) {
      QPointF cur = in[i];
      QPointF prev = in[(i + in.size() - 1) % in.size()];
      if (inside(cur)) {
        if (!inside(prev)) out << cross(prev, cur);
        out << cur;
      } else if (inside(prev)) {
        out << cross(prev, cur);
      }
    }
  }
  return out;
}

// ---- axes ------------------------------------------------------------------------------------

std::optional<Qt::PenStyle> pen_style(const std::string& s) {
  std::string t = trim_blanks(s);
  if (t == "-") return Qt::SolidLine;
  if (t == "--") return Qt::DashLine;
  if (t == ":") return Qt::DotLine;
  if (t == "-.") return Qt::DashDotLine;
  return std::nullopt;  // "none"
}

class AxesPainter {
 public:
  AxesPainter(const Ctx& c, Handle ax) : c_(c), ax_(ax) {}

  void draw(const std::vector<QRectF>& obstacles);

 private:
  void draw_grid();
  void draw_children();
  void draw_line(Handle h);
  void draw_patch(Handle h);
  void draw_image(Handle h);
  void draw_text(Handle h);
  void draw_frame();
  void draw_labels(const std::vector<QRectF>& obstacles);
  QPointF text_anchor(Handle h) const;
  QColor axis_color(char axis) const;
  std::vector<double> ticks(char axis) const;
  std::vector<double> minor_ticks(char axis) const;
  std::vector<QString> tick_labels(char axis, const std::vector<double>& t) const;
  double tick_length() const {
    return std::max(2.0, 0.01 * std::max(v_.box.width(), v_.box.height()));
  }
  double gap() const { return 0.35 * c_.metrics(c_.font_of(ax_)).height(); }

  const Ctx& c_;
  Handle ax_;
  AxesView v_;
  bool shown_ = true;
  double xlabels_bottom_ = 0;  // lowest pixel row used by the x tick labels
  double ylabels_left_ = 0;    // leftmost pixel column used by the y tick labels
};

QColor AxesPainter::axis_color(char axis) const {
  QColor col = prop_color(c_.g, ax_, axis == 'x' ? "XColor" : "YColor");
  return col.isValid() ? col : QColor(Qt::black);
}

std::vector<double> AxesPainter::ticks(char axis) const {
  Eigen::RowVectorXd t = prop_row(c_.g, ax_, axis == 'x' ? "XTick" : "YTick");
  double lo = axis == 'x' ? v_.xlo : v_.ylo;
  double hi = axis == 'x' ? v_.xhi : v_.yhi;
  double tol = (hi - lo) * 1e-9;
  std::vector<double> out;
  for (Eigen::Index i = 0; i < t.size(); ++i) {
    if (finite(t(i)) && t(i) >= lo - tol && t(i) <= hi + tol) out.push_back(t(i));
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<double> AxesPainter::minor_ticks(char axis) const {
  Eigen::RowVectorXd t = prop_row(c_.g, ax_, axis == 'x' ? "XTick" : "YTick");
  std::vector<double> major(t.data(), t.data() + t.size());
  std::sort(major.begin(), major.end());
  if (major.size() < 2) return {};
  double step = major[1] - major[0];
  if (!(step > 0) || !finite(step)) return {};
  double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
  int n = std::abs(mantissa - 2) < 1e-6 ? 4 : 5;
  double sub = step / n;
  double lo = axis == 'x' ? v_.xlo : v_.ylo;
  double hi = axis == 'x' ? v_.xhi : v_.yhi;
  double kfirst = std::ceil((lo - major[0]) / sub - 1e-9);
  double klast = std::floor((hi - major[0]) / sub + 1e-9);
  std::vector<double> out;
  if (klast - kfirst > 2000) return out;
  for (double k = kfirst; k <= klast; k += 1) {
    long long ki = static_cast<long long>(k);
    if (ki % n == 0) continue;
    out.push_back(major[0] + k * sub);
  }
  return out;
}

std::vector<QString> AxesPainter::tick_labels(char axis, const std::vector<double>& t) const {
  std::vector<QString> out;
  bool manual =
      iequals(prop_text(c_.g, ax_, axis == 'x' ? "XTickLabelMode" : "YTickLabelMode"), "manual");
  if (manual) {
    Value v = prop(c_.g, ax_, axis == 'x' ? "XTickLabel" : "YTickLabel");
    std::vector<QString> given;
    if (v.is_text()) {
      for (const QString& s : QString::fromStdString(v.text()).split('|'))
        given.push_back(s.trimmed());
    } else {
      given = text_lines(v);
    }
    for (std::size_t i = 0; i < t.size(); ++i)
      out.push_back(given.empty() ? QString() : given[i % given.size()]);
    return out;
  }
  double step = t.size() > 1 ? t[1] - t[0] : 1.0;
  double biggest = 0;
  for (double x : t) biggest = std::max(biggest, std::abs(x));
  for (double x : t) {
    if (step >= 1e-4 && biggest < 1e15) {
      out.push_back(QString::fromStdString(num2str(x)));
    } else {
      out.push_back(QString::number(x, 'g', 6));
    }
  }
  return out;
}

void AxesPainter::draw(const std::vector<QRectF>& obstacles) {
  v_ = axes_view(c_.g, ax_, c_.size, c_.ppp);
  QRectF canvas(0, 0, c_.size.width(), c_.size.height());
  if (v_.box.isEmpty() || !v_.box.intersects(canvas)) return;
  shown_ = visible(c_.g, ax_);
  if (shown_) {
    QColor bg = prop_color(c_.g, ax_, "Color");
    if (bg.isValid()) c_.p.fillRect(v_.box, bg);
    if (v_.valid()) draw_grid();
  }
  if (v_.valid()) draw_children();
  if (shown_ && v_.valid()) draw_frame();
  draw_labels(obstacles);
}

void AxesPainter::draw_grid() {
  QColor bg = prop_color(c_.g, ax_, "Color");
  if (!bg.isValid()) bg = Qt::white;
  c_.p.save();
  c_.p.setRenderHint(QPainter::Antialiasing, false);
  for (char axis : {'x', 'y'}) {
    const std::string a(1, static_cast<char>(std::toupper(axis)));
    QColor major_col = mix(axis_color(axis), bg, 0.78);
    QColor minor_col = mix(axis_color(axis), bg, 0.88);
    auto lines = [&](const std::vector<double>& at, const QColor& col, Qt::PenStyle style) {
      QPen pen(col, std::max(1.0, 0.5 * c_.ppp), style);
      c_.p.setPen(pen);
      for (double t : at) {
        if (axis == 'x') {
          double x = v_.to_pixel(t, v_.ylo).x();
          c_.p.drawLine(QPointF(x, v_.box.top()), QPointF(x, v_.box.bottom()));
        } else {
          double y = v_.to_pixel(v_.xlo, t).y();
          c_.p.drawLine(QPointF(v_.box.left(), y), QPointF(v_.box.right(), y));
        }
      }
    };
    if (prop_on(c_.g, ax_, (a + "MinorGrid").c_str()))
      lines(minor_ticks(axis), minor_col, Qt::DotLine);
    if (prop_on(c_.g, ax_, (a + "Grid").c_str())) lines(ticks(axis), major_col, Qt::SolidLine);
  }
  c_.p.restore();
}

void AxesPainter::draw_children() {
  std::vector<Handle> kids = c_.g.children(ax_);
  std::reverse(kids.begin(), kids.end());  // oldest first: the newest lies on top
  for (Handle h : kids) {
    if (!visible(c_.g, h)) continue;
    switch (c_.g.type(h)) {
      case ObjType::Line:
        draw_line(h);
        break;
      case ObjType::Patch:
        draw_patch(h);
        break;
      case ObjType::Image:
        draw_image(h);
        break;
      case ObjType::Text:
        draw_text(h);
        break;
      default:
        break;
    }
  }
}

void AxesPainter::draw_line(Handle h) {
  Eigen::RowVectorXd x = prop_row(c_.g, h, "XData");
  Eigen::RowVectorXd y = prop_row(c_.g, h, "YData");
  if (x.size() == 0) x = Eigen::RowVectorXd::LinSpaced(y.size(), 1, static_cast<double>(y.size()));
  Eigen::Index n = std::min(x.size(), y.size());
  if (n == 0) return;
  QColor col = prop_color(c_.g, h, "Color");
  if (!col.isValid()) col = Qt::black;
  double width = std::max(0.5, prop_number(c_.g, h, "LineWidth", 0.5)) * c_.ppp;
  std::vector<QPointF> pts(static_cast<std::size_t>(n));
  std::vector<char> ok(static_cast<std::size_t>(n));
  for (Eigen::Index i = 0; i < n; ++i) {
    auto k = static_cast<std::size_t>(i);
    ok[k] = finite(x(i)) && finite(y(i));
    if (ok[k]) {
      pts[k] = v_.to_pixel(x(i), y(i));
      ok[k] = finite(pts[k].x()) && finite(pts[k].y());
    }
  }
  c_.p.save();
  c_.p.setClipRect(v_.box);
  c_.p.setRenderHint(QPainter::Antialiasing, true);
  if (auto style = pen_style(prop_text(c_.g, h, "LineStyle", "-"))) {
    QRectF clip = v_.box.adjusted(-2 * width, -2 * width, 2 * width, 2 * width);
    QPainterPath path;
    bool open = false;
    QPointF last;
    for (std::size_t i = 1; i < pts.size(); ++i) {
      if (!ok[i - 1] || !ok[i]) {
        open = false;
        continue;
      }
      QPointF a = pts[i - 1], b = pts[i];
      if (!clip_segment(clip, a, b)) {
        open = false;
        continue;
      }
      if (!open || a != last) path.moveTo(a);
      path.lineTo(b);
      last = b;
      open = true;
    }
    QPen pen(col, width, *style, Qt::FlatCap, Qt::RoundJoin);
    if (*style == Qt::SolidLine) pen.setCapStyle(Qt::RoundCap);
    c_.p.setPen(pen);
    c_.p.setBrush(Qt::NoBrush);
    c_.p.drawPath(path);
  }
  std::string marker = trim_blanks(prop_text(c_.g, h, "Marker", "none"));
  if (!marker.empty() && !iequals(marker, "none")) {
    QColor edge = prop_color(c_.g, h, "MarkerEdgeColor");
    if (!edge.isValid() && iequals(prop_text(c_.g, h, "MarkerEdgeColor"), "auto")) edge = col;
    QColor face = prop_color(c_.g, h, "MarkerFaceColor");
    if (!face.isValid() && iequals(prop_text(c_.g, h, "MarkerFaceColor"), "auto")) face = col;
    double size = std::max(1.0, prop_number(c_.g, h, "MarkerSize", 6)) * c_.ppp;
    QRectF inside = v_.box.adjusted(-size, -size, size, size);
    for (std::size_t i = 0; i < pts.size(); ++i) {
      if (!ok[i] || !inside.contains(pts[i])) continue;
      double r = size / 2;
      QPointF at = pts[i];
      if (marker == ".") {
        double d = std::max(1.5, size / 3);
        c_.p.setPen(Qt::NoPen);
        c_.p.setBrush(edge.isValid() ? edge : col);
        c_.p.drawEllipse(at, d / 2, d / 2);
        continue;
      }
      c_.p.setPen(edge.isValid() ? QPen(edge, std::max(1.0, 0.5 * c_.ppp)) : QPen(Qt::NoPen));
      c_.p.setBrush(face.isValid() ? QBrush(face) : QBrush(Qt::NoBrush));
      if (marker == "o") {
        c_.p.drawEllipse(at, r, r);
      } else if (marker == "+") {
        c_.p.drawLine(at + QPointF(-r, 0), at + QPointF(r, 0));
        c_.p.drawLine(at + QPointF(0, -r), at + QPointF(0, r));
      } else if (marker == "x") {
        double d = r * 0.7071;
        c_.p.drawLine(at + QPointF(-d, -d), at + QPointF(d, d));
        c_.p.drawLine(at + QPointF(-d, d), at + QPointF(d, -d));
      } else if (marker == "*") {
        double d = r * 0.7071;
        c_.p.drawLine(at + QPointF(-r, 0), at + QPointF(r, 0));
        c_.p.drawLine(at + QPointF(0, -r), at + QPointF(0, r));
        c_.p.drawLine(at + QPointF(-d, -d), at + QPointF(d, d));
        c_.p.drawLine(at + QPointF(-d, d), at + QPointF(d, -d));
      } else if (marker == "s" || marker == "square") {
        c_.p.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
      } else if (marker == "d" || marker == "diamond") {
        c_.p.drawPolygon(QPolygonF(
            {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r), at + QPointF(-r, 0)}));
      } else if (marker == "^" || marker == "v" || marker == "<" || marker == ">") {
        double s = marker == "^" || marker == "<" ? -1 : 1;
        QPolygonF tri = marker == "^" || marker == "v"
                            ? QPolygonF({at + QPointF(0, s * r), at + QPointF(-r, -s * r),
                                         at + QPointF(r, -s * r)})
                            : QPolygonF({at + QPointF(-s * -r, 0), at + QPointF(s * -r, -r),
                                         at + QPointF(s * -r, r)});
        c_.p.drawPolygon(tri);
      } else {
        c_.p.drawEllipse(at, r, r);
      }
    }
  }
  c_.p.restore();
}

void AxesPainter::draw_patch(Handle h) {
  Value xv = prop(c_.g, h, "XData");
  Value yv = prop(c_.g, h, "YData");
  if (!xv.is_number() || !yv.is_number()) return;
  Eigen::MatrixXd x = xv.num(), y = yv.num();
  if (x.size() == 0 || x.size() != y.size()) return;
  if (x.rows() == 1) {
    x.transposeInPlace();
    y.transposeInPlace();
  }
  if (y.rows() != x.rows()) y.resize(x.rows(), x.cols());
  QColor face = prop_color(c_.g, h, "FaceColor");
  QColor edge = prop_color(c_.g, h, "EdgeColor");
  std::string face_mode = to_lower(prop_text(c_.g, h, "FaceColor"));
  if (!face.isValid() && (face_mode == "flat" || face_mode == "interp"))
    face = edge.isValid() ? edge : Qt::black;
  double width = std::max(0.5, prop_number(c_.g, h, "LineWidth", 0.5)) * c_.ppp;
  QRectF clip = v_.box.adjusted(-2 * width - 2, -2 * width - 2, 2 * width + 2, 2 * width + 2);
  c_.p.save();
  c_.p.setClipRect(v_.box);
  c_.p.setRenderHint(QPainter::Antialiasing, true);
  c_.p.setPen(edge.isValid() ? QPen(edge, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin)
                             : QPen(Qt::NoPen));
  c_.p.setBrush(face.isValid() ? QBrush(face) : QBrush(Qt::NoBrush));
  for (Eigen::Index col = 0; col < x.cols(); ++col) {
    QPolygonF poly;
    for (Eigen::Index r = 0; r < x.rows(); ++r) {
      if (!finite(x(r, col)) || !finite(y(r, col))) continue;
      QPointF q = v_.to_pixel(x(r, col), y(r, col));
      if (finite(q.x()) && finite(q.y())) poly << q;
    }
    poly = clip_polygon(poly, clip);
    if (poly.size() >= 2) c_.p.drawPolygon(poly);
  }
  c_.p.restore();
}

void AxesPainter::draw_image(Handle h) {
  Value cv = prop(c_.g, h, "CData");
  if (!cv.is_number() || cv.num().size() == 0) return;
  const Eigen::MatrixXd& cd = cv.num();
  const Eigen::Index rows = cd.rows(), cols = cd.cols();
  Eigen::RowVectorXd xd = prop_row(c_.g, h, "XData");
  Eigen::RowVectorXd yd = prop_row(c_.g, h, "YData");
  double x1 = xd.size() > 0 ? xd(0) : 1, x2 = xd.size() > 1 ? xd(xd.size() - 1) : x1 + cols - 1;
  double y1 = yd.size() > 0 ? yd(0) : 1, y2 = yd.size() > 1 ? yd(yd.size() - 1) : y1 + rows - 1;
  double dx = cols > 1 ? (x2 - x1) / static_cast<double>(cols - 1) : 1.0;
  double dy = rows > 1 ? (y2 - y1) / static_cast<double>(rows - 1) : 1.0;
  if (!finite(dx) || !finite(dy) || dx == 0 || dy == 0) return;

  // Pixel position of cell edge j (0..cols) and i (0..rows).
  double ax0 = v_.to_pixel(x1 - dx / 2, v_.ylo).x();
  double bx = (v_.to_pixel(x2 + dx / 2, v_.ylo).x() - ax0) / static_cast<double>(cols);
  double ay0 = v_.to_pixel(v_.xlo, y1 - dy / 2).y();
  double by = (v_.to_pixel(v_.xlo, y2 + dy / 2).y() - ay0) / static_cast<double>(rows);
  if (!finite(bx) || !finite(by) || bx == 0 || by == 0) return;
  auto span = [](double a0, double b, double lo, double hi, Eigen::Index n) {
    double u = (lo - a0) / b, w = (hi - a0) / b;
    auto first = static_cast<Eigen::Index>(std::clamp(std::floor(std::min(u, w)), 0.0, double(n)));
    auto last = static_cast<Eigen::Index>(std::clamp(std::ceil(std::max(u, w)), 0.0, double(n)));
    return std::make_pair(first, last);
  };
  auto [j0, j1] = span(ax0, bx, v_.box.left(), v_.box.right(), cols);
  auto [i0, i1] = span(ay0, by, v_.box.top(), v_.box.bottom(), rows);
  if (j1 <= j0 || i1 <= i0) return;

  // Colour lookup of the visible cells.
  Handle fig = c_.g.parent(ax_);
  Eigen::MatrixX3d map = figure_colormap(c_.g, fig);
  const auto m = static_cast<int>(map.rows());
  bool scaled = iequals(prop_text(c_.g, h, "CDataMapping", "direct"), "scaled");
  double clo = 0, chi = 1;
  if (scaled) {
    if (iequals(prop_text(c_.g, ax_, "CLimMode", "auto"), "manual")) {
      Eigen::RowVectorXd cl = prop_row(c_.g, ax_, "CLim");
      if (cl.size() >= 2) clo = cl(0), chi = cl(1);
    } else {
      clo = std::numeric_limits<double>::infinity();
      chi = -clo;
      for (Handle k : c_.g.children(ax_)) {
        if (c_.g.type(k) != ObjType::Image) continue;
        if (!iequals(prop_text(c_.g, k, "CDataMapping", "direct"), "scaled")) continue;
        Value kv = prop(c_.g, k, "CData");
        if (!kv.is_number()) continue;
        for (Eigen::Index q = 0; q < kv.num().size(); ++q) {
          double val = kv.num().data()[q];
          if (!finite(val)) continue;
          clo = std::min(clo, val);
          chi = std::max(chi, val);
        }
      }
      if (!(clo <= chi)) clo = 0, chi = 1;
      if (clo == chi) clo -= 1, chi += 1;
    }
  }
  std::vector<QRgb> lut(static_cast<std::size_t>(m));
  for (int k = 0; k < m; ++k)
    lut[static_cast<std::size_t>(k)] = qRgb(static_cast<int>(std::lround(map(k, 0) * 255)),
                                            static_cast<int>(std::lround(map(k, 1) * 255)),
                                            static_cast<int>(std::lround(map(k, 2) * 255)));
  QImage img(static_cast<int>(j1 - j0), static_cast<int>(i1 - i0), QImage::Format_RGB32);
  for (Eigen::Index i = i0; i < i1; ++i) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(i - i0)));
    for (Eigen::Index j = j0; j < j1; ++j) {
      double val = cd(i, j);
      int k = 0;
      if (finite(val)) {
        double f = scaled ? std::floor((val - clo) / (chi - clo) * m) : std::floor(val) - 1;
        k = static_cast<int>(std::clamp(f, 0.0, static_cast<double>(m - 1)));
      }
      line[j - j0] = lut[static_cast<std::size_t>(k)];
    }
  }
  // One scaling of the visible part to its size on the canvas.
  double left = ax0 + static_cast<double>(j0) * bx, right = ax0 + static_cast<double>(j1) * bx;
  double top = ay0 + static_cast<double>(i0) * by, bottom = ay0 + static_cast<double>(i1) * by;
  QRectF target(QPointF(std::min(left, right), std::min(top, bottom)),
                QPointF(std::max(left, right), std::max(top, bottom)));
  QRect pixels = target.toAlignedRect();
  if (pixels.isEmpty()) return;
  img = img.mirrored(bx < 0, by < 0);
  bool shrink = img.width() > pixels.width() || img.height() > pixels.height();
  QImage shown = img.scaled(pixels.size(), Qt::IgnoreAspectRatio,
                            shrink ? Qt::SmoothTransformation : Qt::FastTransformation);
  c_.p.save();
  c_.p.setClipRect(v_.box);
  c_.p.drawImage(pixels.topLeft(), shown);
  c_.p.restore();
}

QPointF AxesPainter::text_anchor(Handle h) const {
  Eigen::RowVectorXd pos = prop_row(c_.g, h, "Position");
  double x = pos.size() > 0 ? pos(0) : 0, y = pos.size() > 1 ? pos(1) : 0;
  std::string units = to_lower(trim_blanks(prop_text(c_.g, h, "Units", "data")));
  if (units == "normalized")
    return {v_.box.left() + x * v_.box.width(), v_.box.bottom() - y * v_.box.height()};
  if (units == "data") return v_.to_pixel(x, y);
  double k = points_per_unit(units) * c_.ppp;
  return {v_.box.left() + x * k, v_.box.bottom() - y * k};
}

void AxesPainter::draw_text(Handle h) {
  QPointF at = text_anchor(h);
  if (!finite(at.x()) || !finite(at.y())) return;
  QFont f = c_.font_of(h);
  TextBlock b = measure(c_, f, text_lines(prop(c_.g, h, "String")));
  QColor col = prop_color(c_.g, h, "Color");
  draw_block(c_, b, f, col, at, halign_of(prop_text(c_.g, h, "HorizontalAlignment"), HAlign::Left),
             valign_of(prop_text(c_.g, h, "VerticalAlignment")),
             prop_number(c_.g, h, "Rotation", 0));
}

void AxesPainter::draw_frame() {
  const QRectF& b = v_.box;
  double lw = std::max(1.0, 0.5 * c_.ppp);
  double len = tick_length();
  double minor_len = len * 0.6;
  bool box = prop_on(c_.g, ax_, "Box");
  c_.p.save();
  c_.p.setRenderHint(QPainter::Antialiasing, false);
  for (char axis : {'x', 'y'}) {
    const std::string a(1, static_cast<char>(std::toupper(axis)));
    QPen pen(axis_color(axis), lw, Qt::SolidLine, Qt::SquareCap);
    c_.p.setPen(pen);
    if (axis == 'x') {
      c_.p.drawLine(b.bottomLeft(), b.bottomRight());
      if (box) c_.p.drawLine(b.topLeft(), b.topRight());
    } else {
      c_.p.drawLine(b.bottomLeft(), b.topLeft());
      if (box) c_.p.drawLine(b.bottomRight(), b.topRight());
    }
    auto marks = [&](const std::vector<double>& at, double l) {
      for (double t : at) {
        if (axis == 'x') {
          double x = v_.to_pixel(t, v_.ylo).x();
          c_.p.drawLine(QPointF(x, b.bottom()), QPointF(x, b.bottom() - l));
          if (box) c_.p.drawLine(QPointF(x, b.top()), QPointF(x, b.top() + l));
        } else {
          double y = v_.to_pixel(v_.xlo, t).y();
          c_.p.drawLine(QPointF(b.left(), y), QPointF(b.left() + l, y));
          if (box) c_.p.drawLine(QPointF(b.right(), y), QPointF(b.right() - l, y));
        }
      }
    };
    marks(ticks(axis), len);
    if (prop_on(c_.g, ax_, (a + "MinorTick").c_str())) marks(minor_ticks(axis), minor_len);
  }
  c_.p.restore();
}

void AxesPainter::draw_labels(const std::vector<QRectF>& obstacles) {
  const QRectF& b = v_.box;
  QFont tick_font = c_.font_of(ax_);
  QFontMetricsF fm = c_.metrics(tick_font);
  double g = gap();
  xlabels_bottom_ = b.bottom();
  ylabels_left_ = b.left();
  if (shown_ && v_.valid()) {
    // x tick labels below the axis; every k-th when neighbours would touch.
    std::vector<double> xt = ticks('x');
    std::vector<QString> xl = tick_labels('x', xt);
    std::vector<double> xs, ws;
    for (std::size_t i = 0; i < xt.size(); ++i) {
      xs.push_back(v_.to_pixel(xt[i], v_.ylo).x());
      ws.push_back(fm.horizontalAdvance(xl[i]));
    }
    auto stride_for = [](const std::vector<double>& pos, const std::vector<double>& size,
                         double spacing) {
      for (std::size_t k : {1, 2, 5, 10, 20, 50, 100}) {
        bool ok = true;
        for (std::size_t i = k; i < pos.size() && ok; i += k) {
          ok = std::abs(pos[i] - pos[i - k]) >= (size[i] + size[i - k]) / 2 + spacing;
        }
        if (ok) return k;
      }
      return pos.size() + 1;
    };
    std::size_t kx = stride_for(xs, ws, fm.horizontalAdvance(QStringLiteral("0")));
    QColor xc = axis_color('x');
    bool any_x = false;
    for (std::size_t i = 0; i < xt.size(); i += kx) {
      if (xl[i].isEmpty()) continue;
      TextBlock blk = measure(c_, tick_font, {xl[i]});
      draw_block(c_, blk, tick_font, xc, QPointF(xs[i], b.bottom() + g), HAlign::Center,
                 VAlign::Top, 0);
      any_x = true;
    }
    if (any_x) xlabels_bottom_ = b.bottom() + g + fm.height();

    std::vector<double> yt = ticks('y');
    std::vector<QString> yl = tick_labels('y', yt);
    std::vector<double> ys, hs;
    double widest = 0;
    for (std::size_t i = 0; i < yt.size(); ++i) {
      ys.push_back(v_.to_pixel(v_.xlo, yt[i]).y());
      hs.push_back(fm.height());
    }
    std::size_t ky = stride_for(ys, hs, 0.2 * fm.height());
    QColor yc = axis_color('y');
    for (std::size_t i = 0; i < yt.size(); i += ky) {
      if (yl[i].isEmpty()) continue;
      TextBlock blk = measure(c_, tick_font, {yl[i]});
      widest = std::max(widest, blk.width);
      draw_block(c_, blk, tick_font, yc, QPointF(b.left() - g, ys[i]), HAlign::Right,
                 VAlign::Middle, 0);
    }
    if (widest > 0) ylabels_left_ = b.left() - g - widest;
  }

  // Axis labels and title: text objects owned by the axes, placed around it.
  auto label = [&](const char* which) -> std::optional<std::pair<Handle, TextBlock>> {
    Handle t = c_.g.label_of(ax_, which);
    if (t == 0 || !c_.g.exists(t) || !visible(c_.g, t)) return std::nullopt;
    TextBlock blk = measure(c_, c_.font_of(t), text_lines(prop(c_.g, t, "String")));
    if (blk.lines.empty()) return std::nullopt;
    return std::make_pair(t, blk);
  };
  auto color_of = [&](Handle t) {
    QColor col = prop_color(c_.g, t, "Color");
    return col.isValid() ? col : QColor(Qt::black);
  };
  if (auto xl = label("XLabel")) {
    draw_block(c_, xl->second, c_.font_of(xl->first), color_of(xl->first),
               QPointF(b.center().x(), xlabels_bottom_ + g), HAlign::Center, VAlign::Top, 0);
  }
  std::optional<QRectF> ylabel_above;
  if (auto yl = label("YLabel")) {
    QFont f = c_.font_of(yl->first);
    // Rotated beside the tick labels when it fits left of them without running into a control
    // or off the canvas; otherwise upright above the axis.
    double right = ylabels_left_ - g;
    double left = right - yl->second.height;
    double room = 0;
    for (const QRectF& o : obstacles) {
      bool beside = o.bottom() > b.top() && o.top() < b.bottom() && o.right() <= b.left() + 0.5;
      if (beside) room = std::max(room, o.right());
    }
    if (left >= room) {
      draw_block(c_, yl->second, f, color_of(yl->first), QPointF(right, b.center().y()),
                 HAlign::Center, VAlign::Bottom, 90);
    } else {
      double x0 = std::max(0.0, std::min(ylabels_left_, b.left() - yl->second.width / 2));
      QPointF at(x0, b.top() - g);
      draw_block(c_, yl->second, f, color_of(yl->first), at, HAlign::Left, VAlign::Bottom, 0);
      ylabel_above = QRectF(x0, at.y() - yl->second.height, yl->second.width, yl->second.height);
    }
  }
  if (auto tl = label("Title")) {
    double w = tl->second.width;
    double bottom = b.top() - g;
    if (ylabel_above) {
      QRectF title_rect(b.center().x() - w / 2, bottom - tl->second.height, w, tl->second.height);
      if (title_rect.intersects(*ylabel_above)) bottom = ylabel_above->top() - g / 2;
    }
    draw_block(c_, tl->second, c_.font_of(tl->first), color_of(tl->first),
               QPointF(b.center().x(), bottom), HAlign::Center, VAlign::Bottom, 0);
  }
}

// ---- controls --------------------------------------------------------------------------------

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
  // the width; what still does not fit is cut at the area.
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
    double x = align == HAlign::Left     ? area.left()
               : align == HAlign::Center ? area.center().x()
                                         : area.right();
    QPointF at(x, top ? area.top() : area.center().y());
    c.p.save();
    c.p.setClipRect(area.adjusted(-1, -1, 1, 1));
    draw_block(c, blk, f, fg, at, align, top ? VAlign::Top : VAlign::Middle, 0);
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
    caption(lines, r, ha, true, false);
  } else if (style == "edit" || style == "listbox") {
    c.p.fillRect(r, bg);
    bevel(c.p, r.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2), QColor(200, 200, 200), false, lw);
    QRectF area = r.adjusted(pad + lw, lw, -pad - lw, -lw);
    bool multi = prop_number(c.g, h, "Max", 1) - prop_number(c.g, h, "Min", 0) > 1;
    if (style == "listbox" || multi) {
      caption(lines, area, HAlign::Left, false, true);
    } else {
      std::vector<QString> one;
      if (!lines.empty()) one.push_back(lines.front());
      caption(one, area, ha, false, false);
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

}  // namespace

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

QSize figure_pixel_size(const Graphics& g, Handle fig, double dpi) {
  Eigen::RowVector2d pts = g.figure_size_points(fig);
  return {std::max(1, static_cast<int>(std::lround(pts(0) * dpi / 72))),
          std::max(1, static_cast<int>(std::lround(pts(1) * dpi / 72)))};
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

void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size) {
  render_figure(g, fig, p, size, RenderOptions());
}

void render_figure(const Graphics& g, Handle fig, QPainter& p, QSize size,
                   const RenderOptions& options) {
  if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  double ppp = options.pixels_per_point > 0 ? options.pixels_per_point
                                            : fitting_pixels_per_point(g, fig, size);
  Ctx c{g, p, size, ppp};
  p.save();
  p.setRenderHint(QPainter::TextAntialiasing, true);
  if (options.background) {
    QColor bg = prop_color(g, fig, "Color");
    p.fillRect(QRectF(0, 0, size.width(), size.height()),
               bg.isValid() ? bg : QColor(204, 204, 204));
  }
  std::vector<Handle> kids = g.children(fig);
  std::reverse(kids.begin(), kids.end());  // creation order
  std::vector<QRectF> controls;
  for (Handle h : kids) {
    if (g.type(h) == ObjType::Uicontrol && visible(g, h))
      controls.push_back(object_rect(g, h, size, ppp));
  }
  if (options.axes) {
    for (Handle h : kids) {
      if (g.type(h) != ObjType::Axes) continue;
      AxesPainter(c, h).draw(controls);
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
