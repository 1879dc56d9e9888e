// Progress of a long computation, told by the numerics and shown by whoever runs them: a progress
// window on the desktop, a line on a console, or nothing.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

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

// Writes "<title> NN %" to a console stream, one line per whole ten per cent reached.
class ConsoleProgress : public Progress {
 public:
  ConsoleProgress(std::FILE* out, std::string title) : out_(out), title_(std::move(title)) {}
  void advance(double fraction) override {
    const int tenth = static_cast<int>(fraction * 10);
    if (tenth <= last_) return;
    last_ = tenth;
    std::fprintf(out_, "%s %d %%\n", title_.c_str(), tenth * 10);
    std::fflush(out_);
  }

 private:
  std::FILE* out_;
  std::string title_;
  int last_ = -1;
};

}  // namespace ziva
