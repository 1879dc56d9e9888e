// Progress of a long computation, told by the numerics and shown by whoever runs them: a progress
// window, or nothing.
#pragma once

#include <functional>
#include <memory>

namespace ziva {

class Progress {
 public:
  virtual ~Progress() = default;
  // The fraction of the work done, 0 … 1.
  virtual void advance(double fraction) = 0;
  // Brings the display up to date now (before a long step without reports).
  virtual void show() {}
  // The computation ended; also called on the way out of an error.
  virtual void close() {}
};

// Opens one progress display per computation.
using ProgressFactory = std::function<std::unique_ptr<Progress>()>;

class NullProgress : public Progress {
 public:
  void advance(double) override {}
};

}  // namespace ziva
