// The main window's start-up parameters, for tests of the evaluation that do without a window.
#pragma once

#include "params/parameters.h"

namespace ziva::testing {

// Alternator on the left (c1 = 1) and wheel sensors on the right (c2 = 2) unless told otherwise.
inline ParSet startup_par(double c1 = 1, double c2 = 2) {
  ParSet p;
  p.total_mass_kg = 200, p.cw = 0.5, p.frontal_area_m2 = 0.75, p.gear_ratio = 6.32,
  p.tyre_perimeter_m = 1.325, p.filter_length_s = 1, p.coils = 3, p.sensors = 1;
  p.air_temp_c = 20, p.air_pressure_mbar = 1013, p.roller_inertia_kgm2 = 1.08,
  p.roller_perimeter_m = 0.9321;
  p.sig_ch1 = c1, p.sig_ch2 = c2;
  return p;
}

}  // namespace ziva::testing
