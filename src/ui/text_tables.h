// The text tables of the UI text record, one per language. The German table is complete and
// fixes the fields and their order; another language's table holds the fields it translates,
// and every field it lacks shows in German.
#pragma once

#include "platform/core/value.h"

namespace ziva {

Record german_strings();
Record english_strings();

}  // namespace ziva
