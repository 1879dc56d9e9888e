// Windows follow the figures of the model; closing windows, callbacks one at a time, pause,
// drawing flush and errors of callbacks.
#include <QTimer>
#include <optional>

#include "desktop_fixture.h"
#include "platform/qt/layout.h"

namespace ziva::testing {
namespace {

using DesktopWindows = DesktopTest;

// A window follows its figure's name, size and visibility and lives as long as it.
TEST_F(DesktopWindows, AWindowLivesAsLongAsItsFigure) {
  open();
  Handle fig = g().figure({{"Name", "Versuch"}});
  process_events();
  QPointer<FigureWindow> w = window_of(fig);
  ASSERT_FALSE(w.isNull());
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle().toStdString(), "Figure 1: Versuch");
  g().set(fig, "NumberTitle", "off");
  EXPECT_EQ(w->windowTitle().toStdString(), "Versuch");
  g().set(fig, "Position", Value::row({100, 100, 400, 300}));
  EXPECT_EQ(w->size(), QSize(600, 450));
  g().set(fig, "Visible", "off");
  EXPECT_FALSE(w->isVisible());
  g().set(fig, "Visible", "on");
  EXPECT_TRUE(w->isVisible());
  // Drawing changes wait for a flush.
  Handle ax = g().axes(fig);
  process_events();
  g().line(ax, Eigen::RowVectorXd::LinSpaced(5, 0, 4), Eigen::RowVectorXd::LinSpaced(5, 0, 4));
  EXPECT_TRUE(w->needs_repaint());
  services_->drawnow();
  EXPECT_FALSE(w->needs_repaint());

  g().close(fig);
  process_events();
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(window_of(fig), nullptr);
}

// A new window does not hide another exactly; a window other than the main one is no anchor for
// opening beside it (there is room beside the first here).
TEST_F(DesktopWindows, ANewWindowDoesNotHideAnotherExactly) {
  open();
  Props small = {{"Position", Value::row({20, 200, 200, 150})}};
  Handle first = g().figure(small);
  process_events();
  Handle second = g().figure(small);
  process_events();
  EXPECT_EQ(window_of(second)->pos() - window_of(first)->pos(), QPoint(32, 32));
}

// A new window beside the main window (150,300 840x630) on screens of several sizes: right of
// it, else left of it, else nowhere; the top level with the main window's unless the screen ends.
struct BesideCase {
  QRect avail;
  QSize frame;
  std::optional<QPoint> at;
};

class WindowBeside : public ::testing::TestWithParam<BesideCase> {};

TEST_P(WindowBeside, RightElseLeftElseNothing) {
  const BesideCase& c = GetParam();
  EXPECT_EQ(beside(QRect(150, 300, 840, 630), c.frame, c.avail), c.at);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, WindowBeside,
    ::testing::Values(BesideCase{{0, 0, 1920, 1080}, {840, 630}, QPoint(998, 300)},
                      BesideCase{{0, 0, 1920, 800}, {840, 630}, QPoint(998, 170)},
                      BesideCase{{-1000, 0, 2000, 1080}, {840, 630}, QPoint(-698, 300)},
                      BesideCase{{0, 0, 1366, 768}, {840, 630}, std::nullopt}));

TEST(WindowCascade, StepsDownRightAndStaysOnTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  EXPECT_EQ(cascade_step({1510, 100}, {400, 300}, screen, 24), QPoint(1520, 124));
  EXPECT_EQ(cascade_step({1520, 780}, {400, 300}, screen, 24), QPoint(1520, 780));
}

// After start-up figures are measured in centimetres (560 x 420 pixels converted); a window in
// points that may not be resized keeps its size.
TEST_F(DesktopWindows, FiguresInCentimetresAndPointsGetTheirSize) {
  start();
  EXPECT_EQ(window_of(g().figure())->size(), QSize(840, 630));
  Handle fixed = g().figure(
      {{"Units", "points"}, {"Position", Value::row({10, 10, 270, 56.25})}, {"Resize", "off"}});
  EXPECT_EQ(window_of(fixed)->size(), QSize(540, 113));
  EXPECT_EQ(window_of(fixed)->minimumSize(), window_of(fixed)->maximumSize());
}

TEST_F(DesktopWindows, ClosingAWindowDeletesItsFigureAndTheLastOneEndsTheProgram) {
  start();
  int ended = 0;
  QObject::connect(desktop_.get(), &Desktop::last_window_closed, [&] { ++ended; });
  Handle extra = g().figure({{"Name", "Diagramme: Test"}});
  process_events();
  window_of(extra)->close();
  process_events();
  EXPECT_FALSE(g().exists(extra));
  EXPECT_EQ(ended, 0);

  window_of(main_figure())->close();
  process_events();
  EXPECT_TRUE(g().all_figures().empty());
  EXPECT_EQ(ended, 1);
}

// A click while a callback runs waits until it ends, unless the callback pauses: a pause lets
// other callbacks run, and a window closed during it is gone when it ends.
TEST_F(DesktopWindows, ClicksWaitForTheRunningCallbackExceptDuringAPause) {
  start();
  QWidget* button = widget(g().find_first("Callback", "get_wav_filename;"));
  script_.answer_file(path("run.wav"));
  std::string during = "?";
  desktop_->serve([&] {
    // The click arrives while the windows are drawn in the middle of the work.
    QTimer::singleShot(0, [&] { click(button); });
    services_->drawnow();
    during = g().get_text(ctl("wav_file"), "String");
  });
  EXPECT_EQ(during, "");
  EXPECT_EQ(g().get_text(ctl("wav_file"), "String"), path("run.wav"));

  script_.answer_file(path("run2.wav"));
  Handle view = g().figure({{"Name", "Schnitt"}});
  process_events();
  bool gone = false;
  desktop_->serve([&] {
    QTimer::singleShot(10, [&] { click(button); });
    QTimer::singleShot(50, [&] { window_of(view)->close(); });
    for (int i = 0; i < 50 && g().exists(view); ++i) services_->pause(0.02);
    gone = !g().exists(view);
    during = g().get_text(ctl("wav_file"), "String");
  });
  EXPECT_TRUE(gone);
  EXPECT_EQ(during, path("run2.wav"));
}

TEST_F(DesktopWindows, AFailingCallbackShowsItsErrorInADialogTitledFehler) {
  start();
  desktop_->run("no_such_function;");
  ASSERT_EQ(script_.errors.size(), 1u);
  EXPECT_EQ(script_.errors[0].title, "Fehler");
  EXPECT_NE(script_.errors[0].message.find("no_such_function"), std::string::npos);
  // The windows are served on.
  EXPECT_TRUE(window_of(main_figure())->isVisible());
}

}  // namespace
}  // namespace ziva::testing
