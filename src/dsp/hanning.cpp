#include "dsp/hanning.h"

#include <cctype>
#include <cmath>
#include <numbers>
#include <string_view>

#include "base/error.h"
#include "dsp/kaiser.h"

namespace ziva {

namespace {

bool is_prefix_of(const std::string& flag, std::string_view word) {
  if (flag.size() > word.size()) return false;
  for (std::size_t i = 0; i < flag.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(flag[i])) != word[i]) return false;
  }
  return true;
}

bool is_periodic(const std::optional<std::string>& sflag) {
  if (!sflag) return false;
  const bool symmetric = is_prefix_of(*sflag, "symmetric");
  const bool periodic = is_prefix_of(*sflag, "periodic");
  if (symmetric == periodic) throw Error("Sampling flag must be either 'symmetric' or 'periodic'.");
  return periodic;
}

Eigen::VectorXd symmetric_window(Eigen::Index n) {
  Eigen::VectorXd w(n);
  const Eigen::Index half = (n + 1) / 2;
  const double denominator = static_cast<double>(n) + 1.0;
  for (Eigen::Index k = 1; k <= half; ++k) {
    const double v =
        0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(k) / denominator));
    w(k - 1) = v;
    w(n - k) = v;
  }
  return w;
}

Eigen::VectorXd window(const CheckedOrder& order, const std::optional<std::string>& sflag) {
  if (order.trivial) return order.w;
  const auto n = static_cast<Eigen::Index>(order.n);
  if (!is_periodic(sflag)) return symmetric_window(n);
  Eigen::VectorXd w(n);
  w(0) = 0.0;
  w.tail(n - 1) = symmetric_window(n - 1);
  return w;
}

}  // namespace

Eigen::VectorXd hanning(const Eigen::MatrixXd& n, const std::optional<std::string>& sflag) {
  return window(check_order(n), sflag);
}

Eigen::VectorXd hanning(double n, const std::optional<std::string>& sflag) {
  return window(check_order(n), sflag);
}

}  // namespace ziva
