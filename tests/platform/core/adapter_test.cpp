// Calls by name through the function table and the typed adapter: count checks, inputs not
// given, optional inputs, the number of outputs, results that are not assigned.
#include "platform/core/adapter.h"

#include <gtest/gtest.h>

#include "platform/core/scripted_services.h"
#include "support/error_of.h"

using namespace ziva;
using ziva::testing::error_of;

namespace {

void nothing() {}
double twice(double x) {
  return 2 * x;
}
std::string text_in(std::string s) {
  return "<" + s + ">";
}
double optional_in(double a, std::optional<double> b) {
  return b ? a + *b : -a;
}
Values outputs_asked(Env& env, Nargout n, double x) {
  (void)env;
  Values out;
  for (int i = 0; i < n.n; ++i) out.emplace_back(10 * n.n + x);
  return out;
}
std::tuple<double, double> pair() {
  return {1, 2};
}
Values partly_absent() {
  return {Value(1.0), Value()};
}
double count_any(Value a, Value b) {
  return (a.absent() ? 0 : 1) + (b.absent() ? 0 : 1);
}

class Adapter : public ::testing::Test {
 protected:
  Adapter() {
    table.add(row<&nothing>("nothing", 0, 0));
    table.add(row<&twice>("twice", 1, 1));
    table.add(row<&twice>("twice_two", 1, 2));
    table.add(row<&text_in>("text_in", 1, 1));
    table.add(row<&optional_in>("optional_in", 2, 1));
    table.add(row<&outputs_asked>("outputs_asked", 1, -1));
    table.add(row<&pair>("pair", 0, 2));
    table.add(row<&partly_absent>("partly_absent", 0, 2));
    table.add(row<&count_any>("count_any", -1, 1));
  }
  Values call(const std::string& name, int nargout, Values args = {}) {
    return table.call(env, name, nargout, std::move(args));
  }
  std::string fails(const std::string& name, int nargout, Values args = {}) {
    return error_of([&] { call(name, nargout, std::move(args)); });
  }
  Graphics g;
  ScriptedServices s;
  FunctionTable table;
  Env env{g, s, table};
};

// Inputs converted to the parameter types, inputs not given absent (Env and the output count
// are no inputs), results handed back as values: all of them even when fewer are asked for.
TEST_F(Adapter, ConvertsInputsAndResults) {
  const Value four(Eigen::MatrixXd(Eigen::MatrixXd::Constant(1, 1, 4.0)));
  const std::tuple<const char*, int, Values, Values> rows[] = {
      {"twice", 1, {four}, {Value(8.0)}},
      {"text_in", 1, {Value("a")}, {Value("<a>")}},
      // An empty matrix reads as an empty text, a list as its first row.
      {"text_in", 1, {Value::empty_matrix()}, {Value("<>")}},
      {"text_in", 1, {Value::list({"ab", "c"})}, {Value("<ab>")}},
      {"pair", 2, {}, {Value(1.0), Value(2.0)}},
      {"pair", 1, {}, {Value(1.0), Value(2.0)}},
      {"nothing", 0, {}, {}},
      {"optional_in", 1, {Value(3.0), Value(4.0)}, {Value(7.0)}},
      {"optional_in", 1, {Value(3.0)}, {Value(-3.0)}},
      {"outputs_asked", 3, {Value(0.5)}, Values(3, Value(30.5))},
      {"count_any", 1, {Value(1.0)}, {Value(1.0)}}};
  for (const auto& [name, nargout, args, result] : rows)
    EXPECT_EQ(call(name, nargout, args), result) << name;
}

struct CountCase {
  const char* name;
  int nargout;
  int nargs;
  const char* message;  // "" when the call passes
};

class AdapterCounts : public Adapter, public ::testing::WithParamInterface<CountCase> {};

TEST_P(AdapterCounts, DeclaredCountsAndUnassignedOutputs) {
  const CountCase& c = GetParam();
  EXPECT_EQ(fails(c.name, c.nargout, Values(static_cast<std::size_t>(c.nargs), Value(1.0))),
            c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Core, AdapterCounts,
    ::testing::Values(
        CountCase{"twice", 2, 1,
                  "Run-time Error: File: twice Line: 1 Column: 1 The function \"twice\" was "
                  "called with more than the declared number of outputs (1)."},
        CountCase{"twice", 1, 2,
                  "Run-time Error: File: twice Line: 1 Column: 1 The function \"twice\" was "
                  "called with more than the declared number of inputs (1)."},
        CountCase{"outputs_asked", 1, 0,
                  "Run-time Error: File: outputs_asked Line: 1 Column: 1 Input argument #1 is "
                  "undefined."},
        CountCase{"outputs_asked", 5, 1, ""}, CountCase{"count_any", 1, 7, ""},
        CountCase{"nothing", 0, 0, ""}, CountCase{"twice_two", 1, 1, ""},
        CountCase{"twice_two", 2, 1,
                  "One or more output arguments not assigned during call to 'twice_two'."},
        CountCase{"partly_absent", 1, 0, ""},
        CountCase{"partly_absent", 2, 0,
                  "One or more output arguments not assigned during call to 'partly_absent'."},
        CountCase{"no_such", 0, 0, "Undefined function or variable 'no_such'."}),
    [](const auto& info) {
      return std::string(info.param.name) + "_" + std::to_string(info.param.nargout) + "_" +
             std::to_string(info.param.nargs);
    });

TEST_F(Adapter, AddingAgainReplacesTheRowInPlace) {
  table.add(row<&twice>("nothing", 1, 1));
  EXPECT_EQ(table.rows().front().name, "nothing");
  EXPECT_EQ(call("nothing", 1, {Value(1.0)}), Values{Value(2.0)});
  EXPECT_EQ(table.rows().size(), 9u);
}

}  // namespace
