// Smoothing that keeps the ends of a run: the forward-backward filter bends the last second of a
// rising trace; a local polynomial fit in time follows a trend up to the last sample and gives the
// rate of change without a second smoothing.
#pragma once

#include <Eigen/Dense>
#include <vector>

namespace ziva {

// A smoothed sequence and its rate of change per second.
struct LocalFit {
  Eigen::RowVectorXd value;
  Eigen::RowVectorXd slope;
};

// Local polynomial regression of x over the times t (increasing): at every t(i) the least-squares
// polynomial of `degree` (1 … 3) in t − t(i), weighted by the tricube of the distance, over the
// samples of a window `width` seconds wide centred on t(i); near the ends the window is shifted
// inwards so that it keeps its width (a polynomial trend passes undistorted up to the last
// sample). Windows with fewer samples than degree + 2 are widened to that many samples.
LocalFit local_fit(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& x, double width,
                   int degree);

// The median of x (the upper of the two middle values for an even count; 0 when empty).
double median_of(std::vector<double> x);

// The median step between neighbouring times t (0 with fewer than two).
double median_spacing(const Eigen::RowVectorXd& t);

}  // namespace ziva
