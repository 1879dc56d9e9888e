// The spectrogram cut view on real widgets (offscreen): its image shows the spectrum in the
// platform's colour map, a drag zooms the time alone, the range fields show it and take a typed
// end, and the done button ends the wait with the range shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <cmath>
#include <filesystem>

#include "app/functions.h"
#include "cut/cut_file_spect.h"
#include "platform/core/text.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_services.h"
#include "platform/render/renderer.h"
#include "ui/strings.h"

using namespace ziva;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFs = 4410;

class QtApp : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[12] = "test_cut_qt";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new QtApp);

void send_mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button,
                Qt::MouseButtons held) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// A tone whose frequency rises from 150 to 600 Hz over `seconds`.
Eigen::MatrixXd sweep(double seconds) {
  const auto n = static_cast<Eigen::Index>(seconds * kFs);
  Eigen::MatrixXd y(n, 2);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kFs;
    const double phase = 2 * kPi * (150 * t + 0.5 * (450 / seconds) * t * t);
    y(i, 0) = 0.5 * std::sin(phase);
    y(i, 1) = 0;
  }
  return y;
}

class CutViewQt : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / "ziva_cut_qt";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    services_ = std::make_unique<QtServices>();
    program_ = std::make_unique<Program>(*services_);
    desktop_ = std::make_unique<Desktop>(*program_, *services_);
    ASSERT_TRUE(desktop_->start());
  }
  void TearDown() override {
    desktop_.reset();
    program_.reset();
    services_.reset();
    QCoreApplication::processEvents();
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir_);
  }
  Graphics& g() { return program_->graphics(); }

  std::unique_ptr<QtServices> services_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<Desktop> desktop_;
  std::filesystem::path dir_, old_cwd_;
};

}  // namespace

TEST_F(CutViewQt, SpectrogramImageIsNotBlankZoomAndDoneWork) {
  const Eigen::MatrixXd Y = sweep(6);
  const std::string axes_tag = "WAV Datei von Hand beschneidenAxes";
  QImage image;
  QRect box;
  bool zoom_on = false;
  Eigen::RowVectorXd zoomed, ylim_before, ylim_after, typed;
  std::string start_shown;
  Eigen::MatrixXd out;
  bool returned = false;

  auto look = [&] {
    const Handle ax = g().find_first("Tag", axes_tag);
    ASSERT_NE(ax, 0);
    FigureWindow* win = desktop_->window(g().parent(ax));
    ASSERT_NE(win, nullptr);
    zoom_on = win->zoom_on();
    image = win->grab().toImage();
    box = win->view(ax).box.toAlignedRect();
    // A slanting drag across the middle third of the axes zooms the time axis alone.
    ylim_before = g().get_row(ax, "YLim");
    const QPoint from(box.left() + box.width() / 3, box.center().y());
    const QPoint to(box.left() + 2 * box.width() / 3, box.center().y() + box.height() / 4);
    send_mouse(win, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send_mouse(win, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send_mouse(win, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    zoomed = g().get_row(ax, "XLim");
    ylim_after = g().get_row(ax, "YLim");
    auto* start = qobject_cast<QLineEdit*>(win->control_widget(g().find_first("Tag", "cut_start")));
    auto* end = qobject_cast<QLineEdit*>(win->control_widget(g().find_first("Tag", "cut_end")));
    ASSERT_TRUE(start && end);
    start_shown = start->text().toStdString();
    end->setFocus();
    end->setText("4.25");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(end, &enter);
    typed = g().get_row(ax, "XLim");
    QPushButton* done = nullptr;
    for (Handle h : g().findobj({g().parent(ax)}, {{"Style", "pushbutton"}}))
      if (g().get_text(h, "String") == "Fertig")
        done = qobject_cast<QPushButton*>(win->control_widget(h));
    ASSERT_NE(done, nullptr);
    done->click();
  };
  desktop_->serve([&] {
    QTimer::singleShot(50, look);
    out = cut_file_spect(program_->env(), Y, kFs, 1, 3, strings());
    returned = true;
  });
  for (int i = 0; i < 200 && !returned; ++i) QCoreApplication::processEvents();
  ASSERT_TRUE(returned);
  EXPECT_TRUE(zoom_on);
  EXPECT_EQ(g().find_first("Tag", axes_tag), 0);

  // The image: inside the axes nearly every pixel is a colour of the platform's colour map (the
  // black track and the frame aside), and the sweep spreads over many of its colours.
  ASSERT_FALSE(image.isNull());
  ASSERT_GT(box.width(), 100);
  const Eigen::MatrixX3d map = default_colormap(256) * 255;
  QSet<QRgb> colours;
  int on_map = 0, seen = 0;
  for (int y = box.top() + 3; y < box.bottom() - 3; y += 3)
    for (int x = box.left() + 3; x < box.right() - 3; x += 3) {
      const QColor c = image.pixelColor(x, y);
      colours.insert(c.rgb());
      double best = 1e9;
      for (Eigen::Index k = 0; k < map.rows(); ++k)
        best = std::min(best, std::abs(map(k, 0) - c.red()) + std::abs(map(k, 1) - c.green()) +
                                  std::abs(map(k, 2) - c.blue()));
      on_map += best <= 6;
      ++seen;
    }
  EXPECT_GT(on_map, 0.9 * seen);
  EXPECT_GT(colours.size(), 20);

  // The result is the range the drag left shown, at the input rate, all channels.
  ASSERT_EQ(zoomed.size(), 2);
  EXPECT_GT(zoomed(0), 1.5);
  EXPECT_LT(zoomed(1), 4.5);
  EXPECT_EQ(ylim_after, ylim_before);
  EXPECT_EQ(start_shown, num2str(zoomed(0)));
  ASSERT_EQ(typed.size(), 2);
  EXPECT_EQ(typed(0), zoomed(0));
  EXPECT_EQ(typed(1), 4.25);
  Eigen::Index first = 0;
  while (static_cast<double>(first) / kFs <= typed(0)) ++first;
  Eigen::Index end = first;
  while (static_cast<double>(end) / kFs < typed(1)) ++end;
  ASSERT_EQ(out.rows(), end - first);
  ASSERT_EQ(out.cols(), 2);
  EXPECT_EQ(out.row(0), Y.row(first));
}
