#include "platform/core/scripted_services.h"

#include <filesystem>

#include "base/error.h"

namespace ziva {

namespace {
std::string cwd() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}
}  // namespace

void ScriptedServices::answer_file(const std::string& path) {
  FileChoice c;
  if (!path.empty()) {
    std::filesystem::path p(path);
    c.cancelled = false;
    c.name = p.filename().string();
    c.dir = p.has_parent_path() ? p.parent_path().string() + "/" : std::string();
  }
  files.push_back(c);
}

FileChoice ScriptedServices::get_file(const std::vector<FileFilter>& filters,
                                      const std::string& title) {
  dialogs.push_back({"get_file", title, filters, cwd()});
  if (files.empty()) return {};
  FileChoice c = files.front();
  files.pop_front();
  return c;
}

FileChoice ScriptedServices::put_file(const std::vector<FileFilter>& filters,
                                      const std::string& title) {
  dialogs.push_back({"put_file", title, filters, cwd()});
  if (files.empty()) return {};
  FileChoice c = files.front();
  files.pop_front();
  return c;
}

std::optional<std::string> ScriptedServices::question(const std::string& q,
                                                      const std::string& title, const std::string&,
                                                      const std::string&, const std::string&) {
  dialogs.push_back({"question", title, {}, cwd()});
  questions_asked.push_back(q);
  if (questions.empty()) return std::nullopt;
  auto a = questions.front();
  questions.pop_front();
  return a;
}

void ScriptedServices::error_dialog(const std::string& message, const std::string& title) {
  errors.push_back({message, title});
  if (on_error) on_error(message, title);
}

std::optional<Eigen::RowVector3d> ScriptedServices::choose_color(const Eigen::RowVector3d&) {
  dialogs.push_back({"color", "", {}, cwd()});
  if (colors.empty()) return std::nullopt;
  auto c = colors.front();
  colors.pop_front();
  return c;
}

void ScriptedServices::pause(double seconds) {
  ++pause_count;
  if (on_pause) {
    on_pause(seconds);
    return;
  }
  if (pause_count > max_unscripted_pauses)
    throw Error("Nobody answers: the pause was not scripted.");
}

void ScriptedServices::print(Handle figure, const std::string& device, const std::string& file,
                             const PrintOptions& options) {
  prints.push_back({figure, device, file, options});
  if (on_print) on_print(figure, device, file);
}

void ScriptedServices::show_warning(const std::string& text) {
  warnings.push_back(text);
}

}  // namespace ziva
