// Test signals shared by the signal-processing tests.
#pragma once

#include <Eigen/Core>
#include <random>

namespace ziva::testing {

// n samples of white Gaussian noise of unit variance; the same seed gives the same samples.
inline Eigen::VectorXd gaussian(Eigen::Index n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist;
  Eigen::VectorXd x(n);
  for (Eigen::Index i = 0; i < n; ++i) x(i) = dist(gen);
  return x;
}

}  // namespace ziva::testing
