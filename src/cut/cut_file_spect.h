// Cutting a recording by hand on the spectrogram of a tone channel: the user zooms to the part of
// the run to evaluate and closes the window.
#pragma once

#include <Eigen/Dense>

#include "platform/core/function_table.h"

namespace ziva {

// Shows the spectrogram of column `ch` (1-based) of Y (rate FS) over the engine speeds 500 to
// 16000 rpm, a tone of rpm / 60 · L Hz standing for engine speed rpm, as a scaled image with the
// black track of the strongest frequency, in the cut window with zoom on. The view is computed at
// 4410 Hz; Y is not changed. Returns after the window is closed: the rows of Y (all channels,
// rate FS) whose time lies strictly inside the x range shown at that moment. Throws for a channel
// Y does not hold and for a recording too short to show two spectrum slices (no window is left).
Eigen::MatrixXd cut_file_spect(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                               const Record& st);

// cut_file_spect, with the full-load part the automatic detection finds on the track marked when
// `show_full_load` (mark_full_load).
Eigen::MatrixXd cut_on_spectrogram(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                                   const Record& st, bool show_full_load);

}  // namespace ziva
