// The desktop's platform services: Qt dialogs (behind a replaceable backend, so tests can answer
// them), pause and drawing flush through the window layer, printing through the renderer.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "platform/core/services.h"

class QFileDialog;
class QWidget;

namespace ziva {

class Desktop;

// The dialogs the program opens. The real one shows Qt dialogs; tests put a scripted one in.
class DialogBackend {
 public:
  virtual ~DialogBackend() = default;
  // Open dialog in the working directory for an existing file.
  virtual FileChoice open_file(QWidget* parent, const std::vector<FileFilter>& filters,
                               const std::string& title) = 0;
  // Save dialog in the working directory; new names are accepted, replacing a file is confirmed.
  virtual FileChoice save_file(QWidget* parent, const std::vector<FileFilter>& filters,
                               const std::string& title) = 0;
  // The pressed button's text; nothing when the dialog was closed without a button.
  virtual std::optional<std::string> question(QWidget* parent, const std::string& text,
                                              const std::string& title, const std::string& button1,
                                              const std::string& button2,
                                              const std::string& default_button) = 0;
  // Shown without waiting for the user.
  virtual void error(QWidget* parent, const std::string& message, const std::string& title) = 0;
  virtual void warning(QWidget* parent, const std::string& text) = 0;
  // Nothing when cancelled.
  virtual std::optional<Eigen::RowVector3d> color(QWidget* parent,
                                                  const Eigen::RowVector3d& preset) = 0;
};

// The real dialogs.
class QtDialogs : public DialogBackend {
 public:
  FileChoice open_file(QWidget* parent, const std::vector<FileFilter>& filters,
                       const std::string& title) override;
  FileChoice save_file(QWidget* parent, const std::vector<FileFilter>& filters,
                       const std::string& title) override;
  std::optional<std::string> question(QWidget* parent, const std::string& text,
                                      const std::string& title, const std::string& button1,
                                      const std::string& button2,
                                      const std::string& default_button) override;
  void error(QWidget* parent, const std::string& message, const std::string& title) override;
  void warning(QWidget* parent, const std::string& text) override;
  std::optional<Eigen::RowVector3d> color(QWidget* parent,
                                          const Eigen::RowVector3d& preset) override;
};

// Qt name filters from filter rows: the description, followed by the pattern in parentheses when
// the description does not name it already ("WAV Dateien (*.wav)").
QStringList name_filters(const std::vector<FileFilter>& filters);
// A file dialog set up as the program shows it: opened in the working directory, with the filter
// rows and the title; a save dialog accepts new names, confirms replacing a file and adds the
// extension of the chosen filter row to a name typed without one.
std::unique_ptr<QFileDialog> make_file_dialog(QWidget* parent,
                                              const std::vector<FileFilter>& filters,
                                              const std::string& title, bool save);
// The answer of a finished file dialog.
FileChoice file_choice(const QFileDialog& dialog, bool accepted);

class QtServices : public Services {
 public:
  // Without a backend the real Qt dialogs are used.
  explicit QtServices(std::unique_ptr<DialogBackend> dialogs = nullptr);
  ~QtServices() override;

  // The window layer that pauses, draws, zooms and prints; set by the Desktop.
  void attach(Desktop* desktop) { desktop_ = desktop; }
  DialogBackend& dialogs() { return *dialogs_; }

  FileChoice get_file(const std::vector<FileFilter>& filters, const std::string& title) override;
  FileChoice put_file(const std::vector<FileFilter>& filters, const std::string& title) override;
  std::optional<std::string> question(const std::string& question, const std::string& title,
                                      const std::string& button1, const std::string& button2,
                                      const std::string& default_button) override;
  void error_dialog(const std::string& message, const std::string& title) override;
  std::optional<Eigen::RowVector3d> choose_color(const Eigen::RowVector3d& preset) override;
  void pause(double seconds) override;
  void drawnow() override;
  void print(Handle figure, const std::string& device, const std::string& file,
             const PrintOptions& options) override;
  void zoom(Handle figure, bool on, ZoomDrag drag) override;
  void show_warning(const std::string& text) override;

 private:
  QWidget* parent() const;

  std::unique_ptr<DialogBackend> dialogs_;
  Desktop* desktop_ = nullptr;
};

}  // namespace ziva
