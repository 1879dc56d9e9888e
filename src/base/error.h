// The one error type of the program: carries the text the user reads.
#pragma once

#include <stdexcept>
#include <string>

namespace ziva {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text) : std::runtime_error(text) {}
  const std::string& text() const noexcept { return text_; }

 private:
  std::string text_ = what();
};

// An error the user has already been shown (in its own dialog): it ends the callback like any
// error, but the callback's boundary does not show it a second time.
class ReportedError : public Error {
 public:
  using Error::Error;
};

}  // namespace ziva
