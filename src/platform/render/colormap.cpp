#include <algorithm>
#include <cmath>

#include "platform/render/renderer.h"

namespace ziva {

namespace {

constexpr double kPi = 3.14159265358979323846;

// CIE L*a*b* (D65 white) to linear sRGB.
Eigen::Vector3d lab_to_linear_rgb(double L, double a, double b) {
  auto finv = [](double t) {
    constexpr double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3 * d * d * (t - 4.0 / 29.0);
  };
  double fy = (L + 16) / 116;
  double X = 0.95047 * finv(fy + a / 500);
  double Y = finv(fy);
  double Z = 1.08883 * finv(fy - b / 200);
  return {3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z,
          -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
          0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z};
}

double gamma_encode(double c) {
  c = std::clamp(c, 0.0, 1.0);
  return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

bool in_gamut(const Eigen::Vector3d& rgb) {
  return rgb.minCoeff() >= -1e-9 && rgb.maxCoeff() <= 1 + 1e-9;
}

}  // namespace

Eigen::MatrixX3d default_colormap(int n) {
  n = std::max(n, 1);
  Eigen::MatrixX3d map(n, 3);
  for (int i = 0; i < n; ++i) {
    double t = n == 1 ? 0.5 : static_cast<double>(i) / (n - 1);
    // Lightness rises linearly; the hue turns from blue-violet over teal and green to yellow;
    // the chroma grows towards the light end and is reduced where sRGB cannot show it.
    double L = 16 + 78 * t;
    double hue = (300 - 205 * t) * kPi / 180;
    double chroma = 45 + 45 * t * t;
    double lo = 0, hi = chroma;
    if (!in_gamut(lab_to_linear_rgb(L, chroma * std::cos(hue), chroma * std::sin(hue)))) {
      for (int k = 0; k < 40; ++k) {
        double mid = (lo + hi) / 2;
        bool ok = in_gamut(lab_to_linear_rgb(L, mid * std::cos(hue), mid * std::sin(hue)));
        (ok ? lo : hi) = mid;
      }
      chroma = lo;
    }
    Eigen::Vector3d rgb = lab_to_linear_rgb(L, chroma * std::cos(hue), chroma * std::sin(hue));
    for (int c = 0; c < 3; ++c) map(i, c) = gamma_encode(rgb(c));
  }
  return map;
}

Eigen::MatrixX3d figure_colormap(const Graphics& g, Handle fig) {
  Value v = g.get(fig, "Colormap");
  if (v.is_number() && v.num().cols() == 3 && v.num().rows() > 0) {
    return v.num().cwiseMax(0.0).cwiseMin(1.0);
  }
  return default_colormap();
}

}  // namespace ziva
