#include "ui/file_dialogs.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// Restores the working directory when it goes out of scope.
class WorkingDirectory {
 public:
  WorkingDirectory() : saved_(std::filesystem::current_path(ec_)) {}
  ~WorkingDirectory() {
    if (!ec_) std::filesystem::current_path(saved_, ec_);
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::error_code ec_;
  std::filesystem::path saved_;
};

// Asks for a file name and writes it into the field tagged `tag`. `filters` come first (the
// first is the dialog's default), then "all files".
void ask_into_field(Env& env, const char* tag, bool save,
                    std::vector<std::pair<const char*, const char*>> filters,
                    const char* title_field) {
  const Record& st = strings();
  Handle field = control(env, tag);
  std::vector<FileFilter> rows;
  for (const auto& [pattern, text_field] : filters)
    rows.push_back({pattern, st_text(st, text_field)});
  rows.push_back({"*.*", st_text(st, "all_file")});
  FileChoice c =
      file_dialog_near(env, env.g.get_text(field, "String"), save, rows, st_text(st, title_field));
  if (!c.cancelled) env.g.set(field, "String", c.dir + c.name);
}

}  // namespace

double isdir(const std::string& dirpath) {
  std::error_code ec;
  return !dirpath.empty() && std::filesystem::is_directory(dirpath, ec) ? 1.0 : 0.0;
}

FileChoice file_dialog_near(Env& env, const std::string& current, bool save,
                            const std::vector<FileFilter>& filters, const std::string& title) {
  WorkingDirectory keep;
  std::size_t sep = current.find_last_of('/');
  if (sep != std::string::npos) {
    std::string dir = current.substr(0, sep + 1);
    std::error_code ec;
    if (isdir(dir) != 0) std::filesystem::current_path(dir, ec);
  }
  return save ? env.s.put_file(filters, title) : env.s.get_file(filters, title);
}

void get_wav_filename(Env& env) {
  ask_into_field(env, tag::wav_file, false, {{"*.wav", "wav_file"}}, "wav_files");
}

void get_out_filename(Env& env) {
  // The ASCII table first; a ".csv" name writes a CSV table.
  ask_into_field(env, tag::out_file, true, {{"*.asc", "asc_file"}, {"*.csv", "csv_file"}},
                 "out_files");
}

void get_print_filename(Env& env) {
  // The bitmap first; ".svg" and ".pdf" names print vector drawings.
  ask_into_field(env, tag::print_file, true,
                 {{"*.bmp", "bmp_file"}, {"*.svg", "svg_file"}, {"*.pdf", "pdf_file"}},
                 "print_files");
}

}  // namespace ziva
