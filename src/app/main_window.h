// The main window: its 61 controls, the channel-dependent fields and the start-up sequence.
#pragma once

#include "platform/core/function_table.h"

namespace ziva {

inline constexpr const char* kTitle = "Rizid Ziva V0.1.9";
inline constexpr const char* kStartupFile = "zaror_arad_start.cfg";

// Creates the 61 controls of the main window `fig` in their fixed order.
void uicontrols_main(Env& env, double fig);
// Keeps channel 2's list, the roller fields and the sensor caption consistent with the channels.
void adj_par(Env& env);
// The start-up sequence: defaults, main window, "Saved Data" axes, start-up parameter file.
void zaror_arad(Env& env);

// The control tagged `tag` (throws when there is none).
double control(const Env& env, const std::string& tag);

}  // namespace ziva
