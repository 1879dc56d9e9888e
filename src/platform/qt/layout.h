// Where objects of the model land on screen: figure sizes in screen pixels and the rectangles of
// controls and axes inside a window, from their "Position" and "Units".
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <optional>
#include <string>

#include "platform/core/graphics.h"

namespace ziva {

// Points per unit of a position ("pixels", "points", "centimeters", "inches", "characters").
double points_per_unit(const std::string& units);

// The on-screen size of a figure: its "Position" size at 96 pixels per inch times `scale`.
QSize figure_window_size(const Graphics& g, Handle fig, double scale);

// The window rectangle of an object placed by "Position" [left bottom width height] in `units`
// inside a window of `window` pixels; bottom-up positions become top-down pixel rows. Adjacent
// normalised rectangles share their edges.
QRect place(const Eigen::RowVectorXd& position, const std::string& units, QSize window,
            double scale);

// The rectangle of a control in its figure's window.
QRect control_rect(const Graphics& g, Handle h, QSize window, double scale);

// Where a new window whose frame measures `frame` goes beside the main window's frame `main`,
// inside the available screen area `avail`: right of it, else left of it, with its top level with
// the main window's (moved up as far as the screen needs); nothing when neither side has room.
std::optional<QPoint> beside(const QRect& main, QSize frame, const QRect& avail);

// The next place of a cascade from `at`: `step` pixels down and right, kept inside `avail` for a
// frame of `frame` size; `at` itself when there is no room to move at all.
QPoint cascade_step(QPoint at, QSize frame, const QRect& avail, int step);

// Raises a window above the others where the window system can (not offscreen).
void bring_to_front(QWidget* w);

}  // namespace ziva
