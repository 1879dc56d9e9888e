// The result computation of an evaluation: from the raw time, speed and engine-speed traces and
// the parameter set to smoothed speeds, acceleration, distance, power, torque and the diagram's
// x and y data.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "eval/coast_loss.h"
#include "eval/estimator.h"
#include "params/parameters.h"

namespace ziva {

// π as the power formulas take it (four decimals), wherever speeds become angular speeds.
inline constexpr double kFormulaPi = 3.1416;

// Every quantity of one evaluated run, as rows of equal length (after the Vmax cut).
struct RunQuantities {
  Eigen::RowVectorXd t;      // time, s
  Eigen::RowVectorXd v;      // smoothed speed, km/h
  Eigen::RowVectorXd rpm;    // smoothed engine speed, 1/min
  Eigen::RowVectorXd dt;     // time step of each sample (first step extrapolated), s
  Eigen::RowVectorXd a;      // smoothed acceleration, m/s²
  Eigen::RowVectorXd X;      // distance, m (the first sample already holds v(1)·dt(1))
  Eigen::RowVectorXd P;      // power corrected to standard air, kW
  Eigen::RowVectorXd Pps;    // the same in PS
  Eigen::RowVectorXd M;      // torque at the engine speed, Nm
  Eigen::RowVectorXd ratio;  // overall ratio, engine revolutions per wheel revolution
  Eigen::RowVectorXd loss;   // loss power of the formula (measured or assumed), kW, uncorrected
  double k = 1;              // air correction factor of the chosen standard
  std::string air_warning;   // the standard's range warning, empty inside its range
  double Wn = 0;             // normalised cut-off of the smoothing filter
  bool roller = false;       // the roller formula was used
};

// What the diagram window is handed: x as a row, y as one column (two for power with torque).
struct DiagData {
  Eigen::RowVectorXd x;
  Eigen::MatrixXd y;
  double k = 1;
  std::string air_warning;
  // With par.coast_loss: the load measured from the coast, its coefficients as reported
  // (reported_coefficients) and the loss power at the point of the highest power, kW.
  std::optional<RoadLoad> load;
  Eigen::Vector3d load_coefficients = Eigen::Vector3d::Zero();
  double loss_at_peak_kw = 0;
};

// Computes every quantity from the raw traces t (s), v (m/s) and rpm (1/min), rows of equal
// length. Throws "Index exceeds matrix dimensions." with fewer than three samples after the
// Vmax cut, the errors of the filter design and the zero-phase filter (ten samples needed), and
// those of correct_air for impossible air data with the standard par.air_correction.
// The precise estimator (par.estimator 2) takes speed, acceleration and engine speed from local
// quadratic fits over 1.5 filter lengths of time (local_fit) and the power directly from them.
// With a measured road load, its power replaces the assumed term (air drag on the road, the
// roller's loss term) in either estimator.
RunQuantities compute_quantities(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& v,
                                 const Eigen::RowVectorXd& rpm, const ParSet& par,
                                 const RoadLoad* load = nullptr);

// The x and y data of the axis choices par.xaxis (1 … 4) and par.yaxis (1 … 12), and k. Throws
// for a choice outside these ranges.
DiagData pick_axes(const RunQuantities& q, const ParSet& par);

// compute_quantities followed by pick_axes.
DiagData compute_results(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& v,
                         const Eigen::RowVectorXd& rpm, const ParSet& par);

}  // namespace ziva
