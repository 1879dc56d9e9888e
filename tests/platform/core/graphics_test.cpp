#include "platform/core/graphics.h"

#include <gtest/gtest.h>

#include "base/error.h"

using namespace ziva;

namespace {
struct Recorder : GraphicsObserver {
  std::vector<std::string> log;
  void created(Handle) override { log.push_back("created"); }
  void changed(Handle, const std::string& p) override { log.push_back("changed " + p); }
  void deleted(Handle, ObjType t) override { log.push_back("deleted " + type_name(t)); }
};
}  // namespace

TEST(Graphics, FiguresGetSmallestFreeIntegerHandle) {
  Graphics g;
  EXPECT_EQ(g.figure(), 1);
  EXPECT_EQ(g.figure(), 2);
  g.close(1);
  EXPECT_EQ(g.figure(), 1);
  Handle hidden = g.figure({{"IntegerHandle", "off"}});
  EXPECT_NE(hidden, std::floor(hidden));
  EXPECT_EQ(g.current_figure(), hidden);
}

TEST(Graphics, PropertiesAreCaseInsensitiveAndColoursNormalised) {
  Graphics g;
  Handle f = g.figure();
  Handle c = g.uicontrol(f, {{"Style", "pushbutton"}, {"CallBack", "calc_diag"}});
  EXPECT_EQ(g.get_text(c, "Callback"), "calc_diag");
  g.set(c, "backgroundcolor", "w");
  EXPECT_EQ(g.get(c, "BackgroundColor"), Value::row({1, 1, 1}));
  EXPECT_THROW(g.set(c, "NoSuchThing", 1.0), Error);
  EXPECT_THROW(g.set(c, "BackgroundColor", "purple-ish"), Error);
}

TEST(Graphics, RootDefaultsApplyToLaterObjects) {
  Graphics g;
  Handle f1 = g.figure();
  g.set(kRoot, "DefaultUIcontrolUnits", "normalized");
  g.set(kRoot, "DefaultFigureUnits", "centimeters");
  Handle f2 = g.figure();
  EXPECT_EQ(g.get_text(f1, "Units"), "pixels");
  EXPECT_EQ(g.get_text(f2, "Units"), "centimeters");
  EXPECT_NEAR(g.get_row(f2, "Position")(2), 560 * 2.54 / 96, 1e-9);
  EXPECT_EQ(g.get_text(g.uicontrol(f2), "Units"), "normalized");
}

TEST(Graphics, ChildrenNewestFirstAndFindobjDepthFirst) {
  Graphics g;
  Handle f = g.figure();
  Handle ax = g.axes(f, {{"Tag", "A"}});
  g.hold(ax, true);
  Handle l1 = g.line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1), {{"Tag", "x"}});
  Handle l2 = g.line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(1, 2), {{"Tag", "x"}});
  EXPECT_EQ(g.children(ax), (std::vector<Handle>{l2, l1}));
  EXPECT_EQ(g.findobj({{"Tag", "x"}}), (std::vector<Handle>{l2, l1}));
  EXPECT_EQ(g.findobj({ax}, {{"Type", "line"}, {"Visible", "on"}}).size(), 2u);
  g.set(l1, "Visible", "off");
  EXPECT_EQ(g.findobj({{"Type", "line"}, {"Visible", "on"}}), std::vector<Handle>{l2});
}

TEST(Graphics, FindFirstByTagAgreesWithFindobj) {
  Graphics g;
  Handle f = g.figure();
  Handle a = g.uicontrol(f, {{"Tag", "a"}});
  Handle b = g.uicontrol(f, {{"Tag", "b"}});
  // The newest child is met first, but a hidden handle is never found; tags match exactly.
  g.uicontrol(f, {{"Tag", "b"}, {"HandleVisibility", "off"}});
  // Nor anything below one; an object with children is found by its own tag.
  g.uicontrol(g.figure({{"HandleVisibility", "off"}}), {{"Tag", "c"}});
  const Handle d = g.figure({{"Tag", "d"}});
  const Handle e = g.uicontrol(d, {{"Tag", "e"}});
  using Row = std::pair<const char*, Handle>;
  const Row rows[] = {{"a", a}, {"b", b}, {"B", 0}, {"c", 0}, {"d", d}, {"e", e}, {"none", 0}};
  for (auto [tag, want] : rows) {
    const std::vector<Handle> all = g.findobj({{"Tag", tag}});
    EXPECT_EQ(all.empty() ? 0 : all.front(), want) << tag;
    EXPECT_EQ(g.find_first("tAg", tag), want) << tag;
  }
}

TEST(Graphics, WithoutHoldAPlotReplacesTheAxesContents) {
  Graphics g;
  Handle ax = g.gca();
  Handle l1 = g.line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1));
  Handle l2 = g.line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1));
  EXPECT_FALSE(g.exists(l1));
  EXPECT_TRUE(g.exists(l2));
}

TEST(Graphics, DeletingAFigureDeletesItsTreeAndNotifies) {
  Graphics g;
  Recorder r;
  Handle f1 = g.figure();
  Handle f2 = g.figure();
  Handle ax = g.axes(f2);
  g.add_observer(&r);
  g.close(f2);
  EXPECT_FALSE(g.exists(ax));
  EXPECT_EQ(g.current_figure(), f1);
  EXPECT_EQ(r.log, (std::vector<std::string>{"changed currentaxes", "deleted axes",
                                             "changed currentfigure", "deleted figure"}));
  g.remove_observer(&r);
}

TEST(Graphics, AutomaticLimitsAndNiceTicks) {
  Graphics g;
  Handle ax = g.gca();
  g.line(ax, Eigen::RowVector3d(0, 5, 10), Eigen::RowVector3d(3.4, 20, 41.26));
  Eigen::RowVectorXd ylim = g.get_row(ax, "YLim");
  EXPECT_LE(ylim(0), 3.4);
  EXPECT_GE(ylim(1), 41.26);
  g.set(ax, "YLim", Value::row({0, 50}));
  Eigen::RowVectorXd ticks = g.get_row(ax, "YTick");
  ASSERT_GE(ticks.size(), 3);
  double step = ticks(1) - ticks(0);
  double mant = step / std::pow(10.0, std::floor(std::log10(step)));
  EXPECT_TRUE(std::abs(mant - 1) < 1e-9 || std::abs(mant - 2) < 1e-9 || std::abs(mant - 5) < 1e-9);
  EXPECT_EQ(ticks(0), 0);
  EXPECT_EQ(ticks(ticks.size() - 1), 50);
  EXPECT_THROW(g.set(ax, "XLim", Value::row({1, 1})), Error);
}
