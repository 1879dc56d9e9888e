#include "platform/render/batch_services.h"

#include <cstdio>

#include "platform/render/print.h"

namespace ziva {

void BatchServices::print(Handle figure, const std::string& device, const std::string& file) {
  ScriptedServices::print(figure, device, file);
  if (graphics_ != nullptr) print_figure(*graphics_, figure, file, device);
}

void BatchServices::error_dialog(const std::string& message, const std::string& title) {
  ScriptedServices::error_dialog(message, title);
  if (echo_to_stderr) {
    if (title.empty()) {
      std::fprintf(stderr, "%s\n", message.c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    }
  }
}

void BatchServices::show_warning(const std::string& text) {
  ScriptedServices::show_warning(text);
  if (echo_to_stderr) std::fprintf(stderr, "Warning: %s\n", text.c_str());
}

}  // namespace ziva
