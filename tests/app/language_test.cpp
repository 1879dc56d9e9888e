// The languages of the UI text record: German by default, others laid over it field by field.
#include "ui/language.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

#include "params/channels.h"
#include "platform/core/text.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::InLanguage;

namespace {

std::string first_letter(const std::string& s) {
  std::size_t n = 1;
  while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
  return s.substr(0, n);
}

class EveryLanguage : public ::testing::TestWithParam<Language> {};

}  // namespace

TEST_P(EveryLanguage, TableFitsTheGermanRecord) {
  const Language lang = GetParam();
  EXPECT_EQ(language_of_code(language_code(lang)), lang);
  EXPECT_TRUE(unknown_fields(lang).empty()) << "fields no window shows";
  const std::vector<std::string> missing = untranslated_fields(lang);
  std::string names;
  for (const auto& f : missing) names += " " + f;
  ::testing::Test::RecordProperty("untranslated", names);
  if (!missing.empty())
    std::cout << "[ untranslated ] " << language_code(lang) << ":" << names << "\n";

  const Record german = strings_in(Language::German);
  const Record own = strings_in(lang);
  ASSERT_EQ(own.size(), german.size());
  for (std::size_t i = 0; i < german.size(); ++i) {
    const auto& [field, de] = german.fields()[i];
    const Value& text = own.fields()[i].second;
    EXPECT_EQ(own.fields()[i].first, field);
    ASSERT_EQ(text.is_list(), de.is_list()) << field;
    if (!de.is_list()) continue;
    // The program chooses entries by position and the channel lists by first letter.
    const auto rows = text.rows();
    EXPECT_EQ(rows.size(), de.rows().size()) << field;
    std::set<std::string> letters;
    for (const auto& r : rows) {
      EXPECT_EQ(char_count(r), char_count(rows.front())) << field;
      letters.insert(first_letter(r));
    }
    if (field.rfind("popup_sig", 0) == 0) {
      EXPECT_EQ(letters.size(), rows.size()) << field;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(UiTexts, EveryLanguage, ::testing::ValuesIn(languages()),
                         [](const auto& info) { return language_code(info.param); });

TEST(UiTexts, GermanUnlessAnotherLanguageIsChosen) {
  EXPECT_EQ(language(), Language::German);
  EXPECT_EQ(language_of_code("fr"), std::nullopt);
  EXPECT_EQ(st_text(strings(), "push_sdiag"), "Berechne Diagramm >>");
  {
    InLanguage en(Language::English);
    EXPECT_EQ(st_text(strings(), "push_sdiag"), "Compute diagram >>");
    EXPECT_EQ(st_row(strings(), "popup_yaxis", 1), "Power[PS]/Torque[Nm]      ");
  }
  EXPECT_EQ(st_text(strings(), "push_sdiag"), "Berechne Diagramm >>");
}
