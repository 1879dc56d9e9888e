#include <gtest/gtest.h>

#include <cmath>

#include "app/functions.h"
#include "base/error.h"
#include "platform/core/scripted_services.h"
#include "support/error_of.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::error_of;
using ziva::testing::ProgramTest;

using FunctionTableTest = ProgramTest;

TEST_F(FunctionTableTest, ButterTakesAnyNumberOfInputsButFourOutputs) {
  start();
  Values ten(10, Value("low"));
  ten[0] = Value(3.0);
  ten[1] = Value(0.25);
  // Passes the count check; the option check of the design itself refuses the call.
  EXPECT_EQ(error_of([&] { program_->call("butter", 2, ten); }), "Too many input arguments.");
  EXPECT_NE(error_of([&] {
              program_->call("butter", 5, {Value(3.0), Value(0.25)});
            }).find("declared number of outputs (4)."),
            std::string::npos);
  Values ba = program_->call("butter", 2, {Value(3.0), Value(0.25)});
  ASSERT_EQ(ba.size(), 2u);
  EXPECT_NEAR(ba[0].num()(0), 0.0317, 1e-4);
}

TEST_F(FunctionTableTest, WavFilesByName) {
  start();
  Eigen::MatrixXd y(4, 2);
  y << 0.5, -0.5, 0.25, 0, -1, 0.75, 0, 0.125;
  program_->call("wavwrite", 0, {Value(y), Value(8000.0), Value(16.0), Value(path("a.wav"))});
  Values r = program_->call("wavread", 4, {Value(path("a.wav"))});
  ASSERT_EQ(r.size(), 4u);
  EXPECT_TRUE(r[0].num().isApprox(y));
  EXPECT_EQ(r[1], Value(8000.0));
  EXPECT_EQ(r[2], Value(16.0));
  EXPECT_EQ(r[3].rec().at("fmt").rec().at("nChannels"), Value(2.0));
  Values size = program_->call("wavread", 1, {Value(path("a.wav")), Value("size")});
  EXPECT_EQ(size[0], Value::row({4, 2}));
  // The reader's own message reaches the caller unchanged.
  EXPECT_FALSE(error_of([&] { program_->call("wavread", 1, {Value(path("none.wav"))}); }).empty());
}

// Rows reached by name only (their functions are tested on their own): the first result's size.
TEST_F(FunctionTableTest, RowsReachTheirFunctions) {
  start();
  Eigen::MatrixXd x(64, 1);
  for (int i = 0; i < 64; ++i) x(i) = std::cos(2 * 3.141592653589793 * 0.125 * i);
  struct Row {
    const char* name;
    Values args;
    Eigen::Index rows, cols;
  };
  const Row rows[] = {
      {"upfirdn", {Value::row({1, 2, 3}), Value::row({1, 1}), Value(1.0), Value(1.0)}, 1, 4},
      {"isodd", {Value(3.0)}, 1, 1},
      {"hanning", {Value(4.0)}, 4, 1},
      {"specgram", {Value(x), Value(16.0), Value(1.0), Value(16.0), Value(8.0)}, 9, 7},
  };
  for (const Row& r : rows) {
    const Values out = program_->call(r.name, 1, r.args);
    ASSERT_FALSE(out.empty()) << r.name;
    EXPECT_EQ(out[0].cnum().rows(), r.rows) << r.name;
    EXPECT_EQ(out[0].cnum().cols(), r.cols) << r.name;
  }
  EXPECT_EQ(program_->call("isodd", 1, {Value(3.0)})[0], Value(1.0));
  EXPECT_EQ(program_->call("isodd", 1, {Value(4.0)})[0], Value(0.0));
  EXPECT_EQ(program_->call("specgram", 3, rows[3].args)[2].num().rows(), 7);
  // With no outputs the spectrum is drawn into the current axes.
  program_->call("specgram", 0, rows[3].args);
  EXPECT_EQ(g().findobj({g().gca()}, {{"Type", "image"}}).size(), 1u);
}
