#include "diagram/curve_callbacks.h"

#include <gtest/gtest.h>

#include "diagram/diagram_fixture.h"

using namespace ziva;
using ziva::testing::DiagramTest;

using CurveCallbacks = DiagramTest;

namespace {
const std::string kName = DiagramTest::kPowerTorque;
}

TEST_F(CurveCallbacks, CheckBoxHidesAndShowsAGroupAndRefitsTheLimits) {
  start_one_channel();
  draw(rpm(40), power_torque(40), "a.wav", "Lauf 1");
  draw(rpm(60), power_torque(60, 2), "b.wav", "Lauf 2");
  Handle ax = axes_of(kName);
  EXPECT_EQ(g().get(ax, "XLim"), Value::row({1000, 1590}));
  EXPECT_EQ(g().get(ax, "YLim"), Value::row({0, 90}));
  const std::string newer = kName + "b.wav" + "Lauf 2";
  Handle box = g().find_first("Tag", "Checkbox" + newer);
  const std::string callback = g().get_text(box, "Callback");

  ASSERT_TRUE(program_->run(callback));
  for (const std::string& tag : {"Diag" + newer, "2Diag" + newer})
    for (Handle h : tagged(tag)) EXPECT_FALSE(g().is_on(h, "Visible"));
  for (Handle h : tagged("Diag" + kName + "a.wavLauf 1")) EXPECT_TRUE(g().is_on(h, "Visible"));
  // Limits and second scale now come from the older group alone.
  EXPECT_EQ(g().get(ax, "XLim"), Value::row({1000, 1390}));
  EXPECT_EQ(g().get(ax, "YLim"), Value::row({0, 45}));
  double torque_top = 0;
  for (Handle h : tagged("2Diag" + kName + "a.wavLauf 1"))
    torque_top = std::max(torque_top, g().get_row(h, "YData").maxCoeff());
  Handle caption = 0;
  for (Handle h : tagged("YTicks2" + kName))
    if (g().get_scalar(h, "Rotation") == 270) caption = h;
  ASSERT_NE(caption, 0);
  EXPECT_DOUBLE_EQ(g().get_row(caption, "Position")(1), torque_top / 2);

  // Hiding every group keeps the last visible state.
  const std::string older =
      g().get_text(g().find_first("Tag", "Checkbox" + kName + "a.wavLauf 1"), "Callback");
  const std::size_t texts = tagged("YTicks2" + kName).size();
  ASSERT_TRUE(program_->run(older));
  EXPECT_EQ(g().get(ax, "XLim"), Value::row({1000, 1390}));
  EXPECT_EQ(g().get(ax, "YLim"), Value::row({0, 45}));
  EXPECT_EQ(tagged("YTicks2" + kName).size(), texts);
  ASSERT_TRUE(program_->run(older));

  ASSERT_TRUE(program_->run(callback));
  for (const std::string& tag : {"Diag" + newer, "2Diag" + newer})
    for (Handle h : tagged(tag)) EXPECT_TRUE(g().is_on(h, "Visible"));
  EXPECT_EQ(g().get(ax, "YLim"), Value::row({0, 90}));
}

// A one-column group toggles its one curve; a partly hidden set is shown first.
TEST_F(CurveCallbacks, ToggleOneColumnAndPartlyHiddenGroups) {
  start_one_channel();
  draw(rpm(40), power_torque(40).col(0), "a.wav", "Lauf 1", 1, 3);
  const std::string tag = "DiagDiagramme: RPM [1/min] - Leistung [PS] a.wavLauf 1";
  ASSERT_EQ(tagged(tag).size(), 1u);
  toggle_vis(env(), tag);
  EXPECT_FALSE(g().is_on(tagged(tag)[0], "Visible"));
  toggle_vis(env(), tag);
  EXPECT_TRUE(g().is_on(tagged(tag)[0], "Visible"));
  // A tag that matches nothing changes nothing.
  toggle_vis(env(), "DiagNothing");

  draw(rpm(40), power_torque(40), "a.wav", "Lauf 1");
  const std::string group = kName + "a.wavLauf 1";
  auto second = tagged("2Diag" + group);
  ASSERT_EQ(second.size(), 2u);
  g().set(second[0], "Visible", "off");
  toggle_vis(env(), "Diag" + group);
  EXPECT_FALSE(g().is_on(tagged("Diag" + group)[0], "Visible"));
  for (Handle h : second) EXPECT_TRUE(g().is_on(h, "Visible"));
}

TEST_F(CurveCallbacks, CommentWithAQuoteStillRunsItsCallbacks) {
  start_one_channel();
  draw(rpm(40), power_torque(40), "Lauf's.wav", "Lauf's 2");
  const std::string group = kName + "Lauf's.wav" + "Lauf's 2";
  Handle box = g().find_first("Tag", "Checkbox" + group);
  ASSERT_NE(box, 0);
  ASSERT_TRUE(program_->run(g().get_text(box, "Callback")));
  EXPECT_TRUE(services_.errors.empty());
  for (Handle h : tagged("Diag" + group)) EXPECT_FALSE(g().is_on(h, "Visible"));

  services_.answer_color(Eigen::RowVector3d(1, 0, 0));
  ASSERT_TRUE(program_->run(g().get_text(g().find_first("Tag", "PushColor" + group), "Callback")));
  EXPECT_EQ(g().get(tagged("Diag" + group)[0], "Color"), Value::row({1, 0, 0}));
}

// The colour chosen for the next curve colours only groups drawn afterwards; a group's own button
// recolours its curves alone. A cancelled colour dialog changes nothing.
TEST_F(CurveCallbacks, NextCurveColourAndRecolourOneGroup) {
  start_one_channel();
  const Value blue = Value::row({0, 0, 1}), green = Value::row({0, 1, 0}),
              red = Value::row({1, 0, 0});
  draw(rpm(40), power_torque(40), "a.wav", "Lauf 1");
  services_.answer_color(std::nullopt);
  services_.answer_color(Eigen::RowVector3d(0, 1, 0));
  ASSERT_TRUE(program_->run("set_sdiag_color"));
  EXPECT_EQ(g().get(ctl("set_sdiag_color"), "BackgroundColor"), blue);
  ASSERT_TRUE(program_->run("set_sdiag_color"));
  EXPECT_EQ(g().get(ctl("set_sdiag_color"), "BackgroundColor"), green);
  draw(rpm(40), power_torque(40), "b.wav", "Lauf 2");

  const std::string first = kName + "a.wavLauf 1", other = kName + "b.wavLauf 2";
  auto colours = [&](const std::string& group) {
    std::vector<Value> out{g().get(g().find_first("Tag", "PushColor" + group), "BackgroundColor")};
    for (const std::string& tag : {"Diag" + group, "2Diag" + group})
      for (Handle h : tagged(tag)) out.push_back(g().get(h, "Color"));
    return out;
  };
  EXPECT_EQ(colours(first), std::vector<Value>(4, blue));
  EXPECT_EQ(colours(other), std::vector<Value>(4, green));

  const std::string recolour = g().get_text(g().find_first("Tag", "PushColor" + first), "Callback");
  services_.answer_color(std::nullopt);
  ASSERT_TRUE(program_->run(recolour));
  EXPECT_EQ(colours(first), std::vector<Value>(4, blue));
  services_.answer_color(Eigen::RowVector3d(1, 0, 0));
  ASSERT_TRUE(program_->run(recolour));
  EXPECT_EQ(services_.dialogs.back().kind, "color");
  EXPECT_EQ(colours(first), std::vector<Value>(4, red));
  EXPECT_EQ(colours(other), std::vector<Value>(4, green));
}
