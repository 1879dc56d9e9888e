// The language of the UI text record: German unless the program chose another at start.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/core/value.h"

namespace ziva {

enum class Language { German, English };

// Every language with a text table, German first.
const std::vector<Language>& languages();
// The short code of a language ("de", "en") and back; nullopt for a code without a table.
std::string language_code(Language lang);
std::optional<Language> language_of_code(const std::string& code);

// The language strings() speaks. Chosen once at start, before the first window.
Language language();
void set_language(Language lang);

// The UI text record in a language: the German record with the language's translations, built
// on first use and kept.
const Record& strings_in(Language lang);
// German fields that the language's table does not translate (they show in German), in order.
std::vector<std::string> untranslated_fields(Language lang);
// Fields of the language's table that the German record does not have (nowhere shown).
std::vector<std::string> unknown_fields(Language lang);

}  // namespace ziva
