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

#include "platform/core/text.h"
#include "platform/render/render_support.h"
#include "platform/render/renderer.h"

namespace ziva::render_detail {

namespace {

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
std::optional<Qt::PenStyle> pen_style(const std::string& s) {
  std::string t = trim_blanks(s);
  if (t == "-") return Qt::SolidLine;
  if (t == "--") return Qt::DashLine;
  if (t == ":") return Qt::DotLine;
  if (t == "-.") return Qt::DashDotLine;
  return std::nullopt;  // "none"
}

// --- the window layout ---------------------------------------------------------------------

// The smallest step of the 1-2-5 ladder not below `raw`.
double ladder_up(double raw) {
  if (!(raw > 0) || !finite(raw)) return 1.0;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * p >= raw * (1 - 1e-9)) return m * p;
  }
  return 10 * p;
}

// The largest step of the 1-2-5 ladder not above `raw`.
double ladder_down(double raw) {
  if (!(raw > 0) || !finite(raw)) return 1.0;
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {5.0, 2.0, 1.0}) {
    if (m * p <= raw * (1 + 1e-9)) return m * p;
  }
  return p;
}

std::vector<double> evenly(double lo, double hi, double step) {
  std::vector<double> out;
  if (!(step > 0) || !finite(lo) || !finite(hi)) return out;
  double first = std::ceil(lo / step - 1e-9);
  double last = std::floor(hi / step + 1e-9);
  if (last - first > 1000) return out;
  for (double k = first; k <= last; k += 1) {
    double v = k * step;
    out.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return out;
}

// The figure's ticks of an axis, finite and sorted, not cut to the limits.
std::vector<double> model_ticks(const Graphics& g, Handle ax, char axis) {
  Eigen::RowVectorXd t = prop_row(g, ax, axis == 'x' ? "XTick" : "YTick");
  std::vector<double> out;
  for (Eigen::Index i = 0; i < t.size(); ++i)
    if (finite(t(i))) out.push_back(t(i));
  std::sort(out.begin(), out.end());
  return out;
}

// The ticks of an axis in the window: automatic ticks get a 1-2-5 step that gives their labels
// room on the canvas, never coarser than the figure's own. A y step divides the figure's step,
// so that texts placed at the figure's ticks (a second scale) still meet a tick.
std::vector<double> screen_ticks(const Ctx& c, Handle ax, const AxesView& v, char axis) {
  std::vector<double> model = model_ticks(c.g, ax, axis);
  bool manual = iequals(prop_text(c.g, ax, axis == 'x' ? "XTickMode" : "YTickMode"), "manual");
  if (manual || model.size() < 2 || !v.valid()) return model;
  double s = model[1] - model[0];
  if (!(s > 0)) return model;
  double lo = axis == 'x' ? v.xlo : v.ylo;
  double hi = axis == 'x' ? v.xhi : v.yhi;
  QFontMetricsF fm = c.metrics(c.font_of(ax));
  double spacing = 2.2 * fm.height();
  if (axis == 'x') {
    double widest = 0;
    for (double t : {lo, hi, model.front(), model.back()})
      widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(num2str(t))));
    spacing = std::max(45.0, 1.4 * widest);
  }
  double length = axis == 'x' ? v.box.width() : v.box.height();
  int n = std::max(2, static_cast<int>(std::floor(length / spacing)));
  double step = ladder_up((hi - lo) / n);
  if (axis == 'y') {
    auto divides = [s](double d) {
      double r = s / d;
      return std::abs(r - std::round(r)) < 1e-6;
    };
    while (step < s && !divides(step)) step = ladder_up(step * (1 + 1e-6));
  }
  return evenly(lo, hi, std::min(step, s));
}

std::vector<double> inside(const std::vector<double>& t, double lo, double hi) {
  double tol = (hi - lo) * 1e-9;
  std::vector<double> out;
  for (double x : t)
    if (x >= lo - tol && x <= hi + tol) out.push_back(x);
  return out;
}

// Where a text child of an axes is anchored on the canvas.
QPointF anchor_of(const Ctx& c, Handle h, const AxesView& v) {
  Eigen::RowVectorXd pos = prop_row(c.g, h, "Position");
  double x = pos.size() > 0 ? pos(0) : 0, y = pos.size() > 1 ? pos(1) : 0;
  std::string units = to_lower(trim_blanks(prop_text(c.g, h, "Units", "data")));
  if (units == "normalized")
    return {v.box.left() + x * v.box.width(), v.box.bottom() - y * v.box.height()};
  if (units == "data") return v.to_pixel(x, y);
  double k = points_per_unit(units) * c.ppp;
  return {v.box.left() + x * k, v.box.bottom() - y * k};
}

bool upright(double degrees) {
  return std::abs(std::fmod(std::abs(degrees), 180.0) - 90.0) > 1e-9;
}

// A tick label of a second scale right of the axes (see kSecondScaleTag).
bool scale_label(const Graphics& g, Handle h) {
  return g.type(h) == ObjType::Text && visible(g, h) &&
         prop_text(g, h, "Tag").rfind(kSecondScaleTag, 0) == 0 &&
         prop_number(g, h, "Rotation", 0) == 0;
}

// A second scale as the window draws it: 1-2-5 steps of its own values by pixel length, from the
// bottom up to its highest given label.
struct RightScale {
  std::vector<double> y;  // axes y of each tick
  std::vector<QString> labels;
  Handle source = 0;  // a given label: font and colour
  bool valid() const { return source != 0 && !y.empty(); }
};

RightScale right_scale(const Ctx& c, Handle ax, const AxesView& v) {
  RightScale s;
  if (!c.screen || !v.valid()) return s;
  double factor = 0, top = -std::numeric_limits<double>::infinity();
  for (Handle h : c.g.children(ax)) {
    if (!scale_label(c.g, h)) continue;
    const Value u = prop(c.g, h, "UserData");
    const Eigen::RowVectorXd pos = prop_row(c.g, h, "Position");
    if (!u.is_number() || u.num().size() != 1 || pos.size() < 2) continue;
    factor = u.num()(0);
    top = std::max(top, pos(1));
    s.source = h;
  }
  if (s.source == 0 || !(factor > 0) || !finite(factor)) return {};
  // Steps as the left ticks get them (labels 2.2 line heights apart at the least); finer, down
  // to 1.3 line heights, while fewer than five labels would stand up to the torque curves.
  const double line = c.metrics(c.font_of(s.source)).height();
  const double per_pixel = factor * (v.yhi - v.ylo) / v.box.height();
  const double span = factor * (std::min(top, v.yhi) - v.ylo);
  double step = ladder_up(2.2 * line * per_pixel);
  if (span / step < 4) step = std::max(ladder_down(span / 4), ladder_up(1.3 * line * per_pixel));
  for (double value : evenly(factor * v.ylo, factor * std::min(top, v.yhi), step)) {
    s.y.push_back(value / factor);
    s.labels.push_back(QString::fromStdString(num2str(value)));
  }
  return s;
}

// How far the upright texts right of the axes box reach beyond it, in pixels.
double right_reach(const Ctx& c, Handle ax, const AxesView& v) {
  double reach = 0;
  const RightScale scale = right_scale(c, ax, v);
  if (scale.valid()) {
    const QFont f = c.font_of(scale.source);
    for (const QString& label : scale.labels)
      reach = std::max(
          reach, 0.35 * c.metrics(c.font_of(ax)).height() + c.metrics(f).horizontalAdvance(label));
  }
  for (Handle h : c.g.children(ax)) {
    if (c.g.type(h) != ObjType::Text || !visible(c.g, h)) continue;
    if (scale.valid() && scale_label(c.g, h)) continue;
    if (!upright(prop_number(c.g, h, "Rotation", 0))) continue;
    QPointF at = anchor_of(c, h, v);
    if (!finite(at.x()) || at.x() < v.box.right() - 0.5) continue;
    TextBlock b = measure(c, c.font_of(h), text_lines(prop(c.g, h, "String")));
    HAlign ha = halign_of(prop_text(c.g, h, "HorizontalAlignment"), HAlign::Left);
    double w = ha == HAlign::Left ? b.width : ha == HAlign::Center ? b.width / 2 : 0;
    reach = std::max(reach, at.x() - v.box.right() + w);
  }
  return reach;
}

// The axes box in the window: moved in from the left until the y tick labels and the rotated y
// label fit between the controls beside it and the axis, and from the right until the texts
// beside the right edge fit on the canvas. At most 40 % of its width is given up on each side.
AxesView screen_layout(const Ctx& c, Handle ax, AxesView v, const std::vector<QRectF>& obstacles) {
  if (!v.valid() || !visible(c.g, ax)) return v;
  QFontMetricsF fm = c.metrics(c.font_of(ax));
  double g = 0.35 * fm.height();
  const double width = v.box.width();
  double widest = 0;
  for (double t : inside(screen_ticks(c, ax, v, 'y'), v.ylo, v.yhi))
    widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(num2str(t))));
  double need = widest > 0 ? widest + g : 0;
  Handle yl = c.g.label_of(ax, "YLabel");
  if (yl != 0 && c.g.exists(yl) && visible(c.g, yl)) {
    TextBlock b = measure(c, c.font_of(yl), text_lines(prop(c.g, yl, "String")));
    if (!b.lines.empty()) need += b.height + g;
  }
  need += g;
  double wall = 0;
  for (const QRectF& o : obstacles) {
    bool beside =
        o.bottom() > v.box.top() && o.top() < v.box.bottom() && o.right() <= v.box.left() + 0.5;
    if (beside) wall = std::max(wall, o.right());
  }
  double room = v.box.left() - wall;
  if (room < need) v.box.setLeft(v.box.left() + std::min(need - room, 0.4 * width));

  double rotated = 0, rotated_at = 0;
  for (Handle h : c.g.children(ax)) {
    if (c.g.type(h) != ObjType::Text || !visible(c.g, h)) continue;
    if (upright(prop_number(c.g, h, "Rotation", 0))) continue;
    QPointF at = anchor_of(c, h, v);
    if (!finite(at.x()) || at.x() < v.box.right() - 0.5) continue;
    TextBlock b = measure(c, c.font_of(h), text_lines(prop(c.g, h, "String")));
    rotated = std::max(rotated, b.height);
    rotated_at = std::max(rotated_at, at.x() - v.box.right() + b.height / 2);
  }
  double reach = right_reach(c, ax, v);
  double need_right = std::max(reach, rotated > 0 ? std::max(reach + g + rotated, rotated_at) : 0);
  need_right += need_right > 0 ? g : 0;
  double room_right = c.size.width() - v.box.right();
  if (need_right > room_right)
    v.box.setRight(v.box.right() - std::min(need_right - room_right, 0.4 * width));
  return v;
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
  std::vector<double> all_ticks(char axis) const;
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
  double xlabels_bottom_ = 0;            // lowest pixel row used by the x tick labels
  double ylabels_left_ = 0;              // leftmost pixel column used by the y tick labels
  std::vector<double> xticks_, yticks_;  // every tick of the axes, not cut to the limits
  double right_reach_ = 0;               // window layout: upright texts beyond the right edge
  RightScale right_;                     // window layout: the second scale drawn afresh
};

QColor AxesPainter::axis_color(char axis) const {
  QColor col = prop_color(c_.g, ax_, axis == 'x' ? "XColor" : "YColor");
  return col.isValid() ? col : QColor(Qt::black);
}

std::vector<double> AxesPainter::all_ticks(char axis) const {
  return axis == 'x' ? xticks_ : yticks_;
}

std::vector<double> AxesPainter::ticks(char axis) const {
  return inside(all_ticks(axis), axis == 'x' ? v_.xlo : v_.ylo, axis == 'x' ? v_.xhi : v_.yhi);
}

std::vector<double> AxesPainter::minor_ticks(char axis) const {
  std::vector<double> major = all_ticks(axis);
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
  if (c_.screen) {
    v_ = screen_layout(c_, ax_, v_, obstacles);
    xticks_ = screen_ticks(c_, ax_, v_, 'x');
    yticks_ = screen_ticks(c_, ax_, v_, 'y');
    right_reach_ = right_reach(c_, ax_, v_);
    right_ = right_scale(c_, ax_, v_);
  } else {
    xticks_ = model_ticks(c_.g, ax_, 'x');
    yticks_ = model_ticks(c_.g, ax_, 'y');
  }
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
    if (right_.valid() && scale_label(c_.g, h)) continue;
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
  double x1 = xd.size() > 0 ? xd(0) : 1,
         x2 = xd.size() > 1 ? xd(xd.size() - 1) : x1 + static_cast<double>(cols) - 1;
  double y1 = yd.size() > 0 ? yd(0) : 1,
         y2 = yd.size() > 1 ? yd(yd.size() - 1) : y1 + static_cast<double>(rows) - 1;
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
  return anchor_of(c_, h, v_);
}

void AxesPainter::draw_text(Handle h) {
  QPointF at = text_anchor(h);
  if (!finite(at.x()) || !finite(at.y())) return;
  QFont f = c_.font_of(h);
  TextBlock b = measure(c_, f, text_lines(prop(c_.g, h, "String")));
  QColor col = prop_color(c_.g, h, "Color");
  double degrees = prop_number(c_.g, h, "Rotation", 0);
  if (c_.screen && !upright(degrees) && at.x() >= v_.box.right() - 0.5) {
    // Beside the right edge a rotated text stays clear of the upright texts there.
    at.setX(std::max(at.x(), v_.box.right() + right_reach_ + gap() + b.height / 2));
  }
  draw_block(c_, b, f, col, at, halign_of(prop_text(c_.g, h, "HorizontalAlignment"), HAlign::Left),
             valign_of(prop_text(c_.g, h, "VerticalAlignment")), degrees);
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
          if (box && !right_.valid())
            c_.p.drawLine(QPointF(b.right(), y), QPointF(b.right() - l, y));
        }
      }
    };
    marks(ticks(axis), len);
    if (prop_on(c_.g, ax_, (a + "MinorTick").c_str())) marks(minor_ticks(axis), minor_len);
  }
  // The second scale marks its own ticks on the right edge.
  for (double t : right_.y) {
    const double y = v_.to_pixel(v_.xlo, t).y();
    c_.p.drawLine(QPointF(b.right(), y), QPointF(b.right() - len, y));
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

    if (right_.valid()) {
      const QFont f = c_.font_of(right_.source);
      QColor col = prop_color(c_.g, right_.source, "Color");
      if (!col.isValid()) col = Qt::black;
      for (std::size_t i = 0; i < right_.y.size(); ++i) {
        const double y = v_.to_pixel(v_.xlo, right_.y[i]).y();
        draw_block(c_, measure(c_, f, {right_.labels[i]}), f, col, QPointF(b.right() + g, y),
                   HAlign::Left, VAlign::Middle, 0);
      }
    }
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
    if (left >= room || c_.screen) {
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

}  // namespace

void draw_axes(const Ctx& c, Handle ax, const std::vector<QRectF>& obstacles) {
  AxesPainter(c, ax).draw(obstacles);
}

}  // namespace ziva::render_detail

namespace ziva {

AxesView screen_axes_view(const Graphics& g, Handle ax, QSize size, double pixels_per_point) {
  using namespace render_detail;
  AxesView v = axes_view(g, ax, size, pixels_per_point);
  QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&scratch);
  double ppp =
      pixels_per_point > 0 ? pixels_per_point : fitting_pixels_per_point(g, g.parent(ax), size);
  Ctx c{g, p, size, ppp, true};
  return screen_layout(c, ax, v, control_rects(g, g.parent(ax), size, ppp));
}

}  // namespace ziva
