// Least-squares linear-phase FIR design: a closed form for full-band unweighted odd-length
// designs, the weighted normal equations otherwise.
#include "dsp/firls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
#include "dsp/kaiser.h"

namespace ziva {

namespace {

constexpr double kPi = std::numbers::pi;

enum class Symmetry { kEven, kHilbert, kDifferentiator };

Symmetry parse_symmetry(const std::optional<std::string>& ftype) {
  if (!ftype) return Symmetry::kEven;
  std::string s = *ftype;
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (s == "hilbert" || s == "h") return Symmetry::kHilbert;
  if (s == "differentiator" || s == "d") return Symmetry::kDifferentiator;
  throw Error("Requires symmetry to be 'Hilbert' or 'differentiator'.");
}

// One band in cycles per sample with its straight-line desired amplitude m·f + b.
struct Band {
  double f1, f2, m, b, weight;
  bool inverse_square;  // differentiator weighting 1/f^2 (f in half-cycles per sample)
};

// Integral over [f1, f2] of cos(2·pi·mu·f).
double cos_integral(double mu, double f1, double f2) {
  if (mu == 0) return f2 - f1;
  return f2 * sinc(2 * mu * f2) - f1 * sinc(2 * mu * f1);
}

// Antiderivative of (m·f + b)·cos(2·pi·nu·f) at f, nu > 0.
double line_cos_primitive(double nu, double m, double b, double f) {
  const double w = 2 * kPi * nu;
  double v = f * (m * f + b) * sinc(2 * nu * f);
  if (m != 0) v += m * std::cos(w * f) / (w * w);
  return v;
}

// Antiderivative of (m·f + b)·sin(2·pi·nu·f) at f, nu > 0.
double line_sin_primitive(double nu, double m, double b, double f) {
  const double w = 2 * kPi * nu;
  double v = -(m * f + b) * std::cos(w * f) / w;
  if (m != 0) v += m * f * sinc(2 * nu * f) / w;
  return v;
}

// Gauss-Legendre nodes and weights on [-1, 1].
void gauss_legendre(int n, std::vector<double>& x, std::vector<double>& w) {
  x.assign(n, 0.0);
  w.assign(n, 0.0);
  for (int i = 0; i < (n + 1) / 2; ++i) {
    double z = std::cos(kPi * (i + 0.75) / (n + 0.5));
    double dp = 1;
    for (int it = 0; it < 100; ++it) {
      double p0 = 1, p1 = z;
      for (int k = 2; k <= n; ++k) {
        const double p2 = ((2.0 * k - 1) * z * p1 - (k - 1.0) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      dp = n * (z * p1 - p0) / (z * z - 1);
      const double dz = p1 / dp;
      z -= dz;
      if (std::abs(dz) < 1e-16) break;
    }
    x[i] = -z;
    x[n - 1 - i] = z;
    w[i] = w[n - 1 - i] = 2 / ((1 - z * z) * dp * dp);
  }
}

// cos and sin of 2·pi·f·k for k = 0, 1, 2, ...: a rotation by 2·pi·f per step, recomputed
// directly every 32 steps so that its rounding error stays at a few ulps.
class Rotation {
 public:
  explicit Rotation(double f)
      : f_(f), step_c_(std::cos(2 * kPi * f)), step_s_(std::sin(2 * kPi * f)) {}
  double cos() const { return c_; }
  double sin() const { return s_; }
  void next() {
    ++k_;
    if (k_ % 32 == 0) {
      const double angle = 2 * kPi * f_ * static_cast<double>(k_);
      c_ = std::cos(angle);
      s_ = std::sin(angle);
    } else {
      const double c = c_ * step_c_ - s_ * step_s_;
      s_ = s_ * step_c_ + c_ * step_s_;
      c_ = c;
    }
  }

 private:
  double f_, step_c_, step_s_;
  double c_ = 1, s_ = 0;
  long k_ = 0;
};

// The closed form for a symmetric odd-length filter fitted with equal weights over bands that
// tile [0, 0.5]: the normal equations are diagonal there. Returns the M + 1 cosine coefficients.
Eigen::VectorXd full_band_cosine_fit(const std::vector<Band>& bands, long m_half) {
  Eigen::VectorXd coef(m_half + 1);
  double b0 = 0;
  for (const Band& s : bands) {
    b0 += s.b * (s.f2 - s.f1) + s.m / 2 * (s.f2 * s.f2 - s.f1 * s.f1);
  }
  coef(0) = 2 * b0;
  // b_k = sum over bands of the integral of (m·f + b)·cos(2·pi·k·f) over the band:
  // [(m·f + b)·sin(2·pi·k·f)/(2·pi·k) + m·cos(2·pi·k·f)/(2·pi·k)^2] from f1 to f2.
  struct Edge {
    Rotation rotation;
    double value;  // m·f + b at the edge
    double slope;  // m
    double sign;   // +1 at the upper edge, -1 at the lower
  };
  std::vector<Edge> edges;
  auto add_edge = [&](double f, double value, double slope, double sign) {
    // Edges whose terms vanish for every k are left out (sin is 0 at f = 0).
    if ((value == 0 || f == 0) && slope == 0) return;
    edges.push_back({Rotation(f), value, slope, sign});
  };
  for (const Band& s : bands) {
    if (s.f2 == s.f1) continue;
    add_edge(s.f2, s.m * s.f2 + s.b, s.m, 1.0);
    add_edge(s.f1, s.m * s.f1 + s.b, s.m, -1.0);
  }
  for (long k = 1; k <= m_half; ++k) {
    const double w = 2 * kPi * static_cast<double>(k);
    double sines = 0, cosines = 0;
    for (Edge& e : edges) {
      e.rotation.next();
      if (e.value != 0) sines += e.sign * e.value * e.rotation.sin();
      if (e.slope != 0) cosines += e.sign * e.slope * e.rotation.cos();
    }
    coef(k) = 4 * (sines / w + cosines / (w * w));
  }
  return coef;
}

// Solves the weighted normal equations for the basis functions cos or sin(2·pi·nu_k·f),
// nu_k = k + offset for k = first ... first + count - 1.
Eigen::VectorXd normal_equations_fit(const std::vector<Band>& bands, bool sine, double offset,
                                     long first, long count) {
  Eigen::MatrixXd g = Eigen::MatrixXd::Zero(count, count);
  Eigen::VectorXd r = Eigen::VectorXd::Zero(count);
  auto nu = [&](long i) { return static_cast<double>(first + i) + offset; };

  // Bands with plain weights: every entry in closed form through the integrals of
  // cos(2·pi·mu·f) for mu = nu_k ± nu_l, which are whole numbers.
  const long mu_max = static_cast<long>(std::lround(2 * nu(count - 1)));
  Eigen::VectorXd c = Eigen::VectorXd::Zero(mu_max + 1);
  bool any_plain = false;
  for (const Band& s : bands) {
    if (s.inverse_square || s.weight == 0 || s.f2 == s.f1) continue;
    any_plain = true;
    for (long mu = 0; mu <= mu_max; ++mu) {
      c(mu) += s.weight * cos_integral(static_cast<double>(mu), s.f1, s.f2);
    }
    for (long i = 0; i < count; ++i) {
      const double v = nu(i);
      double ri;
      if (v == 0) {
        ri = s.m / 2 * (s.f2 * s.f2 - s.f1 * s.f1) + s.b * (s.f2 - s.f1);
      } else if (sine) {
        ri = line_sin_primitive(v, s.m, s.b, s.f2) - line_sin_primitive(v, s.m, s.b, s.f1);
      } else {
        ri = line_cos_primitive(v, s.m, s.b, s.f2) - line_cos_primitive(v, s.m, s.b, s.f1);
      }
      r(i) += s.weight * ri;
    }
  }
  if (any_plain) {
    const double sign = sine ? -1.0 : 1.0;
    for (long k = 0; k < count; ++k) {
      for (long l = 0; l < count; ++l) {
        const long sum = static_cast<long>(std::lround(nu(k) + nu(l)));
        g(k, l) = 0.5 * (c(std::abs(k - l)) + sign * c(sum));
      }
    }
  }

  // Bands weighted by 1/f^2: Gauss-Legendre quadrature with enough nodes for the fastest
  // oscillation of the integrand.
  for (const Band& s : bands) {
    if (!s.inverse_square || s.weight == 0 || s.f2 == s.f1) continue;
    const double span = 4 * kPi * nu(count - 1) * (s.f2 - s.f1);
    const int nodes = static_cast<int>(std::ceil(0.75 * span)) + 40;
    std::vector<double> t, tw;
    gauss_legendre(nodes, t, tw);
    Eigen::MatrixXd basis(nodes, count);
    Eigen::VectorXd weight(nodes), desired(nodes);
    const double half = (s.f2 - s.f1) / 2, mid = (s.f2 + s.f1) / 2;
    for (int j = 0; j < nodes; ++j) {
      const double f = mid + half * t[j];
      const double f_half_cycles = 2 * f;
      weight(j) = s.weight * tw[j] * half / (f_half_cycles * f_half_cycles);
      desired(j) = s.m * f + s.b;
      for (long i = 0; i < count; ++i) {
        const double arg = 2 * kPi * nu(i) * f;
        basis(j, i) = sine ? std::sin(arg) : std::cos(arg);
      }
    }
    g.noalias() += basis.transpose() * weight.asDiagonal() * basis;
    r.noalias() += basis.transpose() * (weight.array() * desired.array()).matrix();
  }
  return g.completeOrthogonalDecomposition().solve(r);
}

}  // namespace

long firchk(const Eigen::MatrixXd& n, const Eigen::VectorXd& a, bool antisymmetric) {
  if (n.size() != 1 || !std::isfinite(n(0)) || n(0) != std::round(n(0)) || n(0) <= 0) {
    throw Error("Filter order must be a real, positive integer.");
  }
  long order = static_cast<long>(n(0));
  if (!antisymmetric && order % 2 == 1 && a.size() > 0 && a(a.size() - 1) != 0) {
    warning(
        "Odd order symmetric FIR filters must have a gain of zero \rat the Nyquist frequency. "
        "The order is being increased by one.");
    ++order;
  }
  return order;
}

Eigen::RowVectorXd firls(const Eigen::MatrixXd& n, const Eigen::VectorXd& f,
                         const Eigen::VectorXd& a, const std::optional<Eigen::VectorXd>& w,
                         const std::optional<std::string>& ftype) {
  for (Eigen::Index i = 0; i < f.size(); ++i) {
    if (!(f(i) >= 0 && f(i) <= 1)) throw Error("Frequencies in F must be in range [0,1].");
  }
  if (f.size() % 2 != 0) throw Error("F must have even length.");
  if (f.size() != a.size()) throw Error("F and A must be equal lengths.");
  const Symmetry symmetry = parse_symmetry(ftype);
  const bool antisymmetric = symmetry != Symmetry::kEven;
  const long order = firchk(n, a, antisymmetric);

  const Eigen::Index nbands = f.size() / 2;
  const Eigen::VectorXd edges = f / 2;
  const Eigen::VectorXd weights = w ? *w : Eigen::VectorXd::Ones(nbands);
  if (weights.size() != nbands) throw Error("There should be one weight per band.");
  for (Eigen::Index i = 1; i < edges.size(); ++i) {
    if (edges(i) < edges(i - 1)) throw Error("Frequencies in F must be nondecreasing.");
  }
  for (Eigen::Index i = 0; i < weights.size(); ++i) {
    if (!(weights(i) >= 0)) throw Error("Weights must not be negative.");
  }

  std::vector<Band> bands;
  for (Eigen::Index s = 0; s < nbands; ++s) {
    Band band{};
    band.f1 = edges(2 * s);
    band.f2 = edges(2 * s + 1);
    const double a1 = a(2 * s), a2 = a(2 * s + 1);
    band.m = band.f2 > band.f1 ? (a2 - a1) / (band.f2 - band.f1) : 0.0;
    band.b = a1 - band.m * band.f1;
    band.weight = weights(s);
    band.inverse_square = symmetry == Symmetry::kDifferentiator && (a1 != 0 || a2 != 0);
    bands.push_back(band);
  }

  const long length = order + 1;
  Eigen::RowVectorXd h = Eigen::RowVectorXd::Zero(length);
  if (!antisymmetric && order % 2 == 0) {
    const long m_half = order / 2;
    bool tiles = nbands > 0 && edges(0) == 0 && edges(edges.size() - 1) == 0.5 &&
                 weights.maxCoeff() == weights.minCoeff() && weights(0) > 0;
    for (Eigen::Index s = 1; tiles && s < nbands; ++s) tiles = edges(2 * s) == edges(2 * s - 1);
    const Eigen::VectorXd coef = tiles ? full_band_cosine_fit(bands, m_half)
                                       : normal_equations_fit(bands, false, 0.0, 0, m_half + 1);
    h(m_half) = coef(0);
    for (long k = 1; k <= m_half; ++k) h(m_half - k) = h(m_half + k) = coef(k) / 2;
  } else if (order % 2 == 1) {
    const long half = length / 2;
    const Eigen::VectorXd coef = normal_equations_fit(bands, antisymmetric, 0.5, 0, half);
    for (long k = 0; k < half; ++k) {
      h(half - 1 - k) = coef(k) / 2;
      h(half + k) = antisymmetric ? -coef(k) / 2 : coef(k) / 2;
    }
  } else {
    const long m_half = order / 2;
    const Eigen::VectorXd coef = normal_equations_fit(bands, true, 0.0, 1, m_half);
    for (long k = 1; k <= m_half; ++k) {
      h(m_half - k) = coef(k - 1) / 2;
      h(m_half + k) = -coef(k - 1) / 2;
    }
  }
  return h;
}

Eigen::RowVectorXd firls(double n, const Eigen::VectorXd& f, const Eigen::VectorXd& a,
                         const std::optional<Eigen::VectorXd>& w,
                         const std::optional<std::string>& ftype) {
  return firls(Eigen::MatrixXd::Constant(1, 1, n), f, a, w, ftype);
}

}  // namespace ziva
