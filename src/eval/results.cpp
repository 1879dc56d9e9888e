#include "eval/results.h"

#include <cmath>

#include "base/error.h"
#include "dsp/butter.h"
#include "dsp/filtfilt.h"
#include "eval/air_correction.h"
#include "eval/smoothing.h"
#include "params/channels.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// The distance covered up to each sample: the running sum of v·dt (the first sample already holds
// v(1)·dt(1)).
Eigen::RowVectorXd cumulative_distance(const Eigen::RowVectorXd& v, const Eigen::RowVectorXd& dt) {
  Eigen::RowVectorXd X(v.size());
  double distance = 0;
  for (Eigen::Index i = 0; i < v.size(); ++i) {
    distance += v(i) * dt(i);
    X(i) = distance;
  }
  return X;
}

constexpr double kPi = kFormulaPi;
constexpr double kDragFactor = 0.65;
constexpr double kRollerLoss = 0.0001;
constexpr double kKwToPs = 1.35962;
constexpr double kTorqueFactor = 7024;

// The difference sequence with its first element extrapolated linearly, so that it keeps the
// length of x: (2·d1 − d2, d1, d2, …, d(n−1)).
Eigen::RowVectorXd step_extrapolation(const Eigen::RowVectorXd& x) {
  const Eigen::Index n = x.size();
  if (n < 3) throw Error("Index exceeds matrix dimensions.");
  Eigen::RowVectorXd d(n);
  for (Eigen::Index i = 1; i < n; ++i) d(i) = x(i) - x(i - 1);
  d(0) = 2 * d(1) - d(2);
  return d;
}

// Index of the first largest element; NaN elements are passed over.
Eigen::Index first_max(const Eigen::RowVectorXd& x) {
  Eigen::Index best = 0;
  bool found = false;
  for (Eigen::Index i = 0; i < x.size(); ++i) {
    if (std::isnan(x(i))) continue;
    if (!found || x(i) > x(best)) {
      best = i;
      found = true;
    }
  }
  return best;
}

Eigen::RowVectorXd smooth(const ButterCoeffs& f, const Eigen::RowVectorXd& x) {
  Eigen::MatrixXd y = filtfilt(f.b, f.a, x);
  return Eigen::Map<const Eigen::RowVectorXd>(y.data(), y.size());
}

// The precise smoothing: local quadratics over 1.5 filter lengths (chosen by measurement, see
// docs/estimators.md).
constexpr double kLocalWidth = 1.5;
constexpr int kLocalDegree = 2;

// The loss power (kW) at the speeds v (m/s): the measured road load, or the assumed term of the
// formula (air drag on the road, the roller's loss term).
Eigen::ArrayXd loss_power(bool roller, const Eigen::ArrayXd& v, const ParSet& par,
                          const RoadLoad* load) {
  if (load != nullptr) return v.unaryExpr([&](double x) { return load->power(x) / 1000; });
  if (roller) return kRollerLoss * par.cw * (v / par.roller_perimeter_m * 2 * kPi).square();
  return kDragFactor * par.cw * par.frontal_area_m2 * v.cube() / 1000;
}

// Ratio, air correction, power in PS, torque and speed in km/h from the smoothed speed v (m/s).
void finish(RunQuantities& q, const Eigen::RowVectorXd& v, const ParSet& par) {
  q.ratio = ((q.rpm / 60).array() / v.array() * par.tyre_perimeter_m).matrix();

  const Record& st = strings();
  const AirCorrection air = correct_air(air_standard(par.air_correction, st), par.air_temp_c,
                                        par.air_pressure_mbar, par.air_humidity_pct, st);
  q.k = air.k;
  q.air_warning = air.warning;
  q.P *= q.k;
  q.Pps = q.P * kKwToPs;
  q.M = ((q.Pps.array() / q.rpm.array()) * kTorqueFactor).matrix();
  q.v = v * 3.6;
}

// The precise estimator: speed, its rate of change and the engine speed from local polynomial
// fits over the filter length in time, power from them directly (no second smoothing).
void precise_quantities(RunQuantities& q, const Eigen::RowVectorXd& v_raw,
                        const Eigen::RowVectorXd& rpm_raw, const ParSet& par,
                        const RoadLoad* load) {
  const double width = kLocalWidth * par.filter_length_s;
  const LocalFit fv = local_fit(q.t, v_raw, width, kLocalDegree);
  const Eigen::RowVectorXd& v = fv.value;
  q.a = fv.slope;
  q.rpm = local_fit(q.t, rpm_raw, width, kLocalDegree).value;
  q.X = cumulative_distance(v, q.dt);
  q.roller = is_roller_run(par.sig_ch1, par.sig_ch2);
  const Eigen::ArrayXd va = v.transpose().array();
  const Eigen::ArrayXd aa = q.a.transpose().array();
  const Eigen::ArrayXd loss = loss_power(q.roller, va, par, load);
  Eigen::ArrayXd P;
  if (q.roller) {
    const Eigen::ArrayXd w = va / par.roller_perimeter_m * 2 * kPi;
    const Eigen::ArrayXd dw = aa / par.roller_perimeter_m * 2 * kPi;
    P = par.roller_inertia_kgm2 * dw * w / 1000 + loss;
  } else if (load != nullptr) {
    P = par.total_mass_kg * va * aa / 1000 + loss;
  } else {
    P = (par.total_mass_kg * va * aa + kDragFactor * par.cw * par.frontal_area_m2 * va.cube()) /
        1000;
  }
  q.P = P.matrix().transpose();
  q.loss = loss.matrix().transpose();
  finish(q, v, par);
}

}  // namespace

RunQuantities compute_quantities(const Eigen::RowVectorXd& t_raw, const Eigen::RowVectorXd& v_raw,
                                 const Eigen::RowVectorXd& rpm_raw, const ParSet& par,
                                 const RoadLoad* load) {
  if (t_raw.size() != v_raw.size() || t_raw.size() != rpm_raw.size())
    throw Error("Matrix dimensions must agree.");
  RunQuantities q;
  Eigen::Index n = t_raw.size();
  if (par.cut_vmax != 0 && n > 0) {
    const Eigen::Index i = first_max(v_raw);
    n = std::min(i + 1, n - 1);
  }
  q.t = t_raw.head(n);
  Eigen::RowVectorXd v = v_raw.head(n);
  Eigen::RowVectorXd rpm = rpm_raw.head(n);

  double sum = 0;
  for (Eigen::Index i = 1; i < n; ++i) sum += q.t(i) - q.t(i - 1);
  const double mean_step = n > 1 ? sum / static_cast<double>(n - 1) : std::nan("");
  double Wn = (2 / par.filter_length_s) * mean_step;
  if (Wn > 1) Wn = 0.999999;
  if (Wn < 0) Wn = 1e-06;
  q.Wn = Wn;
  const ButterCoeffs butter = butter_lowpass(3, Wn);
  auto filter = [&](const Eigen::RowVectorXd& x) { return smooth(butter, x); };

  q.dt = step_extrapolation(q.t);
  if (estimator_of(par) == Estimator::precise) {
    precise_quantities(q, v, rpm, par, load);
    return q;
  }
  v = filter(v);
  q.rpm = filter(rpm);

  const Eigen::RowVectorXd dv = step_extrapolation(v);
  q.a = filter((dv.array() / q.dt.array()).matrix());

  q.X = cumulative_distance(v, q.dt);

  q.roller = is_roller_run(par.sig_ch1, par.sig_ch2);
  const Eigen::ArrayXd va = v.transpose().array();
  const Eigen::ArrayXd loss = loss_power(q.roller, va, par, load);
  q.loss = loss.matrix().transpose();
  if (q.roller) {
    const Eigen::RowVectorXd w = (v / par.roller_perimeter_m * 2 * kPi);
    const Eigen::RowVectorXd dw = step_extrapolation(w);
    q.P = ((par.roller_inertia_kgm2 * dw).array() / q.dt.array() * w.array() / 1000).matrix();
    q.P.array() += loss.transpose();
  } else {
    const Eigen::ArrayXd Fr =
        load != nullptr ? Eigen::ArrayXd(va.unaryExpr([&](double x) { return load->force(x); }))
                        : Eigen::ArrayXd(kDragFactor * par.cw * par.frontal_area_m2 * va.square());
    const Eigen::ArrayXd Wr = Fr * va * q.dt.transpose().array();
    Eigen::ArrayXd Wv(n);
    double before = 2 * v(0) - v(1);
    double prev = before * before;
    for (Eigen::Index i = 0; i < n; ++i) {
      const double cur = v(i) * v(i);
      Wv(i) = 0.5 * par.total_mass_kg * (cur - prev);
      prev = cur;
    }
    const Eigen::ArrayXd E = Wv + Wr;
    const Eigen::RowVectorXd P = (E / q.dt.transpose().array()).matrix().transpose();
    q.P = filter(P) / 1000;
  }
  finish(q, v, par);
  return q;
}

DiagData pick_axes(const RunQuantities& q, const ParSet& par) {
  DiagData d;
  d.k = q.k;
  d.air_warning = q.air_warning;
  const int xaxis = static_cast<int>(par.xaxis);
  const int yaxis = static_cast<int>(par.yaxis);
  if (par.xaxis != xaxis) throw Error("Undefined function or variable 'x'.");
  switch (xaxis) {
    case 1:
      d.x = q.rpm;
      break;
    case 2:
      d.x = q.t;
      break;
    case 3:
      d.x = q.X;
      break;
    case 4:
      d.x = q.v;
      break;
    default:
      throw Error("Undefined function or variable 'x'.");
  }
  const Eigen::Index n = q.t.size();
  auto column = [&](const Eigen::RowVectorXd& r) { return Eigen::MatrixXd(r.transpose()); };
  if (par.yaxis != yaxis) throw Error("Undefined function or variable 'y'.");
  switch (yaxis) {
    case 1:
    case 2:
      d.y.resize(n, 2);
      d.y.col(0) = (yaxis == 1 ? q.Pps : q.P).transpose();
      d.y.col(1) = q.M.transpose();
      break;
    case 3:
      d.y = column(q.Pps);
      break;
    case 4:
      d.y = column(q.P);
      break;
    case 5:
      d.y = column(q.M);
      break;
    case 6:
      d.y = column(q.v);
      break;
    case 7:
      d.y = column(q.a);
      break;
    case 8:
      d.y = column(q.t);
      break;
    case 9:
      d.y = column(q.X);
      break;
    case 10:
      d.y = column(q.rpm);
      break;
    case 11:
      d.y = column(q.ratio);
      break;
    case 12:
      d.y = column(q.loss);
      break;
    default:
      throw Error("Undefined function or variable 'y'.");
  }
  return d;
}

DiagData compute_results(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& v,
                         const Eigen::RowVectorXd& rpm, const ParSet& par) {
  return pick_axes(compute_quantities(t, v, rpm, par), par);
}

}  // namespace ziva
