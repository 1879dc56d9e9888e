// Finding the full-load part of a run in its raw traces: from where the speed starts to rise out
// of the lead-in to where the rise ends (throttle closed, clutch, gear change or top speed).
#pragma once

#include <Eigen/Dense>
#include <optional>

#include "eval/results.h"
#include "eval/traces.h"

namespace ziva {

// Samples first … last (inclusive) of the traces.
struct IndexRange {
  Eigen::Index first = 0;
  Eigen::Index last = 0;
};

struct FullLoadSettings {
  double slope_window = 0.5;  // s, span of the local slope fits (at least 5 sample steps)
  double rise_share = 0.2;    // full load: slope above this share of the run's largest slope
  double min_rise = 0.01;     // … and above this share of the median speed per second
  double max_dip = 0.5;       // s, rises separated by a shorter dip count as one
  double min_length = 1.0;    // s, shortest full-load part
  double min_gain = 0.1;      // the speed must rise by this share of its starting value
  double corner_span = 1.5;   // s each side of a rough end searched for the exact corner
  double max_drops = 0.05;    // share of steps within the rise that may fall back by over 5 %
};

// The full-load samples of the traces t (s, increasing), v (speed, any unit, positive) and rpm
// (1/min; used where v does not rise). `resolution` is the time (s) over which one sample
// averages the true speed (the analysis window of a tone trace, 0 for pulse intervals): samples
// closer than half of it to a corner are left out. A rise whose raw samples often fall back (a
// trace of noise) does not count. Thresholds are per second, so that they hold
// at any sample spacing. Nothing when no part of the run rises steadily enough.
std::optional<IndexRange> find_full_load(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& v,
                                         const Eigen::RowVectorXd& rpm, double resolution,
                                         const FullLoadSettings& s = {});

// The time (s) over which one raw sample of the channel choice of `par` averages: the analysis
// window of a tone trace, 0 for the pulse conversions.
double trace_resolution(const ParSet& par);

// The samples of the raw traces to evaluate: all of them, or with par.auto_trim the full-load part
// (nothing when none is found).
std::optional<IndexRange> evaluated_range(const RawTraces& raw, const ParSet& par);

// evaluated_range; throws the German message "no_full_load" when par.auto_trim finds no
// full-load part.
IndexRange full_load_range(const RawTraces& raw, const ParSet& par);

// compute_results on the samples `r` of the raw traces. With par.coast_loss, the road load is
// first measured from the coast of the whole traces (measure_road_load, whose errors end the
// evaluation) and replaces the assumed loss term; a warning says when the run reaches more than a
// third below the coast's lowest speed.
DiagData evaluate_range(const RawTraces& raw, const ParSet& par, const IndexRange& r);

// evaluate_range on full_load_range.
DiagData evaluate_traces(const RawTraces& raw, const ParSet& par);

}  // namespace ziva
