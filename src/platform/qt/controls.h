// Controls of the model as Qt widgets: which widget shows which style, and how a control's
// properties (texts, entries, state, colours, alignment, font, visibility) appear on it.
#pragma once

#include <QStringList>
#include <QWidget>
#include <string>

#include "platform/core/graphics.h"

namespace ziva {

enum class ControlKind { Button, Check, Edit, Text, Frame, Popup };

// The widget kind of a "Style"; unknown styles show as push buttons.
ControlKind control_kind(const std::string& style);
QWidget* make_control_widget(ControlKind kind, const std::string& style, QWidget* parent);

// A "String" as one text: rows joined by line breaks, trailing blanks dropped; numbers as the
// program writes them.
QString display_text(const Value& v);
// The entries of a pop-up menu: the rows of its "String" (or "a|b|c"), trailing blanks dropped.
QStringList popup_items(const Value& v);

// Shows every property of control `h` on its widget except its place.
void show_control(QWidget* w, ControlKind kind, const Graphics& g, Handle h);
// Places the widget and fits its font into the height it got.
void place_control(QWidget* w, ControlKind kind, const Graphics& g, Handle h, const QRect& rect);

// Whether a check box style control is ticked ("Value" equals "Max").
bool control_checked(const Graphics& g, Handle h);

}  // namespace ziva
