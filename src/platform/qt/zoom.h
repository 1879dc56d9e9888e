// Interactive zoom on axes: the limits a click or a dragged rectangle leads to.
#pragma once

namespace ziva {

struct Range {
  double lo = 0;
  double hi = 1;
};

// The range scaled by `factor` about `p`: `p` keeps its place, the width shrinks by `factor`
// (factor 2 zooms in by two, 0.5 zooms out by two).
Range zoom_about(Range r, double p, double factor);

// The range between two values, in increasing order.
Range span(double a, double b);

}  // namespace ziva
