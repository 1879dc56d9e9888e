// The diagram's curves as a CSV table (RFC 4180: comma-separated, decimal point, quoted fields,
// CRLF line ends) with the conditions of every curve in leading '#' lines.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <utility>
#include <vector>

namespace ziva {

using CsvMeta = std::vector<std::pair<std::string, std::string>>;

// One curve: its number, its conditions (caption → value, in order), and its points: x and one
// y column per y quantity (rows of y beyond x's length, and x beyond y's, are not written).
struct CsvCurve {
  int number = 0;
  CsvMeta meta;
  Eigen::RowVectorXd x;
  Eigen::MatrixXd y;
};

struct CsvTable {
  std::string title;                 // first line, e.g. program name and version
  CsvMeta head;                      // further leading lines (date of writing …)
  std::string curve_caption;         // header of the curve-number column
  std::vector<std::string> columns;  // headers of x and of each y column
  std::vector<CsvCurve> curves;
};

// One field of a CSV record: quoted when it holds a comma, a quote, a line break or leading or
// trailing blanks, with quotes doubled.
std::string csv_field(const std::string& s);

// The table as text. Every metadata line starts with '#' and is a CSV record of its own whose line
// breaks are replaced by blanks, so that comment-skipping readers pass over it. Numbers are in
// their shortest form that reads back as the same double ("NaN", "Inf", "-Inf" otherwise).
std::string csv_text(const CsvTable& table);

}  // namespace ziva
