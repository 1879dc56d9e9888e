// A whole evaluation on the real windows: a simulated run chosen through the file button, typed
// German decimal commas, the diagram window with its curve and the check box that hides it. (The
// diagram's contents, blocks and colours: diagram tests; the cut view: cut tests.)
#include "desktop_fixture.h"
#include "platform/render/image_check.h"
#include "platform/render/renderer.h"
#include "sim/simulate.h"

namespace ziva::testing {
namespace {

constexpr const char* kFigName = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";

using DesktopEvaluation = DesktopTest;

TEST_F(DesktopEvaluation, ARunThroughTheWidgetsGivesTheDiagramWindow) {
  SynthOptions o;
  o.rate = 22050;
  write_run_wav(synthesize(o), 16, path("run.wav"));
  start();
  // The simulated run: alternator left, wheel sensor right; no hand cut.
  choose_entry(as<QComboBox>("popup_sig_ch2"), 1);
  tick(as<QCheckBox>("cut_File"));
  ASSERT_EQ(g().get_scalar(ctl("cut_File"), "Value"), 0.0);
  type_into(as<QLineEdit>("wheel_perim"), "1,325");
  type_into(as<QLineEdit>("total_mass"), "200,0");
  script_.answer_file(path("run.wav"));
  click(widget(g().find_first("Callback", "get_wav_filename;")));
  type_into(as<QLineEdit>("print_file"), path("diagramm.bmp"));
  click(widget(g().find_first("Callback", "calc_diag")));
  process_events();

  ASSERT_TRUE(script_.errors.empty()) << script_.errors[0].message;
  const Handle diagram = g().find_first("Name", kFigName);
  FigureWindow* w = diagram != 0 ? window_of(diagram) : nullptr;
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->zoom_on());
  EXPECT_EQ(w->windowTitle().toStdString(), kFigName);
  EXPECT_FALSE(QImage(QString::fromStdString(path("diagramm.bmp"))).isNull());
  // The window's picture shows the blue curve inside the axes.
  QImage image = w->grab().toImage();
  QRect axes =
      w->view(g().find_first("Tag", std::string("DiagAxes") + kFigName)).box.toAlignedRect();
  EXPECT_GT(count_near(image, {0, 0, 255}, 75, axes), 100);

  // The group's check box (tag "Checkbox" + window name + data tag) hides its curves ("Diag" and
  // "2Diag" in its place) when its widget is ticked.
  Handle check = 0;
  for (Handle h : g().children(diagram))
    if (g().get_text(h, "Tag").rfind(std::string("Checkbox") + kFigName, 0) == 0) check = h;
  auto* box = qobject_cast<QCheckBox*>(widget(check));
  ASSERT_NE(box, nullptr);
  const std::string group = g().get_text(check, "Tag").substr(std::string("Checkbox").size());
  tick(box);
  EXPECT_EQ(g().get_scalar(check, "Value"), 0.0);
  std::size_t curves = 0, shown = 0;
  for (const char* prefix : {"Diag", "2Diag"})
    for (Handle h : g().findobj({{"Tag", prefix + group}}))
      curves += 1, shown += g().is_on(h, "Visible");
  EXPECT_GE(curves, 3u);
  EXPECT_EQ(shown, 0u);
}

}  // namespace
}  // namespace ziva::testing
