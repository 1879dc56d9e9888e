// The message of the ziva::Error a call throws; "" when it throws none.
#pragma once

#include <string>

#include "base/error.h"

namespace ziva::testing {

template <class F>
std::string error_of(F&& call) {
  try {
    call();
  } catch (const ziva::Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace ziva::testing
