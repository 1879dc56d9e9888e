#include "plot/figure_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/functions.h"
#include "base/error.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::expect_props;

using FigureHelpers = ziva::testing::BareProgramTest;

TEST_F(FigureHelpers, ClfEmptiesTheCurrentWindowOnly) {
  Handle a = g().figure();
  Handle ax = g().axes(a);
  g().line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1));
  g().uicontrol(a, {{"Style", "frame"}});
  Handle b = g().figure();
  Handle bx = g().axes(b);
  g().make_current(a);
  Values out = program_.call("clf", 1);
  EXPECT_EQ(out[0].scalar(), a);
  EXPECT_TRUE(g().children(a).empty());
  EXPECT_TRUE(g().exists(a));
  EXPECT_TRUE(g().exists(bx));
  EXPECT_EQ(clf(env(), b), b);
  EXPECT_TRUE(g().children(b).empty());
  EXPECT_THROW(clf(env(), 12345), Error);
}

TEST_F(FigureHelpers, ImagescScalesToTheFiniteRangeOverTheGivenVectors) {
  Eigen::MatrixXd c(2, 3);
  c << 1, 2, std::numeric_limits<double>::quiet_NaN(), -4, 5, 6;
  Eigen::RowVector3d x(0.2, 0.4, 0.6);
  Eigen::RowVector2d y(100, 300);
  Handle h = imagesc(env(), x, y, c);
  Handle ax = g().parent(h);
  expect_props(g(), h,
               {{"XData", Value::row({0.2, 0.6})},
                {"YData", Value::row({100, 300})},
                {"CDataMapping", "scaled"}});
  EXPECT_EQ(g().get(h, "CData").num().rows(), 2);
  expect_props(g(), ax, {{"CLim", Value::row({-4, 6})}, {"CLimMode", "auto"}, {"YDir", "reverse"}});
  // The image fills its axes: half a pixel beyond the outer centres.
  Eigen::RowVectorXd xlim = g().get_row(ax, "XLim"), ylim = g().get_row(ax, "YLim");
  EXPECT_NEAR(xlim(0), 0.1, 1e-12);
  EXPECT_NEAR(xlim(1), 0.7, 1e-12);
  EXPECT_NEAR(ylim(0), 0, 1e-12);
  EXPECT_NEAR(ylim(1), 400, 1e-12);
}

TEST_F(FigureHelpers, ImagescReplacesUnlessHeld) {
  Handle fig = g().figure();
  Handle ax = g().axes(fig);
  Handle line = g().line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1));
  imagesc(env(), Eigen::MatrixXd::Constant(2, 2, 3.0));
  EXPECT_FALSE(g().exists(line));
  EXPECT_EQ(g().get(ax, "CLim"), Value::row({2, 4}));  // a flat image still has a range

  g().hold(ax, true);
  g().set(ax, "YDir", "normal");
  line = g().line(ax, Eigen::RowVector2d(0, 1), Eigen::RowVector2d(0, 1));
  Values out =
      program_.call("imagesc", 1, {Value(Eigen::MatrixXd(Eigen::MatrixXd::Identity(3, 4)))});
  EXPECT_TRUE(g().exists(line));
  expect_props(g(), out[0].scalar(),
               {{"XData", Value::row({1, 4})}, {"YData", Value::row({1, 3})}});
  EXPECT_EQ(g().get_text(ax, "YDir"), "normal");
  EXPECT_THROW(program_.call("imagesc", 1, {Value(1.0), Value(2.0)}), Error);
}

TEST_F(FigureHelpers, SpectrumDrawnAsLevelImageWithUpwardFrequencies) {
  Eigen::MatrixXcd yo(2, 2);
  yo << std::complex<double>(0, 1), 10, 0.1, std::complex<double>(60, 80);
  Eigen::Vector2d fo(100, 200), to(0, 0.5);
  specgram_draw(env(), yo, fo, to);
  Handle ax = g().gca();
  ASSERT_EQ(g().children(ax).size(), 1u);
  Handle img = g().children(ax)[0];
  Eigen::MatrixXd level = g().get(img, "CData").num();
  EXPECT_NEAR(level(0, 0), 0, 1e-12);
  EXPECT_NEAR(level(0, 1), 20, 1e-12);
  EXPECT_NEAR(level(1, 0), -20, 1e-12);
  EXPECT_NEAR(level(1, 1), 40, 1e-12);
  expect_props(g(), img, {{"XData", Value::row({0, 0.5})}, {"YData", Value::row({100, 200})}});
  EXPECT_EQ(g().get_text(ax, "YDir"), "normal");
  EXPECT_EQ(g().get_text(g().label_of(ax, "XLabel"), "String"), "Time");
  EXPECT_EQ(g().get_text(g().label_of(ax, "YLabel"), "String"), "Frequency");
  Eigen::MatrixXd map = g().get(g().parent(ax), "Colormap").num();
  ASSERT_EQ(map.rows(), 64);
  ASSERT_EQ(map.cols(), 3);
  EXPECT_GE(map.minCoeff(), 0);
  EXPECT_LE(map.maxCoeff(), 1);
  EXPECT_EQ(map(0, 0), 0);  // starts blue
  EXPECT_GT(map(0, 2), 0.4);
  EXPECT_EQ(map(63, 2), 0);  // ends red
  EXPECT_GT(map(63, 0), 0.4);

  // A zero spectrum stays finite, and a single segment spans 0 … 1/f(2).
  specgram_draw(env(), Eigen::MatrixXcd::Zero(2, 1), fo, Eigen::VectorXd::Constant(1, 0.2));
  img = g().children(ax)[0];
  EXPECT_NEAR(g().get(img, "CData").num()(0, 0), 20 * std::log10(2.220446049250313e-16), 1e-9);
  EXPECT_EQ(g().get(img, "XData"), Value::row({0, 1.0 / 200}));
}
