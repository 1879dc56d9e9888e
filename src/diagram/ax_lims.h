// The limits of a diagram's axes fitted to its visible curves, and the right-hand torque scale of
// power/torque diagrams.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <tuple>
#include <vector>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

// The visible curves of a diagram's axes, newest first, with their data as plotted.
struct VisibleCurves {
  std::vector<Handle> handles;
  std::vector<Eigen::RowVectorXd> x;
  std::vector<Eigen::RowVectorXd> y;
  bool empty() const { return handles.empty(); }
};

// The line children of `ad` whose "Visible" is "on", newest first.
VisibleCurves visible_curves(const Graphics& g, Handle ad);

// Fits "XLim"/"YLim" of the diagram axes `ad` to its visible curves (the y range always includes
// 0, neither upper limit is below 0; non-finite values are ignored; equal limits are widened by one
// unit each side) and sets the grid, box and minor-tick look. With `ly` 2 it replaces the texts
// tagged "YTicks2" + `figname` by the second scale (twice the left tick values, up to the first
// tick at or above the top of the half-scale torque curves), sets the y label to the part of
// `var_y` before its first "/" and writes the rest, rotated, right of the axes. With no visible
// curve nothing changes and the result is empty.
VisibleCurves ax_lims(Env& env, Handle ad, int ly, const std::string& figname,
                      const std::string& var_y);

// Keeps the second scale of `ad` in step with its new limits (a zoom or its restore), given the
// limits before: the tick labels follow the ticks at the new right edge, and the unit keeps its
// place relative to the axes. Nothing when the axes has no second scale.
void follow_limits(Graphics& g, Handle ad, const Eigen::RowVectorXd& old_x,
                   const Eigen::RowVectorXd& old_y);

// By-name form: results xx, yy (one curve: its data; several: a list of one vector per curve)
// and the handles as a column.
std::tuple<Value, Value, Value> ax_lims_v(Env& env, const Value& ad, double ly,
                                          const std::string& figname, const std::string& var_y);

}  // namespace ziva
