#include "dsp/butter.h"

#include <gtest/gtest.h>

#include <Eigen/LU>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "base/error.h"
#include "support/error_of.h"

namespace {

using Complex = std::complex<double>;
using ziva::butter;
using Options = std::vector<std::string>;
constexpr double kPi = std::numbers::pi;

Eigen::MatrixXd mat(std::initializer_list<double> values) {
  Eigen::MatrixXd m(1, static_cast<Eigen::Index>(values.size()));
  Eigen::Index i = 0;
  for (double v : values) m(0, i++) = v;
  return m;
}

Complex polyval(const Eigen::MatrixXcd& c, Complex s) {
  Complex v = 0.0;
  for (Eigen::Index i = 0; i < c.size(); ++i) v = v * s + c(i);
  return v;
}

// Responses of the three output forms at the point s (analog) or z (digital).
Complex tf_response(const std::vector<Eigen::MatrixXcd>& out, Complex s) {
  return polyval(out[0], s) / polyval(out[1], s);
}

Complex zpk_response(const std::vector<Eigen::MatrixXcd>& out, Complex s) {
  Complex h = out[2](0, 0);
  for (Eigen::Index i = 0; i < out[0].size(); ++i) h *= s - out[0](i);
  for (Eigen::Index i = 0; i < out[1].size(); ++i) h /= s - out[1](i);
  return h;
}

Complex ss_response(const std::vector<Eigen::MatrixXcd>& out, Complex s) {
  const Eigen::Index m = out[0].rows();
  const Eigen::MatrixXcd resolvent = s * Eigen::MatrixXcd::Identity(m, m) - out[0];
  return (out[2] * resolvent.partialPivLu().solve(out[1]))(0, 0) + out[3](0, 0);
}

// Squared magnitude of an analog Butterworth filter of order n at Omega rad/s: the low-pass
// 1 / (1 + (Omega/Wc)^2n) with the frequency mapped by the band transformation of the type.
double butterworth_mag2(const std::string& type, int n, double w1, double w2, double omega) {
  double x = 0.0;
  if (type == "low") x = omega / w1;
  if (type == "high") x = w1 / omega;
  if (type == "bandpass") x = (omega * omega - w1 * w2) / ((w2 - w1) * omega);
  if (type == "stop") x = (w2 - w1) * omega / (omega * omega - w1 * w2);
  return 1.0 / (1.0 + std::pow(x, 2 * n));
}

std::string error_of(const Eigen::MatrixXd& n, const Eigen::MatrixXd& wn, const Options& options) {
  return ziva::testing::error_of([&] { butter(2, n, wn, options); });
}

TEST(Butter, Order3Cutoff025GivesTheTenDigitCoefficients) {
  const double num[] = {0.03168934385, 0.09506803155, 0.09506803155, 0.03168934385};
  const double den[] = {1, -1.459029062, 0.9103690003, -0.1978251873};
  const ziva::ButterCoeffs c = ziva::butter_lowpass(3, 0.25);
  const auto out = butter(2, mat({3}), mat({0.25}), {});
  ASSERT_EQ(c.b.size(), 4);
  ASSERT_EQ(c.a.size(), 4);
  for (int i = 0; i < 4; ++i) {
    // Half a unit in the tenth significant digit.
    const auto tol = [](double v) {
      return 0.5 * std::pow(10.0, std::floor(std::log10(std::abs(v))) - 9);
    };
    EXPECT_NEAR(c.b(i), num[i], tol(num[i])) << i;
    EXPECT_NEAR(c.a(i), den[i], tol(den[i])) << i;
    EXPECT_EQ(out[0](i).real(), c.b(i));
    EXPECT_EQ(out[1](i).real(), c.a(i));
  }
  // Unity gain at zero frequency.
  EXPECT_NEAR(c.b.sum(), c.a.sum(), 1e-15);
}

struct DesignCase {
  std::string type;
  int n;
  double w1;
  double w2;
  bool analog;
};

// Every band type, digital and analog, in all three output forms against the Butterworth
// magnitude. Digital frequencies map by Omega = 4 tan(w / 2) (pre-warped, sample rate 2);
// the edges are at -3 dB. Digital poles lie inside the unit circle, analog ones left of the axis.
TEST(Butter, DesignsHaveTheButterworthMagnitude) {
  // Odd and even orders of each type, digital and analog.
  const std::vector<DesignCase> cases = {
      {"low", 5, 0.6, 0, false},         {"high", 4, 0.3, 0, false},
      {"bandpass", 3, 0.4, 0.45, false}, {"stop", 2, 0.1, 0.7, false},
      {"low", 6, 0.5, 0, true},          {"high", 3, 10.0, 0, true},
      {"bandpass", 2, 5.0, 6.0, true},   {"stop", 3, 2.0, 8.0, true}};
  for (const DesignCase& tc : cases) {
    SCOPED_TRACE(tc.type + " order " + std::to_string(tc.n) + (tc.analog ? " analog" : ""));
    const bool band = tc.type == "bandpass" || tc.type == "stop";
    const Eigen::MatrixXd wn = band ? mat({tc.w1, tc.w2}) : mat({tc.w1});
    const Options opts = tc.analog ? Options{tc.type, "s"} : Options{tc.type};
    const auto tf = butter(2, mat({double(tc.n)}), wn, opts);
    const auto zpk = butter(3, mat({double(tc.n)}), wn, opts);
    const auto ss = butter(4, mat({double(tc.n)}), wn, opts);
    const Eigen::Index order = band ? 2 * tc.n : tc.n;
    EXPECT_EQ(tf[0].cols(), order + 1);
    EXPECT_EQ(tf[1].cols(), order + 1);
    EXPECT_EQ(tf[1](0).real(), 1.0);
    if (!tc.analog) {
      EXPECT_EQ(zpk[0].size(), order);
    }
    EXPECT_EQ(zpk[1].size(), order);
    EXPECT_EQ(ss[0].rows(), order);
    for (Eigen::Index i = 0; i < zpk[1].size(); ++i)
      EXPECT_TRUE(tc.analog ? zpk[1](i).real() < 0 : std::abs(zpk[1](i)) < 1) << zpk[1](i);
    // The point of the response at a frequency, and that frequency in rad/s of the analog filter.
    const auto at = [&](double f) {
      return tc.analog ? Complex(0.0, f) : std::polar(1.0, kPi * f);
    };
    const auto omega = [&](double f) { return tc.analog ? f : 4.0 * std::tan(kPi * f / 2.0); };
    std::vector<double> freqs = tc.analog ? std::vector<double>{0.05, 0.7, 1.9, 4.0, 25.0}
                                          : std::vector<double>{0.01, 0.15, 0.35, 0.55, 0.9, 0.99};
    freqs.push_back(tc.w1);
    if (band) freqs.push_back(tc.w2);
    if (!band && tc.analog) freqs.push_back(1.1 * tc.w1);
    for (double f : freqs) {
      const double want = butterworth_mag2(tc.type, tc.n, omega(tc.w1), omega(tc.w2), omega(f));
      EXPECT_NEAR(std::norm(tf_response(tf, at(f))), want, 1e-9) << "f " << f;
      EXPECT_NEAR(std::norm(zpk_response(zpk, at(f))), want, 1e-9) << "f " << f;
      EXPECT_NEAR(std::norm(ss_response(ss, at(f))), want, 1e-9) << "f " << f;
    }
    EXPECT_NEAR(std::norm(tf_response(tf, at(tc.w1))), 0.5, 1e-9);
  }
  // Without a type option one edge is a low-pass, two a band-pass.
  const auto low = butter(2, mat({2}), mat({3.0}), {"S"});
  EXPECT_NEAR(std::norm(tf_response(low, Complex(0.0, 3.0))), 0.5, 1e-12);
  EXPECT_NEAR(std::norm(tf_response(low, 0.0)), 1.0, 1e-12);
  const auto pass = butter(2, mat({2}), mat({1.0, 4.0}), {"s"});
  EXPECT_NEAR(std::norm(tf_response(pass, Complex(0.0, 2.0))), 1.0, 1e-12);
  // The prototype's real pole is exactly real.
  EXPECT_EQ(ziva::buttap(3).p(2), Complex(-1.0, 0.0));
}

// H(s) = (2 s + 3) / (s + 1) in state space; each transformation must equal the substitution of
// its frequency mapping into H, and the bilinear one H(2 fs (z - 1) / (z + 1)).
TEST(Butter, TransformationsSubstituteTheirFrequencyMapping) {
  const Eigen::MatrixXd a = mat({-1}), b = mat({1}), c = mat({1}), d = mat({2});
  const auto h = [](Complex s) { return (2.0 * s + 3.0) / (s + 1.0); };
  const auto response = [](const ziva::StateSpace& s, Complex p) {
    return ss_response(
        {s.a.cast<Complex>(), s.b.cast<Complex>(), s.c.cast<Complex>(), s.d.cast<Complex>()}, p);
  };
  const double wo = 1.7, bw = 0.6, fs = 5.0;
  const std::pair<ziva::StateSpace, std::function<Complex(Complex)>> cases[] = {
      {ziva::lp2lp(a, b, c, d, wo), [&](Complex s) { return s / wo; }},
      {ziva::lp2hp(a, b, c, d, wo), [&](Complex s) { return wo / s; }},
      {ziva::lp2bp(a, b, c, d, wo, bw), [&](Complex s) { return (s * s + wo * wo) / (bw * s); }},
      {ziva::lp2bs(a, b, c, d, wo, bw), [&](Complex s) { return bw * s / (s * s + wo * wo); }},
      {ziva::bilinear(a, b, c, d, fs),
       [&](Complex s) { return 2.0 * fs * (s - 1.0) / (s + 1.0); }}};
  for (std::size_t i = 0; i < std::size(cases); ++i)
    for (Complex s : {Complex(0.3, 0.8), Complex(-0.2, 2.0), Complex(1.0, -0.5)})
      EXPECT_LT(std::abs(response(cases[i].first, s) - h(cases[i].second(s))), 1e-13) << i;
  EXPECT_THROW(ziva::lp2lp(a, mat({1, 2}), c, d, wo), ziva::Error);
}

TEST(Butter, ZerosOfEachDesign) {
  // Digital band-stop: the zeros sit on the unit circle at the centre frequency.
  const auto stop = butter(3, mat({2}), mat({0.2, 0.6}), {"stop"});
  const double centre = 2.0 * std::atan(std::sqrt(std::tan(kPi * 0.1) * std::tan(kPi * 0.3)));
  ASSERT_EQ(stop[0].size(), 4);
  for (Eigen::Index i = 0; i < 4; ++i) {
    EXPECT_NEAR(std::abs(stop[0](i)), 1.0, 1e-15);
    EXPECT_NEAR(std::abs(std::arg(stop[0](i))), centre, 1e-14);
  }
  EXPECT_EQ(butter(3, mat({3}), mat({0.4}), {})[0], Eigen::MatrixXcd::Constant(3, 1, -1.0));
  EXPECT_EQ(butter(3, mat({3}), mat({0.4}), {"high"})[0], Eigen::MatrixXcd::Constant(3, 1, 1.0));
  EXPECT_EQ(butter(3, mat({3}), mat({0.4}), {"low", "s"})[0].size(), 0);
  EXPECT_EQ(butter(3, mat({3}), mat({0.4}), {"high", "s"})[0], Eigen::MatrixXcd::Zero(3, 1));
}

// Every message once, each in a case where the checks before it pass.
TEST(Butter, ArgumentCheckMessagesInOrder) {
  const std::string range = "The cutoff frequencies must be within the interval of (0,1).",
                    order = "Filter order must be a real, positive integer.",
                    edges = "The cutoff frequencies must be in increasing order.";
  struct Case {
    Eigen::MatrixXd n, wn;
    Options options;
    std::string message;
  };
  // clang-format off
  const Case cases[] = {
      {mat({3}), mat({0.1, 0.2, 0.3}), {"nonsense", "x", "y"},
       "Wn must be a one or two element vector."},
      {mat({3}), mat({2.0}), {"low", "s", "z"}, "Too many input arguments."},
      {mat({3}), mat({2.0}), {"low", "high"}, "Analog flag must be either 'z' or 's'."},
      {mat({3}), mat({2.0}), {"nonsense"}, range},
      {mat({3}), mat({-1.0}), {"nonsense", "s"},
       "The cutoff frequencies must be greater than zero."},
      {mat({3}), mat({0.5}), {"nonsense"},
       "Option string must be one of 'high', 'stop', 'low', 'bandpass', 'z' or 's'."},
      {mat({3}), mat({0.5}), {"nonsense", "z"},
       "Filter type must be one of 'high', 'stop', 'low', or 'bandpass'."},
      {mat({3}), mat({0.2, 0.5}), {"low"}, "For the 'low' filter option, Wn must have 1 element."},
      {mat({3}), mat({0.5}), {"bandpass"},
       "For the 'bandpass' filter option, Wn must have 2 elements."},
      {mat({3}), mat({0.2, 0.5}), {"high"},
       "For the 'high' filter option, Wn must have 1 element."},
      {mat({3}), mat({0.5}), {"stop"}, "For the 'stop' filter option, Wn must have 2 elements."},
      // the order is checked after the arguments
      {mat({501}), mat({0.5}), {}, "Filter order too large."},
      {mat({501}), mat({1.5}), {}, range},
      {mat({0}), mat({0.5}), {}, order}, {mat({2.5}), mat({0.5}), {}, order},
      {Eigen::MatrixXd(0, 0), mat({0.5}), {}, order}, {mat({2, 3}), mat({0.5}), {}, order},
      {mat({3}), mat({0.5, 0.2}), {}, edges}, {mat({3}), mat({0.5, 0.5}), {"stop"}, edges},
      // options ignore case
      {mat({3}), mat({0.3}), {"HIGH", "Z"}, ""}, {mat({3}), mat({0.2, 0.3}), {"Stop", "S"}, ""},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(error_of(c.n, c.wn, c.options), c.message) << c.message;
  EXPECT_EQ(butter(2, mat({3}), mat({0.3}), {"HIGH", "Z"})[0],
            butter(2, mat({3}), mat({0.3}), {"high"})[0]);
  EXPECT_THROW(ziva::butter_lowpass(501, 0.5), ziva::Error);
}

}  // namespace
