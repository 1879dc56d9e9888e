// Rational resampling: filter design, alignment of the filter's centre on the kept samples,
// and trimming to ceil(Lx·p/q) samples.
#include "dsp/resample.h"

#include <cmath>
#include <cstdint>
#include <numeric>

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

ResampleResult resample(const Eigen::MatrixXd& x, double p_in, double q_in,
                        const std::optional<Eigen::MatrixXd>& N, std::optional<double> beta) {
  if (!positive_whole(p_in)) throw Error("P must be a positive integer.");
  if (!positive_whole(q_in)) throw Error("Q must be a positive integer.");
  if (N && N->size() > 1 && N->rows() != 1 && N->cols() != 1) {
    throw Error("N must be a number or a filter vector.");
  }
  if (p_in > kLargestWhole || q_in > kLargestWhole) throw Error("P and Q are too large.");
  const auto p_whole = static_cast<std::int64_t>(p_in);
  const auto q_whole = static_cast<std::int64_t>(q_in);
  const std::int64_t divisor = std::gcd(p_whole, q_whole);
  const std::int64_t p = p_whole / divisor;
  const std::int64_t q = q_whole / divisor;
  if (p == 1 && q == 1) return {x, Eigen::RowVectorXd::Ones(1)};
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

  const bool x_vector = x.rows() == 1 || x.cols() == 1;
  const bool x_row = x.rows() == 1 && x.cols() > 1;
  const std::int64_t lx = x_vector ? x.size() : x.rows();
  const std::int64_t ly = ceil_div(lx * p, q);
  const Eigen::Index out_cols = x_vector ? 1 : x.cols();
  if (ly == 0) {
    return {x_row ? Eigen::MatrixXd(out_cols, 0) : Eigen::MatrixXd(0, out_cols), h};
  }

  // Put the filter's centre tap on a multiple of q, so that the kept samples are aligned with
  // the input, and count the leading output samples that belong to the filter's delay.
  const auto length = static_cast<std::int64_t>(h.size());
  double lhalf = static_cast<double>(length - 1) / 2;
  const auto nz = static_cast<std::int64_t>(
      std::floor(static_cast<double>(q) - std::fmod(lhalf, static_cast<double>(q))));
  lhalf += static_cast<double>(nz);
  const auto delay = static_cast<std::int64_t>(std::ceil(lhalf)) / q;
  // The tail padding: zeros after the filter until the filtered signal reaches delay + ly
  // samples. upfirdn_window yields zeros past the convolution's end, which is what those zeros
  // give, so only the kept samples [delay, delay + ly) are computed.
  Eigen::MatrixXd trimmed = upfirdn_window(x, Eigen::MatrixXd(h.transpose()), static_cast<int>(p),
                                           static_cast<int>(q), nz, delay, ly);
  return {std::move(trimmed), h};
}

}  // namespace ziva
