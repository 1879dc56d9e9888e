#include "diagram/export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/output_paths.h"
#include "diagram/csv_table.h"
#include "platform/core/text.h"
#include "ui/main_window_view.h"
#include "ui/messages.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// A caption of the main window without its trailing colon and blanks.
std::string caption(const Record& st, const char* field) {
  std::string s = trim_blanks(st_text(st, field));
  if (!s.empty() && s.back() == ':') s.pop_back();
  return trim_blanks(s);
}

// Entry `choice` (1-based) of the list the pop-up tagged `tag` shows now.
std::string shown_entry(const Env& env, const char* tag, double choice) {
  const auto rows = env.g.get(control(env, tag), "String").rows();
  const auto i = static_cast<std::size_t>(choice);
  if (choice != static_cast<double>(i) || i < 1 || i > rows.size()) return shortest_text(choice);
  return trim_blanks(rows[i - 1]);
}

std::string now_text() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

// Splits "Leistung[PS]/Drehm[Nm]" at its first "/" outside the unit brackets, so that
// "Geschwindigkeit [km/h]" stays whole.
std::vector<std::string> y_columns(const std::string& y_label) {
  const std::string label = trim_blanks(y_label);
  int depth = 0;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '[') ++depth;
    if (label[i] == ']') --depth;
    if (label[i] == '/' && depth == 0)
      return {trim_blanks(label.substr(0, i)), trim_blanks(label.substr(i + 1))};
  }
  return {label};
}

bool is_csv_name(const std::string& file) {
  return file.size() >= 4 && to_lower(file.substr(file.size() - 4)) == ".csv";
}

}  // namespace

void write_ascii(const std::string& file, const VisibleCurves& curves) {
  const std::string write_error = "Unable to write file '" + file + "'.";
  AtomicFile out(file,
                 [&](const std::string& why) { return messages::ascii_not_created(file, why); });
  char line[128];
  auto put = [&](double x, double y) {
    int len = std::snprintf(line, sizeof line, "%5.0f %5.5f\r\n", x, y);
    if (len < 0 || static_cast<std::size_t>(len) >= sizeof line) {
      std::string big(static_cast<std::size_t>(std::max(len, 0)) + 1, '\0');
      std::snprintf(big.data(), big.size(), "%5.0f %5.5f\r\n", x, y);
      big.pop_back();
      if (!out.write(big.data(), big.size())) throw Error(write_error);
      return;
    }
    if (!out.write(line, static_cast<std::size_t>(len))) throw Error(write_error);
  };
  for (std::size_t c = 0; c < curves.handles.size(); ++c) {
    put(0, 0);
    Eigen::Index n = std::min(curves.x[c].size(), curves.y[c].size());
    for (Eigen::Index i = 0; i < n; ++i) put(curves.x[c](i), curves.y[c](i));
  }
  out.commit(write_error);
}

void check_outputs(const std::string& recording, const std::string& table_file,
                   const std::string& print_file) {
  const std::vector<std::string> files = {recording, table_file, print_file};
  const char* const fields[] = {"wav_files", "out_files", "print_files"};
  if (auto pair = first_same_file(files)) {
    const auto [a, b] = *pair;
    throw Error(messages::same_file(fields[a], files[a], fields[b], files[b]));
  }
}

std::string loss_note_text(const LossNote& loss) {
  const Record& st = strings();
  std::string text = trim_blanks(st_row(st, "loss_note", loss.roller ? 2 : 1));
  // Three significant digits keep the note within one comment line; the CSV carries them in full.
  auto brief = [](double c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", c);
    return std::string(buf);
  };
  text = replace_all(text, "%a", brief(loss.coefficients(0)));
  text = replace_all(text, "%b", brief(loss.coefficients(1)));
  text = replace_all(text, "%c", brief(loss.coefficients(2)));
  return replace_all(text, "%p", num2str(std::round(loss.at_peak_kw * 100) / 100));
}

Value group_conditions(Env& env, const ParSet& par, double k, const std::string& comment,
                       const std::string& wav_file, const std::optional<LossNote>& loss) {
  const Record& st = strings();
  std::vector<Value> cells;
  auto add = [&](const std::string& key, const std::string& value) {
    cells.emplace_back(key);
    cells.emplace_back(value);
  };
  add(caption(st, "comment"), comment);
  add(caption(st, "wav_files"), wav_file);
  for (const ParamSpec& s : param_table()) {
    // Tables of runs without the measured load read as they always did.
    if (s.field == &ParSet::coast_loss && par.coast_loss != 1) continue;
    // How the print is laid out is no condition of the run.
    if (s.field == &ParSet::print_layout) continue;
    switch (s.kind) {
      case ParamKind::Number:
        add(caption(st, s.caption), shortest_text(par.*(s.field)));
        break;
      case ParamKind::PopUp:
        add(caption(st, s.caption), shown_entry(env, s.tag, par.*(s.field)));
        break;
      case ParamKind::CheckBox:
        add(caption(st, s.caption), st_text(st, par.*(s.field) == 1 ? "yes" : "no"));
        break;
      case ParamKind::Text:
        break;
    }
  }
  add(caption(st, "csv_k"), shortest_text(k));
  if (loss) {
    const int first = loss->roller ? 4 : 1;
    add(caption(st, "loss_model"), trim_blanks(st_row(st, "loss_models", loss->roller ? 2 : 1)));
    for (int i = 0; i < 3; ++i)
      add(trim_blanks(st_row(st, "loss_coeffs", first + i)), shortest_text(loss->coefficients(i)));
    add(trim_blanks(st_row(st, "loss_range", 1)), shortest_text(loss->from_kmh));
    add(trim_blanks(st_row(st, "loss_range", 2)), shortest_text(loss->to_kmh));
    add(caption(st, "loss_at_peak"), shortest_text(loss->at_peak_kw));
  }
  return Value(std::move(cells));
}

void write_csv(const std::string& file, const Graphics& g, const VisibleCurves& curves,
               const std::string& x_label, const std::string& y_label) {
  const Record& st = strings();
  CsvTable table;
  table.title = kTitle;
  table.head = {{caption(st, "csv_written"), now_text()}};
  table.curve_caption = caption(st, "csv_curve");
  table.columns = {trim_blanks(x_label)};
  const std::vector<std::string> ys = y_columns(y_label);
  table.columns.insert(table.columns.end(), ys.begin(), ys.end());

  // Groups in the order their first line appears; a group's main line carries the tag
  // "Diag" + key, its torque line (solid) and markers (no line) "2Diag" + key.
  std::map<std::string, std::size_t> index;
  std::vector<const Eigen::RowVectorXd*> torque;
  for (std::size_t i = 0; i < curves.handles.size(); ++i) {
    const std::string tag = g.get_text(curves.handles[i], "Tag");
    const bool second = tag.rfind("2Diag", 0) == 0;
    const std::string key = tag.substr(second ? 5 : tag.rfind("Diag", 0) == 0 ? 4 : 0);
    auto [it, added] = index.emplace(key, table.curves.size());
    if (added) {
      table.curves.emplace_back();
      table.curves.back().number = static_cast<int>(table.curves.size());
      torque.push_back(nullptr);
    }
    CsvCurve& c = table.curves[it->second];
    if (!second) {
      c.x = curves.x[i];
      c.y = Eigen::MatrixXd(curves.y[i].transpose());
      const Value meta = g.get(curves.handles[i], "UserData");
      if (meta.is_cell())
        for (std::size_t j = 0; j + 1 < meta.cells().size(); j += 2)
          c.meta.emplace_back(meta.cells()[j].text(), meta.cells()[j + 1].text());
    } else if (g.get_text(curves.handles[i], "LineStyle") != "none") {
      torque[it->second] = &curves.y[i];
    }
  }
  for (std::size_t c = 0; c < table.curves.size(); ++c) {
    CsvCurve& curve = table.curves[c];
    if (ys.size() < 2) continue;
    const Eigen::Index n = curve.y.rows();
    Eigen::MatrixXd both = Eigen::MatrixXd::Constant(n, 2, std::nan(""));
    both.col(0) = curve.y.col(0);
    if (torque[c] != nullptr && torque[c]->size() == n) both.col(1) = torque[c]->transpose() * 2;
    curve.y = both;
  }

  const std::string text = csv_text(table);
  const std::string error = st_text(st, "csv_write_error") + file;
  AtomicFile out(file, [&](const std::string& why) { return error + " (" + why + ")"; });
  if (!out.write(text.data(), text.size())) throw Error(error);
  out.commit(error);
}

void export_diagram(Env& env, const ExportRequest& request, const VisibleCurves& curves) {
  check_outputs(request.recording, request.table_file, request.print_file);
  if (!request.print_file.empty())
    env.s.print(request.figure, "-dbmp", request.print_file, request.print_options);
  if (request.table_file.empty()) return;
  if (is_csv_name(request.table_file)) {
    write_csv(request.table_file, env.g, curves, request.x_label, request.y_label);
  } else {
    write_ascii(request.table_file, curves);
  }
}

}  // namespace ziva
