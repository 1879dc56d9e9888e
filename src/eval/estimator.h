// The evaluation's method choice: the standard estimators of the first version, or the precise
// ones (tone frequency between grid steps, pulse edges between samples, smoothing that keeps the
// ends of the run).
#pragma once

#include "params/parameters.h"

namespace ziva {

enum class Estimator { standard = 1, precise = 2 };

// The estimator of the parameter set's pop-up entry (any entry but 2 is the standard one).
inline Estimator estimator_of(const ParSet& par) {
  return par.estimator == 2 ? Estimator::precise : Estimator::standard;
}

}  // namespace ziva
