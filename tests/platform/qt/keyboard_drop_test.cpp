// The main window's keyboard shortcuts for "Berechne Diagramm >>" and files dropped on it.
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "desktop_fixture.h"
#include "params/par_file.h"
#include "params/parameters.h"

namespace ziva::testing {
namespace {

struct Keys {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  bool evaluates;
};

class DesktopKeys : public DesktopTest, public ::testing::WithParamInterface<Keys> {};

// A key pressed while a field holds typed, unconfirmed text: the shortcuts take the text and run
// the evaluation, which asks for the WAV file as none is chosen; a plain Return only confirms the
// field.
TEST_P(DesktopKeys, ShortcutsPressTheEvaluateButton) {
  start();
  FigureWindow* main = window_of(main_figure());
  ASSERT_NE(main, nullptr);
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  auto* mass = as<QLineEdit>("total_mass");
  mass->setFocus();
  mass->selectAll();
  mass->insert("185,5");
  QTest::keyClick(mass, GetParam().key, GetParam().mods);
  process_events();
  EXPECT_EQ(g().get_text(ctl("total_mass"), "String"), "185,5");
  if (GetParam().evaluates) {
    ASSERT_EQ(script_.dialogs.size(), 1u);
    EXPECT_EQ(script_.dialogs[0].kind, "get_file");
  } else {
    EXPECT_TRUE(script_.dialogs.empty());
  }
  EXPECT_TRUE(script_.errors.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, DesktopKeys, ::testing::Values(
    Keys{"F5", Qt::Key_F5, Qt::NoModifier, true},
    Keys{"CtrlReturn", Qt::Key_Return, Qt::ControlModifier, true},
    Keys{"CtrlEnter", Qt::Key_Enter, Qt::KeypadModifier | Qt::ControlModifier, true},
    Keys{"Return", Qt::Key_Return, Qt::NoModifier, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

using DesktopDrop = DesktopTest;

// Sends a drag of `files` entering and dropping on `target`; whether the drag was accepted.
bool drop(QWidget* target, const std::vector<std::string>& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const auto& f : files) urls.append(QUrl::fromLocalFile(QString::fromStdString(f)));
  mime.setUrls(urls);
  mime.setText(urls.isEmpty() ? QString() : urls.front().toString());
  const QPoint at(target->width() / 2, target->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton,
                     Qt::NoModifier);
  QApplication::sendEvent(target, &dropped);
  process_events();
  return dropped.isAccepted();
}

// A WAV file dropped on the window or on a field goes into "WAV Datei", whole; a parameter file
// loads as "Laden" loads it, and a WAV file dropped with it is kept; other files are refused.
TEST_F(DesktopDrop, WavAndParameterFilesDroppedOnTheWindow) {
  start();
  FigureWindow* main = window_of(main_figure());
  auto* wav_field = as<QLineEdit>("wav_file");
  ASSERT_TRUE(drop(main, {path("Lauf 1.WAV")}));
  EXPECT_EQ(g().get_text(ctl("wav_file"), "String"), path("Lauf 1.WAV"));
  EXPECT_EQ(wav_field->text().toStdString(), path("Lauf 1.WAV"));
  ASSERT_TRUE(drop(wav_field, {path("lauf2.wav")}));
  EXPECT_EQ(wav_field->text().toStdString(), path("lauf2.wav"));

  EXPECT_FALSE(drop(main, {path("notes.txt")}));

  ParSet p = get_par(program_->env());
  p.total_mass_kg = 321;
  p.sig_ch1 = 3;
  write_par_file(path("it's.cfg"), p);
  ASSERT_TRUE(drop(as<QLineEdit>("total_mass"), {path("it's.cfg"), path("run3.wav")}));
  EXPECT_TRUE(script_.errors.empty());
  EXPECT_EQ(as<QLineEdit>("total_mass")->text().toStdString(), "321");
  EXPECT_EQ(as<QComboBox>("popup_sig_ch1")->currentIndex(), 2);
  EXPECT_EQ(wav_field->text().toStdString(), path("run3.wav"));

  std::ofstream(path("broken.cfg")) << "not a parameter file";
  ASSERT_TRUE(drop(main, {path("broken.cfg")}));
  ASSERT_EQ(script_.errors.size(), 1u);
  EXPECT_NE(script_.errors[0].message.find("broken.cfg"), std::string::npos)
      << script_.errors[0].message;
  EXPECT_EQ(as<QLineEdit>("total_mass")->text().toStdString(), "321");
}

}  // namespace
}  // namespace ziva::testing
