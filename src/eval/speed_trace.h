// A speed trace as the channel conversions deliver it: sample times and values, as columns.
#pragma once

#include <Eigen/Dense>

namespace ziva {

// How far a conversion can be trusted: the share of samples it judged unreliable (a spectral
// peak not standing out of the noise, a pulse interval rejected as implausible), the time from
// which the longest unreliable stretch runs, and the share of jumps between successive samples
// (more than the plausible change per second).
struct TraceQuality {
  double weak_share = 0;
  double weak_from = 0;  // s
  double jump_share = 0;
};

struct SpeedTrace {
  Eigen::VectorXd t;  // s, from the first sample of the recording
  Eigen::VectorXd v;  // the conversion's speed (m/s or revolutions per second)
  TraceQuality quality;
};

}  // namespace ziva
