#include "diagram/ax_lims.h"

#include <gtest/gtest.h>

#include <limits>

#include "diagram/diagram_fixture.h"

using namespace ziva;
using ziva::testing::DiagramTest;

namespace {

const std::string kName = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";
const std::string kVarY = "Leistung[PS]/Drehm[Nm]    ";

Eigen::RowVectorXd row(std::initializer_list<double> xs) {
  Eigen::RowVectorXd r(static_cast<Eigen::Index>(xs.size()));
  Eigen::Index i = 0;
  for (double x : xs) r(i++) = x;
  return r;
}

}  // namespace

class AxLims : public DiagramTest {
 protected:
  void SetUp() override {
    DiagramTest::SetUp();
    start();
    fig_ = g().figure({{"Name", kName}});
    ax_ = g().axes(fig_, {{"Tag", "DiagAxes" + kName}});
    g().hold(ax_, true);
  }
  std::vector<Handle> second_scale_texts() {
    std::vector<Handle> out;
    for (Handle h : g().children(ax_))
      if (g().type(h) == ObjType::Text && g().get_text(h, "Tag") == "YTicks2" + kName)
        out.insert(out.begin(), h);
    return out;
  }
  Handle fig_ = 0, ax_ = 0;
};

// Whole units outside the visible curves' finite values, the upper limits never below zero,
// equal limits widened by one unit; non-finite values are ignored but kept.
TEST_F(AxLims, LimitsSkipNonFiniteValuesAndWidenEqualOnes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<std::pair<Eigen::RowVectorXd, Eigen::RowVectorXd>> lines;
    Eigen::RowVectorXd xlim, ylim;
  };
  const Case cases[] = {
      {{{row({150.2, 500, 980.7}), row({3.4, 41.26, 20})}}, row({150, 981}), row({0, 42})},
      {{{row({-20.5, -3.2}), row({-2.5, -1})}}, row({-21, 0}), row({-3, 0})},
      {{{row({0, 100.5, 200}), row({nan, 12.2, inf})}, {row({nan, 50}), row({-inf, 3})}},
       row({0, 200}),
       row({0, 13})},
      {{{row({5, 5, 5}), row({0, 0, 0})}}, row({4, 6}), row({-1, 1})},
  };
  for (const Case& c : cases) {
    for (Handle h : g().children(ax_)) g().remove(h);
    for (const auto& [x, y] : c.lines) g().line(ax_, x, y);
    const VisibleCurves v = ax_lims(env(), ax_, 1, kName, "Leistung [PS]");
    EXPECT_EQ(g().get(ax_, "XLim"), Value(c.xlim));
    EXPECT_EQ(g().get(ax_, "YLim"), Value(c.ylim));
    ASSERT_EQ(v.y.size(), c.lines.size());
    const Eigen::RowVectorXd& oldest = c.lines.front().second;
    ASSERT_EQ(v.y.back().size(), oldest.size());
    EXPECT_EQ(v.y.back().array().isFinite().count(), oldest.array().isFinite().count());
    EXPECT_TRUE(second_scale_texts().empty());
  }
}

TEST_F(AxLims, SecondScaleExample) {
  g().line(ax_, row({1000, 6000}), row({5, 45}), {{"Tag", "Diag" + kName + "a"}});
  g().line(ax_, row({1000, 3000, 6000}), row({10, 24.6, 20}), {{"Tag", "2Diag" + kName + "a"}});
  g().set(ax_, "YTick", Value::row({0, 10, 20, 30, 40, 50}));
  ax_lims(env(), ax_, 2, kName, kVarY);
  const double right = g().get_row(ax_, "XLim")(1);
  EXPECT_EQ(right, 6000);
  auto texts = second_scale_texts();
  ASSERT_EQ(texts.size(), 5u);
  const char* expected[] = {"-0", "-20", "-40", "-60"};
  for (int i = 0; i < 4; ++i) {
    expect_props(texts[i], {{"String", expected[i]},
                            {"Position", Value::row({right, 10.0 * i, 0})},
                            {"HorizontalAlignment", "left"},
                            {"FontWeight", "bold"},
                            {"FontSize", g().get(ax_, "FontSize")}});
  }
  Eigen::RowVectorXd pos = g().get_row(texts[4], "Position");
  EXPECT_DOUBLE_EQ(pos(0), 1.05 * right);
  EXPECT_DOUBLE_EQ(pos(1), 12.3);
  expect_props(texts[4], {{"String", "Drehm[Nm]    "},
                          {"Rotation", 270.0},
                          {"VerticalAlignment", "middle"},
                          {"HorizontalAlignment", "center"}});
  EXPECT_EQ(g().get_text(g().label_of(ax_, "YLabel"), "String"), "Leistung[PS]");
  EXPECT_EQ(services_.drawnow_count, 1);

  // Running it again replaces the texts instead of adding to them; one column leaves them.
  ax_lims(env(), ax_, 2, kName, kVarY);
  EXPECT_EQ(second_scale_texts().size(), 5u);
  ax_lims(env(), ax_, 1, kName, kVarY);
  EXPECT_EQ(second_scale_texts().size(), 5u);
}

TEST_F(AxLims, SecondScaleReachesTheFirstAutomaticTickAboveTheTorqueTop) {
  g().line(ax_, row({1000, 6000}), row({3, 87}), {{"Tag", "Diag" + kName + "a"}});
  g().line(ax_, row({1000, 6000}), row({20, 33.3}), {{"Tag", "2Diag" + kName + "a"}});
  ax_lims(env(), ax_, 2, kName, kVarY);
  Eigen::RowVectorXd ticks = g().get_row(ax_, "YTick");
  auto texts = second_scale_texts();
  ASSERT_GE(texts.size(), 3u);
  const std::size_t labels = texts.size() - 1;
  ASSERT_LE(labels, static_cast<std::size_t>(ticks.size()));
  EXPECT_GE(ticks(static_cast<Eigen::Index>(labels) - 1), 33.3);
  EXPECT_LT(ticks(static_cast<Eigen::Index>(labels) - 2), 33.3);
  for (std::size_t i = 0; i < labels; ++i)
    EXPECT_EQ(g().get_text(texts[i], "String"),
              "-" + num2str(2 * ticks(static_cast<Eigen::Index>(i))));
}

// By name the results come newest first; with no visible curve they are empty and nothing
// changes.
TEST_F(AxLims, ByNameResultsNewestFirstOrEmpty) {
  Handle older = g().line(ax_, row({1, 2}), row({3, 4}));
  Handle newer = g().line(ax_, row({5, 6, 7}), row({8, 9, 10}));
  Values out =
      program_->call("ax_lims", 3, {Value(ax_), Value(1.0), Value(kName), Value("Leistung [PS]")});
  ASSERT_TRUE(out[0].is_cell());
  ASSERT_EQ(out[0].cells().size(), 2u);
  EXPECT_EQ(out[0].cells()[0], Value(row({5, 6, 7})));
  EXPECT_EQ(out[1].cells()[1], Value(row({3, 4})));
  EXPECT_EQ(out[2].num()(0, 0), newer);
  EXPECT_EQ(out[2].num()(1, 0), older);

  g().set(newer, "Visible", "off");
  out = program_->call("ax_lims", 2, {Value(ax_), Value(1.0), Value(kName), Value("x")});
  EXPECT_EQ(out[0], Value(row({1, 2})));
  EXPECT_EQ(out[1], Value(row({3, 4})));

  ax_lims(env(), ax_, 2, kName, kVarY);
  const Value xlim = g().get(ax_, "XLim");
  const auto texts = second_scale_texts().size();
  g().set(older, "Visible", "off");
  out = program_->call("ax_lims", 3, {Value(ax_), Value(2.0), Value(kName), Value(kVarY)});
  ASSERT_EQ(out.size(), 3u);
  for (const Value& v : out) EXPECT_TRUE(v.empty());
  EXPECT_EQ(g().get(ax_, "XLim"), xlim);
  EXPECT_EQ(second_scale_texts().size(), texts);
}
