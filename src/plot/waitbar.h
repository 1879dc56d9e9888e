// The progress window: a small figure of the object model with a title and a red bar that fills
// from left to right while a long computation runs.
#pragma once

#include <optional>
#include <string>

#include "base/progress.h"
#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

// Creates a progress window with the bar at fraction x (clamped to 0 … 1) and `title` above it,
// then sets the window properties `props` in order. A "createcancelbtn" pair (any case, the first
// one) adds a "Cancel" button running the pair's value instead; a property the window refuses is
// skipped with the warning "could not set property '…' with value '…'". Returns the window.
Handle waitbar_create(Env& env, double x, const std::string& title, const Props& props = {});

// Sets the bar of the progress window `fig` to fraction x and, when given, its title.
// Throws "Couldn't find waitbar handles." when the window, its bar or its frame is gone.
void waitbar_update(Env& env, double x, Handle fig,
                    const std::optional<std::string>& title = std::nullopt);

// By-name entry: (x, title, pairs…) creates, (x, window[, title]) updates, (x) updates the first
// window tagged "TMWWaitbar" or creates one titled "Waitbar". One result: the window.
Values waitbar_entry(Env& env, int nargout, const Values& args);

// A progress window for the duration of one computation: opened at 0 with the texts `wait` (title)
// and `wb_sdiag` (window name) of the UI text record `st`, closed on every way out of the scope,
// errors included.
class ProgressWindow : public Progress {
 public:
  ProgressWindow(Env& env, const Record& st);
  ~ProgressWindow() override;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  Handle handle() const { return fig_; }
  // Advances the bar (see waitbar_update).
  void advance(double x) override;
  // Draws pending changes now.
  void show() override;
  // Closes the window now when it still exists.
  void close() override;

 private:
  Env& env_;
  Handle fig_ = 0;
};

// Opens a ProgressWindow for each computation.
ProgressFactory progress_windows(Env& env, const Record& st);

}  // namespace ziva
