#include "eval/smoothing.h"

#include <algorithm>
#include <cmath>

namespace ziva {

double median_of(std::vector<double> x) {
  if (x.empty()) return 0;
  const auto mid = x.begin() + static_cast<std::ptrdiff_t>(x.size() / 2);
  std::nth_element(x.begin(), mid, x.end());
  return *mid;
}

double median_spacing(const Eigen::RowVectorXd& t) {
  std::vector<double> d;
  d.reserve(static_cast<std::size_t>(std::max<Eigen::Index>(t.size() - 1, 0)));
  for (Eigen::Index i = 1; i < t.size(); ++i) d.push_back(t(i) - t(i - 1));
  return median_of(std::move(d));
}

LocalFit local_fit(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& x, double width,
                   int degree) {
  const Eigen::Index n = t.size();
  LocalFit out;
  out.value.resize(n);
  out.slope.resize(n);
  const int terms = std::clamp(degree, 1, 3) + 1;
  const Eigen::Index need = std::min<Eigen::Index>(terms + 1, n);
  Eigen::Index a = 0, b = 0;  // window [a, b)
  for (Eigen::Index i = 0; i < n; ++i) {
    // The window [lo, hi] of the given width, shifted inwards at the ends.
    double lo = t(i) - width / 2, hi = t(i) + width / 2;
    if (lo < t(0)) hi = std::min(t(n - 1), hi + (t(0) - lo)), lo = t(0);
    if (hi > t(n - 1)) lo = std::max(t(0), lo - (hi - t(n - 1))), hi = t(n - 1);
    while (a < n && t(a) < lo) ++a;
    while (a > 0 && t(a - 1) >= lo) --a;
    b = std::max(b, a);
    while (b < n && t(b) <= hi) ++b;
    while (b > a && t(b - 1) > hi) --b;
    Eigen::Index from = a, to = b;
    while (to - from < need) {  // too few samples: take the nearest ones
      if (from > 0 && (to >= n || t(i) - t(from - 1) <= t(to) - t(i))) {
        --from;
      } else {
        ++to;
      }
    }
    double reach = 0;
    for (Eigen::Index j = from; j < to; ++j) reach = std::max(reach, std::abs(t(j) - t(i)));
    reach *= 1.0001;
    Eigen::Matrix4d N = Eigen::Matrix4d::Zero();
    Eigen::Vector4d r = Eigen::Vector4d::Zero();
    for (Eigen::Index j = from; j < to; ++j) {
      const double d = t(j) - t(i);
      const double u = reach > 0 ? std::abs(d) / reach : 0;
      const double w = std::pow(1 - u * u * u, 3);
      Eigen::Vector4d f(1, d, d * d, d * d * d);
      for (int k = terms; k < 4; ++k) f(k) = 0;
      N += w * f * f.transpose();
      r += w * f * x(j);
    }
    for (int k = terms; k < 4; ++k) N(k, k) = 1;
    const Eigen::Vector4d c = N.ldlt().solve(r);
    out.value(i) = c(0);
    out.slope(i) = c(1);
  }
  return out;
}

}  // namespace ziva
