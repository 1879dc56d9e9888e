// Cutting a recording by hand before its conversion: the evaluation asks, the cut views answer.
#pragma once

#include <Eigen/Dense>
#include <optional>

namespace ziva {

class HandCut {
 public:
  virtual ~HandCut() = default;
  // The rows of Y (samples × channels at rate FS) inside the time range the user chooses on the
  // spectrogram of column `ch` (tone periods per revolution L).
  virtual Eigen::MatrixXd on_spectrogram(const Eigen::MatrixXd& Y, double FS, int ch, double L) = 0;
  // The same on the pulse-speed view (circumference u, W pulses per revolution) of column `ch`,
  // or of both columns when `ch` is not given.
  virtual Eigen::MatrixXd on_pulse_speed(const Eigen::MatrixXd& Y, double FS, double u, double W,
                                         std::optional<int> ch) = 0;
};

}  // namespace ziva
