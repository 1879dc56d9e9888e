#include <gtest/gtest.h>

#include "app/main_window.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

class AdjPar : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start();
  }
  void pick(double ch1, double ch2) {
    choose("popup_sig_ch1", ch1);
    choose("popup_sig_ch2", ch2);
    adj_par(env());
  }
  std::string ch2_entry() {
    return g()
        .get(ctl("popup_sig_ch2"), "String")
        .row_text(static_cast<std::size_t>(val("popup_sig_ch2") - 1));
  }
  size_t ch2_list_size() { return g().get(ctl("popup_sig_ch2"), "String").rows().size(); }
  bool roller_visible() {
    for (const char* t : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
      if (!g().is_on(ctl(t), "Visible")) return false;
    return true;
  }
  bool roller_hidden() {
    for (const char* t : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
      if (g().is_on(ctl(t), "Visible")) return false;
    return true;
  }
};

}  // namespace

TEST_F(AdjPar, WheelSensorsRestrictChannelTwo) {
  pick(2, 4);
  EXPECT_EQ(ch2_list_size(), 3u);
  EXPECT_EQ(val("popup_sig_ch2"), 3);
  EXPECT_EQ(ch2_entry().substr(0, 3), "Aus");

  pick(2, 3);  // roller in the full list becomes "Aus" in the three-entry list
  EXPECT_EQ(ch2_entry().substr(0, 3), "Aus");
  EXPECT_TRUE(roller_hidden());
  EXPECT_EQ(str("wheel_sens_txt"), "Rad Sensoren:");
}

TEST_F(AdjPar, RollerOnChannelOneShowsRollerFields) {
  choose("popup_sig_ch1", 3);
  choose("popup_sig_ch2", 2);
  adj_par(env());
  EXPECT_EQ(ch2_list_size(), 3u);
  EXPECT_EQ(ch2_entry().substr(0, 5), "Träg");
  EXPECT_TRUE(roller_visible());
  EXPECT_EQ(str("wheel_sens_txt"), "Rollen Sensoren:");

  // Back to alternator: channel 2 keeps its roller, now as entry 3 of the full list.
  choose("popup_sig_ch1", 1);
  adj_par(env());
  EXPECT_EQ(ch2_list_size(), 4u);
  EXPECT_EQ(val("popup_sig_ch2"), 3);
  EXPECT_TRUE(roller_visible());
}

TEST_F(AdjPar, OffAndRollerAndIdempotence) {
  pick(4, 3);
  EXPECT_TRUE(roller_visible());
  pick(2, 3);  // "Aus" of popup_sig2
  pick(1, 3);  // back to full list: "Aus" keeps its meaning as entry 4
  EXPECT_EQ(val("popup_sig_ch2"), 4);
  adj_par(env());
  EXPECT_EQ(val("popup_sig_ch2"), 4);
  EXPECT_TRUE(roller_hidden());
}
