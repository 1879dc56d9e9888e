#include "plot/waitbar.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/warning.h"
#include "support/error_of.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

class Waitbar : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start();
  }
  Handle bar_of(Handle fig) { return g().findobj({fig}, {{"Type", "patch"}}).at(0); }
  Handle frame_of(Handle fig) { return g().findobj({fig}, {{"Type", "line"}}).at(0); }
  Handle axes_of(Handle fig) { return g().findobj({fig}, {{"Type", "axes"}}).at(0); }
  double filled(Handle fig) { return g().get_row(bar_of(fig), "XData")(1); }
  std::string error_of(const Values& args) {
    return ziva::testing::error_of([&] { program_->call("waitbar", 1, args); });
  }
};

}  // namespace

TEST_F(Waitbar, CreationLayoutInPoints) {
  Values out = program_->call("waitbar", 1,
                              {0.25, "Bitte warten", "NumberTitle", "off", "Name", "Berechne"});
  Handle fig = out.at(0).scalar();
  // 360 x 75 pixels at 96 pixels per inch are 270 x 56.25 points, centred on 1920 x 1080 pixels.
  expect_props(fig, {{"Tag", "TMWWaitbar"},
                     {"Name", "Berechne"},
                     {"NumberTitle", "off"},
                     {"Units", "points"},
                     {"Position",
                      Value::row({1920 * 0.75 / 2 - 135, 1080 * 0.75 / 2 - 28.125, 270, 56.25})}});
  EXPECT_NE(fig, std::floor(fig)) << "IntegerHandle off";
  EXPECT_EQ(g().get_text(kRoot, "Units"), "pixels") << "root units restored";

  Handle ax = axes_of(fig);
  expect_props(ax, {{"Position", Value::row({0.05 * 270, 0.3 * 56.25, 0.9 * 270, 0.2 * 56.25})},
                    {"XLim", Value::row({0, 100})},
                    {"YLim", Value::row({0, 1})}});
  EXPECT_EQ(g().get_text(g().label_of(ax, "Title"), "String"), "Bitte warten");
  expect_props(bar_of(fig), {{"XData", Value::row({0, 25, 25, 0})},
                             {"YData", Value::row({0, 0, 1, 1})},
                             {"FaceColor", Value::row({1, 0, 0})},
                             {"EdgeColor", Value::row({1, 0, 0})}});
  Handle frame = frame_of(fig);
  expect_props(frame, {{"XData", Value::row({100, 0, 0, 100, 100})},
                       {"YData", Value::row({0, 0, 1, 1, 0})},
                       {"Color", g().get(ax, "XColor")}});
  // The frame is newer than the bar, so it is drawn over it.
  EXPECT_EQ(g().children(ax).front(), frame);
}

TEST_F(Waitbar, FractionsAreClampedAndTitleUpdates) {
  Handle fig = waitbar_create(env(), 1.5, "A");
  EXPECT_EQ(filled(fig), 100);
  waitbar_update(env(), -0.2, fig);
  EXPECT_EQ(filled(fig), 0);
  program_->call("waitbar", 1, {0.5, fig, "Neu"});
  EXPECT_EQ(filled(fig), 50);
  EXPECT_EQ(g().get_text(g().label_of(axes_of(fig), "Title"), "String"), "Neu");
}

TEST_F(Waitbar, FractionAloneUpdatesTheFirstWindowOrCreatesOne) {
  Handle made = program_->call("waitbar", 1, {0.3}).at(0).scalar();
  EXPECT_EQ(g().get_text(g().label_of(axes_of(made), "Title"), "String"), "Waitbar");
  EXPECT_EQ(filled(made), 30);
  Handle again = program_->call("waitbar", 1, {0.6}).at(0).scalar();
  EXPECT_EQ(again, made);
  EXPECT_EQ(filled(made), 60);
}

TEST_F(Waitbar, ErrorMessages) {
  EXPECT_EQ(error_of({}), "Input arguments not valid.");
  EXPECT_EQ(error_of({0.5, Value(std::vector<Value>{Value(1.0)})}),
            "Input arguments of type cell not valid.");
  EXPECT_EQ(error_of({0.5, "Titel", "Name"}),
            "Optional initialization arguments must be passed in pairs");
  Handle fig = waitbar_create(env(), 0, "A");
  g().close(fig);
  EXPECT_EQ(error_of({0.5, fig}), "Couldn't find waitbar handles.");
  Handle other = waitbar_create(env(), 0, "B");
  g().remove(bar_of(other));
  EXPECT_EQ(error_of({0.5, other}), "Couldn't find waitbar handles.");
}

TEST_F(Waitbar, LongTitleWidensTheWindowUpToTheScreen) {
  Handle fig = waitbar_create(env(), 0, std::string(60, 'x'));
  const double title_w = g().get_row(g().label_of(axes_of(fig), "Title"), "Extent")(2);
  ASSERT_GT(title_w, 1.1 * 270);
  Eigen::RowVectorXd pos = g().get_row(fig, "Position");
  EXPECT_DOUBLE_EQ(pos(2), 1.1 * title_w);
  EXPECT_DOUBLE_EQ(pos(0), 1920 * 0.75 / 2 - pos(2) / 2);
  EXPECT_DOUBLE_EQ(g().get_row(axes_of(fig), "Position")(2), 0.9 * pos(2));

  Handle wide = waitbar_create(env(), 0, std::string(400, 'x'));
  EXPECT_DOUBLE_EQ(g().get_row(wide, "Position")(2), 1920 * 0.75);
}

TEST_F(Waitbar, CancelButtonAndRefusedProperties) {
  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& w) { warnings.push_back(w); });
  Handle fig =
      waitbar_create(env(), 0, "A", {{"CreateCancelBtn", "stop_it"}, {"NoSuchProperty", 3.0}});
  Handle button = g().find_first("Tag", "TMWWaitbarCancelButton");
  ASSERT_NE(button, 0);
  expect_props(button, {{"String", "Cancel"},
                        {"Callback", "stop_it"},
                        {"Position", Value::row({270 - 1.4 * 45, 7, 45, 23 * 0.75})}});
  EXPECT_EQ(g().get_text(fig, "CloseRequestFcn"), "stop_it");
  EXPECT_DOUBLE_EQ(g().get_row(fig, "Position")(3), 56.25 + 23 * 0.75);
  EXPECT_DOUBLE_EQ(g().get_row(axes_of(fig), "Position")(1), 0.3 * 56.25 + 23 * 0.75);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "could not set property 'NoSuchProperty' with value '3'");
}

TEST_F(Waitbar, ProgressWindowClosesOnEveryWayOut) {
  const Record st = strings();
  Handle seen = 0;
  try {
    ProgressWindow p(env(), st);
    seen = p.handle();
    EXPECT_EQ(g().get_text(seen, "Name"), "Berechne Diagramm");
    EXPECT_EQ(g().get_text(g().label_of(axes_of(seen), "Title"), "String"), "Bitte warten");
    p.advance(0.5);
    throw Error("conversion failed");
  } catch (const Error&) {
  }
  EXPECT_FALSE(g().exists(seen));
}
