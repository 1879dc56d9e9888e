// The UI text record: every word the user sees, in the language chosen (ui/language.h; German
// unless another was chosen).
#pragma once

#include <string>
#include <vector>

#include "platform/core/value.h"

namespace ziva {

// The fields in their fixed order; lists are padded text lists.
const Record& strings();

// A plain text field of the record.
std::string st_text(const Record& st, const std::string& field);
// Row i (1-based) of a list field, padded.
std::string st_row(const Record& st, const std::string& field, int i);

}  // namespace ziva
