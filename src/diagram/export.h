// The export of a diagram: its visible curves as a table file and the window as a print, each
// format one function, chosen by the file name.
#pragma once

#include <string>

#include "diagram/ax_lims.h"
#include "platform/core/function_table.h"

namespace ziva {

// What an evaluation hands to the export besides the curves.
struct ExportRequest {
  Handle figure = 0;
  std::string table_file;  // the main window's ASCII file ("": none)
  std::string print_file;  // the main window's bitmap file ("": none)
  std::string recording;   // the recording evaluated, which neither output may replace
};

// Throws ziva::Error naming both fields and files when the (non-empty) table file or print file
// is the same file as the recording, or they are the same file.
void check_outputs(const std::string& recording, const std::string& table_file,
                   const std::string& print_file);

// Writes the visible curves as the fixed-width ASCII table: per curve a line "0 0.00000" and one
// line "%5.0f %5.5f" per point, CR LF endings, through a temporary file.
void write_ascii(const std::string& file, const VisibleCurves& curves);

// Checks the outputs (check_outputs), then prints the figure when a print file is named and
// writes the table when a table file is named.
void export_diagram(Env& env, const ExportRequest& request, const VisibleCurves& curves);

}  // namespace ziva
