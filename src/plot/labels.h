// Axes title and axis labels: the axes' own text objects, given the axes' font and a text.
#pragma once

#include <string>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

// Sets the current axes' title (or x-/y-axis label) to `text`: copies the axes' "FontAngle",
// "FontName", "FontSize" and "FontWeight" to the label (the title also gets "Rotation" 0), then
// applies `extra`. Returns the label's text object.
Handle title(Env& env, const std::string& text, const Props& extra = {});
Handle xlabel(Env& env, const std::string& text, const Props& extra = {});
Handle ylabel(Env& env, const std::string& text, const Props& extra = {});

// The same for the given axes instead of the current ones.
Handle title(Env& env, Handle ax, const std::string& text, const Props& extra = {});
Handle xlabel(Env& env, Handle ax, const std::string& text, const Props& extra = {});
Handle ylabel(Env& env, Handle ax, const std::string& text, const Props& extra = {});

// By-name entries: an optional axes handle, the text, then property/value pairs ("Incorrect
// number of input arguments" when they do not come in pairs); one result, the label's handle.
Values title_entry(Env& env, int nargout, const Values& args);
Values xlabel_entry(Env& env, int nargout, const Values& args);
Values ylabel_entry(Env& env, int nargout, const Values& args);

}  // namespace ziva
