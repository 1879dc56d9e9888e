#include "diagram/csv_table.h"

#include <algorithm>

#include "platform/core/text.h"

namespace ziva {

namespace {

constexpr const char* kEnd = "\r\n";

std::string one_line(std::string s) {
  std::replace(s.begin(), s.end(), '\r', ' ');
  std::replace(s.begin(), s.end(), '\n', ' ');
  return s;
}

std::string record(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += csv_field(fields[i]);
  }
  return line + kEnd;
}

std::string meta_line(const std::string& key, const std::string& value) {
  return "# " + record({one_line(key), one_line(value)});
}

}  // namespace

std::string csv_field(const std::string& s) {
  const bool plain = s.find_first_of(",\"\r\n") == std::string::npos &&
                     (s.empty() || (s.front() != ' ' && s.back() != ' '));
  if (plain) return s;
  return '"' + replace_all(s, "\"", "\"\"") + '"';
}

std::string csv_text(const CsvTable& table) {
  std::string out = "# " + record({one_line(table.title)});
  for (const auto& [key, value] : table.head) out += meta_line(key, value);
  for (const CsvCurve& c : table.curves) {
    out += meta_line(table.curve_caption, std::to_string(c.number));
    for (const auto& [key, value] : c.meta) out += meta_line(key, value);
  }
  std::vector<std::string> header{table.curve_caption};
  header.insert(header.end(), table.columns.begin(), table.columns.end());
  out += record(header);
  for (const CsvCurve& c : table.curves) {
    const std::string number = std::to_string(c.number);
    const Eigen::Index n = std::min(c.x.size(), c.y.rows());
    for (Eigen::Index i = 0; i < n; ++i) {
      out += number;
      out += ',';
      out += shortest_text(c.x(i));
      for (Eigen::Index j = 0; j < c.y.cols(); ++j) {
        out += ',';
        out += shortest_text(c.y(i, j));
      }
      out += kEnd;
    }
  }
  return out;
}

}  // namespace ziva
