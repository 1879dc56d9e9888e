// The real Qt dialogs, answered by timers as a user would: file dialogs with their filters and
// the save dialog's rules, the question, the error dialog that does not wait, the colour chooser.
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <fstream>
#include <functional>

#include "desktop_fixture.h"

namespace ziva::testing {
namespace {

// Acts on the modal dialogs as they come up: each step waits for a modal widget it accepts
// (returns true for), then the next step waits for the next one. A dialog is served only once it
// has been up for two polls, so that it waits in its own event loop.
class ModalScript {
 public:
  using Step = std::function<bool(QWidget*)>;
  explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(20);
    clock_.start();
  }
  bool done() const { return next_ == steps_.size(); }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && clock_.elapsed() > 10000) {
      // A script that went wrong must not leave the test waiting for ever.
      ADD_FAILURE() << "a dialog was left open: " << modal->metaObject()->className();
      if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
      return;
    }
    if (done()) return;
    if (!modal || modal == served_ || !modal->isVisible()) {
      seen_ = nullptr;
      return;
    }
    if (modal != seen_) {
      seen_ = modal;
      return;
    }
    served_ = modal;
    seen_ = nullptr;
    Step step = steps_[next_++];
    if (!step(modal)) next_ = steps_.size() + 1;  // a step that fails stops the script
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QWidget* seen_ = nullptr;
  QWidget* served_ = nullptr;
  QTimer timer_;
  QElapsedTimer clock_;
};

// A step that types `name` into a file dialog's name field and accepts it, as the user does; the
// dialog's title goes to `title`.
ModalScript::Step accept_file(const QString& name, std::string* title = nullptr) {
  return [name, title](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    auto* edit = d ? d->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (!edit) return false;
    if (title) *title = d->windowTitle().toStdString();
    edit->setText(name);
    static_cast<QDialog*>(d)->accept();
    return true;
  };
}

// A step that cancels a dialog of type D.
template <class D>
ModalScript::Step cancel() {
  return [](QWidget* w) {
    auto* d = qobject_cast<D*>(w);
    if (d) static_cast<QDialog*>(d)->reject();
    return d != nullptr;
  };
}

// The visible message box showing `text`, or null.
QMessageBox* shown_box(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box->isVisible() && box->text() == text) return box;
  }
  return nullptr;
}

const std::vector<FileFilter> kAscRows = {{"*.asc", "ASCII Dateien (*.asc)"},
                                          {"*.*", "Alle Dateien (*.*)"}};

using DesktopDialogs = DesktopTest;

// The save dialog asks before an existing file is replaced and adds the chosen filter's extension.
TEST_F(DesktopDialogs, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(name_filters(kAscRows), QStringList({"ASCII Dateien (*.asc)", "Alle Dateien (*.*)"}));
  EXPECT_EQ(name_filters({{"*.wav;*.WAV", "Aufnahmen"}}), QStringList({"Aufnahmen (*.wav *.WAV)"}));
  auto open_dialog = make_file_dialog(nullptr, kAscRows, "Ausgabe Datei [ASCII]:", false);
  EXPECT_EQ(std::filesystem::path(open_dialog->directory().absolutePath().toStdString()), dir_);
  auto save_dialog = make_file_dialog(nullptr, kAscRows, "Ausgabe Datei [ASCII]:", true);
  EXPECT_FALSE(save_dialog->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(save_dialog->defaultSuffix().toStdString(), "asc");
  save_dialog->selectNameFilter("Alle Dateien (*.*)");
  emit save_dialog->filterSelected("Alle Dateien (*.*)");
  EXPECT_TRUE(save_dialog->defaultSuffix().isEmpty());
}

// Each dialog answered and cancelled: the open dialog returns name and folder, the save dialog
// takes a new name and adds the extension, the colour chooser starts at the preset colour.
TEST_F(DesktopDialogs, FileAndColourDialogsReturnTheChoiceOrNothing) {
  std::ofstream(path("run.wav")) << "x";
  QtDialogs dialogs;
  const std::vector<FileFilter> wav = {{"*.wav", "WAV Dateien (*.wav)"}};
  std::string title;
  ModalScript open({accept_file("run.wav", &title)});
  FileChoice c = dialogs.open_file(nullptr, wav, "WAV Datei:");
  EXPECT_EQ(title, "WAV Datei:");
  ASSERT_FALSE(c.cancelled);
  EXPECT_EQ(c.name, "run.wav");
  EXPECT_EQ(std::filesystem::path(c.dir), std::filesystem::path(dir_.string() + "/"));
  ModalScript cancel_open({cancel<QFileDialog>()});
  EXPECT_TRUE(dialogs.open_file(nullptr, wav, "WAV Datei:").cancelled);

  ModalScript save({accept_file("neu")});
  c = dialogs.save_file(nullptr, kAscRows, "Ausgabe Datei [ASCII]:");
  ASSERT_FALSE(c.cancelled);
  EXPECT_EQ(c.name, "neu.asc");
  EXPECT_FALSE(std::filesystem::exists(path("neu.asc")));

  QColor preset;
  ModalScript pick({[&](QWidget* w) {
    auto* d = qobject_cast<QColorDialog*>(w);
    if (!d) return false;
    preset = d->currentColor();
    d->setCurrentColor(QColor(255, 0, 0));
    static_cast<QDialog*>(d)->accept();
    return true;
  }});
  EXPECT_EQ(dialogs.color(nullptr, Eigen::RowVector3d(0, 0, 1)), Eigen::RowVector3d(1, 0, 0));
  EXPECT_EQ(preset, QColor(0, 0, 255));
  ModalScript cancel_colour({cancel<QColorDialog>()});
  EXPECT_EQ(dialogs.color(nullptr, Eigen::RowVector3d(0, 0, 1)), std::nullopt);
}

TEST_F(DesktopDialogs, TheQuestionReturnsThePressedButtonOrNothing) {
  QtDialogs dialogs;
  std::string default_text;
  ModalScript ja({[&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    default_text = box->defaultButton() ? box->defaultButton()->text().toStdString() : "";
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "ja") b->click();
    return true;
  }});
  auto answer = dialogs.question(nullptr, "Soll die Datei wirklich überschrieben werden?",
                                 "Datei Fehler", "ja", "nein", "nein");
  EXPECT_EQ(default_text, "nein");
  EXPECT_EQ(answer, std::optional<std::string>("ja"));

  ModalScript escaped({[](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &esc);
    return true;
  }});
  EXPECT_EQ(dialogs.question(nullptr, "?", "", "ja", "nein", "ja"), std::nullopt);
}

// Error dialogs do not wait, are titled "Fehler" unless a title is given, and cascade while the
// earlier ones are open.
TEST_F(DesktopDialogs, ErrorDialogsDoNotWaitAndCascadeWhileTheEarlierAreOpen) {
  QtServices services;
  services.error_dialog("eins", "");
  services.error_dialog("zwei", "Eigener Titel");
  services.error_dialog("drei", "");
  QMessageBox* one = shown_box("eins");
  QMessageBox* two = shown_box("zwei");
  QMessageBox* three = shown_box("drei");
  ASSERT_TRUE(one && two && three);
  EXPECT_EQ(one->windowTitle().toStdString(), "Fehler");
  EXPECT_FALSE(one->isModal());
  EXPECT_EQ(two->windowTitle().toStdString(), "Eigener Titel");
  EXPECT_EQ(two->pos() - one->pos(), QPoint(24, 24));
  EXPECT_EQ(three->pos() - two->pos(), QPoint(24, 24));
  // Once the earlier ones are closed, the next one does not step on from them.
  const QPoint after_three = three->pos() + QPoint(24, 24);
  for (QMessageBox* box : {one, two, three}) box->close();
  process_events();
  services.error_dialog("vier", "");
  QMessageBox* four = shown_box("vier");
  ASSERT_NE(four, nullptr);
  EXPECT_NE(four->pos(), after_three);
  four->close();
  process_events();
}

}  // namespace
}  // namespace ziva::testing
