// The main window: its 61 controls, the channel-dependent fields and the start-up sequence.
#pragma once

#include "params/channels.h"
#include "platform/core/function_table.h"
#include "ui/main_window_view.h"

namespace ziva {

// Creates the 61 controls of the main window `fig` in their fixed order.
void uicontrols_main(Env& env, double fig);
// The start-up sequence: defaults, main window, "Saved Data" axes, start-up parameter file.
void zaror_arad(Env& env);

}  // namespace ziva
