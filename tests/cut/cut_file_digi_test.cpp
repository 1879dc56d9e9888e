#include "cut/cut_file_digi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/error.h"
#include "cut_fixture.h"
#include "platform/core/text.h"

using namespace ziva;
using ziva::testing::CutTest;
using ziva::testing::kCutName;
using ziva::testing::pulse_train;
using ziva::testing::same;

namespace {

constexpr double kFs = 4410;
constexpr double kU = 1.325;  // m per revolution

Eigen::MatrixXd channel(double c) {
  return Eigen::MatrixXd::Constant(1, 1, c);
}

class CutDigi : public CutTest {
 protected:
  // 4 s: the left channel pulses every 882 samples (5 per second), the right every 441 (10).
  static Eigen::MatrixXd two_trains() {
    Eigen::MatrixXd Y(17640, 2);
    Y.col(0) = pulse_train(882, 17640);
    Y.col(1) = pulse_train(441, 17640);
    return Y;
  }
  Handle speed_line() {
    for (Handle h : g().children(cut_axes()))
      if (g().type(h) == ObjType::Line) return h;
    ADD_FAILURE() << "no speed line";
    return 0;
  }
};

}  // namespace

// Only the chosen channel is converted and shown (10 pulses per second at 1.325 m per pulse are
// 13.25 m/s, 47.7 km/h), the whole recording comes back; without zoom the rows lie strictly
// between the first and the last time of the speed trace.
TEST_F(CutDigi, SecondChannelShownInKmhBothReturned) {
  type("wav_file", "a'b.wav");
  const Eigen::MatrixXd Y = two_trains();
  Eigen::RowVectorXd t, kmh, ylim;
  script({[&] {
    const Handle fig = cut_figure();
    EXPECT_EQ(g().get_text(fig, "Name"), kCutName);
    EXPECT_EQ(callback("..."), "put_wav_filename;");
    EXPECT_EQ(callback("Speichern"), "save_wav_cut('a''b.wav');");
    EXPECT_EQ(callback("Fertig"), "close(" + num2str(fig) + ");");
    const Handle ax = cut_axes();
    t = g().get_row(speed_line(), "XData");
    kmh = g().get_row(speed_line(), "YData");
    ylim = g().get_row(ax, "YLim");
    EXPECT_EQ(g().get(speed_line(), "Color"), Value::row({0, 0, 0}));
    EXPECT_EQ(g().get_text(g().label_of(ax, "XLabel"), "String"), "[s]");
    EXPECT_EQ(g().get_text(g().label_of(ax, "YLabel"), "String"), "[km/h]");
    EXPECT_EQ(g().get(ax, "XLim"), Value::row({t(0), t(t.size() - 1)}));
  }});
  const Eigen::MatrixXd out = cut_file_digi(env(), Y, kFs, kU, 1, strings(), channel(2));
  ASSERT_GT(t.size(), 30);
  const double expected = 3.6 * kU * kFs / 441;
  EXPECT_LE((kmh.array() - expected).abs().maxCoeff(), 1e-9 * expected);
  EXPECT_NEAR(ylim(0), -5, 0);
  EXPECT_NEAR(ylim(1), 1.3 * expected, 1e-9 * expected);
  EXPECT_TRUE(same(out, rows_between(Y, kFs, t(0), t(t.size() - 1))));
  EXPECT_EQ(out.cols(), 2);
  EXPECT_EQ(cut_axes(), 0);
}

// With the full-load marks: a run at 5 m/s for 2 s that speeds up evenly to 25 m/s at 6 s and
// holds that speed to 8 s shows two dashed red lines at the start and the end of the rise (within
// 0.5 s inside: the evaluated part leaves out the samples next to a corner, and a pulse interval at
// the start is 0.27 s long); the cut itself is unchanged.
TEST_F(CutDigi, FullLoadPartMarked) {
  const Eigen::Index n = static_cast<Eigen::Index>(8 * kFs);
  Eigen::MatrixXd Y(n, 1);
  double distance = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kFs;
    distance += std::clamp(5 + 5 * (t - 2), 5.0, 25.0) / kFs;
    Y(i, 0) = std::fmod(distance / kU, 1.0) < 0.5 ? 0.5 : -0.5;
  }
  std::vector<double> marks;
  script({[&] {
    for (Handle h : g().children(cut_axes())) {
      if (g().type(h) != ObjType::Line || g().get_text(h, "LineStyle") != "--") continue;
      EXPECT_EQ(g().get(h, "Color"), Value::row({1, 0, 0}));
      marks.push_back(g().get_row(h, "XData")(0));
    }
  }});
  const Eigen::MatrixXd out = cut_on_pulse_speed(env(), Y, kFs, kU, 1, strings(), channel(1), true);
  ASSERT_EQ(marks.size(), 2u);
  std::sort(marks.begin(), marks.end());
  EXPECT_GE(marks[0], 2);
  EXPECT_LE(marks[0], 2.5);
  EXPECT_GE(marks[1], 5.5);
  EXPECT_LE(marks[1], 6);
  EXPECT_GT(out.rows(), n / 2);
}

// Through the function table with and without the channel (then both are converted together);
// the rows lie strictly inside the range shown last. A channel the recording lacks and a
// recording without pulses fail without leaving a window.
TEST_F(CutDigi, ByNameAndFailures) {
  const Eigen::MatrixXd Y = two_trains();
  script({[&] { zoom(0.5, 1); }});
  Values r =
      program_->call("cut_file_digi", 1, {Value(Y), kFs, kU, 1.0, Value(strings()), Value(1.0)});
  EXPECT_TRUE(same(r.at(0).num(), rows_between(Y, kFs, 0.5, 1)));
  script({[&] { zoom(0.5, 1); }});
  r = program_->call("cut_file_digi", 1, {Value(Y), kFs, kU, 1.0, Value(strings())});
  EXPECT_TRUE(same(r.at(0).num(), rows_between(Y, kFs, 0.5, 1)));

  const int pauses = services_.pause_count;
  EXPECT_THROW(cut_file_digi(env(), Y, kFs, kU, 1, strings(), channel(3)), Error);
  EXPECT_EQ(g().findobj({{"Name", kCutName}}).size(), 0u);
  EXPECT_THROW(
      cut_file_digi(env(), Eigen::MatrixXd::Zero(8000, 2), kFs, kU, 1, strings(), std::nullopt),
      Error);
  EXPECT_EQ(cut_axes(), 0);
  EXPECT_EQ(services_.pause_count, pauses);
}
