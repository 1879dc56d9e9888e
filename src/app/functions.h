// The program's function table, in its fixed order, and a program instance with its objects.
#pragma once

#include <memory>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"
#include "platform/core/services.h"

namespace ziva {

// The table of every named function of the program.
const FunctionTable& function_table();

// One running program: the object model, the platform services and the function table.
class Program {
 public:
  explicit Program(Services& services);
  ~Program();
  Env& env() { return env_; }
  Graphics& graphics() { return graphics_; }
  // Runs a callback string; an error ends it, goes to stderr and into an error dialog (unless
  // already shown). Returns false when the callback failed.
  bool run(const std::string& callback);
  // Calls a function by name.
  Values call(const std::string& name, int nargout, Values args = {});

 private:
  Graphics graphics_;
  Env env_;
};

bool isodd(double x);

}  // namespace ziva
