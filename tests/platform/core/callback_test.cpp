#include "platform/core/callback.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/core/adapter.h"
#include "platform/core/scripted_services.h"
#include "support/error_of.h"

using namespace ziva;

namespace {

std::vector<std::string> calls;
void f0() {
  calls.push_back("f0");
}
void f1(std::string s) {
  calls.push_back("f1:" + s);
}
void fh(Env& env, double h, double n, std::string a, std::string b) {
  calls.push_back("fh:" + env.g.get_text(h, "Tag") + ":" + std::to_string(int(n)) + ":" + a + ":" +
                  b);
}
std::tuple<double, double, double> three() {
  return {1, 2, 3};
}

struct CallbackTest : ::testing::Test {
  CallbackTest() {
    table.add(row<&f0>("f0", 0, 0));
    table.add(row<&f1>("f1", 1, 0));
    table.add(row<&fh>("fh", 4, 0));
    table.add(row<&three>("three", 0, 3));
    calls.clear();
  }
  Graphics g;
  ScriptedServices s;
  FunctionTable table;
  Env env{g, s, table};
};

}  // namespace

// Statements with and without a final semicolon; close(n) closes the numbered window.
TEST_F(CallbackTest, StatementsWithAndWithoutFinalSemicolon) {
  for (const char* statements : {"f0", "f0;", " f0 ; f1('x') ;"}) run_callback(env, statements);
  EXPECT_EQ(calls, (std::vector<std::string>{"f0", "f0", "f0", "f1:x"}));
  Handle f = g.figure();
  run_callback(env, "close(" + std::to_string(int(f)) + ");");
  EXPECT_FALSE(g.exists(f));
}

TEST_F(CallbackTest, NestedFindobjAndDoubledQuotes) {
  Handle f = g.figure();
  g.axes(f, {{"Tag", "DiagAxesLauf's 2"}});
  run_callback(env, "fh(findobj('Tag','DiagAxesLauf''s 2'),2,'a''b','');");
  EXPECT_EQ(calls, std::vector<std::string>{"fh:DiagAxesLauf's 2:2:a'b:"});
}

TEST_F(CallbackTest, ErrorsEndTheCallback) {
  EXPECT_THROW(run_callback(env, "f1('unterminated)"), Error);
  EXPECT_THROW(run_callback(env, "nosuch; f0"), Error);
  EXPECT_TRUE(calls.empty());
}

TEST_F(CallbackTest, NestingIsBoundedWithAClearError) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "f1(";
    s += "'x'";
    for (int i = 0; i < depth; ++i) s += ")";
    return s;
  };
  EXPECT_EQ(parse_callback(nested(100)).size(), 1u);
  for (int depth : {101, 200000})
    EXPECT_EQ(ziva::testing::error_of([&] { parse_callback(nested(depth)); }),
              "Error in callback string: calls nested more than 100 deep at column 301.");
}
