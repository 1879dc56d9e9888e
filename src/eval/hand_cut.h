// The call point of the hand cut before a conversion: hands the recording to the cut views
// (cut_file_spect, cut_file_digi) when the program has them, and otherwise leaves it uncut.
#pragma once

#include <Eigen/Dense>
#include <optional>

#include "platform/core/function_table.h"

namespace ziva {

// The recording restricted to the time range the user chooses on the spectrogram view of channel
// `ch` (tone periods per engine revolution L); Y itself while no such view is registered.
Eigen::MatrixXd hand_cut_spect(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                               const Record& st);

// The same on the pulse-speed view (circumference u, W pulses per revolution) of channel `ch`, or
// of both channels when `ch` is not given.
Eigen::MatrixXd hand_cut_digi(Env& env, const Eigen::MatrixXd& Y, double FS, double u, double W,
                              const Record& st, std::optional<int> ch);

}  // namespace ziva
