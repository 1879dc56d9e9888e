// Figure helpers of the program's plots: clearing a window, scaled images, and the drawing of a
// short-time spectrum.
#pragma once

#include <Eigen/Dense>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

// Deletes every child of the figure (default: the current figure, created when there is none)
// and returns the figure.
Handle clf(Env& env);
Handle clf(Env& env, Handle fig);

// Draws `c` into the current axes as an image whose colours are scaled to the full range of its
// finite values ("CDataMapping" "scaled", automatic colour limits); its pixel centres span
// x(1) … x(end) and y(1) … y(end) (default 1 … columns and 1 … rows). On axes that do not hold,
// earlier plots are replaced and the y axis points down. Returns the image.
Handle imagesc(Env& env, const Eigen::MatrixXd& c);
Handle imagesc(Env& env, const Eigen::MatrixXd& x, const Eigen::MatrixXd& y,
               const Eigen::MatrixXd& c);

// A colour map of `m` rows running from dark blue through cyan, yellow and red to dark red.
Eigen::MatrixXd jet_colormap(int m = 64);

// Draws a short-time spectrum (rows: frequencies `fo`, columns: segments starting at `to`) into
// the current axes as a scaled image of its level 20·log10(|yo| + eps) in dB, the y axis pointing
// up, the jet colour map, and the axis labels "Time" and "Frequency". A single segment spans the
// time range 0 … 1/fo(2).
void specgram_draw(Env& env, const Eigen::MatrixXcd& yo, const Eigen::VectorXd& fo,
                   const Eigen::VectorXd& to);

// By-name entries: clf([figure]) and imagesc(C) / imagesc(x, y, C), each returning the handle.
Values clf_entry(Env& env, int nargout, const Values& args);
Values imagesc_entry(Env& env, int nargout, const Values& args);

}  // namespace ziva
