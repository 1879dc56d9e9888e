#include "ui/language.h"

#include <atomic>
#include <iterator>
#include <mutex>
#include <utility>

#include "ui/strings.h"
#include "ui/text_tables.h"

namespace ziva {

namespace {

struct Table {
  Language lang;
  const char* code;
  Record (*texts)();
};

// One row per language; a new language is one more table and one more row.
const Table kTables[] = {
    {Language::German, "de", german_strings},
    {Language::English, "en", english_strings},
};

const Table& table(Language lang) {
  for (const Table& t : kTables)
    if (t.lang == lang) return t;
  return kTables[0];
}

std::atomic<Language> g_language{Language::German};

}  // namespace

const std::vector<Language>& languages() {
  static const std::vector<Language> all = [] {
    std::vector<Language> v;
    for (const Table& t : kTables) v.push_back(t.lang);
    return v;
  }();
  return all;
}

std::string language_code(Language lang) {
  return table(lang).code;
}

std::optional<Language> language_of_code(const std::string& code) {
  for (const Table& t : kTables)
    if (code == t.code) return t.lang;
  return std::nullopt;
}

Language language() {
  return g_language.load();
}

void set_language(Language lang) {
  g_language.store(lang);
}

const Record& strings_in(Language lang) {
  // Built once per language, on first use, from whichever thread asks first.
  constexpr std::size_t kCount = std::size(kTables);
  static std::once_flag built[kCount];
  static Record records[kCount];
  const auto i = static_cast<std::size_t>(&table(lang) - kTables);
  std::call_once(built[i], [i, lang] {
    Record st = german_strings();
    if (lang != Language::German) {
      const Record own = table(lang).texts();
      for (const auto& [field, text] : own.fields())
        if (st.has(field)) st[field] = text;
    }
    records[i] = std::move(st);
  });
  return records[i];
}

const Record& strings() {
  return strings_in(language());
}

std::vector<std::string> untranslated_fields(Language lang) {
  std::vector<std::string> out;
  if (lang == Language::German) return out;
  const Record own = table(lang).texts();
  const Record german = german_strings();
  for (const auto& field : german.fields())
    if (!own.has(field.first)) out.push_back(field.first);
  return out;
}

std::vector<std::string> unknown_fields(Language lang) {
  std::vector<std::string> out;
  const Record german = german_strings();
  const Record own = table(lang).texts();
  for (const auto& field : own.fields())
    if (!german.has(field.first)) out.push_back(field.first);
  return out;
}

}  // namespace ziva
