// The main window on real widgets: the model's state on them, channel-dependent fields, file
// buttons, typed fields and model changes. (A bad field's message: parameter tests; a failing
// callback's dialog: window tests.)
#include <QFrame>
#include <QPalette>
#include <fstream>

#include "desktop_fixture.h"
#include "platform/core/text.h"

namespace ziva::testing {
namespace {

// Every control of the main window as its widget shows it: texts, pop-up lists and entries,
// check marks, visibility and the normalised place in the window of its present size.
class DesktopMainWindow : public DesktopTest {
 protected:
  void expect_widgets_show_the_model() {
    FigureWindow* main = window_of(main_figure());
    const QSize s = main->size();
    for (Handle h : g().findobj({main_figure()}, {{"Type", "uicontrol"}})) {
      SCOPED_TRACE(g().get_text(h, "Tag") + " " + g().get_text(h, "Style"));
      QWidget* w = widget(h);
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(w->isVisibleTo(main), g().is_on(h, "Visible"));
      const Value text = g().get(h, "String");
      const std::string first = text.rows().empty() ? "" : trim_trailing_blanks(text.rows()[0]);
      // A caption too long for its place is cut short; its tooltip then holds it whole.
      auto* l = qobject_cast<QLabel*>(w);
      auto* e = qobject_cast<QLineEdit*>(w);
      auto* b = qobject_cast<QAbstractButton*>(w);
      std::string shown = l   ? (l->toolTip().isEmpty() ? l->text() : l->toolTip()).toStdString()
                          : e ? e->text().toStdString()
                          : b ? b->text().toStdString()
                              : first;
      EXPECT_EQ(shown, first);
      if (auto* box = qobject_cast<QCheckBox*>(w)) {
        EXPECT_EQ(box->isChecked(), g().get_scalar(h, "Value") == 1);
      }
      if (auto* c = qobject_cast<QComboBox*>(w)) {
        EXPECT_EQ(c->count(), static_cast<int>(text.rows().size()));
        EXPECT_EQ(c->currentIndex() + 1, g().get_scalar(h, "Value"));
        EXPECT_EQ(c->currentText().toStdString(),
                  trim_trailing_blanks(text.row_text(static_cast<std::size_t>(c->currentIndex()))));
      }
      const Eigen::RowVectorXd p = g().get_row(h, "Position");
      const QRect r = w->geometry();
      EXPECT_NEAR(r.left(), p(0) * s.width(), 1.0);
      EXPECT_NEAR(r.top(), (1 - p(1) - p(3)) * s.height(), 1.0);
      EXPECT_NEAR(r.width(), p(2) * s.width(), 1.0);
      EXPECT_NEAR(r.height(), p(3) * s.height(), 1.0);
    }
  }
};

TEST_F(DesktopMainWindow, StartUpStateIsVisibleInTheWidgets) {
  start();
  FigureWindow* main = window_of(main_figure());
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ(main->windowTitle().toStdString(), "Rizid Ziva V0.1.9");
  // Every control is a widget of the main window, and each shows its control's state.
  const auto controls = g().findobj({main_figure()}, {{"Type", "uicontrol"}}).size();
  EXPECT_GE(controls, 61u);
  EXPECT_EQ(main->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size() - 1,
            static_cast<qsizetype>(controls));
  expect_widgets_show_the_model();
  EXPECT_EQ(as<QLineEdit>("total_mass")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(as<QLineEdit>("wav_file")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_TRUE(as<QLabel>("total_mass_txt")->alignment() & Qt::AlignRight);

  auto* colour = as<QPushButton>("set_sdiag_color");
  EXPECT_EQ(colour->palette().color(QPalette::Button), QColor(0, 0, 255));
  EXPECT_EQ(colour->palette().color(QPalette::ButtonText), QColor(255, 255, 255));
  // The window's picture is not blank and shows the blue button.
  QImage image = main->grab().toImage();
  EXPECT_GT(colour_count(image), 30);
  QColor c = image.pixelColor(colour->geometry().center() + QPoint(0, colour->height() / 3));
  EXPECT_GT(c.blue() - c.red(), 80);
  EXPECT_GT(c.blue() - c.green(), 80);
  // The evaluate button names its shortcuts (keyboard tests).
  auto* go = qobject_cast<QPushButton*>(widget(g().find_first("Callback", "calc_diag")));
  ASSERT_NE(go, nullptr);
  EXPECT_TRUE(go->toolTip().contains("F5") && go->toolTip().contains("Strg+Eingabe"))
      << go->toolTip().toStdString();

  // Widgets follow the window's size.
  main->resize(1000, 700);
  process_events();
  EXPECT_EQ(main->size(), QSize(1000, 700));
  expect_widgets_show_the_model();
}

// Each file button asks with its own dialog and writes the chosen name into its field.
TEST_F(DesktopMainWindow, FileButtonsWriteTheChosenNamesIntoTheirFields) {
  start();
  std::filesystem::create_directories(path("runs"));
  std::ofstream(path("runs/run1.wav")) << "x";
  struct Button {
    const char *callback, *file, *field, *kind, *title, *first_filter;
  };
  for (const Button& b : {Button{"get_wav_filename;", "runs/run1.wav", "wav_file", "get_file",
                                 "WAV Datei:", "WAV Dateien (*.wav)"},
                          Button{"get_out_filename;", "result.asc", "out_file", "put_file",
                                 "Ausgabe Datei [ASCII]:", "ASCII Dateien (*.asc)"},
                          Button{"get_print_filename;", "diagram.bmp", "print_file", "put_file",
                                 "Ausgabe Datei [BMP]:", "BMP Dateien (*.bmp)"}}) {
    script_.answer_file(path(b.file));
    click(widget(g().find_first("Callback", b.callback)));
    EXPECT_EQ(as<QLineEdit>(b.field)->text().toStdString(), path(b.file));
    ASSERT_FALSE(script_.dialogs.empty());
    EXPECT_EQ(script_.dialogs.back().kind, b.kind);
    EXPECT_EQ(script_.dialogs.back().title, b.title);
    EXPECT_EQ(script_.dialogs.back().filters.at(0).description, b.first_filter);
  }
  EXPECT_EQ(script_.dialogs.size(), 3u);

  // The next WAV dialog opens in the folder of the chosen file; the working directory stays.
  click(widget(g().find_first("Callback", "get_wav_filename;")));
  EXPECT_EQ(std::filesystem::path(script_.dialogs.back().cwd), std::filesystem::path(path("runs")));
  EXPECT_EQ(std::filesystem::current_path(), dir_);
  // Cancelled: the field keeps its name.
  EXPECT_EQ(as<QLineEdit>("wav_file")->text().toStdString(), path("runs/run1.wav"));
}

// A choice or confirmed typed text reaches the model; the channel callback then changes other
// widgets. (Unconfirmed text taken by a button: keyboard tests.)
TEST_F(DesktopMainWindow, ChoicesAndTypedTextReachTheModel) {
  start();
  choose_entry(as<QComboBox>("popup_sig_ch1"), 2);
  process_events();
  EXPECT_EQ(g().get_scalar(ctl("popup_sig_ch1"), "Value"), 3.0);
  EXPECT_TRUE(widget("cylin_perim")->isVisibleTo(window_of(main_figure())));
  EXPECT_EQ(as<QComboBox>("popup_sig_ch2")->count(), 3);
  type_into(as<QLineEdit>("wheel_perim"), "1,325");
  EXPECT_EQ(g().get_text(ctl("wheel_perim"), "String"), "1,325");
}

TEST_F(DesktopMainWindow, ModelChangesShowOnTheWidgets) {
  start();
  Handle mass = ctl("total_mass");
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
  g().set(mass, "String", "150");
  g().set(mass, "Position", Value::row({0.1, 0.1, 0.2, 0.1}));
  g().set(ctl("cut_Vmax"), "Value", 0.0);
  g().set(ctl("popup_yaxis"), "Value", 5.0);
  g().set(ctl("total_tork"), "Visible", "on");
  g().set(ctl("wheel_perim"), "Visible", "off");
  expect_widgets_show_the_model();
  g().set(mass, "Enable", "off");
  EXPECT_FALSE(widget(mass)->isEnabled());
  g().set(ctl("set_sdiag_color"), "BackgroundColor", "r");
  EXPECT_EQ(as<QPushButton>("set_sdiag_color")->palette().color(QPalette::Button),
            QColor(255, 0, 0));
  // A control that goes away takes its widget with it.
  QPointer<QWidget> gone = widget(mass);
  g().remove(mass);
  process_events();
  EXPECT_TRUE(gone.isNull());
}

}  // namespace
}  // namespace ziva::testing
