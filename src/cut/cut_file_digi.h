// Cutting a recording by hand on the speed over time of its wheel-sensor channel(s): the user
// zooms to the part of the run to evaluate and closes the window.
#pragma once

#include <Eigen/Dense>
#include <optional>

#include "platform/core/function_table.h"

namespace ziva {

// Converts the columns `ch` (1-based; default both, [1 2]) of Y (rate FS) with dig2v at
// circumference u and W pulses per revolution and shows the speed in km/h over time in the cut
// window with zoom on. Returns after the window is closed: the rows of Y (all channels) whose time
// lies strictly inside the x range shown at that moment. Throws dig2v's errors, and for channels
// Y does not hold or a trace of fewer than two speeds (no window is left).
Eigen::MatrixXd cut_file_digi(Env& env, const Eigen::MatrixXd& Y, double FS, double u, double W,
                              const Record& st, const std::optional<Eigen::MatrixXd>& ch);

// cut_file_digi, with the full-load part the automatic detection finds on the speed marked when
// `show_full_load` (mark_full_load).
Eigen::MatrixXd cut_on_pulse_speed(Env& env, const Eigen::MatrixXd& Y, double FS, double u,
                                   double W, const Record& st,
                                   const std::optional<Eigen::MatrixXd>& ch, bool show_full_load);

}  // namespace ziva
