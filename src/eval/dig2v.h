// Speed from a pulse channel: falling steps of the wheel sensors become interval speeds, with
// implausible values removed.
#pragma once

#include <Eigen/Dense>
#include <tuple>
#include <vector>

#include "base/progress.h"
#include "eval/estimator.h"
#include "eval/speed_trace.h"

namespace ziva {

// Sample numbers n (from 0) where y[n+1] − y[n] < −0.15, with every run of adjacent edge samples
// reduced to its last one. With two columns the per-sample mean of both is examined. The work is
// split between `threads` threads; the result does not depend on their number.
std::vector<Eigen::Index> pulse_edges(const Eigen::Ref<const Eigen::MatrixXd>& y, int threads = 2);

// pulse_edges of a single column that arrives in blocks. A column may also be split into
// parts, each found by a finder of its own whose first sample is the last one of the part
// before; appending the finders in order gives the edges of the whole. With `refine` the finder
// also places each edge between samples, as refine_edges does.
class EdgeFinder {
 public:
  // The first sample fed is sample `first` of the column.
  explicit EdgeFinder(Eigen::Index first = 0, bool refine = false)
      : refine_(refine), seen_(first), start_(first) {}
  // The n samples y[0] … y[n − 1]. With `refine`, y also holds the `before` samples before them
  // and the `after` samples after them: at least four before and three after, fewer only at the
  // ends of the column.
  void feed(const double* y, Eigen::Index n, Eigen::Index before = 0, Eigen::Index after = 0);
  // Takes over the edges of the part after this one.
  void append(const EdgeFinder& next);
  std::vector<Eigen::Index> finish();
  // refine_edges of finish()'s edges; empty without `refine`.
  std::vector<double> refined() const;

 private:
  bool refine_;
  std::vector<Eigen::Index> raw_;
  std::vector<double> raw_refined_;  // of every raw edge, with refine_
  Eigen::Index seen_ = 0;
  Eigen::Index start_ = 0;
  double last_ = 0;
};

// The speeds between successive edges (sample numbers at rate FS), (u / Δt) / W m/s, each stamped
// with the time of the edge that ends its interval, without speeds above 300 km/h.
SpeedTrace interval_speeds(const std::vector<Eigen::Index>& edges, double FS, double u, double W);

// The edges placed between samples: for each edge sample n, the time (in samples, within n − 3 …
// n + 3) where the channel falls through the middle between its highest value over n − 3 … n and
// its lowest over the next three samples, interpolated linearly between the two samples around
// the crossing (n + 0.5 when there is none).
std::vector<double> refine_edges(const Eigen::Ref<const Eigen::MatrixXd>& y,
                                 const std::vector<Eigen::Index>& edges);

// The speeds between successive refined edges, as interval_speeds, but stamped with the middle of
// their interval (where the mean speed of an accelerating run is reached).
SpeedTrace interval_speeds_mid(const std::vector<double>& edges, double FS, double u, double W);

// The trace without the spikes: samples lying more than 0.1 m/s above the order-3 low-pass
// (cut-off 0.25, zero phase, over the sample index) of the speeds. Throws the zero-phase filter's
// error for 1 to 9 samples; an empty trace stays empty. With `quantum` > 0 (the precise estimator:
// W / (u · FS), the speed step of one sample of edge timing per squared speed) the tolerance grows
// by two such steps, 2 · quantum · v², so that timing steps are not cut on one side only.
SpeedTrace remove_spikes(const SpeedTrace& s, double quantum = 0);

// dig2v: the speed trace of the pulse channel `Y` (one column, or two that are averaged) at
// circumference `u` with `W` pulses per revolution, reporting to `progress` (closed again on every
// way out). The precise estimator refines the edges (refine_edges, interval_speeds_mid). The
// quality counts the intervals dropped as implausible.
SpeedTrace dig2v(Progress& progress, const Eigen::Ref<const Eigen::MatrixXd>& Y, double FS,
                 double u, double W, Estimator estimator = Estimator::standard);

// dig2v on the edges pulse_edges found in the channel beforehand: the same steps and result.
// `refined` (the precise estimator) holds refine_edges of them, else empty.
SpeedTrace dig2v_from_edges(Progress& progress, const std::vector<Eigen::Index>& edges, double FS,
                            double u, double W, const std::vector<double>& refined = {});

}  // namespace ziva
