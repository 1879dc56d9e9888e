// adj_par after channel choices: the list of channel 2 (three entries with wheel or roller
// sensors on channel 1), the entry kept in its meaning, the roller fields and the sensor caption,
// in German and in English.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

struct Step {
  double ch1, ch2;  // chosen before adj_par; ch2 < 0 keeps the current choice
  std::size_t list_size;
  double ch2_after;
  const char* ch2_entry;  // its first characters
  bool roller_fields;
  const char* sensors;  // "" when not checked
};

struct Sequence {
  const char* name;
  std::vector<Step> steps;
  Language lang = Language::German;
};

class AdjPar : public ProgramTest, public ::testing::WithParamInterface<Sequence> {};

TEST_P(AdjPar, ChannelTwoFollowsChannelOne) {
  ziva::testing::InLanguage in(GetParam().lang);
  start();
  for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
    const Step& s = GetParam().steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    choose("popup_sig_ch1", s.ch1);
    if (s.ch2 > 0) choose("popup_sig_ch2", s.ch2);
    adj_par(env());
    const Value list = g().get(ctl("popup_sig_ch2"), "String");
    EXPECT_EQ(list.rows().size(), s.list_size);
    EXPECT_EQ(val("popup_sig_ch2"), s.ch2_after);
    const std::string entry = list.row_text(static_cast<std::size_t>(val("popup_sig_ch2") - 1));
    EXPECT_EQ(entry.rfind(s.ch2_entry, 0), 0u) << entry;
    for (const char* t : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
      EXPECT_EQ(g().is_on(ctl(t), "Visible"), s.roller_fields) << t;
    if (*s.sensors != '\0') {
      EXPECT_EQ(str("wheel_sens_txt"), s.sensors);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    App, AdjPar,
    ::testing::Values(
        // Wheel sensors: "Aus" (4 of 4) is entry 3 of 3; a roller on channel 2 becomes "Aus".
        Sequence{"wheel",
                 {{2, 4, 3, 3, "Aus", false, "Rad Sensoren:"},
                  {2, 3, 3, 3, "Aus", false, "Rad Sensoren:"}}},
        // A roller on channel 1 shows the roller fields; back to the alternator, channel 2 keeps
        // its roller as entry 3 of the full list.
        Sequence{"roller",
                 {{3, 2, 3, 2, "Träg", true, "Rollen Sensoren:"}, {1, -1, 4, 3, "Träg", true, ""}}},
        // "Aus" keeps its meaning through the lists, and adj_par twice changes nothing.
        Sequence{"off",
                 {{4, 3, 4, 3, "Träg", true, ""},
                  {2, 3, 3, 3, "Aus", false, ""},
                  {1, -1, 4, 4, "Aus", false, ""},
                  {1, -1, 4, 4, "Aus", false, ""}}},
        // The English lists are matched by their own first letters.
        Sequence{"roller_en",
                 {{3, 2, 3, 2, "Roller", true, "Roller sensors:"},
                  {1, -1, 4, 3, "Roller", true, ""},
                  {1, 4, 4, 4, "Off", false, "Wheel sensors:"}},
                 Language::English}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
