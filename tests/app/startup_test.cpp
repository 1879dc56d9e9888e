#include <gtest/gtest.h>

#include "base/error.h"
#include "params/par_file.h"
#include "platform/core/text.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::ProgramTest;

using Startup = ProgramTest;

namespace {

// The controls of parameters added since the first version: a caption (none for a check box) and
// the control.
std::size_t added_controls() {
  std::size_t n = 0;
  for (const ParamSpec& p : param_table())
    if (p.placement) n += p.kind == ParamKind::CheckBox ? 1 : 2;
  return n;
}

}  // namespace

// The defaults the main window shows are checked on its widgets (platform tests).
TEST_F(Startup, MainWindowWithSixtyOneControlsAndDefaults) {
  start();
  Handle fig = g().find_first("Tag", "Main Figure");
  ASSERT_NE(fig, 0);
  // The first version's 61 controls, then those of parameters added later.
  EXPECT_EQ(g().findobj({fig}, {{"Type", "uicontrol"}}).size(), 61u + added_controls());
  // Controls are created in table order: the oldest control is the first frame.
  auto kids = g().children(fig);
  std::vector<Handle> controls;
  for (Handle h : kids)
    if (g().type(h) == ObjType::Uicontrol) controls.insert(controls.begin(), h);
  EXPECT_EQ(g().get_text(controls[0], "Style"), "frame");
  EXPECT_EQ(g().get_text(controls[4], "Tag"), "wav_file");
  EXPECT_EQ(g().get_text(controls[60], "Tag"), "cut_File");
  EXPECT_EQ(g().get_text(controls[60], "Units"), "normalized");
  EXPECT_EQ(val("air_corr"), 1);
  EXPECT_EQ(str("air_humid"), "0");
  EXPECT_EQ(val("auto_trim"), 0);
  EXPECT_EQ(val("estimator"), 1);

  Handle saved = g().find_first("Tag", "Saved Data");
  ASSERT_NE(saved, 0);
  EXPECT_EQ(g().get_text(saved, "NextPlot"), "add");
  EXPECT_EQ(g().get(fig, "CurrentAxes"), Value(saved));
  EXPECT_EQ(g().get_text(kRoot, "DefaultFigureUnits"), "centimeters");
}

TEST_F(Startup, StartupFileOverridesDefaultsAndChannelFieldsFollow) {
  ParSet p;
  p.total_mass_kg = 321.5;
  p.sig_ch1 = 3;
  p.sig_ch2 = 2;
  p.title = "Prüfstand";
  write_par_file(path("zaror_arad_start.cfg"), p);
  start();
  EXPECT_EQ(str("total_mass"), "321.5");
  EXPECT_EQ(str("title_txt"), "Prüfstand");
  EXPECT_EQ(val("popup_sig_ch1"), 3);
  EXPECT_EQ(val("popup_sig_ch2"), 2);
  EXPECT_EQ(g().get(ctl("popup_sig_ch2"), "String").rows().size(), 3u);
  EXPECT_EQ(g().get_text(ctl("cylin_perim"), "Visible"), "on");
  EXPECT_EQ(str("wheel_sens_txt"), "Rollen Sensoren:");
}

TEST(UiTexts, RecordHasItsFieldsWithPaddedLists) {
  Record st = strings();
  // The first version's 54 fields come first, in their order; texts added since follow them.
  ASSERT_GE(st.size(), 54u);
  EXPECT_EQ(st.fields().front().first, "frame_files");
  EXPECT_EQ(st.fields()[53].first, "cut_done");
  auto sig = st.at("popup_sig").rows();
  ASSERT_EQ(sig.size(), 4u);
  for (const auto& r : sig) EXPECT_EQ(char_count(r), 18u);
  EXPECT_EQ(sig[2], "Trägheitsrolle    ");
  for (const auto& r : st.at("popup_yaxis").rows()) EXPECT_EQ(char_count(r), 26u);
  for (const auto& r : st.at("popup_xaxis").rows()) EXPECT_EQ(char_count(r), 22u);
  EXPECT_EQ(st_text(st, "error_num2s"), "Fehlerhaftes Zahlenformat von ");
  EXPECT_EQ(st_text(st, "air_temp"), "Luft Temperatur [°C]");
}
