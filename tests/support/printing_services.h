// Services for tests that print without windows: scripted dialog answers (every dialog is
// cancelled) and real prints of the attached object model drawn by the renderer.
#pragma once

#include "platform/core/scripted_services.h"
#include "platform/render/print.h"

namespace ziva::testing {

class PrintingServices : public ScriptedServices {
 public:
  PrintingServices() = default;
  explicit PrintingServices(const Graphics& g) : graphics_(&g) {}
  void attach(const Graphics& g) { graphics_ = &g; }

  void print(Handle figure, const std::string& device, const std::string& file,
             const PrintOptions& options) override {
    ScriptedServices::print(figure, device, file, options);
    if (graphics_ != nullptr) print_figure(*graphics_, figure, file, device, options);
  }

 private:
  const Graphics* graphics_ = nullptr;
};

}  // namespace ziva::testing
