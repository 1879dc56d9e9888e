// Rational resampling: filter design, alignment of the filter's centre on the kept samples,
// and trimming to ceil(Lx·p/q) samples.
#include "dsp/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "base/error.h"
#include "dsp/firls.h"
#include "dsp/kaiser.h"
#include "dsp/upfirdn.h"

namespace ziva {

namespace {

bool positive_whole(double v) {
  return std::isfinite(v) && std::abs(std::round(v)) == v && v != 0;
}

// ceil(a/b) for a >= 0, b > 0.
std::int64_t ceil_div(std::int64_t a, std::int64_t b) {
  return (a + b - 1) / b;
}

// Whole numbers up to 2^53 are exact in a double and fit the integer type.
constexpr double kLargestWhole = 9007199254740992.0;

}  // namespace

namespace {

// The factors reduced, the filter and its alignment.
struct Design {
  std::int64_t p = 1, q = 1;
  Eigen::RowVectorXd h;
  std::int64_t nz = 0;     // zeros put before the filter
  std::int64_t delay = 0;  // leading output samples that belong to the filter's delay
};

// Checks the factors and designs the filter; p = q = 1 after reduction leaves h empty.
Design design(double p_in, double q_in, const std::optional<Eigen::MatrixXd>& N,
              std::optional<double> beta) {
  if (!positive_whole(p_in)) throw Error("P must be a positive integer.");
  if (!positive_whole(q_in)) throw Error("Q must be a positive integer.");
  if (N && N->size() > 1 && N->rows() != 1 && N->cols() != 1) {
    throw Error("N must be a number or a filter vector.");
  }
  if (p_in > kLargestWhole || q_in > kLargestWhole) throw Error("P and Q are too large.");
  const auto p_whole = static_cast<std::int64_t>(p_in);
  const auto q_whole = static_cast<std::int64_t>(q_in);
  const std::int64_t divisor = std::gcd(p_whole, q_whole);
  Design d;
  const std::int64_t p = d.p = p_whole / divisor;
  const std::int64_t q = d.q = q_whole / divisor;
  if (p == 1 && q == 1) return d;
  if (p > INT32_MAX || q > INT32_MAX) throw Error("P and Q are too large.");

  const std::int64_t pqmax = std::max(p, q);
  Eigen::RowVectorXd h;
  if (N && N->size() > 1) {
    h = Eigen::Map<const Eigen::RowVectorXd>(N->data(), N->size());
  } else {
    const double half_factor = N && N->size() == 1 ? (*N)(0) : 10.0;
    if (half_factor > 0) {
      const double fc = 1.0 / (2.0 * static_cast<double>(pqmax));
      const double order = 2.0 * half_factor * static_cast<double>(pqmax);
      Eigen::VectorXd edges(4), amplitudes(4);
      edges << 0, 2 * fc, 2 * fc, 1;
      amplitudes << 1, 1, 0, 0;
      h = static_cast<double>(p) * firls(order, edges, amplitudes);
      h.array() *= kaiser(static_cast<double>(h.size()), beta.value_or(5.0)).transpose().array();
    } else {
      h = Eigen::RowVectorXd::Ones(p);
    }
  }

  // Put the filter's centre tap on a multiple of q, so that the kept samples are aligned with
  // the input, and count the leading output samples that belong to the filter's delay.
  const auto length = static_cast<std::int64_t>(h.size());
  double lhalf = static_cast<double>(length - 1) / 2;
  d.nz = static_cast<std::int64_t>(
      std::floor(static_cast<double>(q) - std::fmod(lhalf, static_cast<double>(q))));
  lhalf += static_cast<double>(d.nz);
  d.delay = static_cast<std::int64_t>(std::ceil(lhalf)) / q;
  d.h = std::move(h);
  return d;
}

}  // namespace

ResampleResult resample(const Eigen::MatrixXd& x, double p_in, double q_in,
                        const std::optional<Eigen::MatrixXd>& N, std::optional<double> beta) {
  Design d = design(p_in, q_in, N, beta);
  if (d.p == 1 && d.q == 1) return {x, Eigen::RowVectorXd::Ones(1)};
  const bool x_vector = x.rows() == 1 || x.cols() == 1;
  const bool x_row = x.rows() == 1 && x.cols() > 1;
  const std::int64_t lx = x_vector ? x.size() : x.rows();
  const std::int64_t ly = ceil_div(lx * d.p, d.q);
  const Eigen::Index out_cols = x_vector ? 1 : x.cols();
  if (ly == 0) {
    return {x_row ? Eigen::MatrixXd(out_cols, 0) : Eigen::MatrixXd(0, out_cols), d.h};
  }
  // The tail padding: zeros after the filter until the filtered signal reaches delay + ly
  // samples. upfirdn_window yields zeros past the convolution's end, which is what those zeros
  // give, so only the kept samples [delay, delay + ly) are computed.
  Eigen::MatrixXd trimmed =
      upfirdn_window(x, Eigen::MatrixXd(d.h.transpose()), static_cast<int>(d.p),
                     static_cast<int>(d.q), d.nz, d.delay, ly);
  return {std::move(trimmed), d.h};
}

// Output sample m covers the input samples up to n0(m) = floor((m·q − lead)/p) and at most
// `reach` samples before it (the longest filter phase, rounded up as the filter pads it).
struct PieceResampler::Impl {
  Design d;
  std::int64_t length = 0;  // input samples in all
  std::int64_t ly = 0;
  std::int64_t reach = 0;
  std::unique_ptr<UpfirdnWindow> filter;  // none for p = q = 1

  std::int64_t last_input(std::int64_t m) const {  // n0 of output m (counted with the delay)
    const std::int64_t t = (m + d.delay) * d.q - d.nz;
    return t >= 0 ? t / d.p : -((-t + d.p - 1) / d.p);
  }
};

PieceResampler::PieceResampler(std::int64_t length, double p, double q)
    : impl_(std::make_unique<Impl>()) {
  Impl& s = *impl_;
  s.d = design(p, q, std::nullopt, std::nullopt);
  s.length = std::max<std::int64_t>(length, 0);
  if (s.d.p == 1 && s.d.q == 1) {
    s.ly = s.length;
    return;
  }
  s.ly = ceil_div(s.length * s.d.p, s.d.q);
  s.filter = std::make_unique<UpfirdnWindow>(s.d.h.transpose(), static_cast<int>(s.d.p),
                                             static_cast<int>(s.d.q));
  s.reach = (s.d.h.size() + s.d.p - 1) / s.d.p + 16;
}

PieceResampler::~PieceResampler() = default;

std::int64_t PieceResampler::outputs() const {
  return impl_->ly;
}

std::int64_t PieceResampler::outputs_before(std::int64_t n) const {
  const Impl& s = *impl_;
  if (n >= s.length) return s.ly;
  if (!s.filter) return std::max<std::int64_t>(n, 0);
  // last_input(m) < n exactly when (m + delay)·q − nz < n·p.
  std::int64_t m = std::clamp<std::int64_t>(
      ceil_div(std::max<std::int64_t>(n, 0) * s.d.p + s.d.nz, s.d.q) - s.d.delay, 0, s.ly);
  while (m > 0 && s.last_input(m - 1) >= n) --m;
  while (m < s.ly && s.last_input(m) < n) ++m;
  return m;
}

std::int64_t PieceResampler::input_from(std::int64_t first) const {
  const Impl& s = *impl_;
  if (!s.filter) return std::clamp<std::int64_t>(first, 0, s.length);
  return std::clamp<std::int64_t>(s.last_input(first) - s.reach + 1, 0, s.length);
}

std::int64_t PieceResampler::input_to(std::int64_t end) const {
  const Impl& s = *impl_;
  if (end <= 0) return 0;
  if (!s.filter) return std::min(end, s.length);
  return std::clamp<std::int64_t>(s.last_input(end - 1) + 1, 0, s.length);
}

void PieceResampler::run(const double* x, std::int64_t x_from, std::int64_t lx, std::int64_t first,
                         std::int64_t end, double* y) const {
  const Impl& s = *impl_;
  if (first < 0 || end > s.ly || first > end || x_from < 0 || lx < 0 || x_from + lx > s.length ||
      (first < end && (x_from > input_from(first) || x_from + lx < input_to(end)))) {
    throw std::invalid_argument("PieceResampler::run: outputs or input samples out of range");
  }
  if (first == end) return;
  if (!s.filter) {
    std::copy(x + (first - x_from), x + (end - x_from), y);
    return;
  }
  // The input samples as the signal, shifted: the same products and sums as on the whole.
  s.filter->run(x, lx, s.d.nz + x_from * s.d.p, first + s.d.delay, end - first, y);
}

}  // namespace ziva
