// Services whose answers are queued in advance: for tests and the headless batch tool.
// Unanswered dialogs are cancelled; every request is logged.
#pragma once

#include <deque>
#include <functional>

#include "platform/core/services.h"

namespace ziva {

class ScriptedServices : public Services {
 public:
  struct Dialog {
    std::string kind;  // "get_file", "put_file", "question", "color"
    std::string title;
    std::vector<FileFilter> filters;
    std::string cwd;  // working directory when the dialog opened
  };
  struct ErrorShown {
    std::string message;
    std::string title;
  };
  struct Printed {
    Handle figure;
    std::string device;
    std::string file;
    PrintOptions options;
  };

  FileChoice get_file(const std::vector<FileFilter>& filters, const std::string& title) override;
  FileChoice put_file(const std::vector<FileFilter>& filters, const std::string& title) override;
  std::optional<std::string> question(const std::string& question, const std::string& title,
                                      const std::string& button1, const std::string& button2,
                                      const std::string& default_button) override;
  void error_dialog(const std::string& message, const std::string& title) override;
  std::optional<Eigen::RowVector3d> choose_color(const Eigen::RowVector3d& preset) override;
  void pause(double seconds) override;
  void drawnow() override { ++drawnow_count; }
  void print(Handle figure, const std::string& device, const std::string& file,
             const PrintOptions& options) override;
  void zoom(Handle figure, bool on, ZoomDrag drag) override {
    zooms.push_back({figure, on});
    zoom_drags.push_back(drag);
  }
  void show_warning(const std::string& text) override;

  // Queue a file dialog answer: a full path ("" = cancel).
  void answer_file(const std::string& path);
  void answer_question(std::optional<std::string> button) {
    questions.push_back(std::move(button));
  }
  void answer_color(std::optional<Eigen::RowVector3d> c) { colors.push_back(std::move(c)); }

  std::deque<FileChoice> files;
  std::deque<std::optional<std::string>> questions;
  std::deque<std::optional<Eigen::RowVector3d>> colors;
  std::function<void(double)> on_pause;  // what a pause does (e.g. zoom and close a cut view)
  std::function<void(Handle, const std::string&, const std::string&)> on_print;
  std::function<void(const std::string&, const std::string&)> on_error;  // also logged

  std::vector<Dialog> dialogs;
  std::vector<ErrorShown> errors;
  std::vector<std::string> warnings;
  std::vector<Printed> prints;
  std::vector<std::pair<Handle, bool>> zooms;
  std::vector<ZoomDrag> zoom_drags;
  std::vector<std::string> questions_asked;
  int drawnow_count = 0;
  int pause_count = 0;
  // A pause with no script that is called more often than this raises an error instead of
  // waiting for ever (a cut view nobody closes).
  int max_unscripted_pauses = 10000;
};

}  // namespace ziva
