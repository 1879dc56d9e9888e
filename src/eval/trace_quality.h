// Quality figures of a speed trace, shared by the tone and pulse conversions.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "eval/speed_trace.h"

namespace ziva {

// A spectral peak counts as standing out of the noise when its power exceeds the median power of
// its spectrum by this factor (15 dB; the largest of some hundred bins of pure noise lies near
// 10 dB above their median).
inline constexpr double kPeakOverFloor = 31.6;

// A change between successive samples faster than this share of the value per second is a jump.
inline constexpr double kJumpRate = 3;

// weak_share and weak_from of the per-sample flags `weak` at times t, and the share of jumps of v.
TraceQuality trace_quality(const Eigen::VectorXd& t, const Eigen::VectorXd& v,
                           const std::vector<bool>& weak);

// What a trace's figures say: reliable, unreliable over a part (from weak_from on), pure noise,
// or jumping between values (a channel choice that does not fit the signal).
enum class TraceVerdict { reliable, partly_noise, noise_only, jumping };
TraceVerdict judge(const TraceQuality& q);

}  // namespace ziva
