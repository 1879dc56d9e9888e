#include "platform/qt/zoom.h"

#include <algorithm>

namespace ziva {

Range zoom_about(Range r, double p, double factor) {
  return {p + (r.lo - p) / factor, p + (r.hi - p) / factor};
}

Range span(double a, double b) {
  return {std::min(a, b), std::max(a, b)};
}

}  // namespace ziva
