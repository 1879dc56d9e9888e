// The export of a diagram: its visible curves as a table file and the window as a print, each
// format one function, chosen by the file name.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "diagram/ax_lims.h"
#include "params/parameters.h"
#include "platform/core/function_table.h"
#include "platform/core/print_options.h"
#include "platform/core/value.h"

namespace ziva {

// What an evaluation hands to the export besides the curves.
struct ExportRequest {
  Handle figure = 0;
  std::string table_file;  // the main window's ASCII file ("": none)
  std::string print_file;  // the main window's bitmap file ("": none)
  std::string recording;   // the recording evaluated, which neither output may replace
  std::string x_label;     // the axis pop-ups' entries (headers of a CSV table)
  std::string y_label;
  PrintOptions print_options;  // the layout of the print
};

// Throws ziva::Error naming both fields and files when the (non-empty) table file or print file
// is the same file as the recording, or they are the same file.
void check_outputs(const std::string& recording, const std::string& table_file,
                   const std::string& print_file);

// Writes the visible curves as the fixed-width ASCII table: per curve a line "0 0.00000" and one
// line "%5.0f %5.5f" per point, CR LF endings, through a temporary file.
void write_ascii(const std::string& file, const VisibleCurves& curves);

// The road load measured from a coast, as the comment block and the CSV table report it.
struct LossNote {
  bool roller = false;
  // Road: c0, c1, c2 of F = c0 + c1·v + c2·v² (N, v in m/s); roller: a1, a2, a3 of
  // P = a1·ω + a2·ω² + a3·ω³ (W, ω in 1/s).
  Eigen::Vector3d coefficients = Eigen::Vector3d::Zero();
  double from_kmh = 0, to_kmh = 0;  // the coast's speed range
  double at_peak_kw = 0;            // loss power at the point of the highest power
};

// The load as one line of the comment block: the model with its coefficients and units, and the
// loss power at the highest power.
std::string loss_note_text(const LossNote& loss);

// The conditions of one evaluation as a cell list of caption/value texts, kept in "UserData" of
// the curve group's main line for the CSV table: comment, WAV file, then every parameter of the
// parameter table with its caption (pop-ups by the entry they show now, check boxes "ja"/"nein";
// "coast_loss" only when it is set), the factor k at full precision after the correction
// standard, then with a measured load its model, coefficients, coast range and loss power at the
// highest power.
Value group_conditions(Env& env, const ParSet& par, double k, const std::string& comment,
                       const std::string& wav_file,
                       const std::optional<LossNote>& loss = std::nullopt);

// Writes the visible curves as a CSV table (RFC 4180, UTF-8, CR LF): '#' lines with the program,
// the time of writing and each group's conditions, one header row (curve number, x, y columns as
// the axis pop-ups name them), then one row per point at full precision. One curve per group,
// power and torque side by side for a two-scale diagram (the torque at its own scale, not the
// half drawn). Groups in the order of the ASCII table. Throws ziva::Error naming the file.
void write_csv(const std::string& file, const Graphics& g, const VisibleCurves& curves,
               const std::string& x_label, const std::string& y_label);

// Checks the outputs (check_outputs), then prints the figure when a print file is named (the
// print service picks BMP, PNG, SVG or PDF by the name) and writes the table when a table file is
// named: CSV for a name ending in ".csv" (any case), the ASCII table otherwise.
void export_diagram(Env& env, const ExportRequest& request, const VisibleCurves& curves);

}  // namespace ziva
