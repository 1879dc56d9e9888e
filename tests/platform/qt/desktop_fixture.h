// A started desktop program on real widgets (offscreen), with dialogs answered by a script, run in
// a fresh working directory; helpers that operate widgets as a user does.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>

#include "app/functions.h"
#include "app/main_window.h"
#include "platform/core/scripted_services.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_services.h"
#include "support/work_dir.h"

namespace ziva::testing {

// Dialog answers come from a ScriptedServices queue, which also logs every dialog.
class ScriptedDialogs : public DialogBackend {
 public:
  explicit ScriptedDialogs(ScriptedServices& script) : script_(script) {}
  FileChoice open_file(QWidget*, const std::vector<FileFilter>& f, const std::string& t) override {
    return script_.get_file(f, t);
  }
  FileChoice save_file(QWidget*, const std::vector<FileFilter>& f, const std::string& t) override {
    return script_.put_file(f, t);
  }
  std::optional<std::string> question(QWidget*, const std::string& text, const std::string& title,
                                      const std::string& b1, const std::string& b2,
                                      const std::string& def) override {
    return script_.question(text, title, b1, b2, def);
  }
  void error(QWidget*, const std::string& message, const std::string& title) override {
    script_.error_dialog(message, title);
  }
  void warning(QWidget*, const std::string& text) override { script_.show_warning(text); }
  std::optional<Eigen::RowVector3d> color(QWidget*, const Eigen::RowVector3d& preset) override {
    return script_.choose_color(preset);
  }

 private:
  ScriptedServices& script_;
};

// Runs pending events, deferred deletions included.
void process_events();

// A press and release of `button` at `where` (the widget's centre when not given).
void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint where = QPoint(-1, -1),
           Qt::KeyboardModifiers mods = Qt::NoModifier);
// Clicks a check box on its tick mark.
void tick(QCheckBox* box);
// Replaces the text of an edit field by typing it and pressing Return.
void type_into(QLineEdit* edit, const std::string& text);
// Moves a pop-up menu's choice by keyboard until entry `index` (0-based) is chosen.
void choose_entry(QComboBox* combo, int index);
// The number of distinct colours in an image.
int colour_count(const QImage& image);

class DesktopTest : public WorkDirTest {
 protected:
  void TearDown() override;

  // Creates the program and its windows without starting it.
  void open();
  // Creates the program and runs the start-up sequence.
  void start();

  Graphics& g() { return program_->graphics(); }
  Handle ctl(const std::string& tag) { return control(program_->env(), tag); }
  Handle main_figure() { return g().find_first("Tag", "Main Figure"); }
  FigureWindow* window_of(Handle fig) { return desktop_->window(fig); }
  QWidget* widget(const std::string& tag);
  QWidget* widget(Handle h);
  template <class W>
  W* as(const std::string& tag) {
    auto* w = qobject_cast<W*>(widget(tag));
    EXPECT_NE(w, nullptr) << tag;
    return w;
  }

  ScriptedServices script_;
  std::unique_ptr<QtServices> services_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<Desktop> desktop_;
};

}  // namespace ziva::testing
