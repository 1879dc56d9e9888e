#include "platform/render/renderer.h"

#include <gtest/gtest.h>

#include <QSvgRenderer>
#include <cmath>
#include <limits>

#include "platform/render/image_check.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"

namespace ziva::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using RendererTest = RenderTest;

Eigen::RowVectorXd vec(std::initializer_list<double> xs) {
  Eigen::RowVectorXd v(static_cast<Eigen::Index>(xs.size()));
  Eigen::Index i = 0;
  for (double x : xs) v(i++) = x;
  return v;
}

// A white figure in pixels with one axes filling it (no frame, no labels) and the given limits.
struct Scene {
  Scene(double xmax, double ymax, int w = 400, int h = 300) {
    fig = g.figure({{"Units", "pixels"},
                    {"Position", Value::row({0, 0, double(w), double(h)})},
                    {"Color", "w"}});
    ax = g.axes(fig, {{"Position", Value::row({0, 0, 1, 1})},
                      {"XLim", Value::row({0, xmax})},
                      {"YLim", Value::row({0, ymax})},
                      {"XTick", Value::empty_matrix()},
                      {"YTick", Value::empty_matrix()},
                      {"Visible", "off"}});
    g.hold(ax, true);
  }
  QImage draw(QSize size = {400, 300}, double ppp = 0) const {
    return RenderTest::draw(g, fig, size, ppp);
  }
  Graphics g;
  Handle fig = 0, ax = 0;
};

TEST_F(RendererTest, NonFiniteValuesBreakTheCurveAndAreNotDrawn) {
  Scene s(10, 10);
  Eigen::RowVectorXd x = Eigen::RowVectorXd::LinSpaced(11, 0, 10);
  Eigen::RowVectorXd y = Eigen::RowVectorXd::Constant(11, 5);
  y(5) = kNaN;
  y(8) = kInf;
  s.g.line(s.ax, x, y, {{"Color", "g"}, {"LineWidth", 3.0}});
  QImage img = s.draw();
  auto green = [&](double xd) { return near(rgb_at(img, int(xd * 40), 150), {0, 255, 0}); };
  int gaps = 0;  // the unbroken part from 0 to 4 is drawn solid
  for (double xd = 0.1; xd < 3.9; xd += 0.025) gaps += !green(xd);
  EXPECT_EQ(gaps, 0);
  // Segments 4-5 and 5-6 touch the NaN point, 7-8 and 8-9 the infinite one.
  for (auto [xd, drawn] :
       {std::pair(4.6, false), {5.0, false}, {5.4, false}, {6.5, true}, {8.0, false}, {9.5, true}})
    EXPECT_EQ(green(xd), drawn) << xd;
}

// A steep segment from far below to far above crosses the middle of the axes at x = 5.
TEST_F(RendererTest, FarOutsidePointsAreClippedNotLost) {
  Scene s(10, 10);
  s.g.line(s.ax, vec({5, 5.0000001}), vec({-1e300, 1e300}), {{"Color", "r"}, {"LineWidth", 3.0}});
  QImage img = s.draw();
  EXPECT_TRUE(near(rgb_at(img, 200, 150), {255, 0, 0}) && near(rgb_at(img, 200, 20), {255, 0, 0}));
}

TEST_F(RendererTest, DotMarkersSitOnTheirPointsOnly) {
  Scene s(10, 10);
  s.g.line(s.ax, vec({2, 8}), vec({5, 5}),
           {{"LineStyle", "none"},
            {"Marker", "."},
            {"MarkerSize", 12.0},
            {"Color", "b"},
            {"LineWidth", 3.0}});
  QImage img = s.draw();
  EXPECT_TRUE(near(rgb_at(img, 80, 150), {0, 0, 255}) && near(rgb_at(img, 320, 150), {0, 0, 255}));
  EXPECT_EQ(count_near(img, {0, 0, 255}, 60, QRect(100, 150, 201, 1)), 0);  // no line between
  EXPECT_FALSE(near(rgb_at(img, 80, 130), {0, 0, 255}));  // a dot, not a 12-point disc
}

// Every marker shape is centred on its point and as large as its size (the cross: its diagonal).
TEST_F(RendererTest, MarkersAreCentredOnTheirPoints) {
  for (const char* marker : {"o", "+", "x", "*", "s", "d", "^", "v", "<", ">"}) {
    SCOPED_TRACE(marker);
    Scene s(10, 10);
    s.g.line(s.ax, vec({5}), vec({5}),
             {{"LineStyle", "none"}, {"Marker", marker}, {"MarkerSize", 30.0}, {"Color", "b"}});
    QRect ink = ink_box(s.draw({400, 300}, 1.0), QRect(0, 0, 400, 300), Qt::white);
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.center().x(), 200, 2);
    EXPECT_NEAR(ink.center().y(), 150, 2);
    EXPECT_NEAR(std::max(ink.width(), ink.height()), *marker == 'x' ? 30 * 0.7071 : 30, 4);
  }
}

// Children are listed newest first and drawn oldest first: the newer line lies on top. Invisible
// objects are not drawn.
TEST_F(RendererTest, NewerObjectsAreDrawnOverOlderOnesAndInvisibleOnesNot) {
  Scene s(10, 10);
  s.g.line(s.ax, vec({0, 10}), vec({5, 5}), {{"Color", "r"}, {"LineWidth", 6.0}});
  s.g.line(s.ax, vec({5, 5}), vec({0, 10}), {{"Color", "b"}, {"LineWidth", 6.0}});
  EXPECT_TRUE(near(rgb_at(s.draw(), 200, 150), {0, 0, 255}, 2));

  Scene hidden(10, 10);
  hidden.g.line(hidden.ax, vec({0, 10}), vec({5, 5}),
                {{"Color", "r"}, {"LineWidth", 3.0}, {"Visible", "off"}});
  hidden.g.text(hidden.ax, 5, 2, "unsichtbar", {{"Visible", "off"}});
  hidden.g.uicontrol(hidden.fig, {{"Style", "pushbutton"},
                                  {"Position", Value::row({10, 10, 80, 30})},
                                  {"BackgroundColor", "m"},
                                  {"Visible", "off"}});
  QImage img = hidden.draw();
  EXPECT_TRUE(ink_box(img, img.rect(), Qt::white).isNull());
}

// The ink of one bold text relative to its anchor at the canvas centre; rotated texts read in
// their direction: "WWW....." has its heavy letters first, by 270 at the top, by 90 at the bottom.
TEST_F(RendererTest, TextAlignmentAndRotation) {
  struct Case {
    const char* halign;
    double rotation;
  };
  for (Case c : {Case{"left", 0}, Case{"right", 0}, Case{"center", 270}, Case{"center", 90}}) {
    SCOPED_TRACE(std::string(c.halign) + " " + std::to_string(c.rotation));
    Scene s(10, 10);
    s.g.text(s.ax, 5, 5, "WWW.........",
             {{"HorizontalAlignment", c.halign},
              {"VerticalAlignment", "middle"},
              {"Rotation", c.rotation},
              {"FontWeight", "bold"},
              {"FontSize", 14.0}});
    QImage img = s.draw();
    QRect ink = ink_box(img, img.rect(), Qt::white);
    ASSERT_FALSE(ink.isNull());
    if (c.rotation == 0) {
      EXPECT_GT(ink.width(), 3 * ink.height());
      EXPECT_NEAR(ink.center().y(), 150, 4);
      EXPECT_NEAR(std::string(c.halign) == "left" ? ink.left() : ink.right(), 200, 3);
      continue;
    }
    EXPECT_GT(ink.height(), 3 * ink.width());
    EXPECT_NEAR(ink.center().x(), 200, 4);
    EXPECT_NEAR(ink.center().y(), 150, 4);
    const int third = ink.height() / 3;
    const QRect top(ink.left(), ink.top(), ink.width(), third);
    const QRect bottom(ink.left(), ink.bottom() - third, ink.width(), third);
    const int top_ink = count_near(img, {0, 0, 0}, 127, top);
    const int bottom_ink = count_near(img, {0, 0, 0}, 127, bottom);
    EXPECT_EQ(top_ink > bottom_ink, c.rotation == 270) << top_ink << " " << bottom_ink;
  }
}

TEST_F(RendererTest, ScaledImageUsesTheColourMapEnds) {
  Scene s(1, 1);
  Eigen::MatrixXd c(2, 2);
  c << 1, 2, 3, 4;
  s.g.image(s.ax, c,
            {{"XData", Value::row({0.25, 0.75})},
             {"YData", Value::row({0.25, 0.75})},
             {"CDataMapping", "scaled"}});
  QImage img = s.draw();
  Eigen::MatrixX3d map = default_colormap();
  auto expect_row = [&](int x, int y, Eigen::Index k) {
    Rgb want{int(std::lround(map(k, 0) * 255)), int(std::lround(map(k, 1) * 255)),
             int(std::lround(map(k, 2) * 255))};
    EXPECT_TRUE(near(rgb_at(img, x, y), want, 2)) << x << "," << y;
  };
  // Row 1 of the data lies at y = 0.25, i.e. in the lower half of a normal y axis.
  expect_row(100, 225, 0);                  // value 1: the first colour
  expect_row(300, 75, map.rows() - 1);      // value 4: the last colour
  expect_row(300, 225, map.rows() / 3);     // value 2: a third of the way up
  expect_row(100, 75, 2 * map.rows() / 3);  // value 3: two thirds

  s.g.set(s.ax, "YDir", "reverse");
  img = s.draw();
  expect_row(100, 75, 0);
  expect_row(300, 225, map.rows() - 1);
}

TEST_F(RendererTest, DirectImageIndexesTheFigureColourMap) {
  Scene s(3, 1);
  Eigen::MatrixXd map(3, 3);
  map << 1, 0, 0, 0, 1, 0, 0, 0, 1;
  s.g.set(s.fig, "Colormap", Value(map));
  Eigen::MatrixXd c(1, 3);
  c << 3, 1, 7;  // 7 lies beyond the map: the last colour
  s.g.image(s.ax, c, {{"XData", Value::row({0.5, 2.5})}, {"YData", Value::row({0.5, 0.5})}});
  QImage img = s.draw({300, 100});
  EXPECT_TRUE(near(rgb_at(img, 50, 50), {0, 0, 255}, 2));
  EXPECT_TRUE(near(rgb_at(img, 150, 50), {255, 0, 0}, 2));
  EXPECT_TRUE(near(rgb_at(img, 250, 50), {0, 0, 255}, 2));
}

TEST_F(RendererTest, ZoomedLargeImageShowsOnlyItsVisibleCells) {
  Scene s(1, 1);
  // 600 x 600 cells; the axes show cells 300 and 301 only, each half the canvas wide (the whole
  // image at that scale would be 120000 pixels wide).
  Eigen::MatrixXd c = Eigen::MatrixXd::Ones(600, 600);
  c.col(299).setConstant(2);
  Eigen::MatrixXd map(2, 3);
  map << 0, 0, 0, 1, 1, 0;
  s.g.set(s.fig, "Colormap", Value(map));
  s.g.image(s.ax, c);
  s.g.set(s.ax, {{"XLim", Value::row({299.5, 301.5})}, {"YLim", Value::row({10, 12})}});
  QImage img = s.draw();
  EXPECT_TRUE(near(rgb_at(img, 100, 150), {255, 255, 0}, 2));
  EXPECT_TRUE(near(rgb_at(img, 300, 150), {0, 0, 0}, 2));
}

TEST_F(RendererTest, DefaultColourMapRisesSteadilyInLightness) {
  Eigen::MatrixX3d map = default_colormap(256);
  ASSERT_EQ(map.rows(), 256);
  EXPECT_TRUE(map.minCoeff() >= 0 && map.maxCoeff() <= 1);
  auto luminance = [&](Eigen::Index i) {
    auto lin = [](double c) {
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(map(i, 0)) + 0.7152 * lin(map(i, 1)) + 0.0722 * lin(map(i, 2));
  };
  for (Eigen::Index i = 1; i < map.rows(); ++i) EXPECT_GT(luminance(i), luminance(i - 1)) << i;
  EXPECT_LT(luminance(0), 0.05);
  EXPECT_GT(luminance(255), 0.7);
  // Dark end blue-violet, light end yellow.
  EXPECT_TRUE(map(0, 2) > map(0, 1) && map(255, 0) > map(255, 2) && map(255, 1) > map(255, 2));
}

TEST_F(RendererTest, PatchFillsItsPolygon) {
  Scene s(100, 1);
  s.g.patch(s.ax, vec({0, 40, 40, 0}), vec({0, 0, 1, 1}), {{"FaceColor", "r"}, {"EdgeColor", "r"}});
  QImage img = s.draw({400, 100});
  EXPECT_TRUE(near(rgb_at(img, 80, 50), {255, 0, 0}, 2));
  EXPECT_TRUE(near(rgb_at(img, 155, 50), {255, 0, 0}, 2));
  EXPECT_TRUE(near(rgb_at(img, 170, 50), {255, 255, 255}, 2));
}

TEST_F(RendererTest, ControlsShowTheirState) {
  Graphics g;
  Handle fig = g.figure({{"Units", "pixels"}, {"Position", Value::row({0, 0, 300, 200})}});
  Handle box = g.uicontrol(
      fig, {{"Style", "checkbox"}, {"Position", Value::row({10, 150, 20, 20})}, {"Value", 0.0}});
  Handle popup = g.uicontrol(fig, {{"Style", "popupmenu"},
                                   {"Position", Value::row({10, 100, 200, 24})},
                                   {"String", Value::list({"Lichtmaschine", "Aus"})},
                                   {"Value", 1.0}});
  g.uicontrol(fig, {{"Style", "pushbutton"},
                    {"Position", Value::row({10, 10, 60, 30})},
                    {"BackgroundColor", Value::row({0, 0, 1})}});
  g.uicontrol(fig, {{"Style", "edit"},
                    {"Position", Value::row({100, 10, 150, 30})},
                    {"BackgroundColor", "w"},
                    {"String", "Kommentar"}});
  QImage before = draw(g, fig, {300, 200});
  // y of a control's centre: the figure is 200 pixels high, positions count from the bottom.
  EXPECT_TRUE(near(rgb_at(before, 40, 175), {0, 0, 255}, 5));       // the coloured button
  EXPECT_TRUE(near(rgb_at(before, 106, 166), {255, 255, 255}, 5));  // edit field background
  QRect check_area(10, 30, 20, 20), popup_text(15, 76, 120, 24), edit_text(100, 160, 150, 30);
  EXPECT_FALSE(ink_box(before, edit_text, Qt::white).isNull());
  g.set(box, "Value", 1.0);
  g.set(popup, "Value", 2.0);
  QImage after = draw(g, fig, {300, 200});
  EXPECT_NE(before.copy(check_area), after.copy(check_area));
  EXPECT_NE(before.copy(popup_text), after.copy(popup_text));
}

TEST_F(RendererTest, DenseTickLabelsAreThinnedNotOverlapped) {
  Graphics g;
  Handle fig =
      g.figure({{"Units", "pixels"}, {"Position", Value::row({0, 0, 400, 200})}, {"Color", "w"}});
  Eigen::RowVectorXd ticks = Eigen::RowVectorXd::LinSpaced(101, 0, 1000);
  g.axes(fig, {{"Position", Value::row({0.1, 0.3, 0.8, 0.6})},
               {"XLim", Value::row({0, 1000})},
               {"XTick", Value(ticks)},
               {"YTick", Value::empty_matrix()}});
  QImage img = draw(g, fig, {400, 200});
  // The tick labels lie below the axes box (bottom at y = 140): runs of columns with ink there.
  int runs = 0, longest = 0, run = 0;
  for (int x = 0; x < 400; ++x) {
    bool ink = false;
    for (int y = 143; y < 161; ++y) ink = ink || img.pixelColor(x, y).lightness() < 160;
    run = ink ? run + 1 : 0;
    runs += run == 1;
    longest = std::max(longest, run);
  }
  // Whole labels with space between: several separate runs, none longer than "1000" (~30 px).
  EXPECT_GE(runs, 3);
  EXPECT_LT(longest, 40);
}

TEST_F(RendererTest, YLabelGoesAboveTheAxisWhenControlsLeaveNoRoomBeside) {
  // Where the red y label ends up: rotated left of the axes, or upright above them.
  auto red_ink = [&](double control_width) {
    Graphics g;
    Handle fig = g.figure({{"Units", "pixels"}, {"Position", Value::row({0, 0, 400, 300})}});
    Handle ax = g.axes(fig, {{"Position", Value::row({0.3, 0.1, 0.65, 0.75})},
                             {"YLim", Value::row({0, 1000})},
                             {"YTick", Value::row({0, 500, 1000})}});
    g.set(g.label_of(ax, "YLabel"), {{"String", "Leistung [kW]"}, {"Color", "r"}});
    g.uicontrol(fig, {{"Style", "frame"},
                      {"Units", "normalized"},
                      {"Position", Value::row({0, 0, control_width, 1})}});
    return std::make_pair(colour_box(draw(g, fig, {400, 300}), {255, 0, 0}),
                          axes_view(g, ax, {400, 300}).box);
  };
  auto [beside, box] = red_ink(0.05);
  ASSERT_FALSE(beside.isNull());
  EXPECT_LT(beside.right(), box.left());
  EXPECT_GT(beside.height(), 3 * beside.width());  // rotated
  EXPECT_GT(beside.top(), box.top());
  auto [above, box2] = red_ink(0.25);
  ASSERT_FALSE(above.isNull());
  EXPECT_LT(above.bottom(), box2.top());  // upright above the axes
  EXPECT_GT(above.width(), 3 * above.height());
  EXPECT_GE(above.left(), 0);
}

TEST_F(RendererTest, AxesViewMapsBothWays) {
  Graphics g;
  Handle fig = g.figure({{"Units", "pixels"}, {"Position", Value::row({0, 0, 400, 300})}});
  Handle ax = g.axes(fig, {{"Position", Value::row({0.25, 0.1, 0.5, 0.8})},
                           {"XLim", Value::row({100, 200})},
                           {"YLim", Value::row({-1, 1})}});
  AxesView v = axes_view(g, ax, {400, 300}, 1.0);
  EXPECT_EQ(v.box, QRectF(100, 30, 200, 240));
  EXPECT_EQ(v.to_pixel(150, 0), QPointF(200, 150));
  EXPECT_EQ(v.to_pixel(100, 1), QPointF(100, 30));  // the top limit at the top edge
  g.set(ax, "XDir", "reverse");
  v = axes_view(g, ax, {400, 300}, 1.0);
  EXPECT_EQ(v.to_pixel(100, 0).x(), 300);
  const QPointF back = v.to_data(v.to_pixel(123.5, -0.25)) - QPointF(123.5, -0.25);
  EXPECT_LT(back.manhattanLength(), 1e-9);
}

TEST_F(RendererTest, DiagramKeepsItsLabelsApart) {
  DiagramProgram d;
  const Handle fig = d.two_groups();
  const Graphics& g = d.g();
  QSize size = print_pixel_size(g, fig);
  QImage img = print_image(g, fig);
  ASSERT_EQ(img.size(), size);
  Handle ax = g.findobj({{"Type", "axes"}}).front();
  AxesView v = axes_view(g, ax, size, kPrintDpi / 72.0);
  // The band between the comment frames (right edge at 0.311 of the width) and the axes box
  // holds the y tick labels and the rotated y label; no ink may reach into the frames' column
  // from there, and the frames themselves keep their grey.
  QColor figure_grey = QColor::fromRgbF(0.8f, 0.8f, 0.8f);
  int frames_right = int(std::ceil(0.311 * size.width()));
  QRect band(frames_right + 1, int(v.box.top()), int(v.box.left()) - frames_right - 2,
             int(v.box.height()));
  QRect ink = ink_box(img, band, figure_grey);
  ASSERT_FALSE(ink.isNull());  // the tick labels and the label are there
  EXPECT_GT(ink.left(), band.left() + 1);
  // Nothing drawn right of the rotated torque caption but the figure background.
  QRect right_margin(int(0.985 * size.width()), 0, size.width() - int(0.985 * size.width()),
                     size.height());
  EXPECT_TRUE(ink_box(img, right_margin, figure_grey).isNull());
}

// The diagram of two_groups prepared for the window layout checks: engine speed 3000-11000 with
// a grid, white axes, a green y label.
Handle window_layout_diagram(DiagramProgram& d) {
  Graphics& g = d.g();
  Handle fig = d.two_groups();
  Handle ax = g.findobj({fig}, {{"Type", "axes"}}).front();
  g.set(ax, {{"XLim", Value::row({3000, 11000})}, {"XGrid", "on"}, {"Color", "w"}});
  g.set(g.label_of(ax, "YLabel"), {{"String", "Leistung[PS]"}, {"Color", "g"}});
  return fig;
}

// What the window layout shows in `img` around the axes box `v`: the y label rotated between the
// comment frames and the axis, an engine-speed axis of 3000-11000 with a grid line at least
// every 2000 and room for its labels, the torque scale on the right labelled up to the torque
// curves at least every 20 Nm.
void expect_window_layout(const QImage& img, const AxesView& v) {
  const QRect label = colour_box(img, {0, 255, 0});
  ASSERT_FALSE(label.isNull());
  EXPECT_GT(label.height(), 3 * label.width());  // rotated
  EXPECT_LT(label.right(), v.box.left());
  EXPECT_GT(label.left(), 0.311 * img.width());  // clear of the comment frames

  // Vertical grid lines along a row below the tick marks at the top edge of the box.
  const int y = static_cast<int>(v.box.top()) + 10;
  int lines = 0;
  bool in_line = false;
  for (int x = static_cast<int>(v.box.left()) + 2; x < static_cast<int>(v.box.right()) - 1; ++x) {
    // Light neutral grey: the grid, also where a drawing spreads it over two pixel columns.
    const Rgb c = rgb_at(img, x, y);
    const bool grid = std::abs(c.r - c.g) < 8 && std::abs(c.g - c.b) < 8 && c.g > 150 && c.g < 240;
    lines += grid && !in_line ? 1 : 0;
    in_line = grid;
  }
  EXPECT_GE(lines, 4);
  EXPECT_GE(v.box.width() / (lines + 1), 40.0);  // room for "10000" between neighbours

  // The torque labels: runs of pixel rows with dark ink just right of the box.
  int labels = 0;
  bool in_label = false;
  for (int row = static_cast<int>(v.box.top()) - 10; row < static_cast<int>(v.box.bottom()) + 10;
       ++row) {
    bool ink = false;
    for (int x = static_cast<int>(v.box.right()) + 3; x < static_cast<int>(v.box.right()) + 12; ++x)
      ink |= qGray(img.pixel(x, row)) < 100;
    labels += ink && !in_label ? 1 : 0;
    in_label = ink;
  }
  EXPECT_GE(labels, 6);  // 0 to 120 Nm in steps of 20 at the most
}

// The window layout at the default diagram window size and larger ones.
class WindowLayoutTest : public RenderTest, public ::testing::WithParamInterface<QSize> {};

TEST_P(WindowLayoutTest, YLabelBesideTheAxisAndTicksForTheSize) {
  const QSize size = GetParam();
  DiagramProgram d;
  const Handle fig = window_layout_diagram(d);
  const Graphics& g = d.g();
  const double ppp = 96.0 / 72.0;
  const QImage img = draw(g, fig, size, ppp, true);
  expect_window_layout(
      img, screen_axes_view(g, g.findobj({fig}, {{"Type", "axes"}}).front(), size, ppp));
}

// A print with "print_layout" at its second entry ("as in the window"): the evaluation hands the
// choice to the print service, and a bitmap or a vector print then shows the window layout at the
// print's size, unlike the default print. (A PNG has the bitmap's pixels: print tests.)
class WindowLayoutPrintTest : public RenderTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowLayoutPrintTest, PrintsShowTheWindowLayout) {
  const std::string ext = GetParam();
  DiagramProgram d;
  d.g().set(control(d.program().env(), "print_layout"), "Value", 2.0);
  d.type("print_file", path("first." + ext));
  const Handle fig = window_layout_diagram(d);
  const Graphics& g = d.g();
  ASSERT_FALSE(d.services().prints.empty());
  const PrintOptions chosen = d.services().prints.back().options;
  EXPECT_TRUE(chosen.window_layout);
  const std::string window = path("window." + ext), plain = path("plain." + ext);
  d.services().print(fig, "-dbmp", window, chosen);
  d.services().print(fig, "-dbmp", plain, PrintOptions{});
  EXPECT_TRUE(file_bytes(window) != file_bytes(plain));

  const QSize size = print_pixel_size(g, fig);
  QImage img(size, QImage::Format_RGB32);
  if (ext == "svg") {
    img.fill(Qt::white);
    QPainter p(&img);
    QSvgRenderer(QString::fromStdString(window)).render(&p, QRectF(QPointF(0, 0), size));
  } else {
    img = QImage(QString::fromStdString(window)).convertToFormat(QImage::Format_RGB32);
  }
  ASSERT_EQ(img.size(), size);
  const Handle ax = g.findobj({fig}, {{"Type", "axes"}}).front();
  expect_window_layout(img, screen_axes_view(g, ax, size, kPrintDpi / 72.0));
}

INSTANTIATE_TEST_SUITE_P(Formats, WindowLayoutPrintTest, ::testing::Values("bmp", "svg"));

INSTANTIATE_TEST_SUITE_P(Sizes, WindowLayoutTest,
                         ::testing::Values(QSize(560, 420), QSize(600, 420), QSize(1400, 1000)));

}  // namespace
}  // namespace ziva::testing
