#include "diagram/export.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/output_paths.h"
#include "ui/messages.h"

namespace ziva {

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

void export_diagram(Env& env, const ExportRequest& request, const VisibleCurves& curves) {
  check_outputs(request.recording, request.table_file, request.print_file);
  if (!request.print_file.empty()) env.s.print(request.figure, "-dbmp", request.print_file);
  if (!request.table_file.empty()) write_ascii(request.table_file, curves);
}

}  // namespace ziva
