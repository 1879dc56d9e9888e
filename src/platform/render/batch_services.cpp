#include "platform/render/batch_services.h"

#include "platform/render/print.h"

namespace ziva {

void BatchServices::print(Handle figure, const std::string& device, const std::string& file) {
  ScriptedServices::print(figure, device, file);
  if (graphics_ != nullptr) print_figure(*graphics_, figure, file, device);
}

}  // namespace ziva
