// Whole evaluations on the real windows: a simulated run chosen through the file button, typed
// German decimal commas, the diagram window with its comment blocks, colours and check boxes,
// the spectrogram cut view.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include "desktop_fixture.h"
#include "platform/core/text.h"
#include "platform/render/renderer.h"
#include "sim/simulate.h"

namespace ziva::testing {
namespace {

constexpr const char* kFigName = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";

class DesktopEvaluation : public DesktopTest {
 protected:
  void SetUp() override {
    SynthOptions o;
    o.rate = 22050;
    run_ = synthesize(o);
    write_run_wav(run_, 16, path("run.wav"));
    start();
    // The simulated run: alternator left, wheel sensor right; no hand cut.
    choose_entry(as<QComboBox>("popup_sig_ch2"), 1);
    tick(as<QCheckBox>("cut_File"));
    ASSERT_EQ(g().get_scalar(ctl("cut_File"), "Value"), 0.0);
  }
  void evaluate() {
    click(widget(g().find_first("Callback", "calc_diag")));
    process_events();
  }
  Handle diagram() { return g().find_first("Name", kFigName); }
  std::vector<Handle> blocks() {
    return g().findobj({{"Tag", std::string(kFigName) + "CommentFrame"}});
  }
  // The nth control (creation order) of the diagram whose tag starts with `prefix` + window name.
  Handle diagram_handle(const std::string& prefix, int nth = 0) {
    std::vector<Handle> found;
    for (Handle h : g().children(diagram()))
      if (g().type(h) == ObjType::Uicontrol &&
          g().get_text(h, "Tag").rfind(prefix + kFigName, 0) == 0)
        found.insert(found.begin(), h);
    return nth < static_cast<int>(found.size()) ? found[nth] : 0;
  }
  QWidget* diagram_control(const std::string& prefix, int nth = 0) {
    Handle h = diagram_handle(prefix, nth);
    return h != 0 ? widget(h) : nullptr;
  }

  SynthRun run_;
};

TEST_F(DesktopEvaluation, AGermanDecimalCommaAndASimulatedRunGiveADiagram) {
  type_into(as<QLineEdit>("wheel_perim"), "1,325");
  type_into(as<QLineEdit>("total_mass"), "200,0");
  script_.answer_file(path("run.wav"));
  click(widget(g().find_first("Callback", "get_wav_filename;")));
  script_.answer_file(path("diagramm.bmp"));
  click(widget(g().find_first("Callback", "get_print_filename;")));
  evaluate();

  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  ASSERT_NE(diagram(), 0);
  FigureWindow* w = window_of(diagram());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->zoom_on());
  EXPECT_EQ(w->windowTitle().toStdString(), kFigName);
  EXPECT_EQ(blocks().size(), 1u);

  // The comment block's maximum: power in PS at its engine speed, against the simulator's truth.
  QString best;
  for (QLabel* l : w->findChildren<QLabel*>())
    if (l->text().contains(" PS / ")) best = l->text();
  QRegularExpressionMatch m = QRegularExpression("^([0-9.]+) PS / ([0-9.]+) ").match(best);
  ASSERT_TRUE(m.hasMatch()) << best.toStdString();
  double true_ps = run_.truth.power.maxCoeff() / 0.73549875;
  EXPECT_NEAR(m.captured(1).toDouble(), true_ps, 0.1 * true_ps);

  QImage printed(QString::fromStdString(path("diagramm.bmp")));
  ASSERT_FALSE(printed.isNull());
  EXPECT_GT(colour_count(printed), 10);

  // The window's picture is not blank, and the blue curve is drawn inside the axes.
  QImage image = w->grab().toImage();
  EXPECT_GT(colour_count(image), 30);
  QRect axes =
      w->view(g().find_first("Tag", std::string("DiagAxes") + kFigName)).box.toAlignedRect();
  int blue = 0;
  for (int y = axes.top(); y < axes.bottom(); ++y)
    for (int x = axes.left(); x < axes.right(); ++x) {
      QColor c = image.pixelColor(x, y);
      blue += c.blue() > 180 && c.red() < 80 && c.green() < 80;
    }
  EXPECT_GT(blue, 100);
}

// The comment block's check box hides and shows its group's curves; a second run in another
// colour adds a second block below the first.
TEST_F(DesktopEvaluation, CommentBlockCheckBoxAndASecondRunInAnotherColour) {
  type_into(as<QLineEdit>("wav_file"), path("run.wav"));
  evaluate();
  ASSERT_EQ(blocks().size(), 1u);
  Handle check = diagram_handle("Checkbox");
  auto* box = qobject_cast<QCheckBox*>(widget(check));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isChecked());
  // The check box's tag is "Checkbox" + window name + data tag; the group's curves carry "Diag"
  // (and "2Diag" for the torque scale) in its place.
  std::string group = g().get_text(check, "Tag").substr(std::string("Checkbox").size());
  auto curves = [&] {
    std::vector<Handle> all = g().findobj({{"Tag", "Diag" + group}});
    for (Handle h : g().findobj({{"Tag", "2Diag" + group}})) all.push_back(h);
    return all;
  };
  ASSERT_GE(curves().size(), 3u);
  tick(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(g().get_scalar(check, "Value"), 0.0);
  for (Handle h : curves()) EXPECT_FALSE(g().is_on(h, "Visible"));
  tick(box);
  EXPECT_TRUE(box->isChecked());
  for (Handle h : curves()) EXPECT_TRUE(g().is_on(h, "Visible"));

  script_.answer_color(Eigen::RowVector3d(1, 0, 0));
  click(widget("set_sdiag_color"));
  EXPECT_EQ(as<QPushButton>("set_sdiag_color")->palette().color(QPalette::Button), QColor(Qt::red));
  type_into(as<QLineEdit>("comment_spect_diag"), "Lauf 2");
  evaluate();
  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  ASSERT_EQ(blocks().size(), 2u);
  auto* first = qobject_cast<QPushButton*>(diagram_control("PushColor", 0));
  auto* second = qobject_cast<QPushButton*>(diagram_control("PushColor", 1));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->palette().color(QPalette::Button), QColor(Qt::blue));
  EXPECT_EQ(second->palette().color(QPalette::Button), QColor(Qt::red));
  EXPECT_GT(second->y(), first->y());
  bool shows_comment = false;
  for (QLineEdit* e : window_of(diagram())->findChildren<QLineEdit*>())
    shows_comment |= e->text().contains("Lauf 2");
  EXPECT_TRUE(shows_comment);
}

TEST_F(DesktopEvaluation, TheCutViewWaitsWhileTheUserZoomsAndClosesIt) {
  tick(as<QCheckBox>("cut_File"));
  ASSERT_EQ(g().get_scalar(ctl("cut_File"), "Value"), 1.0);
  type_into(as<QLineEdit>("wav_file"), path("run.wav"));
  // The user, while the evaluation waits in the cut view: drags slanting over 4 s to 10 s (time
  // alone zooms), types 9 into the end field, then "Fertig".
  Eigen::RowVectorXd shown, ylim_before, ylim_after, typed;
  std::string start_shown;
  QImage image;
  QRect box;
  bool closed_by_button = false, zoom_on = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    Handle ax = g().find_first("Tag", "WAV Datei von Hand beschneidenAxes");
    if (ax == 0) return;
    FigureWindow* w = window_of(g().parent(ax));
    if (!w || !w->isVisible()) return;
    if (shown.size() == 0) {
      AxesView v = w->view(ax);
      image = w->grab().toImage();
      box = v.box.toAlignedRect();
      zoom_on = w->zoom_on();
      ylim_before = g().get_row(ax, "YLim");
      const double y = (v.ylo + v.yhi) / 2, dy = (v.yhi - v.ylo) / 4;
      for (auto [type, x, up] :
           {std::tuple{QEvent::MouseButtonPress, 4.0, 0.0}, std::tuple{QEvent::MouseMove, 7.0, 0.5},
            std::tuple{QEvent::MouseButtonRelease, 10.0, 1.0}}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QPointF at = v.to_pixel(x, y + up * dy);
        QMouseEvent e(type, at, w->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
      }
      shown = g().get_row(ax, "XLim");
      ylim_after = g().get_row(ax, "YLim");
      auto* start = qobject_cast<QLineEdit*>(widget(g().find_first("Tag", "cut_start")));
      auto* end = qobject_cast<QLineEdit*>(widget(g().find_first("Tag", "cut_end")));
      if (start && end) {
        start_shown = start->text().toStdString();
        end->setFocus();
        end->setText("9");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(end, &enter);
        typed = g().get_row(ax, "XLim");
      }
      return;
    }
    Handle done = g().find_first("String", "Fertig");
    user.stop();
    closed_by_button = done != 0;
    click(widget(done));
  });
  user.start(50);
  evaluate();
  user.stop();

  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  EXPECT_TRUE(closed_by_button);
  EXPECT_TRUE(zoom_on);
  // Inside the axes nearly every pixel is a colour of the platform's colour map (the track and
  // the frame aside), and the spectrum spreads over many of its colours.
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
  ASSERT_EQ(shown.size(), 2);
  EXPECT_NEAR(shown(0), 4.0, 0.05);
  EXPECT_NEAR(shown(1), 10.0, 0.05);
  EXPECT_EQ(ylim_after, ylim_before);
  EXPECT_EQ(start_shown, num2str(shown(0)));
  ASSERT_EQ(typed.size(), 2);
  EXPECT_EQ(typed(0), shown(0));
  EXPECT_EQ(typed(1), 9.0);
  EXPECT_EQ(g().find_first("Tag", "WAV Datei von Hand beschneidenAxes"), 0);
  // The evaluation went on with the cut recording: its engine speeds lie within those the run
  // had between 4 s and 9 s.
  ASSERT_NE(diagram(), 0);
  std::string group = g().get_text(diagram_handle("Checkbox"), "Tag").substr(8);
  Handle curve = g().find_first("Tag", "Diag" + group);
  ASSERT_NE(curve, 0);
  auto true_rpm = [&](double t) {
    Eigen::Index i = 0;
    (run_.truth.t.array() - t).abs().minCoeff(&i);
    return run_.truth.rpm(i);
  };
  Eigen::RowVectorXd rpm = g().get_row(curve, "XData");
  EXPECT_GT(rpm.minCoeff(), true_rpm(4.0) - 300);
  EXPECT_LT(rpm.maxCoeff(), true_rpm(9.0) + 300);
  EXPECT_LT(rpm.maxCoeff(), run_.truth.rpm.maxCoeff() - 500);
}

}  // namespace
}  // namespace ziva::testing
