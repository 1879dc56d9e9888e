// The warning channel: numerics and file formats report warnings here; the platform
// connects the channel to its Services so that the user sees them.
#pragma once

#include <functional>
#include <string>

namespace ziva {

using WarningSink = std::function<void(const std::string&)>;

// Reports a warning through the current sink (by default: "Warning: <text>" on stderr).
void warning(const std::string& text);

// Replaces the sink; returns the previous one. An empty sink restores the default.
WarningSink set_warning_sink(WarningSink sink);

// Installs a sink for the lifetime of the guard and restores the previous one after.
class ScopedWarningSink {
 public:
  explicit ScopedWarningSink(WarningSink sink) : previous_(set_warning_sink(std::move(sink))) {}
  ~ScopedWarningSink() { set_warning_sink(std::move(previous_)); }
  ScopedWarningSink(const ScopedWarningSink&) = delete;
  ScopedWarningSink& operator=(const ScopedWarningSink&) = delete;

 private:
  WarningSink previous_;
};

}  // namespace ziva
