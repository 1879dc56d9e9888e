// The road load measured from a clutch-in coast after the run: the vehicle (or the roller) rolls
// down with the engine disconnected, so that its deceleration shows the whole road load (air drag,
// rolling resistance, tyre flex, drivetrain drag). Replaces the assumed loss term of the power
// formulas when the parameter set asks for it (par.coast_loss).
//
// Finding the coast in the raw traces of the same recording, after the full-load part (or after
// the highest speed when no full-load part is found):
// - engine and speed channels (alternator with wheel sensors or roller): the coast starts where the
//   engine speed leaves road speed × the run's own ratio (median over full load) by more than
//   `decoupled` = 15 % for `hold` = 0.5 s, and lasts while it stays away (returns shorter than
//   0.5 s are gaps) and the speed keeps falling. A run whose engine stays coupled has no coast;
// - a speed channel alone (wheel sensors, roller): from the highest speed after the start of full
//   load as long as the speed keeps falling (slope of a local line over 1 s below zero). Such a
//   channel cannot tell a coast from a throttle-closed roll-off in gear, so the length and span
//   checks below carry the decision; a roll-off in gear of 8 s or more still passes them and
//   shows as a large constant load (engine braking);
// - an alternator alone follows the engine only and cannot show a coast.
// One analysis window of the tone and two samples after the start are left out: there the speed
// estimate still averages over the end of full load.
//
// Plausibility checks, each ending the evaluation with its own message:
// - length at least `min_seconds` = 5 s when the engine channel shows the clutch open, and
//   `min_seconds_speed_only` = 8 s with a speed channel alone (a throttle-closed roll-off lasts a
//   few seconds before the rider brakes or opens the throttle again);
// - the speed falls by at least `min_span` = 15 % of its highest value in the coast, so that the
//   load's speed dependence can be fitted at all;
// - the fitted force is positive over the coast's speed range;
// - the robust fit keeps at least `min_inliers` = 80 % of the samples and their robust scatter is
//   at most `max_scatter` = 15 % of the mean force.
//
// The deceleration comes from local quadratics of the speed over `slope_window` = 2 s: a coast
// changes its deceleration over tens of seconds (the load's time constant m/(dF/dv) is 10–20 s),
// so a quadratic over 2 s follows it without bias while averaging 30 or more pulse or tone speeds
// against their noise; the fit of the coast alone keeps the corner at its start out. The force is
// fitted with coefficients ≥ 0 (rolling resistance, viscous drag, air drag cannot pull), as a line
// and as a quadratic; the quadratic is kept when Schwarz's criterion over the independent slopes
// (one per slope window) prefers it, so that a short span does not bend the continuation below
// the coast.
#pragma once

#include <Eigen/Dense>

#include "eval/traces.h"
#include "params/parameters.h"

namespace ziva {

// A least-squares polynomial fit with robust weights.
struct RobustFit {
  Eigen::VectorXd coeffs;   // c0, c1, …: y ≈ c0 + c1·x + c2·x² …
  Eigen::VectorXd weights;  // final weight of each sample, 0 for a rejected one
  double scale = 0;         // robust scale of the residuals (1.4826 · median absolute residual)
};

// Iteratively reweighted least squares of the polynomial of `degree` in x: Tukey's biweight with
// tuning constant 4.685 times the robust scale, started from ordinary least squares, until the
// coefficients settle (at most 50 rounds). With `nonnegative` every coefficient is kept ≥ 0 (each
// round's least squares under that bound). Needs more samples than coefficients and x spread over
// at least degree + 1 values; throws ziva::Error otherwise.
RobustFit robust_polyfit(const Eigen::VectorXd& x, const Eigen::VectorXd& y, int degree,
                         bool nonnegative = false);

// The measured road load as a force at the road (or roller) surface against the surface speed
// v (m/s): F(v) = c0 + c1·v + c2·v² N. Over [low, high] the fit itself; below low it goes on as
// the fitted curve while that keeps falling towards rest, is held at its lowest value beyond,
// and never falls below zero.
struct RoadLoad {
  Eigen::Vector3d c = Eigen::Vector3d::Zero();
  double low = 0;   // m/s, lowest speed of the coast
  double high = 0;  // m/s, highest speed of the coast
  bool roller = false;

  double force(double v) const;                          // N
  double power(double v) const { return force(v) * v; }  // W
};

struct CoastSettings {
  double decoupled = 0.15;            // engine speed away from speed × ratio by this share
  double hold = 0.5;                  // s, … for this long at the start; shorter returns are gaps
  double min_seconds = 5;             // s, with an engine channel
  double min_seconds_speed_only = 8;  // s, with a speed channel alone
  double min_span = 0.15;             // share of the coast's highest speed
  double slope_window = 2;            // s
  double min_inliers = 0.8;           // share of samples the robust fit keeps
  double max_scatter = 0.15;          // robust scale of the force over its mean
};

// Samples first … last (inclusive) of the raw traces that form the coast.
struct CoastRange {
  Eigen::Index first = 0;
  Eigen::Index last = 0;
  bool engine = false;  // an engine channel shows the clutch open
};

// The coast of the raw traces of the whole recording; throws ziva::Error with the message (in the
// language chosen) when the channels cannot show one or none is found.
CoastRange find_coast(const RawTraces& raw, const ParSet& par, const CoastSettings& s = {});

// The road load fitted to the coast: road F = −m·dv/dt, roller F = −J·(2π/U)²·dv/dt (so that
// F·v = −J·ω·dω/dt). Throws ziva::Error with the message when the coast fails a plausibility
// check.
RoadLoad measure_road_load(const RawTraces& raw, const ParSet& par, const CoastSettings& s = {});

// The coefficients as the reports give them: road F = c0 + c1·v + c2·v² (N, v in m/s); roller
// P = a1·ω + a2·ω² + a3·ω³ (W, ω the roller's angular speed in 1/s).
Eigen::Vector3d reported_coefficients(const RoadLoad& load, const ParSet& par);

}  // namespace ziva
