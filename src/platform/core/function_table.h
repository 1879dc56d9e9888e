// The table of the program's named functions: declared input and output counts and an entry by
// name. Calls by name apply the count checks; typed functions are reached through one adapter.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/core/graphics.h"
#include "platform/core/services.h"
#include "platform/core/value.h"

namespace ziva {

class FunctionTable;

// What every program function works with: the object model, the platform services and the
// function table (for calls by name).
struct Env {
  Graphics& g;
  Services& s;
  const FunctionTable& f;
};

using Values = std::vector<Value>;
using Entry = std::function<Values(Env&, int nargout, const Values& args)>;

// Declared counts: -1 any number; -2 one fixed then any; -3 two fixed then any.
struct FunctionRow {
  std::string name;
  int nin;
  int nout;
  Entry entry;
  bool checked = true;  // false for routines run outside the table's checks (upfirdn)
};

class FunctionTable {
 public:
  void add(FunctionRow row);
  const FunctionRow* find(const std::string& name) const;
  const std::vector<FunctionRow>& rows() const { return rows_; }

  // Calls `name` with the count checks; inputs not given up to the declared count are absent.
  // Raises when more outputs are asked for than the function assigned.
  Values call(Env& env, const std::string& name, int nargout, Values args) const;

 private:
  std::vector<FunctionRow> rows_;
};

// The run-time error of a call by name that exceeds a declared count ("inputs" or "outputs").
std::string count_error(const std::string& name, const char* what, int declared);

}  // namespace ziva
