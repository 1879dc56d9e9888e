// The main window on real widgets: defaults, channel-dependent fields, file buttons, typed fields
// and model changes. (A bad field's message: parameter tests; a failing callback's dialog: window
// tests.)
#include <QFrame>
#include <QPalette>
#include <fstream>

#include "desktop_fixture.h"
#include "platform/core/text.h"

namespace ziva::testing {
namespace {

using DesktopMainWindow = DesktopTest;

Handle by_callback(Graphics& g, const std::string& callback) {
  return g.find_first("Callback", callback);
}

TEST_F(DesktopMainWindow, StartUpDefaultsAreVisibleInTheWidgets) {
  start();
  FigureWindow* main = window_of(main_figure());
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ(main->windowTitle().toStdString(), "Rizid Ziva V0.1.9");
  EXPECT_EQ(main->size(), QSize(840, 630));
  // Every control (the first version's 61 and those of parameters added since) is a widget of the
  // main window.
  const auto controls = g().findobj({main_figure()}, {{"Type", "uicontrol"}}).size();
  EXPECT_GE(controls, 61u);
  EXPECT_EQ(main->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size() - 1,
            static_cast<qsizetype>(controls));

  const std::pair<const char*, const char*> fields[] = {{"total_mass", "200.0"},
                                                        {"cw_value", "0.5"},
                                                        {"frontal_area", "0.75"},
                                                        {"gear_ratio", "6.32"},
                                                        {"wheel_perim", "1.325"},
                                                        {"filt_length", "1"},
                                                        {"lima", "3"},
                                                        {"wheel_sens", "1"},
                                                        {"air_temp", "20"},
                                                        {"air_pres", "1013"},
                                                        {"total_tork", "1.08"},
                                                        {"cylin_perim", "0.9321"},
                                                        {"wav_file", ""},
                                                        {"out_file", ""},
                                                        {"print_file", ""},
                                                        {"comment_spect_diag", "Kommentar"},
                                                        {"title_txt", "Rizid Ziva"}};
  for (const auto& [tag, text] : fields) EXPECT_EQ(as<QLineEdit>(tag)->text().toStdString(), text);
  EXPECT_EQ(as<QLineEdit>("total_mass")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(as<QLineEdit>("wav_file")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

  auto* ch1 = as<QComboBox>("popup_sig_ch1");
  auto* ch2 = as<QComboBox>("popup_sig_ch2");
  EXPECT_EQ(ch1->count(), 4);
  EXPECT_EQ(ch1->currentText().toStdString(), "Lichtmaschine");
  EXPECT_EQ(ch2->currentText().toStdString(), "Lichtmaschine");
  EXPECT_EQ(ch1->itemText(2).toStdString(), "Trägheitsrolle");
  EXPECT_EQ(as<QComboBox>("popup_xaxis")->currentText().toStdString(), "RPM [1/min]");
  EXPECT_EQ(as<QComboBox>("popup_yaxis")->count(), 12);
  EXPECT_EQ(as<QComboBox>("popup_yaxis")->currentText().toStdString(), "Leistung[PS]/Drehm[Nm]");

  EXPECT_TRUE(as<QCheckBox>("cut_Vmax")->isChecked());
  EXPECT_TRUE(as<QCheckBox>("cut_File")->isChecked());
  EXPECT_FALSE(as<QCheckBox>("add_par_to_comment")->isChecked());
  EXPECT_FALSE(as<QCheckBox>("add_wav_to_comment")->isChecked());
  EXPECT_EQ(as<QCheckBox>("cut_Vmax")->text().toStdString(), "Diagramme nur bis Vmax zeigen");

  for (const char* tag : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
    EXPECT_FALSE(widget(tag)->isVisibleTo(main)) << tag;
  EXPECT_TRUE(widget("total_mass")->isVisibleTo(main));
  EXPECT_EQ(as<QLabel>("wheel_sens_txt")->text().toStdString(), "Rad Sensoren:");
  EXPECT_EQ(as<QLabel>("total_mass_txt")->text().toStdString(), "Gesamt Gewicht [kg]:");
  EXPECT_TRUE(as<QLabel>("total_mass_txt")->alignment() & Qt::AlignRight);

  auto* colour = as<QPushButton>("set_sdiag_color");
  EXPECT_EQ(colour->text().toStdString(), "Farbe");
  EXPECT_EQ(colour->palette().color(QPalette::Button), QColor(0, 0, 255));
  EXPECT_EQ(colour->palette().color(QPalette::ButtonText), QColor(255, 255, 255));
  // The window's picture is not blank and shows the blue button.
  QImage image = main->grab().toImage();
  EXPECT_GT(colour_count(image), 30);
  QColor c = image.pixelColor(colour->geometry().center() + QPoint(0, colour->height() / 3));
  EXPECT_GT(c.blue() - c.red(), 80);
  EXPECT_GT(c.blue() - c.green(), 80);
  auto* go = qobject_cast<QPushButton*>(widget(by_callback(g(), "calc_diag")));
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->text().toStdString(), "Berechne Diagramm >>");
  // It names its shortcuts (keyboard tests).
  EXPECT_TRUE(go->toolTip().contains("F5") && go->toolTip().contains("Strg+Eingabe"))
      << go->toolTip().toStdString();
}

TEST_F(DesktopMainWindow, ControlsSitAtTheirNormalisedPlacesAndFollowTheWindowSize) {
  start();
  FigureWindow* main = window_of(main_figure());
  auto expect_place = [&](const char* tag, double l, double b, double w, double h) {
    QSize s = main->size();
    QRect r = widget(tag)->geometry();
    EXPECT_NEAR(r.left(), l * s.width(), 1.0) << tag;
    EXPECT_NEAR(r.top(), (1 - b - h) * s.height(), 1.0) << tag;
    EXPECT_NEAR(r.width(), w * s.width(), 1.0) << tag;
    EXPECT_NEAR(r.height(), h * s.height(), 1.0) << tag;
  };
  expect_place("total_mass", 0.35, 0.4, 0.105, 0.05);
  expect_place("popup_yaxis", 0.705, 0.65, 0.2565, 0.05);
  main->resize(1000, 700);
  process_events();
  EXPECT_EQ(main->size(), QSize(1000, 700));
  expect_place("total_mass", 0.35, 0.4, 0.105, 0.05);
  expect_place("popup_yaxis", 0.705, 0.65, 0.2565, 0.05);
  // The model moves a control: the widget follows.
  g().set(ctl("total_mass"), "Position", Value::row({0.1, 0.1, 0.2, 0.1}));
  expect_place("total_mass", 0.1, 0.1, 0.2, 0.1);
}

TEST_F(DesktopMainWindow, ChoosingTheInertiaRollerShowsTheRollerFields) {
  start();
  FigureWindow* main = window_of(main_figure());
  choose_entry(as<QComboBox>("popup_sig_ch1"), 2);
  process_events();
  EXPECT_EQ(g().get_scalar(ctl("popup_sig_ch1"), "Value"), 3.0);
  for (const char* tag : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
    EXPECT_TRUE(widget(tag)->isVisibleTo(main)) << tag;
  EXPECT_EQ(as<QLabel>("wheel_sens_txt")->text().toStdString(), "Rollen Sensoren:");
  EXPECT_EQ(as<QComboBox>("popup_sig_ch2")->count(), 3);
}

TEST_F(DesktopMainWindow, FileButtonsWriteTheChosenNamesIntoTheirFields) {
  start();
  std::filesystem::create_directories(path("runs"));
  std::ofstream(path("runs/run1.wav")) << "x";
  script_.answer_file(path("runs/run1.wav"));
  click(widget(by_callback(g(), "get_wav_filename;")));
  EXPECT_EQ(as<QLineEdit>("wav_file")->text().toStdString(), path("runs/run1.wav"));

  script_.answer_file(path("result.asc"));
  click(widget(by_callback(g(), "get_out_filename;")));
  EXPECT_EQ(as<QLineEdit>("out_file")->text().toStdString(), path("result.asc"));

  script_.answer_file(path("diagram.bmp"));
  click(widget(by_callback(g(), "get_print_filename;")));
  EXPECT_EQ(as<QLineEdit>("print_file")->text().toStdString(), path("diagram.bmp"));

  ASSERT_EQ(script_.dialogs.size(), 3u);
  EXPECT_EQ(script_.dialogs[0].kind, "get_file");
  EXPECT_EQ(script_.dialogs[0].title, "WAV Datei:");
  EXPECT_EQ(script_.dialogs[0].filters[0].pattern, "*.wav");
  EXPECT_EQ(script_.dialogs[1].kind, "put_file");
  EXPECT_EQ(script_.dialogs[1].filters[0].description, "ASCII Dateien (*.asc)");
  EXPECT_EQ(script_.dialogs[2].kind, "put_file");
  EXPECT_EQ(script_.dialogs[2].title, "Ausgabe Datei [BMP]:");

  // The next WAV dialog opens in the folder of the chosen file; the working directory stays.
  click(widget(by_callback(g(), "get_wav_filename;")));
  EXPECT_EQ(std::filesystem::path(script_.dialogs.back().cwd), std::filesystem::path(path("runs")));
  EXPECT_EQ(std::filesystem::current_path(), dir_);
  // Cancelled: the field keeps its name.
  EXPECT_EQ(as<QLineEdit>("wav_file")->text().toStdString(), path("runs/run1.wav"));
}

TEST_F(DesktopMainWindow, TypedTextReachesTheModelWhenConfirmedOrWhenAButtonIsPressed) {
  start();
  type_into(as<QLineEdit>("wheel_perim"), "1,325");
  EXPECT_EQ(g().get_text(ctl("wheel_perim"), "String"), "1,325");

  // Typed but not confirmed with Return: pressing a button takes the text first.
  auto* mass = as<QLineEdit>("total_mass");
  mass->setFocus();
  mass->selectAll();
  mass->insert("185,5");
  EXPECT_EQ(g().get_text(ctl("total_mass"), "String"), "200.0");
  script_.answer_file(path("set.cfg"));
  click(widget(by_callback(g(), "save_par")));
  EXPECT_EQ(g().get_text(ctl("total_mass"), "String"), "185,5");
  EXPECT_TRUE(script_.errors.empty());
  EXPECT_TRUE(std::filesystem::exists(path("set.cfg")));
}

TEST_F(DesktopMainWindow, ModelChangesShowOnTheWidgets) {
  start();
  FigureWindow* main = window_of(main_figure());
  Handle mass = ctl("total_mass");
  g().set(mass, "String", "150");
  EXPECT_EQ(as<QLineEdit>("total_mass")->text().toStdString(), "150");
  // A path too long for its field shows its end, the file name, and the whole path as tooltip.
  const std::string long_path = "/tmp/" + std::string(60, 'd') + "/Lauf_mit_sehr_langem_Namen.wav";
  as<QLineEdit>("wav_file")->clearFocus();  // a field being typed in keeps its cursor
  g().set(ctl("wav_file"), "String", long_path);
  auto* wav = as<QLineEdit>("wav_file");
  EXPECT_EQ(wav->cursorPosition(), static_cast<int>(wav->text().size()));
  EXPECT_EQ(wav->toolTip().toStdString(), long_path);
  g().set(ctl("wav_file"), "String", "kurz.wav");
  EXPECT_EQ(wav->cursorPosition(), 0);
  EXPECT_TRUE(wav->toolTip().isEmpty());
  g().set(mass, "Enable", "off");
  EXPECT_FALSE(widget(mass)->isEnabled());
  g().set(mass, "Visible", "off");
  EXPECT_FALSE(widget(mass)->isVisibleTo(main));
  g().set(ctl("set_sdiag_color"), "BackgroundColor", "r");
  EXPECT_EQ(as<QPushButton>("set_sdiag_color")->palette().color(QPalette::Button),
            QColor(255, 0, 0));
  g().set(ctl("cut_Vmax"), "Value", 0.0);
  EXPECT_FALSE(as<QCheckBox>("cut_Vmax")->isChecked());
  g().set(ctl("popup_yaxis"), "Value", 5.0);
  EXPECT_EQ(as<QComboBox>("popup_yaxis")->currentText().toStdString(), "Drehmoment [Nm]");
  // A control that goes away takes its widget with it.
  QPointer<QWidget> gone = widget(mass);
  g().remove(mass);
  process_events();
  EXPECT_TRUE(gone.isNull());
}

}  // namespace
}  // namespace ziva::testing
