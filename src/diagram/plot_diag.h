// The diagram window of one x/y choice: draws an evaluation's result as a new curve group with its
// comment block, fits the limits, and writes the bitmap and ASCII result files.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "diagram/export.h"
#include "platform/core/function_table.h"

namespace ziva {

// Draws (x, y) into the diagram window of the axis choices vx/vy (1-based rows of the main
// window's axis lists): as a new curve group coloured `ccc` with the comment `kkk` and the air
// correction factor `k`, or, when the same file, comment and parameters were drawn there before,
// by showing that group again. Then fits the limits, sets the labels and title, prints the window
// to the main window's bitmap file and writes the visible curves to its ASCII file when those
// names are set, and switches zoom on.
void plot_diag(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
               const Eigen::MatrixXd& ccc, const std::string& kkk, double vx, double vy, double k);

// plot_diag with the load measured from the coast, when there is one: it joins the shown comment,
// the group's key and the CSV conditions.
void plot_diag_with_loss(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
                         const Eigen::MatrixXd& ccc, const std::string& kkk, double vx, double vy,
                         double k, const std::optional<LossNote>& loss);

}  // namespace ziva
