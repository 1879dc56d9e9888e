#include "dsp/specgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "dsp/hanning.h"
#include "support/error_of.h"
#include "support/signals.h"

namespace ziva {
using ziva::testing::error_of;
using ziva::testing::gaussian;

namespace {

using Complex = std::complex<double>;
using Road = Specgram::Road;

Eigen::MatrixXd scalar(double v) {
  return Eigen::MatrixXd::Constant(1, 1, v);
}

Eigen::VectorXd grid(double first, double step, Eigen::Index n) {
  Eigen::VectorXd f(n);
  for (Eigen::Index i = 0; i < n; ++i) f(i) = first + step * static_cast<double>(i);
  return f;
}

// Σ_n window(n)·x(start + n)·e^(−2πi·f·n/fs) in long double; x is taken as 0 past its end.
struct Direct {
  Complex value;
  double scale;  // Σ |window(n)·x(start + n)|
};

Direct direct(const Eigen::VectorXd& x, Eigen::Index start, const Eigen::VectorXd& window, double f,
              double fs) {
  std::complex<long double> sum(0, 0);
  long double scale = 0;
  for (Eigen::Index n = 0; n < window.size(); ++n) {
    const Eigen::Index i = start + n;
    const long double v = i < x.size() ? static_cast<long double>(window(n)) * x(i) : 0.0L;
    const long double phase = -2 * std::numbers::pi_v<long double> * f * n / fs;
    sum += v * std::polar(1.0L, phase);
    scale += std::abs(v);
  }
  return {Complex(static_cast<double>(sum.real()), static_cast<double>(sum.imag())),
          static_cast<double>(scale)};
}

// Checks every entry of `yo` against the direct sum, relative to the windowed signal's size.
void expect_direct(const SpecgramResult& r, const Eigen::VectorXd& x, const Eigen::VectorXd& window,
                   Eigen::Index hop, double fs, double relative) {
  for (Eigen::Index j = 0; j < r.yo.cols(); ++j) {
    for (Eigen::Index k = 0; k < r.yo.rows(); ++k) {
      const Direct d = direct(x, j * hop, window, r.fo(k), fs);
      ASSERT_LE(std::abs(r.yo(k, j) - d.value), relative * d.scale)
          << "frequency " << r.fo(k) << " segment " << j;
    }
  }
}

// Every road against the windowed DFT of each segment: (nx − noverlap) / hop full segments, and a
// signal shorter than the window zero-extended to one. An asymmetric window shows that each
// sample gets its own weight; the FFT road gives nfft / 2 + 1 rows at multiples of fs / nfft.
TEST(Specgram, EveryRoadMatchesTheWindowedDft) {
  struct Case {
    Eigen::Index nx;
    Eigen::VectorXd f;  // the frequencies, or the FFT length alone
    double fs;
    Eigen::VectorXd window;  // the window, or the length of a Hanning window alone
    Eigen::Index noverlap;
    Road road;
  };
  Eigen::VectorXd uneven(5);
  uneven << 0, 13.1, 50, 51.7, 399;
  const Eigen::VectorXd few = grid(0.1, 0.2, 3);
  const std::vector<Case> cases = {
      {700, grid(12.5, 3.25, 41), 1000, scalar(64), 48, Road::chirp},
      {40, grid(10, 7, 30), 500, scalar(64), 10, Road::chirp},
      {200, uneven, 800, gaussian(24, 6).cwiseAbs(), 17, Road::filter_bank},
      {8, few, 2, hanning(4), 2, Road::filter_bank},   // hops fill the signal exactly
      {11, few, 2, hanning(7), 4, Road::filter_bank},  // samples left over
      {16, few, 2, hanning(5), 0, Road::filter_bank},  // no overlap
      {100, scalar(16), 8, scalar(12), 6, Road::fft},
      {100, scalar(15), 8, hanning(12), 6, Road::fft}};
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "nx " << c.nx << " window " << c.window.size());
    const Eigen::VectorXd x = gaussian(c.nx, seed++);
    const Eigen::VectorXd w = c.window.size() == 1 ? hanning(c.window(0)) : c.window;
    const Eigen::Index hop = w.size() - c.noverlap;
    const Specgram plan(x.transpose(), c.f, scalar(c.fs), c.window,
                        scalar(static_cast<double>(c.noverlap)));
    EXPECT_EQ(plan.road(), c.road);
    const SpecgramResult r = plan.run();
    ASSERT_EQ(r.yo.cols(), std::max<Eigen::Index>((c.nx - c.noverlap) / hop, 1));
    ASSERT_EQ(r.to.size(), r.yo.cols());
    EXPECT_EQ(r.to(0), 0.0);
    if (c.road == Road::fft) {
      const double nfft = c.f(0);
      ASSERT_EQ(r.yo.rows(), static_cast<Eigen::Index>(nfft) / 2 + 1);
      for (Eigen::Index k = 0; k < r.fo.size(); ++k) EXPECT_DOUBLE_EQ(r.fo(k), k * c.fs / nfft);
    } else {
      EXPECT_EQ(r.fo, c.f);
    }
    expect_direct(r, x, w, hop, c.fs, c.road == Road::fft ? 1e-13 : 1e-12);
  }
}

TEST(Specgram, SystemCallWithinOneInABillionAndPeakOnTheTone) {
  // The tone conversion's call: 1551 frequencies 25 … 800 Hz, window 1764, overlap 1587.
  const double fs = 4410;
  const Eigen::VectorXd f = grid(25, 0.5, 1551);
  Eigen::VectorXd x = 0.01 * gaussian(2 * 4410, 2);
  for (Eigen::Index n = 0; n < x.size(); ++n) {
    x(n) += std::sin(2 * std::numbers::pi * 150.0 * static_cast<double>(n) / fs + 0.3);
  }
  const SpecgramResult r = specgram(x, f, scalar(fs), scalar(1764), scalar(1587));
  ASSERT_EQ(r.yo.rows(), 1551);
  ASSERT_EQ(r.yo.cols(), (8820 - 1587) / 177);
  ASSERT_EQ(r.to.size(), r.yo.cols());
  EXPECT_DOUBLE_EQ(r.to(3), 3 * 177 / fs);
  for (Eigen::Index j = 0; j < r.yo.cols(); ++j) {
    Eigen::Index peak = 0;
    r.yo.col(j).cwiseAbs().maxCoeff(&peak);
    EXPECT_EQ(r.fo(peak), 150.0) << j;
  }
  const Eigen::VectorXd w = hanning(1764);
  for (Eigen::Index j : {0, 17, 39}) {
    for (Eigen::Index k = 0; k < 1551; k += 5) {
      const Direct d = direct(x, j * 177, w, f(k), fs);
      ASSERT_LE(std::abs(r.yo(k, j) - d.value), 1e-9 * std::abs(d.value) + 1e-12 * d.scale)
          << "frequency " << f(k) << " segment " << j;
    }
  }
}

// Up to 20 evenly spaced frequencies, or uneven ones, go through the filter bank; more even
// ones through the chirp, steps equal to within 1e-12·fs counting as even. (The FFT road: above.)
TEST(Specgram, RoadChoice) {
  const Eigen::VectorXd x = gaussian(300, 5);
  Eigen::VectorXd uneven = grid(1, 0.5, 30), nearly = uneven;
  uneven(29) += 0.01;
  nearly(10) += 1e-11;
  const std::pair<Eigen::VectorXd, Road> cases[] = {{grid(1, 0.5, 20), Road::filter_bank},
                                                    {grid(1, 0.5, 21), Road::chirp},
                                                    {uneven, Road::filter_bank},
                                                    {nearly, Road::chirp}};
  for (const auto& [f, road] : cases)
    EXPECT_EQ(Specgram(x, f, scalar(100), scalar(32), scalar(16)).road(), road) << f.size();
}

TEST(Specgram, Defaults) {
  // nfft = min(300, 256), fs = 2, hanning(256), overlap 128: one segment.
  const Eigen::VectorXd x = gaussian(300, 10);
  const SpecgramResult r = specgram(x);
  ASSERT_EQ(r.yo.rows(), 129);
  ASSERT_EQ(r.yo.cols(), 1);
  EXPECT_DOUBLE_EQ(r.fo(128), 1.0);
  expect_direct(r, x, hanning(256), 128, 2, 1e-13);
  // Empty inputs count as omitted.
  const Eigen::MatrixXd none;
  const SpecgramResult same = specgram(x, none, none, none, none);
  EXPECT_EQ(same.yo, r.yo);
  // Short signal: nfft = its length, overlap half of it.
  const SpecgramResult small = specgram(gaussian(10, 11));
  EXPECT_EQ(small.yo.rows(), 6);
  EXPECT_EQ(small.to.size(), 1);
  // to counts hops from the first sample.
  const SpecgramResult hops = specgram(gaussian(1000, 12), scalar(64), scalar(50));
  ASSERT_EQ(hops.to.size(), (1000 - 32) / 32);
  EXPECT_DOUBLE_EQ(hops.to(5), 5 * 32 / 50.0);
}

TEST(Specgram, EverySplitGivesIdenticalResults) {
  const Eigen::VectorXd x = gaussian(6000, 13);
  Eigen::VectorXd uneven(4);
  uneven << 100, 240.5, 300, 1000;
  const std::vector<Specgram> plans = [&] {
    std::vector<Specgram> p;
    p.emplace_back(x, grid(50, 2.5, 300), scalar(4410), scalar(400), scalar(350));
    p.emplace_back(x, scalar(512), scalar(4410), scalar(400), scalar(350));
    p.emplace_back(x, uneven, scalar(4410), scalar(400), scalar(350));
    return p;
  }();
  fft::Buffer work;  // kept from plan to plan, as a thread computing batches keeps it
  for (const Specgram& plan : plans) {
    const SpecgramResult whole = plan.run();
    EXPECT_EQ(plan.run(2).yo, whole.yo);
    EXPECT_EQ(plan.run(3).yo, whole.yo);
    // An uneven split by hand, the two batches on two threads.
    Eigen::MatrixXcd yo(plan.frequencies(), plan.segments());
    const Eigen::Index cut = plan.segments() / 3 + 1;
    std::thread t([&] { plan.compute(cut, plan.segments() - cut, yo); });
    plan.compute(0, cut, yo);
    t.join();
    EXPECT_EQ(yo, whole.yo);
    EXPECT_THROW(plan.compute(1, -1, yo), std::invalid_argument);
    // A few windows into a buffer of their own.
    Eigen::MatrixXcd few(plan.frequencies(), 3);
    plan.compute(4, 3, few.data());
    EXPECT_EQ(few, whole.yo.middleCols(4, 3));
    plan.compute(4, 3, few.data(), work);
    EXPECT_EQ(few, whole.yo.middleCols(4, 3));
  }
  // A signal taken over instead of copied.
  Specgram taken(Eigen::MatrixXd(x), grid(50, 2.5, 300), scalar(4410), scalar(400), scalar(350));
  EXPECT_EQ(taken.run().yo, plans[0].run().yo);
}

// Every message, and where two checks fail the later one names the message.
TEST(Specgram, ArgumentMessages) {
  const Eigen::VectorXd x = gaussian(100, 14);
  const Eigen::MatrixXd sq = Eigen::MatrixXd::Random(10, 10);
  const Eigen::VectorXd f = grid(1, 1, 30);
  const Eigen::MatrixXd no, fs = scalar(100), w16 = scalar(16);
  const std::string window = "Requires window's length to be no greater than the FFT length.",
                    overlap = "Requires NOVERLAP to be strictly less than the window length.",
                    nfft = "Requires positive integer values for NFFT.",
                    overlap_value = "Requires positive integer value for NOVERLAP.",
                    vector = "Requires vector (either row or column) input.";
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { specgram(x, scalar(8), no, w16); }, window},
      {[&] { specgram(x, f, fs, w16, w16); }, overlap},
      {[&] { specgram(x, scalar(16.5), no, scalar(8)); }, nfft},
      {[&] { specgram(x, scalar(16), no, scalar(8), scalar(2.5)); }, overlap_value},
      {[&] { specgram(x, scalar(16), no, scalar(8), scalar(-1)); }, overlap_value},
      {[&] { specgram(sq, scalar(16)); }, vector},
      {[&] { specgram(Eigen::MatrixXd()); }, vector},
      {[&] { specgram(x, f); }, "You must specify a window function."},
      {[&] { specgram(x, f, Eigen::MatrixXd::Ones(1, 2), scalar(8)); },
       "Requires FS to be a scalar."},
      {[&] { specgram(x, f, fs, scalar(-3)); }, "Order cannot be less than zero."},
      {[&] { specgram(x, scalar(8.5), no, w16); }, nfft},
      {[&] { specgram(sq, f, fs, w16, w16); }, vector},
      {[&] { specgram(x, f, fs, w16, scalar(20.5)); }, overlap_value}};
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(error_of(cases[i].first), cases[i].second) << "case " << i;
}

}  // namespace
}  // namespace ziva
