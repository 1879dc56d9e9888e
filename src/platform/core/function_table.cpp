#include "platform/core/function_table.h"

#include "base/error.h"

namespace ziva {

std::string count_error(const std::string& name, const char* what, int declared) {
  return "Run-time Error: File: " + name + " Line: 1 Column: 1 The function \"" + name +
         "\" was called with more than the declared number of " + what + " (" +
         std::to_string(declared) + ").";
}

void FunctionTable::add(FunctionRow row) {
  for (auto& r : rows_) {
    if (r.name == row.name) {
      r = std::move(row);
      return;
    }
  }
  rows_.push_back(std::move(row));
}

const FunctionRow* FunctionTable::find(const std::string& name) const {
  for (const auto& r : rows_)
    if (r.name == name) return &r;
  return nullptr;
}

Values FunctionTable::call(Env& env, const std::string& name, int nargout, Values args) const {
  const FunctionRow* row = find(name);
  if (row == nullptr) throw Error("Undefined function or variable '" + name + "'.");
  if (row->checked) {
    if (row->nout >= 0 && nargout > row->nout) throw Error(count_error(name, "outputs", row->nout));
    if (row->nin >= 0 && static_cast<int>(args.size()) > row->nin)
      throw Error(count_error(name, "inputs", row->nin));
    if (row->nin >= 0) args.resize(static_cast<std::size_t>(row->nin));
  }
  Values out = row->entry(env, nargout, args);
  // Every output asked for must hold a value: fewer results, or an absent one among them.
  for (int i = 0; i < nargout; ++i)
    if (i >= static_cast<int>(out.size()) || out[static_cast<std::size_t>(i)].absent())
      throw Error("One or more output arguments not assigned during call to '" + name + "'.");
  return out;
}

}  // namespace ziva
