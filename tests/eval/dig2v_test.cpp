#include "eval/dig2v.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "progress_log.h"
#include "support/error_of.h"
#include "support/program_fixture.h"
#include "ui/strings.h"

using namespace ziva;
using ziva::testing::ProgramTest;

namespace {

// A channel at rest (0) that drops by `depth` at the given samples and recovers over the next
// few samples with small rising steps.
Eigen::VectorXd pulses(Eigen::Index n, const std::vector<Eigen::Index>& at, double depth = 0.5) {
  Eigen::VectorXd y = Eigen::VectorXd::Zero(n);
  for (Eigen::Index p : at) {
    y(p + 1) -= depth;
    for (Eigen::Index k = 2; k < 6 && p + k < n; ++k) y(p + k) -= depth * (6 - k) / 5.0;
  }
  return y;
}

std::vector<Eigen::Index> every(Eigen::Index period, Eigen::Index count, Eigen::Index first = 10) {
  std::vector<Eigen::Index> at;
  for (Eigen::Index k = 0; k < count; ++k) at.push_back(first + k * period);
  return at;
}

}  // namespace

// A drop of more than 0.15 between two samples is an edge, in a run of drops each one; stereo is
// averaged first.
TEST(PulseEdges, StrictFallingStepsRunsRisingStepsAndStereo) {
  Eigen::VectorXd y = Eigen::VectorXd::Zero(40);
  y(5) = 0.15;   // 0.15 → 0: exactly −0.15, no edge; 0 → 0.15 rises
  y(11) = -0.2;  // a falling step over three samples: 10→11 and 11→12 both drop
  y(12) = -0.5;
  y(20) = 1;  // rising by 1: no edge; 20→21 falls by 1
  y(30) = -0.150001;
  EXPECT_EQ(pulse_edges(y), (std::vector<Eigen::Index>{11, 20, 29}));
  Eigen::MatrixXd stereo = Eigen::MatrixXd::Zero(30, 2);
  stereo(10, 0) = -0.2;  // alone it is an edge; averaged with silence only −0.1
  stereo(20, 0) = -0.4;
  EXPECT_EQ(pulse_edges(stereo.col(0)), (std::vector<Eigen::Index>{9, 19}));
  EXPECT_EQ(pulse_edges(stereo), (std::vector<Eigen::Index>{19}));
}

// Split between threads or fed in blocks that cut a run of edge samples, or fall between the two
// samples of an edge: the same edges, refined from the same samples (also at both ends).
TEST(PulseEdges, SameEdgesWithThreadsAndFromBlocks) {
  const Eigen::Index n = 300000;
  Eigen::VectorXd y = pulses(n, every(997, 300, 3));
  for (Eigen::Index k = 0; k < n; ++k) y(k) += 0.01 * std::sin(0.37 * static_cast<double>(k));
  for (Eigen::Index at : {Eigen::Index{9999}, n / 2 - 1}) {
    y(at) = -0.3;
    y(at + 1) = -0.6;
    y(at + 2) = -0.9;
  }
  y(0) = 0.4;
  y(n - 1) = -0.5;
  const std::vector<Eigen::Index> whole = pulse_edges(y);
  ASSERT_EQ(whole.front(), 0);
  ASSERT_EQ(whole.back(), n - 2);
  const std::vector<double> refined = refine_edges(y, whole);
  EXPECT_EQ(pulse_edges(y, 2), whole);
  // Blocks fed with the samples around them that refining needs.
  auto around = [&](EdgeFinder& f, Eigen::Index first, Eigen::Index end) {
    f.feed(y.data() + first, end - first, std::min<Eigen::Index>(first, 4),
           std::min<Eigen::Index>(n - end, 3));
  };
  for (Eigen::Index block : {1, 2, 3, 5, 1000, 10000, 29999, 400000}) {
    EdgeFinder f(0, true);
    for (Eigen::Index first = 0; first < n; first += block)
      around(f, first, std::min(first + block, n));
    EXPECT_EQ(f.finish(), whole) << block;
    EXPECT_EQ(f.refined(), refined) << block;
  }
  // Parts found by finders of their own, each starting at the last sample of the part before.
  for (Eigen::Index part : {Eigen::Index{2}, Eigen::Index{10000}, n / 2, n / 2 + 1}) {
    EdgeFinder f(0, true);
    for (Eigen::Index first = 0; first < n; first += part) {
      const Eigen::Index from = first == 0 ? 0 : first - 1;
      EdgeFinder later(from, true);
      around(later, from, std::min(first + part, n));
      f.append(later);
    }
    EXPECT_EQ(f.finish(), whole) << part;
    EXPECT_EQ(f.refined(), refined) << part;
  }
}

TEST(IntervalSpeeds, CleanTrainGivesUFsOverPWAndTheCeilingKeepsExactly300KmH) {
  const double FS = 8000, u = 1.325, W = 2;
  const Eigen::Index P = 400;
  std::vector<Eigen::Index> edges = pulse_edges(pulses(20000, every(P, 40)));
  ASSERT_EQ(edges.size(), 40u);
  SpeedTrace s = interval_speeds(edges, FS, u, W);
  ASSERT_EQ(s.v.size(), 39);
  for (Eigen::Index k = 0; k < 39; ++k) {
    EXPECT_NEAR(s.v(k), u * FS / (static_cast<double>(P) * W), 1e-9);
    EXPECT_NEAR(s.t(k), static_cast<double>(edges[static_cast<std::size_t>(k) + 1]) / FS, 1e-12);
  }
  const double ceiling = 83.33333333333333;
  EXPECT_EQ(interval_speeds({0, 1, 2}, 1, ceiling, 1).v.size(), 2);
  EXPECT_EQ(interval_speeds({0, 1, 2}, 1, std::nextafter(ceiling, 100.0), 1).v.size(), 0);
  // A speed above the ceiling goes with its time; the others stay in order.
  s = interval_speeds({0, 100, 101, 201}, 100, 10, 1);
  ASSERT_EQ(s.v.size(), 2);
  EXPECT_DOUBLE_EQ(s.t(0), 1.0);
  EXPECT_DOUBLE_EQ(s.t(1), 2.01);
  // Silence has no edges and gives an empty trace.
  NullProgress none;
  EXPECT_EQ(dig2v(none, Eigen::MatrixXd::Zero(1000, 1), 8000, 1, 1).v.size(), 0);
}

TEST(RemoveSpikes, SplitIntervalIsRemovedNeighboursStay) {
  const double FS = 10000, u = 2, W = 1;
  std::vector<Eigen::Index> at = every(500, 60);
  at.push_back(10 + 30 * 500 + 250);  // a spurious pulse halfway through interval 31
  std::sort(at.begin(), at.end());
  SpeedTrace raw = interval_speeds(pulse_edges(pulses(40000, at)), FS, u, W);
  ASSERT_EQ(raw.v.size(), 60);
  const double true_speed = u * FS / 500;
  EXPECT_NEAR(raw.v(30), 2 * true_speed, 1e-9);
  EXPECT_NEAR(raw.v(31), 2 * true_speed, 1e-9);
  SpeedTrace clean = remove_spikes(raw);
  // Both halves go; the values around them are raised less by the smoothing than the halves and
  // lie below the smoothed curve, so they stay, with their raw (not smoothed) values.
  EXPECT_GE(clean.v.size(), 50);
  for (Eigen::Index k = 0; k < clean.v.size(); ++k) EXPECT_NEAR(clean.v(k), true_speed, 1e-9);
  auto kept = [&](double t) { return (clean.t.array() == t).any(); };
  EXPECT_FALSE(kept(raw.t(30)));
  EXPECT_FALSE(kept(raw.t(31)));
  EXPECT_TRUE(kept(raw.t(29)));
  EXPECT_TRUE(kept(raw.t(32)));
}

TEST(RemoveSpikes, NeedsTenSamplesOrNone) {
  SpeedTrace s;
  s.t = Eigen::VectorXd::LinSpaced(9, 1, 9);
  s.v = Eigen::VectorXd::Constant(9, 20);
  EXPECT_EQ(ziva::testing::error_of([&] { remove_spikes(s); }),
            "Data must have length more than 3 times filter order.");
  s.t = Eigen::VectorXd::LinSpaced(10, 1, 10);
  s.v = Eigen::VectorXd::Constant(10, 20);
  EXPECT_EQ(remove_spikes(s).v.size(), 10);
  EXPECT_EQ(remove_spikes(SpeedTrace{}).v.size(), 0);
}

using Dig2v = ProgramTest;

TEST_F(Dig2v, ProgressMarksAndColumnsByName) {
  start();
  ProgressLog log(g());
  const double FS = 8000;
  Eigen::MatrixXd y = pulses(40000, every(400, 90));
  Values out = program_->call("dig2v", 2, {Value(y), FS, 1.325, 1.0, Value(strings())});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].num().cols(), 1);
  EXPECT_EQ(out[0].num().rows(), 89);
  EXPECT_NEAR(out[1].num()(0), 1.325 * FS / 400, 1e-9);
  EXPECT_EQ(log.marks, (std::vector<double>{0, 45, 48, 73, 99}));
  EXPECT_EQ(log.names, (std::vector<std::string>{"Berechne Diagramm"}));
  EXPECT_EQ(log.open, 0);
  EXPECT_EQ(g().find_first("Tag", "TMWWaitbar"), 0);
}
