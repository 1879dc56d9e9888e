#include "base/warning.h"

#include <cstdio>
#include <mutex>

namespace ziva {
namespace {

std::mutex sink_mutex;
WarningSink& current_sink() {
  static WarningSink sink;
  return sink;
}

}  // namespace

void warning(const std::string& text) {
  WarningSink sink;
  {
    std::lock_guard lock(sink_mutex);
    sink = current_sink();
  }
  if (sink) {
    sink(text);
  } else {
    std::fprintf(stderr, "Warning: %s\n", text.c_str());
  }
}

WarningSink set_warning_sink(WarningSink sink) {
  std::lock_guard lock(sink_mutex);
  WarningSink previous = std::move(current_sink());
  current_sink() = std::move(sink);
  return previous;
}

}  // namespace ziva
