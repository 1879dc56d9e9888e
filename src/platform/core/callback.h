// Callback strings: a small command language of calls separated by ";", with quoted texts
// ('' is a quote), numbers and nested calls, dispatched through the function table.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "platform/core/function_table.h"

namespace ziva {

struct CallExpr;
using CallArg = std::variant<std::string, double, CallExpr>;  // text, number, nested call

struct CallExpr {
  std::string name;
  std::vector<CallArg> args;
};

// Parses a callback string; throws ziva::Error for anything outside the language.
std::vector<CallExpr> parse_callback(const std::string& text);

// Runs every statement left to right with no outputs asked for; "close" and "findobj" are the
// platform's own. An error ends the callback.
void run_callback(Env& env, const std::string& text);

// Evaluates one call with `nargout` outputs.
Values eval_call(Env& env, const CallExpr& call, int nargout);

}  // namespace ziva
