#include "platform/qt/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "platform/core/text.h"

namespace ziva {

namespace {

// The smallest font of a static text, in pixels.
constexpr double kLegiblePx = 11;

QColor to_qcolor(const Value& v, QColor fallback) {
  if (!v.is_number() || v.num().size() != 3) return fallback;
  const auto& m = v.num();
  auto c = [](double x) { return static_cast<float>(std::clamp(x, 0.0, 1.0)); };
  return QColor::fromRgbF(c(m(0)), c(m(1)), c(m(2)));
}

bool is_factory_background(const Value& v) {
  if (!v.is_number() || v.num().size() != 3) return false;
  const auto& m = v.num();
  return std::abs(m(0) - 0.94) < 1e-9 && std::abs(m(1) - 0.94) < 1e-9 &&
         std::abs(m(2) - 0.94) < 1e-9;
}

Qt::Alignment horizontal(const Graphics& g, Handle h) {
  std::string a = to_lower(g.get_text(h, "HorizontalAlignment"));
  if (a == "left") return Qt::AlignLeft;
  if (a == "right") return Qt::AlignRight;
  return Qt::AlignHCenter;
}

// The font of the control, its size fitted into the control's box: boxed widgets keep room for
// their frame. A static text keeps one legible size whatever its box; what does not fit its width
// is cut off with an ellipsis (the whole text is its tooltip, see fit_text).
QFont control_font(const QWidget* w, ControlKind kind, const Graphics& g, Handle h, QSize box) {
  int height = box.height();
  QFont f = w->font();
  std::string name = g.get_text(h, "FontName");
  if (!name.empty()) f.setFamily(QString::fromStdString(name));
  std::string weight = to_lower(g.get_text(h, "FontWeight"));
  f.setBold(weight == "bold" || weight == "demi");
  std::string angle = to_lower(g.get_text(h, "FontAngle"));
  f.setItalic(angle == "italic" || angle == "oblique");
  double pt = 9.0;
  Value size = g.get(h, "FontSize");
  if (size.is_number() && size.num().size() > 0 && size.scalar() > 0) pt = size.scalar();
  double px = pt * 96.0 / 72.0;
  if (kind == ControlKind::Text) {
    f.setPixelSize(static_cast<int>(std::floor(std::min(px, std::max(height - 2.0, kLegiblePx)))));
    return f;
  }
  // Boxed widgets need room for their frame; check boxes may fill their height.
  double room = kind == ControlKind::Check ? height - 2.0 : std::max(height - 10.0, 0.6 * height);
  f.setPixelSize(std::max(6, static_cast<int>(std::floor(std::min(px, room)))));
  return f;
}

// The full text a widget stands for (a static text may show it shortened).
const char* const kFullText = "zivaFullText";

// Shows a static text in its box: cut with an ellipsis when too wide, the whole text then as
// tooltip unless the control names its own.
void fit_text(QLabel* l, const QString& tooltip) {
  const QString full = l->property(kFullText).toString();
  QFontMetrics fm(l->font());
  const int room = std::max(0, l->width() - 2);
  QStringList shown;
  bool cut = false;
  for (const QString& line : full.split('\n')) {
    QString e = fm.elidedText(line, Qt::ElideRight, room);
    cut |= e != line;
    shown << e;
  }
  l->setText(shown.join('\n'));
  l->setToolTip(!tooltip.isEmpty() ? tooltip : cut ? full : QString());
}

// An edit field whose text does not fit shows its end (a path's file name) and the whole text as
// tooltip unless the control names its own.
void fit_edit(QLineEdit* e, const QString& tooltip) {
  QFontMetrics fm(e->font());
  const bool fits = fm.horizontalAdvance(e->text()) <= e->width() - 10;
  if (!e->hasFocus()) e->setCursorPosition(fits ? 0 : static_cast<int>(e->text().size()));
  e->setToolTip(!tooltip.isEmpty() ? tooltip : fits ? QString() : e->text());
}

void apply_font(QWidget* w, ControlKind kind, const Graphics& g, Handle h, QSize box) {
  w->setFont(control_font(w, kind, g, h, box));
  QString tooltip = QString::fromStdString(g.get_text(h, "TooltipString"));
  if (kind == ControlKind::Text) {
    fit_text(static_cast<QLabel*>(w), tooltip);
  } else if (kind == ControlKind::Edit) {
    fit_edit(static_cast<QLineEdit*>(w), tooltip);
  } else {
    w->setToolTip(tooltip);
  }
}

void apply_colors(QWidget* w, ControlKind kind, const Graphics& g, Handle h) {
  Value bgv = g.get(h, "BackgroundColor");
  QPalette pal = w->parentWidget() ? w->parentWidget()->palette() : QPalette();
  QColor bg = to_qcolor(bgv, pal.color(QPalette::Button));
  QColor fg = to_qcolor(g.get(h, "ForegroundColor"), Qt::black);
  switch (kind) {
    case ControlKind::Button:
      // A coloured button shows its colour exactly (it stands for a curve's colour).
      w->setStyleSheet(
          is_factory_background(bgv)
              ? QString()
              : QString("QPushButton { background-color: %1; color: %2; border: 1px solid %3;"
                        " border-radius: 3px; } QPushButton:pressed { background-color: %4; }")
                    .arg(bg.name(), fg.name(), bg.darker(170).name(), bg.darker(125).name()));
      [[fallthrough]];
    case ControlKind::Popup:
      pal.setColor(QPalette::Button, bg);
      pal.setColor(QPalette::ButtonText, fg);
      pal.setColor(QPalette::Window, bg);
      pal.setColor(QPalette::WindowText, fg);
      break;
    case ControlKind::Edit:
      // Edit fields in the plain default colour read as white writing areas.
      pal.setColor(QPalette::Base, is_factory_background(bgv) ? QColor(Qt::white) : bg);
      pal.setColor(QPalette::Text, fg);
      break;
    case ControlKind::Check:
    case ControlKind::Text:
    case ControlKind::Frame:
      pal.setColor(QPalette::Window, bg);
      pal.setColor(QPalette::WindowText, fg);
      pal.setColor(QPalette::Button, bg);
      pal.setColor(QPalette::ButtonText, fg);
      w->setAutoFillBackground(true);
      break;
  }
  w->setPalette(pal);
}

void apply_enable(QWidget* w, ControlKind kind, const Graphics& g, Handle h) {
  std::string enable = to_lower(g.get_text(h, "Enable"));
  bool inactive = enable == "inactive";
  w->setEnabled(enable != "off");
  if (kind == ControlKind::Edit) {
    static_cast<QLineEdit*>(w)->setReadOnly(inactive);
  } else {
    w->setAttribute(Qt::WA_TransparentForMouseEvents, inactive);
  }
}

}  // namespace

ControlKind control_kind(const std::string& style) {
  std::string s = to_lower(style);
  if (s == "checkbox" || s == "radiobutton" || s == "togglebutton") return ControlKind::Check;
  if (s == "edit") return ControlKind::Edit;
  if (s == "text") return ControlKind::Text;
  if (s == "frame") return ControlKind::Frame;
  if (s == "popupmenu") return ControlKind::Popup;
  return ControlKind::Button;
}

QWidget* make_control_widget(ControlKind kind, const std::string& style, QWidget* parent) {
  switch (kind) {
    case ControlKind::Button:
      return new QPushButton(parent);
    case ControlKind::Check: {
      std::string s = to_lower(style);
      if (s == "radiobutton") {
        auto* r = new QRadioButton(parent);
        r->setAutoExclusive(false);
        return r;
      }
      if (s == "togglebutton") {
        auto* b = new QPushButton(parent);
        b->setCheckable(true);
        return b;
      }
      return new QCheckBox(parent);
    }
    case ControlKind::Edit:
      return new QLineEdit(parent);
    case ControlKind::Text: {
      auto* l = new QLabel(parent);
      l->setTextFormat(Qt::PlainText);
      return l;
    }
    case ControlKind::Frame: {
      auto* f = new QFrame(parent);
      f->setFrameStyle(QFrame::Box | QFrame::Sunken);
      f->setLineWidth(1);
      return f;
    }
    case ControlKind::Popup:
      return new QComboBox(parent);
  }
  return nullptr;
}

QString display_text(const Value& v) {
  if (v.is_text()) return QString::fromStdString(v.text());
  if (v.is_list()) {
    QStringList rows;
    for (const auto& r : v.rows()) rows << QString::fromStdString(trim_trailing_blanks(r));
    return rows.join('\n');
  }
  if (v.is_number() && v.num().size() > 0) return QString::fromStdString(num2str(v.scalar()));
  return {};
}

QStringList popup_items(const Value& v) {
  QStringList out;
  if (v.is_list()) {
    for (const auto& r : v.rows()) out << QString::fromStdString(trim_trailing_blanks(r));
  } else if (v.is_text()) {
    for (const auto& part : QString::fromStdString(v.text()).split('|'))
      out << QString(part).remove(QRegularExpression("\\s+$"));
  } else if (v.is_cell()) {
    for (const auto& c : v.cells()) out << display_text(c);
  } else if (!v.empty()) {
    out << display_text(v);
  }
  return out;
}

bool control_checked(const Graphics& g, Handle h) {
  Value v = g.get(h, "Value");
  if (!v.is_number() || v.num().size() == 0) return false;
  return v.scalar() == g.get_scalar(h, "Max");
}

void show_control(QWidget* w, ControlKind kind, const Graphics& g, Handle h) {
  QSignalBlocker block(w);
  Value str = g.get(h, "String");
  switch (kind) {
    case ControlKind::Button:
      static_cast<QPushButton*>(w)->setText(display_text(str));
      break;
    case ControlKind::Check: {
      auto* b = static_cast<QAbstractButton*>(w);
      b->setText(display_text(str));
      b->setChecked(control_checked(g, h));
      break;
    }
    case ControlKind::Edit: {
      auto* e = static_cast<QLineEdit*>(w);
      QString t = display_text(str);
      if (e->text() != t) e->setText(t);
      e->setAlignment(horizontal(g, h) | Qt::AlignVCenter);
      break;
    }
    case ControlKind::Text: {
      auto* l = static_cast<QLabel*>(w);
      l->setProperty(kFullText, display_text(str));
      l->setAlignment(horizontal(g, h) | Qt::AlignVCenter);
      break;
    }
    case ControlKind::Frame:
      break;
    case ControlKind::Popup: {
      auto* c = static_cast<QComboBox*>(w);
      QStringList items = popup_items(str);
      QStringList now;
      for (int i = 0; i < c->count(); ++i) now << c->itemText(i);
      if (now != items) {
        c->clear();
        c->addItems(items);
      }
      Value v = g.get(h, "Value");
      int index = v.is_number() && v.num().size() > 0 ? static_cast<int>(v.scalar()) - 1 : -1;
      c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
      break;
    }
  }
  apply_colors(w, kind, g, h);
  apply_enable(w, kind, g, h);
  apply_font(w, kind, g, h, w->size());
  w->setVisible(g.is_on(h, "Visible"));
}

void place_control(QWidget* w, ControlKind kind, const Graphics& g, Handle h, const QRect& rect) {
  QRect r = rect;
  if (kind == ControlKind::Text) {
    // A text lower than its font's line grows about its middle, so no glyph is cut.
    int line = QFontMetrics(control_font(w, kind, g, h, rect.size())).height();
    if (line > r.height()) r.adjust(0, -(line - r.height()) / 2, 0, (line - r.height() + 1) / 2);
  }
  w->setGeometry(r);
  apply_font(w, kind, g, h, rect.size());
}

}  // namespace ziva
