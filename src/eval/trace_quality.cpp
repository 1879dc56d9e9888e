#include "eval/trace_quality.h"

#include <cmath>

namespace ziva {

TraceQuality trace_quality(const Eigen::VectorXd& t, const Eigen::VectorXd& v,
                           const std::vector<bool>& weak) {
  TraceQuality q;
  const Eigen::Index n = t.size();
  if (n == 0) return q;
  Eigen::Index weak_count = 0, run = 0, best_run = 0, best_start = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const bool w = static_cast<std::size_t>(i) < weak.size() && weak[static_cast<std::size_t>(i)];
    if (!w) {
      run = 0;
      continue;
    }
    ++weak_count;
    if (++run > best_run) best_run = run, best_start = i - run + 1;
  }
  q.weak_share = static_cast<double>(weak_count) / static_cast<double>(n);
  q.weak_from = best_run > 0 ? t(best_start) : 0;
  Eigen::Index jumps = 0;
  for (Eigen::Index i = 1; i < n; ++i) {
    const double dt = t(i) - t(i - 1);
    const double scale = std::max(std::abs(v(i)), std::abs(v(i - 1)));
    if (scale > 0 && dt > 0 && std::abs(v(i) - v(i - 1)) > kJumpRate * scale * dt) ++jumps;
  }
  q.jump_share = n > 1 ? static_cast<double>(jumps) / static_cast<double>(n - 1) : 0;
  return q;
}

TraceVerdict judge(const TraceQuality& q) {
  if (q.weak_share > 0.8) return TraceVerdict::noise_only;
  if (q.weak_share > 0.1) return TraceVerdict::partly_noise;
  if (q.jump_share > 0.05) return TraceVerdict::jumping;
  return TraceVerdict::reliable;
}

}  // namespace ziva
