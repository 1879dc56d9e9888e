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

// The defaults of the controls: on the widgets (platform tests) and after loading a file of
// defaults (parameter tests).
TEST_F(Startup, MainWindowWithSixtyOneControlsAndTheSavedDataAxes) {
  start();
  Handle fig = g().find_first("Tag", "Main Figure");
  ASSERT_NE(fig, 0);
  // The first version's 61 controls, then those of parameters added later.
  EXPECT_EQ(g().findobj({fig}, {{"Type", "uicontrol"}}).size(), 61u + added_controls());
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
