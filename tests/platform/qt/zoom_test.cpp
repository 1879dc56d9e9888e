// Zoom mode on a window's axes: dragging, clicking, zooming out and restoring set the axes'
// limits in the model.
#include "platform/qt/zoom.h"

#include <QMouseEvent>

#include "desktop_fixture.h"
#include "diagram/ax_lims.h"
#include "platform/core/text.h"

namespace ziva::testing {
namespace {

class DesktopZoom : public DesktopTest {
 protected:
  void SetUp() override {
    open();
    fig_ = g().figure({{"Name", "Zoom"}});
    ax_ = g().axes(fig_, {{"Position", Value::row({0.1, 0.1, 0.8, 0.8})}});
    Eigen::RowVectorXd x = Eigen::RowVectorXd::LinSpaced(11, 0, 10);
    g().line(ax_, x, x);
    g().set(ax_, "XLim", Value::row({0, 10}));
    g().set(ax_, "YLim", Value::row({0, 10}));
    services_->zoom(fig_, true, ZoomDrag::Box);
    process_events();
    win_ = window_of(fig_);
    ASSERT_NE(win_, nullptr);
  }
  QPoint at(double x, double y) { return win_->view(ax_).to_pixel(x, y).toPoint(); }
  void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(p), win_->mapToGlobal(QPointF(p)), button, buttons, mods);
    QApplication::sendEvent(win_, &e);
  }
  void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, mods);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
  }
  void double_click(QPoint p) {
    click(win_, Qt::LeftButton, p);
    mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  }
  void expect_limits(double x0, double x1, double y0, double y1) {
    // One window pixel is about 0.02 data units here.
    constexpr double tol = 0.05;
    Eigen::RowVector4d got;
    got << g().get_row(ax_, "XLim"), g().get_row(ax_, "YLim");
    EXPECT_LT((got - Eigen::RowVector4d(x0, x1, y0, y1)).cwiseAbs().maxCoeff(), tol) << got;
  }

  Handle fig_ = 0, ax_ = 0;
  FigureWindow* win_ = nullptr;
};

TEST_F(DesktopZoom, DoubleClickRestoresTheLimitsBeforeZooming) {
  drag(at(2, 8), at(6, 4));
  click(win_, Qt::LeftButton, at(3, 5));
  double_click(at(4, 6));
  expect_limits(0, 10, 0, 10);
  // Automatic limits come back as automatic.
  g().set(ax_, "XLimMode", "auto");
  g().set(ax_, "YLimMode", "auto");
  services_->zoom(fig_, true, ZoomDrag::Box);
  click(win_, Qt::LeftButton, at(5, 5));
  EXPECT_EQ(g().get_text(ax_, "XLimMode"), "manual");
  double_click(at(5, 5));
  EXPECT_EQ(g().get_text(ax_, "XLimMode"), "auto");
  expect_limits(0, 10, 0, 10);
  // Outside the axes zoom does nothing, and nothing at all without zoom mode.
  click(win_, Qt::LeftButton, QPoint(3, 3));
  expect_limits(0, 10, 0, 10);
  services_->zoom(fig_, false, ZoomDrag::Box);
  click(win_, Qt::LeftButton, at(2, 3));
  drag(at(2, 8), at(6, 4));
  expect_limits(0, 10, 0, 10);
}

// Drags and clicks in both zoom styles, on axes from 0 to 10 both ways: a drag zooms to its box,
// a flat one on one axis only; a click zooms in by two about its point, with Shift or the right
// button out by two. A time zoom acts on x alone unless Shift is held.
struct Gesture {
  ZoomDrag style;
  Qt::KeyboardModifiers mods;
  QPointF from, to;  // data; equal for a click
  double x0, x1, y0, y1;
  Qt::MouseButton button = Qt::LeftButton;
};

class DesktopZoomStyle : public DesktopZoom, public ::testing::WithParamInterface<Gesture> {};

TEST_P(DesktopZoomStyle, GestureSetsTheLimits) {
  const Gesture& c = GetParam();
  services_->zoom(fig_, true, c.style);
  if (c.from == c.to) {
    click(win_, c.button, at(c.from.x(), c.from.y()), c.mods);
  } else {
    drag(at(c.from.x(), c.from.y()), at(c.to.x(), c.to.y()), c.mods);
  }
  expect_limits(c.x0, c.x1, c.y0, c.y1);
}

constexpr auto kNone = Qt::NoModifier;
constexpr auto kShift = Qt::ShiftModifier;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Gestures, DesktopZoomStyle, ::testing::Values(
    Gesture{ZoomDrag::Box, kNone, {2, 8}, {6, 4}, 2, 6, 4, 8},
    Gesture{ZoomDrag::Box, kNone, {2, 5}, {6, 5}, 2, 6, 0, 10},
    Gesture{ZoomDrag::Box, kNone, {4, 2}, {4, 8}, 0, 10, 2, 8},
    // x: 2 + (0 - 2)/2 and 2 + (10 - 2)/2; y: 3 - 3/2 and 3 + 7/2
    Gesture{ZoomDrag::Box, kNone, {2, 3}, {2, 3}, 1, 6, 1.5, 6.5},
    Gesture{ZoomDrag::Box, kShift, {5, 5}, {5, 5}, -5, 15, -5, 15},
    Gesture{ZoomDrag::Box, kNone, {5, 5}, {5, 5}, -5, 15, -5, 15, Qt::RightButton},
    Gesture{ZoomDrag::Time, kNone, {2, 8}, {6, 4}, 2, 6, 0, 10},
    Gesture{ZoomDrag::Time, kShift, {2, 8}, {6, 4}, 2, 6, 4, 8},
    Gesture{ZoomDrag::Time, kNone, {2, 3}, {2, 3}, 1, 6, 0, 10},
    Gesture{ZoomDrag::Time, kShift, {5, 5}, {5, 5}, -5, 15, -5, 15}));
// clang-format on

// The right-hand scale of a power/torque diagram: one label per left tick at the right edge,
// showing twice its value, up to the first tick at or above the torque curve's top; the unit at
// the same fraction of the axes' width and height.
struct SecondScale {
  std::vector<std::pair<double, std::string>> ticks;  // y and text
  double unit_fx = 0, unit_fy = 0;
  int units = 0;
};

SecondScale second_scale(Graphics& g, Handle ax) {
  SecondScale s;
  const Eigen::RowVectorXd xl = g.get_row(ax, "XLim"), yl = g.get_row(ax, "YLim");
  for (Handle h : g.findobj({{"Type", "text"}, {"Tag", "YTicks2Zoom"}})) {
    const Eigen::RowVectorXd p = g.get_row(h, "Position");
    if (g.get_scalar(h, "Rotation") != 0) {
      s.unit_fx = (p(0) - xl(0)) / (xl(1) - xl(0));
      s.unit_fy = (p(1) - yl(0)) / (yl(1) - yl(0));
      ++s.units;
      EXPECT_EQ(g.get_text(h, "String"), "Drehm[Nm]");
      continue;
    }
    EXPECT_DOUBLE_EQ(p(0), xl(1));
    s.ticks.emplace_back(p(1), g.get_text(h, "String"));
  }
  std::sort(s.ticks.begin(), s.ticks.end());
  return s;
}

TEST_F(DesktopZoom, ZoomAndRestoreKeepTheTorqueScaleInStep) {
  Eigen::RowVectorXd x = Eigen::RowVectorXd::LinSpaced(11, 0, 10);
  g().line(ax_, x, x * 0.5, {{"Tag", "2torque"}});  // top 5
  ax_lims(program_->env(), ax_, 2, "Zoom", "Leistung[PS]/Drehm[Nm]");
  const SecondScale before = second_scale(g(), ax_);
  ASSERT_FALSE(before.ticks.empty());
  ASSERT_EQ(before.units, 1);

  drag(at(2, 8.5), at(6, 3.5));
  const Eigen::RowVectorXd ticks = g().get_row(ax_, "YTick");
  const SecondScale zoomed = second_scale(g(), ax_);
  std::vector<std::pair<double, std::string>> expected;
  for (Eigen::Index i = 0; i < ticks.size(); ++i) {
    expected.emplace_back(ticks(i), "-" + num2str(2 * ticks(i)));
    if (ticks(i) >= 5) break;
  }
  ASSERT_GE(expected.size(), 2u);
  EXPECT_EQ(zoomed.ticks, expected);
  EXPECT_EQ(zoomed.units, 1);
  double_click(at(4, 6));
  const SecondScale restored = second_scale(g(), ax_);
  EXPECT_EQ(restored.ticks, before.ticks);
  for (const SecondScale& s : {zoomed, restored}) {
    EXPECT_NEAR(s.unit_fx, before.unit_fx, 1e-12);
    EXPECT_NEAR(s.unit_fy, before.unit_fy, 1e-12);
  }
}

}  // namespace
}  // namespace ziva::testing
