#include "dsp/butter.h"

#include <Eigen/Eigenvalues>
#include <Eigen/LU>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

#include "base/error.h"

namespace ziva {
namespace {

using namespace butter_type;
using Complex = std::complex<double>;

std::string lower(std::string text) {
  for (char& ch : text) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return text;
}

void check_sizes(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d) {
  const Eigen::Index m = a.rows();
  if (a.cols() != m || b.rows() != m || c.cols() != m || d.rows() != c.rows() ||
      d.cols() != b.cols()) {
    throw Error("The state-space matrices do not fit together.");
  }
}

// Series connection: the output of `first` drives `second`.
StateSpace series(const StateSpace& first, const StateSpace& second) {
  const Eigen::Index m1 = first.a.rows();
  const Eigen::Index m2 = second.a.rows();
  StateSpace s;
  s.a = Eigen::MatrixXd::Zero(m1 + m2, m1 + m2);
  s.a.topLeftCorner(m1, m1) = first.a;
  s.a.bottomLeftCorner(m2, m1) = second.b * first.c;
  s.a.bottomRightCorner(m2, m2) = second.a;
  s.b.resize(m1 + m2, first.b.cols());
  s.b << first.b, second.b * first.d;
  s.c.resize(second.c.rows(), m1 + m2);
  s.c << second.d * first.c, second.c;
  s.d = second.d * first.d;
  return s;
}

// State space of k / prod(s - p) for poles of a real system (complex poles in conjugate pairs):
// a cascade of second-order sections 1 / (s^2 - 2 Re(p) s + |p|^2) in controllable canonical
// form, followed by first-order sections 1 / (s - p) for the real poles.
StateSpace poles_to_ss(const Eigen::VectorXcd& p, double k) {
  StateSpace s{Eigen::MatrixXd(0, 0), Eigen::MatrixXd(0, 1), Eigen::MatrixXd(1, 0),
               Eigen::MatrixXd::Ones(1, 1)};
  for (Eigen::Index i = 0; i < p.size(); ++i) {
    if (std::abs(p(i).imag()) <= 1e-12 * std::abs(p(i)) || p(i).imag() <= 0.0) continue;
    StateSpace section{Eigen::MatrixXd(2, 2), Eigen::MatrixXd(2, 1), Eigen::MatrixXd(1, 2),
                       Eigen::MatrixXd::Zero(1, 1)};
    section.a << 2.0 * p(i).real(), -std::norm(p(i)), 1.0, 0.0;
    section.b << 1.0, 0.0;
    section.c << 0.0, 1.0;
    s = series(s, section);
  }
  for (Eigen::Index i = 0; i < p.size(); ++i) {
    if (std::abs(p(i).imag()) > 1e-12 * std::abs(p(i))) continue;
    StateSpace section{Eigen::MatrixXd::Constant(1, 1, p(i).real()), Eigen::MatrixXd::Ones(1, 1),
                       Eigen::MatrixXd::Ones(1, 1), Eigen::MatrixXd::Zero(1, 1)};
    s = series(s, section);
  }
  s.c *= k;
  s.d *= k;
  return s;
}

Eigen::VectorXcd eigenvalues(const Eigen::MatrixXd& a) {
  if (a.rows() == 0) return Eigen::VectorXcd();
  Eigen::EigenSolver<Eigen::MatrixXd> solver(a, false);
  return solver.eigenvalues();
}

// Coefficients (descending powers, leading 1) of the polynomial with the given roots.
Eigen::RowVectorXcd poly(const Eigen::VectorXcd& roots) {
  const Eigen::Index m = roots.size();
  Eigen::RowVectorXcd c = Eigen::RowVectorXcd::Zero(m + 1);
  c(0) = 1.0;
  for (Eigen::Index r = 0; r < m; ++r) {
    for (Eigen::Index j = r + 1; j >= 1; --j) c(j) -= roots(r) * c(j - 1);
  }
  return c;
}

Complex polyval(const Eigen::RowVectorXd& c, Complex s) {
  Complex v = 0.0;
  for (Eigen::Index i = 0; i < c.size(); ++i) v = v * s + c(i);
  return v;
}

// Leading coefficient of the numerator of c (sI - a)^-1 b + d when it has `relative_degree` fewer
// zeros than poles: the first non-vanishing Markov parameter.
double leading_gain(const StateSpace& s, Eigen::Index relative_degree) {
  if (relative_degree <= 0) return s.d(0, 0);
  Eigen::MatrixXd v = s.b;
  for (Eigen::Index i = 1; i < relative_degree; ++i) v = s.a * v;
  return (s.c * v)(0, 0);
}

// Checked arguments of a design.
struct Arguments {
  int n = 0;
  int btype = kLowpass;
  bool analog = false;
  Eigen::VectorXd wn;
};

Arguments check_arguments(const Eigen::MatrixXd& n, const Eigen::MatrixXd& Wn,
                          const std::vector<std::string>& options) {
  const IirchkResult check = iirchk(Wn, options);
  if (!check.msg.empty()) throw Error(check.msg);
  if (n.size() == 1 && n(0) > 500) throw Error("Filter order too large.");
  if (n.size() != 1 || !std::isfinite(n(0)) || n(0) < 1 || n(0) != std::floor(n(0))) {
    throw Error("Filter order must be a real, positive integer.");
  }
  Arguments args;
  args.n = static_cast<int>(n(0));
  args.btype = check.btype;
  args.analog = check.analog != 0;
  args.wn = Eigen::Map<const Eigen::VectorXd>(Wn.data(), Wn.size());
  if (args.wn.size() == 2 && !(args.wn(0) < args.wn(1))) {
    throw Error("The cutoff frequencies must be in increasing order.");
  }
  return args;
}

// The designed state space with its analog centre (cut-off) and bandwidth.
struct Design {
  StateSpace ss;
  double Wo = 0.0;
  double Bw = 0.0;
};

Design design(const Arguments& args) {
  constexpr double fs = 2.0;
  Eigen::VectorXd u = args.wn;
  if (!args.analog) {
    for (Eigen::Index i = 0; i < u.size(); ++i) {
      u(i) = 2.0 * fs * std::tan(std::numbers::pi * args.wn(i) / fs);
    }
  }
  const Zpk proto = buttap(args.n);
  const StateSpace s = poles_to_ss(proto.p, proto.k);
  Design d;
  if (args.btype == kLowpass || args.btype == kHighpass) {
    d.Wo = u(0);
    d.ss =
        args.btype == kLowpass ? lp2lp(s.a, s.b, s.c, s.d, d.Wo) : lp2hp(s.a, s.b, s.c, s.d, d.Wo);
  } else {
    d.Bw = u(1) - u(0);
    d.Wo = std::sqrt(u(0) * u(1));
    d.ss = args.btype == kBandpass ? lp2bp(s.a, s.b, s.c, s.d, d.Wo, d.Bw)
                                   : lp2bs(s.a, s.b, s.c, s.d, d.Wo, d.Bw);
  }
  if (!args.analog) d.ss = bilinear(d.ss.a, d.ss.b, d.ss.c, d.ss.d, fs);
  return d;
}

Eigen::RowVectorXd denominator(const Design& d) {
  return poly(eigenvalues(d.ss.a)).real();
}

}  // namespace

IirchkResult iirchk(const Eigen::MatrixXd& Wn, const std::vector<std::string>& options) {
  IirchkResult r;
  r.btype = Wn.size() == 2 ? kBandpass : kLowpass;
  if (Wn.size() != 1 && Wn.size() != 2) {
    r.msg = "Wn must be a one or two element vector.";
    return r;
  }
  if (options.size() > 2) {
    r.msg = "Too many input arguments.";
    return r;
  }
  std::vector<std::string> opts;
  for (const std::string& o : options) opts.push_back(lower(o));
  if (!opts.empty()) {
    if (opts.back() == "s" || opts.back() == "z") {
      r.analog = opts.back() == "s" ? 1 : 0;
      opts.pop_back();
    } else if (opts.size() == 2) {
      r.msg = "Analog flag must be either 'z' or 's'.";
      return r;
    }
  }
  for (Eigen::Index i = 0; i < Wn.size(); ++i) {
    const double w = Wn.data()[i];
    if (!r.analog && !(w > 0.0 && w < 1.0)) {
      r.msg = "The cutoff frequencies must be within the interval of (0,1).";
      return r;
    }
    if (r.analog && !(w > 0.0 && std::isfinite(w))) {
      r.msg = "The cutoff frequencies must be greater than zero.";
      return r;
    }
  }
  if (opts.size() == 1) {
    const std::string& type = opts.front();
    if (type == "low") {
      r.btype = kLowpass;
    } else if (type == "bandpass") {
      r.btype = kBandpass;
    } else if (type == "high") {
      r.btype = kHighpass;
    } else if (type == "stop") {
      r.btype = kBandstop;
    } else {
      r.msg = options.size() == 1
                  ? "Option string must be one of 'high', 'stop', 'low', 'bandpass', 'z' or 's'."
                  : "Filter type must be one of 'high', 'stop', 'low', or 'bandpass'.";
      return r;
    }
    const Eigen::Index need = (r.btype == kBandpass || r.btype == kBandstop) ? 2 : 1;
    if (Wn.size() != need) {
      static const char* const names[] = {"", "low", "bandpass", "high", "stop"};
      r.msg = std::string("For the '") + names[r.btype] + "' filter option, Wn must have " +
              (need == 1 ? "1 element." : "2 elements.");
      return r;
    }
  }
  return r;
}

Zpk buttap(int n) {
  if (n < 0) throw Error("Filter order must be a real, positive integer.");
  Zpk r;
  r.z = Eigen::VectorXcd();
  r.p.resize(n);
  const int pairs = n / 2;
  for (int j = 0; j < pairs; ++j) {
    const double m = 2.0 * j + 1.0;
    const Complex pole =
        std::exp(Complex(0.0, std::numbers::pi * m / (2.0 * n) + std::numbers::pi / 2.0));
    r.p(j) = pole;
    r.p(pairs + j) = std::conj(pole);
  }
  if (n % 2 == 1) r.p(n - 1) = -1.0;
  Complex prod = 1.0;
  for (int i = 0; i < n; ++i) prod *= -r.p(i);
  r.k = prod.real();
  return r;
}

StateSpace lp2lp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo) {
  check_sizes(a, b, c, d);
  return StateSpace{Wo * a, Wo * b, c, d};
}

StateSpace lp2hp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo) {
  check_sizes(a, b, c, d);
  if (a.rows() == 0) return StateSpace{a, b, c, d};
  // s -> Wo / s: with ai = a^-1, c (Wo/s - a)^-1 b = -c ai b - c ai Wo (s - Wo ai)^-1 ai b.
  const Eigen::PartialPivLU<Eigen::MatrixXd> lu(a);
  const Eigen::MatrixXd ai = lu.inverse();
  return StateSpace{Wo * ai, -Wo * (ai * b), c * ai, d - c * ai * b};
}

StateSpace lp2bp(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo, double Bw) {
  check_sizes(a, b, c, d);
  // s -> (s^2 + Wo^2) / (Bw s): a second state block x2' = -Wo x1 closes the loop.
  const Eigen::Index m = a.rows();
  StateSpace s;
  s.a = Eigen::MatrixXd::Zero(2 * m, 2 * m);
  s.a.topLeftCorner(m, m) = Bw * a;
  s.a.topRightCorner(m, m) = Wo * Eigen::MatrixXd::Identity(m, m);
  s.a.bottomLeftCorner(m, m) = -Wo * Eigen::MatrixXd::Identity(m, m);
  s.b = Eigen::MatrixXd::Zero(2 * m, b.cols());
  s.b.topRows(m) = Bw * b;
  s.c = Eigen::MatrixXd::Zero(c.rows(), 2 * m);
  s.c.leftCols(m) = c;
  s.d = d;
  return s;
}

StateSpace lp2bs(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                 const Eigen::MatrixXd& d, double Wo, double Bw) {
  check_sizes(a, b, c, d);
  // s -> Bw s / (s^2 + Wo^2): the high-pass inversion s -> 1/s, then the band-pass structure.
  const StateSpace inverted = lp2hp(a, b, c, d, 1.0);
  return lp2bp(inverted.a, inverted.b, inverted.c, inverted.d, Wo, Bw);
}

StateSpace bilinear(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, const Eigen::MatrixXd& c,
                    const Eigen::MatrixXd& d, double fs) {
  check_sizes(a, b, c, d);
  if (a.rows() == 0) return StateSpace{a, b, c, d};
  const double t = 1.0 / fs;
  const double r = std::sqrt(t);
  const Eigen::MatrixXd eye = Eigen::MatrixXd::Identity(a.rows(), a.cols());
  const Eigen::MatrixXd t1 = eye + a * (t / 2.0);
  const Eigen::MatrixXd t2i = Eigen::PartialPivLU<Eigen::MatrixXd>(eye - a * (t / 2.0)).inverse();
  StateSpace s;
  s.a = t2i * t1;
  const Eigen::MatrixXd t2b = t2i * b;
  s.b = (t / r) * t2b;
  s.c = r * (c * t2i);
  s.d = c * t2b * (t / 2.0) + d;
  return s;
}

Eigen::RowVectorXd buttnum(int btype, int n, double Wo, double Bw, bool analog,
                           const Eigen::RowVectorXd& den) {
  (void)Bw;
  const Eigen::Index len = den.size();
  Eigen::RowVectorXd num = Eigen::RowVectorXd::Zero(len);
  if (analog) {
    switch (btype) {
      case kLowpass:  // constant numerator: the gain at s = 0 is 1
        num(len - 1) = den(len - 1);
        return num;
      case kHighpass:  // s^n: the gain at s -> infinity is 1
        num(0) = den(0);
        return num;
      case kBandpass: {  // s^n, gain 1 at the centre
        num(n) = 1.0;
        const Complex s0(0.0, -Wo);
        return (num * (polyval(den, s0) / polyval(num, s0)).real());
      }
      default: {  // (s^2 + Wo^2)^n, gain 1 at s = 0
        Eigen::VectorXcd roots(2 * n);
        for (int m = 0; m < 2 * n; ++m) roots(m) = Complex(0.0, m % 2 == 0 ? Wo : -Wo);
        num = poly(roots).real();
        return num * (den(len - 1) / num(len - 1));
      }
    }
  }
  const Eigen::VectorXcd roots = buttzeros(btype, n, Wo, Bw, false);
  num = poly(roots).real();
  double w = 0.0;
  if (btype == kHighpass) w = std::numbers::pi;
  if (btype == kBandpass) w = 2.0 * std::atan2(Wo, 4.0);
  Complex kd = 0.0;
  Complex kn = 0.0;
  for (Eigen::Index i = 0; i < len; ++i) {
    const Complex kern = std::exp(Complex(0.0, -w * static_cast<double>(i)));
    kd += kern * den(i);
    kn += kern * num(i);
  }
  return (num.cast<Complex>() * (kd / kn)).real();
}

Eigen::VectorXcd buttzeros(int btype, int n, double Wo, double Bw, bool analog) {
  (void)Bw;
  Eigen::VectorXcd z;
  if (analog) {
    switch (btype) {
      case kLowpass:
        return z;
      case kHighpass:
      case kBandpass:
        return Eigen::VectorXcd::Zero(n);
      default:
        z.resize(2 * n);
        for (int m = 0; m < 2 * n; ++m) z(m) = Complex(0.0, m % 2 == 0 ? Wo : -Wo);
        return z;
    }
  }
  switch (btype) {
    case kLowpass:
      return Eigen::VectorXcd::Constant(n, -1.0);
    case kHighpass:
      return Eigen::VectorXcd::Constant(n, 1.0);
    case kBandpass:
      z.resize(2 * n);
      z.head(n).setConstant(1.0);
      z.tail(n).setConstant(-1.0);
      return z;
    default: {
      const double w0 = 2.0 * std::atan2(Wo, 4.0);
      z.resize(2 * n);
      for (int m = 0; m < 2 * n; ++m) z(m) = std::exp(Complex(0.0, m % 2 == 0 ? w0 : -w0));
      return z;
    }
  }
}

std::vector<Eigen::MatrixXcd> butter(int nargout, const Eigen::MatrixXd& n,
                                     const Eigen::MatrixXd& Wn,
                                     const std::vector<std::string>& options) {
  if (nargout < 0 || nargout > 4) throw std::invalid_argument("butter: nargout must be 0..4");
  const Arguments args = check_arguments(n, Wn, options);
  const Design d = design(args);
  std::vector<Eigen::MatrixXcd> out;
  if (nargout <= 2) {
    const Eigen::RowVectorXd den = denominator(d);
    out.push_back(buttnum(args.btype, args.n, d.Wo, d.Bw, args.analog, den).cast<Complex>());
    if (nargout == 2) out.push_back(den.cast<Complex>());
  } else if (nargout == 3) {
    const Eigen::VectorXcd z = buttzeros(args.btype, args.n, d.Wo, d.Bw, args.analog);
    const Eigen::VectorXcd p = eigenvalues(d.ss.a);
    out.push_back(z);
    out.push_back(p);
    out.push_back(Eigen::MatrixXcd::Constant(1, 1, leading_gain(d.ss, p.size() - z.size())));
  } else {
    out.push_back(d.ss.a.cast<Complex>());
    out.push_back(d.ss.b.cast<Complex>());
    out.push_back(d.ss.c.cast<Complex>());
    out.push_back(d.ss.d.cast<Complex>());
  }
  return out;
}

ButterCoeffs butter_lowpass(int n, double Wn) {
  const Arguments args =
      check_arguments(Eigen::MatrixXd::Constant(1, 1, n), Eigen::MatrixXd::Constant(1, 1, Wn), {});
  const Design d = design(args);
  ButterCoeffs r;
  r.a = denominator(d);
  r.b = buttnum(args.btype, args.n, d.Wo, d.Bw, args.analog, r.a);
  return r;
}

}  // namespace ziva
