// Table rows of the numeric and file-format functions (signal processing and WAV files).
#pragma once

#include "platform/core/function_table.h"

namespace ziva {

void add_signal_functions(FunctionTable& t);

}  // namespace ziva
