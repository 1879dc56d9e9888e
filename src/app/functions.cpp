#include "app/functions.h"

#include <cmath>
#include <cstdio>

#include "app/main_window.h"
#include "app/strings.h"
#include "base/error.h"
#include "base/warning.h"
#include "params/par_file.h"
#include "params/parameters.h"
#include "platform/core/adapter.h"
#include "platform/core/callback.h"

namespace ziva {

namespace {

Values get_par_entry(Env& env, int nargout, const Values&) {
  Values all = par_values(get_par(env));
  all.resize(static_cast<std::size_t>(std::max(nargout, 1)));
  return all;
}

void uicontrols_main_v(Env& env, double fig) {
  uicontrols_main(env, fig);
}
Record strings_v() {
  return strings();
}

FunctionTable build_table() {
  FunctionTable t;
  t.add(row<&zaror_arad>("zaror_arad", 0, 0));
  t.add(row<&load_par>("load_par", 1, 0));
  t.add(row<&save_par>("save_par", 0, 0));
  t.add(row<&adj_par>("adj_par", 0, 0));
  t.add(row<&isodd>("isodd", 1, 1));
  t.add(row<&uicontrols_main_v>("uicontrols_main", 1, 0));
  t.add(row<&strings_v>("strings", 0, 1));
  t.add(FunctionRow{"get_par", 0, 20, &get_par_entry});
  return t;
}

}  // namespace

bool isodd(double x) {
  return std::fmod(x, 2.0) == 1.0 || std::fmod(x, 2.0) == -1.0;
}

const FunctionTable& function_table() {
  static const FunctionTable table = build_table();
  return table;
}

Program::Program(Services& services) : env_{graphics_, services, function_table()} {}
Program::~Program() = default;

bool Program::run(const std::string& callback) {
  ScopedWarningSink sink([this](const std::string& text) { env_.s.show_warning(text); });
  try {
    run_callback(env_, callback);
    return true;
  } catch (const ReportedError& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    env_.s.error_dialog(e.what(), "");
  }
  return false;
}

Values Program::call(const std::string& name, int nargout, Values args) {
  ScopedWarningSink sink([this](const std::string& text) { env_.s.show_warning(text); });
  return env_.f.call(env_, name, nargout, std::move(args));
}

}  // namespace ziva
