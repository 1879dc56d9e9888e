// Rational resampling: lengths, alignment, amplitude and phase of sines, the designed filter
// (its stop band follows from the exact taps and the exact polyphase filter), and every check
// message.
#include "dsp/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
#include "dsp/upfirdn.h"
#include "support/error_of.h"

namespace ziva {
namespace {

constexpr double kPi = std::numbers::pi;

Eigen::MatrixXd scalar(double v) {
  return Eigen::MatrixXd::Constant(1, 1, v);
}

Eigen::MatrixXd sine(Eigen::Index n, double freq, double rate, double phase = 0.3) {
  Eigen::MatrixXd x(n, 1);
  for (Eigen::Index i = 0; i < n; ++i) x(i) = std::sin(2 * kPi * freq * i / rate + phase);
  return x;
}

std::string message_of(double p, double q) {
  return testing::error_of([&] { resample(Eigen::MatrixXd::Ones(10, 1), p, q); });
}

// SNR in dB of y against the sine it should be, both at the output rate, without `edge`
// samples at either end (they see the filter's edge).
double snr_db(const Eigen::MatrixXd& y, double freq, double out_rate, Eigen::Index edge) {
  double signal = 0, noise = 0;
  for (Eigen::Index k = edge; k < y.rows() - edge; ++k) {
    const double ref = std::sin(2 * kPi * freq * k / out_rate + 0.3);
    signal += ref * ref;
    noise += (y(k) - ref) * (y(k) - ref);
  }
  return 10 * std::log10(signal / noise);
}

TEST(Resample, EqualRatesReturnTheInput) {
  const Eigen::MatrixXd x = sine(100, 50, 4410);
  const ResampleResult r = resample(x, 4410, 4410);
  EXPECT_TRUE(r.y == x);
  ASSERT_EQ(r.h.size(), 1);
  EXPECT_EQ(r.h(0), 1.0);
}

TEST(Resample, OutputLengthIsCeilOfLxTimesPOverQ) {
  for (Eigen::Index lx : {1, 9, 10, 11, 1000, 1009}) {
    EXPECT_EQ(resample(Eigen::MatrixXd::Ones(lx, 1), 4410, 44100).y.rows(), (lx + 9) / 10) << lx;
    EXPECT_EQ(resample(Eigen::MatrixXd::Ones(lx, 1), 4410, 5 * 4410).y.rows(), (lx + 4) / 5);
    EXPECT_EQ(resample(Eigen::MatrixXd::Ones(lx, 1), 4410, 48000).y.rows(),
              (lx * 147 + 1599) / 1600);
    EXPECT_EQ(resample(Eigen::MatrixXd::Ones(lx, 1), 3, 2).y.rows(), (lx * 3 + 1) / 2);
  }
  EXPECT_EQ(resample(Eigen::MatrixXd(0, 1), 1, 10).y.rows(), 0);
}

TEST(Resample, DesignedFilterIsTheWindowedIdealLowPass) {
  // h[n] = (p/pqmax)·sinc((n - N·pqmax)/pqmax)·I0(beta·sqrt(1 - (2n/(L-1) - 1)^2))/I0(beta).
  struct Case {
    double p, q, n, beta;
  };
  for (const Case& c : {Case{4410, 44100, 10, 5}, Case{3, 2, 10, 5}, Case{1, 10, 5, 8}}) {
    const ResampleResult r = resample(Eigen::MatrixXd::Ones(50, 1), c.p, c.q,
                                      c.n == 10 ? std::nullopt : std::optional(scalar(c.n)),
                                      c.beta == 5 ? std::nullopt : std::optional(c.beta));
    const double p = c.p == 4410 ? 1 : c.p, q = c.q == 44100 ? 10 : c.q;
    const double pqmax = std::max(p, q);
    const long length = static_cast<long>(2 * c.n * pqmax + 1);
    ASSERT_EQ(r.h.size(), length);
    for (long n = 0; n < length; ++n) {
      const double t = (n - c.n * pqmax) / pqmax;
      const double s = t == 0 ? 1 : std::sin(kPi * t) / (kPi * t);
      const double u = 2.0 * n / (length - 1) - 1;
      const double w =
          std::cyl_bessel_i(0.0, c.beta * std::sqrt(1 - u * u)) / std::cyl_bessel_i(0.0, c.beta);
      EXPECT_NEAR(r.h(n), p / pqmax * s * w, 1e-14) << n;
    }
  }
}

TEST(Resample, SineKeepsAmplitudeAndPhase) {
  // Output sample k lies at input position k·q/p. Quality table, leaving out at either end the
  // filter's half-length N·max(p, q)/q output samples (N = 10) plus two:
  //   ratio (in -> out Hz)     tone / new Nyquist    minimum SNR
  //   44100 -> 4410 (1/10)     0.05, 0.45, 0.7, 0.8  50 dB
  //   48000 -> 4410 (147/1600) 0.05, 0.45, 0.7, 0.8  50 dB
  //   4410 -> 8820 (2/1)       0.05, 0.45, 0.7, 0.8  50 dB (tone relative to the input Nyquist)
  //   8000 -> 12000 (3/2)      0.05, 0.45, 0.7, 0.8  50 dB (tone relative to the input Nyquist)
  // 50 dB: the windowed filter's pass-band ripple is about 2e-3 (54 dB) up to 0.8 of the
  // Nyquist rate, where the transition band begins.
  struct Case {
    double in, out;
  };
  for (const Case& c :
       {Case{44100, 4410}, Case{48000, 4410}, Case{4410, 8820}, Case{8000, 12000}}) {
    const double nyquist = std::min(c.in, c.out) / 2;
    for (double frac : {0.05, 0.45, 0.7, 0.8}) {
      const double freq = frac * nyquist;
      const Eigen::MatrixXd x = sine(static_cast<Eigen::Index>(c.in), freq, c.in);  // one second
      const Eigen::MatrixXd y = resample(x, c.out, c.in).y;
      const auto edge = static_cast<Eigen::Index>(std::ceil(10 * std::max(c.out / c.in, 1.0))) + 2;
      EXPECT_GT(snr_db(y, freq, c.out, edge), 50) << c.in << "->" << c.out << " at " << freq;
    }
  }
}

TEST(Resample, ShapesAndReadyFilters) {
  Eigen::MatrixXd x(300, 2);
  x << sine(300, 100, 4410), sine(300, 300, 4410, 1.0);
  const ResampleResult both = resample(x, 2, 3);
  ASSERT_EQ(both.y.cols(), 2);
  EXPECT_TRUE(both.y.col(1) == resample(x.col(1), 2, 3).y);

  const ResampleResult row = resample(x.col(0).transpose(), 2, 3);
  ASSERT_EQ(row.y.rows(), 1);
  EXPECT_TRUE(row.y.transpose() == both.y.col(0));

  // The filter returned, given back as a ready filter, gives the same result.
  const Eigen::MatrixXd ready = both.h;
  EXPECT_TRUE(resample(x, 2, 3, ready).y == both.y);
  // The fraction is reduced first.
  EXPECT_TRUE(resample(x, 4, 6).y == both.y);
}

TEST(Resample, HoldFilterForNonPositiveN) {
  // N <= 0: h = p ones. For p = 2, q = 1: L = 2, centre 0.5, no leading zeros, one sample of
  // delay, so y = x0, x1, x1, x2, x2, ..., x(n-1), x(n-1), 0 (worked out by hand).
  Eigen::MatrixXd x(4, 1);
  x << 1, 2, 3, 4;
  const ResampleResult r = resample(x, 2, 1, scalar(0));
  ASSERT_EQ(r.h.size(), 2);
  EXPECT_EQ(r.h(0), 1.0);
  EXPECT_EQ(r.h(1), 1.0);
  Eigen::VectorXd expected(8);
  expected << 1, 2, 2, 3, 3, 4, 4, 0;
  EXPECT_TRUE(r.y.col(0) == expected);
}

TEST(Resample, FractionalHalfLengthFactorGivesAnEvenLengthFilter) {
  // N·max(p, q) = 1.5: order 3, a 4-tap filter (zero amplitude at Nyquist, so no warning), and
  // a centre between two taps; the output length is unchanged.
  std::vector<std::string> warnings;
  ScopedWarningSink sink([&](const std::string& t) { warnings.push_back(t); });
  const ResampleResult r = resample(Eigen::MatrixXd::Ones(40, 1), 1, 2, scalar(0.75));
  EXPECT_EQ(r.h.size(), 4);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(r.y.rows(), 20);
}

// Ranges of outputs computed in any order, each from a copy of only the input samples it says
// it needs: the whole-signal samples bit for bit.
TEST(Resample, PiecesGiveTheWholeSignalsSamples) {
  for (const double rate : {44100.0, 48000.0, 4410.0, 8000.0}) {
    const Eigen::Index n = 20011;
    const Eigen::MatrixXd x = sine(n, 440, rate);
    const Eigen::MatrixXd whole = resample(x, 4410, rate).y;
    const PieceResampler pieces(n, 4410, rate);
    ASSERT_EQ(pieces.outputs(), whole.rows());
    EXPECT_EQ(pieces.outputs_before(n), whole.rows());
    EXPECT_EQ(pieces.outputs_before(0), 0);
    // Pieces ending where the inputs of whole outputs end, and arbitrary ones, last first.
    std::vector<std::int64_t> cuts{0,
                                   pieces.outputs_before(7000),
                                   pieces.outputs_before(7001),
                                   1,
                                   whole.rows() / 2,
                                   whole.rows() - 1,
                                   whole.rows()};
    std::sort(cuts.begin(), cuts.end());
    Eigen::VectorXd y = Eigen::VectorXd::Constant(whole.rows(), -9);
    for (std::size_t k = cuts.size() - 1; k > 0; --k) {
      const std::int64_t first = cuts[k - 1], end = cuts[k];
      const std::int64_t from = pieces.input_from(first), to = pieces.input_to(end);
      const std::vector<double> part(x.data() + from, x.data() + to);
      pieces.run(part.data(), from, to - from, first, end, y.data() + first);
      if (first < end && to < n) {
        // one sample short at either end is refused
        EXPECT_THROW(pieces.run(part.data(), from, to - from - 1, first, end, y.data()),
                     std::invalid_argument);
      }
      if (first < end && from > 0) {
        EXPECT_THROW(pieces.run(part.data() + 1, from + 1, to - from - 1, first, end, y.data()),
                     std::invalid_argument);
      }
    }
    EXPECT_TRUE(y == whole.col(0)) << rate;
  }
}

TEST(Resample, CheckMessages) {
  EXPECT_EQ(message_of(4410, 2.5), "Q must be a positive integer.");
  EXPECT_EQ(message_of(4410, 0), "Q must be a positive integer.");
  EXPECT_EQ(message_of(4410, -44100), "Q must be a positive integer.");
  EXPECT_EQ(message_of(0, 44100), "P must be a positive integer.");
  EXPECT_EQ(message_of(1.5, 2.5), "P must be a positive integer.");
  EXPECT_EQ(message_of(std::nan(""), 2), "P must be a positive integer.");
  EXPECT_EQ(message_of(1, INFINITY), "Q must be a positive integer.");
  EXPECT_EQ(message_of(1e300, 3), "P and Q are too large.");
  EXPECT_EQ(message_of(3.0 * (1LL << 40), 2.0 * (1LL << 40)), "");  // reduces to 3/2
  EXPECT_EQ(testing::error_of(
                [] { resample(Eigen::MatrixXd::Ones(10, 1), 1, 2, Eigen::MatrixXd::Ones(3, 3)); }),
            "N must be a number or a filter vector.");
}

}  // namespace
}  // namespace ziva
