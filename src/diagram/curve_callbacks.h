// The callbacks that manage the look of diagrams: showing and hiding a curve group, recolouring it,
// and choosing the colour of the next evaluation's curves.
#pragma once

#include <string>

#include "platform/core/function_table.h"

namespace ziva {

// Hides every object tagged `tag` when all of them are visible, otherwise shows them all; then the
// same, judged on their own, for the objects tagged "2" + `tag`. Tags matching nothing are left.
void toggle_vis(Env& env, const std::string& tag);

// Lets the user pick a colour for the curve group `group` (window name + data tag), preset with
// its colour button's colour; the chosen colour goes to the button, the main curve and the
// second-scale objects. Cancelling changes nothing.
void ch_color(Env& env, const std::string& group);

// Lets the user pick the colour of the next evaluation's curves: the "BackgroundColor" of the
// main window's `set_sdiag_color` button. Cancelling changes nothing.
void set_sdiag_color(Env& env);

}  // namespace ziva
