// A short simulated run (11025 Hz, half-second lead-in and roll-off) for end-to-end tests.
#pragma once

#include "sim/simulate.h"

namespace ziva::testing {

inline SynthOptions short_run(SynthSignal left, SynthSignal right, bool roller = false) {
  SynthOptions o;
  o.roller_run = roller;
  o.left = left;
  o.right = right;
  o.rate = 11025;
  o.lead_in = 0.5;
  o.roll_off = 0.5;
  o.rpm_end = 9000;
  return o;
}

}  // namespace ziva::testing
