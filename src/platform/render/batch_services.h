// Platform services for running the program without windows: scripted dialog answers (none by
// default, so every dialog is cancelled) and real bitmap prints drawn by the renderer.
#pragma once

#include "platform/core/scripted_services.h"

namespace ziva {

class BatchServices : public ScriptedServices {
 public:
  BatchServices() = default;
  explicit BatchServices(const Graphics& g) : graphics_(&g) {}
  // The object model whose figures print() draws (the program's; set once it exists).
  void attach(const Graphics& g) { graphics_ = &g; }

  // Logs the print and writes the figure to `file` (see print_figure). Without an attached
  // object model only the log entry is made.
  void print(Handle figure, const std::string& device, const std::string& file) override;

 private:
  const Graphics* graphics_ = nullptr;
};

}  // namespace ziva
