// Whole evaluations on the real windows: a simulated run chosen through the file button, typed
// German decimal commas, the diagram window with its comment blocks, colours and check boxes,
// the spectrogram cut view.
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTimer>

#include "desktop_fixture.h"
#include "platform/render/image_check.h"
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

// A run chosen through the file button with German decimal commas typed gives a diagram window
// whose comment block shows the maximum and whose check box hides and shows its group's curves; a
// second run in another colour adds a second block below the first.
TEST_F(DesktopEvaluation, ARunThroughTheWidgetsThenASecondInAnotherColour) {
  type_into(as<QLineEdit>("wheel_perim"), "1,325");
  type_into(as<QLineEdit>("total_mass"), "200,0");
  script_.answer_file(path("run.wav"));
  click(widget(g().find_first("Callback", "get_wav_filename;")));
  type_into(as<QLineEdit>("print_file"), path("diagramm.bmp"));
  evaluate();

  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  ASSERT_NE(diagram(), 0);
  FigureWindow* w = window_of(diagram());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->zoom_on());
  EXPECT_EQ(w->windowTitle().toStdString(), kFigName);
  ASSERT_EQ(blocks().size(), 1u);
  EXPECT_FALSE(QImage(QString::fromStdString(path("diagramm.bmp"))).isNull());

  // The comment block's maximum: power in PS at its engine speed, against the simulator's truth.
  QString best;
  for (QLabel* l : w->findChildren<QLabel*>())
    if (l->text().contains(" PS / ")) best = l->text();
  QRegularExpressionMatch m = QRegularExpression("^([0-9.]+) PS / ([0-9.]+) ").match(best);
  ASSERT_TRUE(m.hasMatch()) << best.toStdString();
  double true_ps = run_.truth.power.maxCoeff() / 0.73549875;
  EXPECT_NEAR(m.captured(1).toDouble(), true_ps, 0.1 * true_ps);

  // The window's picture shows the blue curve inside the axes.
  QImage image = w->grab().toImage();
  QRect axes =
      w->view(g().find_first("Tag", std::string("DiagAxes") + kFigName)).box.toAlignedRect();
  EXPECT_GT(count_near(image, {0, 0, 255}, 75, axes), 100);

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
  for (bool on : {false, true}) {
    tick(box);
    EXPECT_EQ(box->isChecked(), on);
    EXPECT_EQ(g().get_scalar(check, "Value"), on ? 1.0 : 0.0);
    for (Handle h : curves()) EXPECT_EQ(g().is_on(h, "Visible"), on);
  }

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

// The evaluation waits in the cut view on the real windows while the user zooms (time alone) and
// goes on with the cut recording once "Fertig" closes the view. (The view's contents, typed range
// fields and zoom style: cut and zoom tests; a window closed during a pause: window tests.)
TEST_F(DesktopEvaluation, TheCutViewWaitsWhileTheUserZoomsAndClosesIt) {
  tick(as<QCheckBox>("cut_File"));
  type_into(as<QLineEdit>("wav_file"), path("run.wav"));
  Eigen::RowVectorXd shown;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    Handle ax = g().find_first("Tag", "WAV Datei von Hand beschneidenAxes");
    FigureWindow* w = ax != 0 ? window_of(g().parent(ax)) : nullptr;
    if (!w || !w->isVisible()) return;
    if (shown.size() == 0) {  // a slanting drag over 4 s to 9 s
      const AxesView v = w->view(ax);
      const QPointF from = v.to_pixel(4, (v.ylo + v.yhi) / 2),
                    to = v.to_pixel(9, (v.ylo + 3 * v.yhi) / 4);
      for (auto [type, at, button] : {std::tuple{QEvent::MouseButtonPress, from, Qt::LeftButton},
                                      std::tuple{QEvent::MouseMove, to, Qt::NoButton},
                                      std::tuple{QEvent::MouseButtonRelease, to, Qt::LeftButton}}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
      }
      shown = g().get_row(ax, "XLim");
      return;
    }
    user.stop();
    click(widget(g().find_first("String", "Fertig")));
  });
  user.start(50);
  evaluate();
  user.stop();

  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  ASSERT_EQ(shown.size(), 2);
  EXPECT_NEAR(shown(0), 4.0, 0.05);
  EXPECT_NEAR(shown(1), 9.0, 0.05);
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
