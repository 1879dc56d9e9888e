// A speed trace as the channel conversions deliver it: sample times and values, as columns.
#pragma once

#include <Eigen/Dense>

namespace ziva {

struct SpeedTrace {
  Eigen::VectorXd t;  // s, from the first sample of the recording
  Eigen::VectorXd v;  // the conversion's speed (m/s or revolutions per second)
};

}  // namespace ziva
