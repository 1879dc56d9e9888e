#include "eval/coast_loss.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "base/error.h"
#include "eval/full_load.h"
#include "eval/results.h"
#include "eval/smoothing.h"
#include "params/channels.h"
#include "ui/messages.h"

namespace ziva {

namespace {

constexpr double kTukey = 4.685;
constexpr double kMadToSigma = 1.4826;
constexpr int kMaxRounds = 50;
constexpr double kRiseWindow = 1;  // s, local line that tells whether the speed still falls

double polyval(const Eigen::VectorXd& c, double x) {
  double y = 0;
  for (Eigen::Index k = c.size(); k-- > 0;) y = y * x + c(k);
  return y;
}

// Weighted least squares of the polynomial with the columns V; with `nonnegative` the best
// solution whose coefficients are all ≥ 0, found among the least-squares solutions on every subset
// of the columns (the others held at zero) — few columns, so the enumeration is exact and cheap.
Eigen::VectorXd weighted_solve(const Eigen::MatrixXd& V, const Eigen::VectorXd& y,
                               const Eigen::VectorXd& w, bool nonnegative) {
  const Eigen::VectorXd s = w.cwiseSqrt();
  const Eigen::MatrixXd A = s.asDiagonal() * V;
  const Eigen::VectorXd b = s.cwiseProduct(y);
  const Eigen::VectorXd full = A.colPivHouseholderQr().solve(b);
  if (!nonnegative || full.minCoeff() >= 0) return full;
  const auto terms = static_cast<int>(V.cols());
  Eigen::VectorXd best = Eigen::VectorXd::Zero(terms);
  double best_sse = b.squaredNorm();
  for (int mask = 1; mask < (1 << terms) - 1; ++mask) {
    std::vector<Eigen::Index> cols;
    for (int k = 0; k < terms; ++k)
      if (mask & (1 << k)) cols.push_back(k);
    Eigen::MatrixXd sub(A.rows(), static_cast<Eigen::Index>(cols.size()));
    for (std::size_t j = 0; j < cols.size(); ++j)
      sub.col(static_cast<Eigen::Index>(j)) = A.col(cols[j]);
    const Eigen::VectorXd c = sub.colPivHouseholderQr().solve(b);
    if (c.minCoeff() < 0) continue;
    const double sse = (sub * c - b).squaredNorm();
    if (sse < best_sse) {
      best_sse = sse;
      best.setZero();
      for (std::size_t j = 0; j < cols.size(); ++j) best(cols[j]) = c(static_cast<Eigen::Index>(j));
    }
  }
  return best;
}

// Coefficients of p(u) with u = (x − m)/h as coefficients in x.
Eigen::VectorXd unscale(const Eigen::VectorXd& b, double m, double h) {
  const Eigen::Index n = b.size();
  Eigen::VectorXd c = Eigen::VectorXd::Zero(n);
  for (Eigen::Index k = 0; k < n; ++k) {
    // b_k·((x − m)/h)^k = b_k/h^k · Σ_j binom(k, j)·x^j·(−m)^(k−j)
    double binom = 1;
    for (Eigen::Index j = 0; j <= k; ++j) {
      c(j) += b(k) / std::pow(h, static_cast<double>(k)) * binom *
              std::pow(-m, static_cast<double>(k - j));
      binom = binom * static_cast<double>(k - j) / static_cast<double>(j + 1);
    }
  }
  return c;
}

// The tone's averaging time for the traces of the channel choice (0 for pulses).
double start_margin(const RawTraces& raw, const ParSet& par) {
  return trace_resolution(par) + 2 * median_spacing(raw.t);
}

// First index with t ≥ from, at or after `first`.
Eigen::Index index_at(const Eigen::RowVectorXd& t, Eigen::Index first, double from) {
  while (first < t.size() && t(first) < from) ++first;
  return first;
}

// Index of the first largest speed from `from` on.
Eigen::Index top_speed(const Eigen::RowVectorXd& v, Eigen::Index from) {
  Eigen::Index best = from;
  for (Eigen::Index i = from; i < v.size(); ++i)
    if (v(i) > v(best)) best = i;
  return best;
}

// The last sample before the speed (slope of a local line) stops falling, from `first` on.
Eigen::Index while_falling(const RawTraces& raw, Eigen::Index first, Eigen::Index last) {
  if (last - first < 3) return last;
  const Eigen::Index n = last - first + 1;
  const LocalFit f = local_fit(raw.t.segment(first, n), raw.v.segment(first, n), kRiseWindow, 1);
  for (Eigen::Index i = 0; i < n; ++i)
    if (!(f.slope(i) < 0)) return std::max(first, first + i - 1);
  return last;
}

bool engine_and_speed(Conversion c) {
  return c == Conversion::AlternatorPulses || c == Conversion::AlternatorRoller;
}

double kmh(double v) {
  return std::round(v * 3.6 * 10) / 10;
}

}  // namespace

RobustFit robust_polyfit(const Eigen::VectorXd& x, const Eigen::VectorXd& y, int degree,
                         bool nonnegative) {
  const Eigen::Index n = x.size();
  const Eigen::Index terms = degree + 1;
  if (degree < 0 || y.size() != n || n <= terms) throw Error("Too few samples for the fit.");
  const double lo = x.minCoeff(), hi = x.maxCoeff();
  std::vector<double> distinct(x.data(), x.data() + n);
  std::sort(distinct.begin(), distinct.end());
  if (std::unique(distinct.begin(), distinct.end()) - distinct.begin() < terms)
    throw Error("Too few distinct abscissae for the fit.");
  // Scaled to about −1 … 1 for the conditioning; to 0 … 1 when the signs are to be kept.
  const double m = nonnegative ? 0 : (lo + hi) / 2;
  const double h = nonnegative ? std::max(std::abs(lo), std::abs(hi)) : (hi - lo) / 2;
  Eigen::MatrixXd V(n, terms);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double u = (x(i) - m) / h;
    double p = 1;
    for (Eigen::Index k = 0; k < terms; ++k, p *= u) V(i, k) = p;
  }
  RobustFit out;
  out.weights = Eigen::VectorXd::Ones(n);
  Eigen::VectorXd b = weighted_solve(V, y, out.weights, nonnegative);
  for (int round = 0; round < kMaxRounds; ++round) {
    const Eigen::VectorXd r = y - V * b;
    const Eigen::VectorXd a = r.cwiseAbs();
    out.scale = kMadToSigma * median_of(std::vector<double>(a.data(), a.data() + n));
    if (!(out.scale > 0)) break;  // an exact fit
    const double c = kTukey * out.scale;
    for (Eigen::Index i = 0; i < n; ++i) {
      const double u = r(i) / c;
      out.weights(i) = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
    }
    const Eigen::VectorXd next = weighted_solve(V, y, out.weights, nonnegative);
    const double change = (next - b).cwiseAbs().maxCoeff();
    b = next;
    if (change <= 1e-10 * std::max(1.0, b.cwiseAbs().maxCoeff())) break;
  }
  out.coeffs = unscale(b, m, h);
  return out;
}

double RoadLoad::force(double v) const {
  const auto p = [&](double x) { return c(0) + x * (c(1) + x * c(2)); };
  double f = p(v);
  if (v < low) {
    // The smallest value of the curve between v and low: it never rises towards rest.
    f = std::min(f, p(low));
    if (c(2) > 0) {
      const double vertex = -c(1) / (2 * c(2));
      if (vertex > v && vertex < low) f = std::min(f, p(vertex));
    }
  }
  return std::max(f, 0.0);
}

CoastRange find_coast(const RawTraces& raw, const ParSet& par, const CoastSettings& s) {
  const std::optional<ChannelRow> row = channel_row(par.sig_ch1, par.sig_ch2);
  if (!row || row->conversion == Conversion::Alternator) throw Error(messages::coast_no_speed());
  const Eigen::Index n = raw.t.size();
  if (n < 8) throw Error(messages::coast_not_found(engine_and_speed(row->conversion)));
  const std::optional<IndexRange> full =
      find_full_load(raw.t, raw.v, raw.rpm, trace_resolution(par));
  const Eigen::Index top = top_speed(raw.v, full ? full->first : 0);

  CoastRange c;
  if (engine_and_speed(row->conversion)) {
    // The run's own ratio while the engine drives.
    std::vector<double> ratios;
    const Eigen::Index a = full ? full->first : 0;
    const Eigen::Index b = full ? full->last : top;
    for (Eigen::Index i = a; i <= b; ++i)
      if (raw.v(i) > 0 && std::isfinite(raw.rpm(i))) ratios.push_back(raw.rpm(i) / raw.v(i));
    const double ratio = median_of(std::move(ratios));
    auto apart = [&](Eigen::Index i) {
      const double coupled = ratio * raw.v(i);
      return !(std::abs(raw.rpm(i) - coupled) <= s.decoupled * coupled);
    };
    // The first stretch of `hold` seconds that stays apart.
    std::optional<Eigen::Index> start;
    Eigen::Index run_from = -1;
    for (Eigen::Index i = full ? full->last : top; i < n; ++i) {
      if (!apart(i)) {
        run_from = -1;
        continue;
      }
      if (run_from < 0) run_from = i;
      if (raw.t(i) - raw.t(run_from) >= s.hold) {
        start = run_from;
        break;
      }
    }
    if (!start) throw Error(messages::coast_not_found(true));
    Eigen::Index last = *start;
    for (Eigen::Index i = *start; i < n; ++i) {
      if (apart(i)) {
        last = i;
      } else if (raw.t(i) - raw.t(last) > s.hold) {
        break;
      }
    }
    c.first = *start;
    c.last = last;
    c.engine = true;
  } else {
    c.first = top;
    c.last = n - 1;
  }
  c.first = index_at(raw.t, c.first, raw.t(c.first) + start_margin(raw, par));
  if (c.first >= c.last) throw Error(messages::coast_not_found(engine_and_speed(row->conversion)));
  c.last = while_falling(raw, c.first, c.last);
  return c;
}

RoadLoad measure_road_load(const RawTraces& raw, const ParSet& par, const CoastSettings& s) {
  const CoastRange c = find_coast(raw, par, s);
  const Eigen::Index n = c.last - c.first + 1;
  const Eigen::RowVectorXd t = raw.t.segment(c.first, n);
  const Eigen::RowVectorXd v = raw.v.segment(c.first, n);
  const double seconds = t(n - 1) - t(0);
  const double needed = c.engine ? s.min_seconds : s.min_seconds_speed_only;
  if (seconds < needed) throw Error(messages::coast_too_short(seconds, needed));
  // Speeds and decelerations of the local fits, so that single wrong samples do not set the range.
  const LocalFit f = local_fit(t, v, s.slope_window, 2);
  const Eigen::VectorXd speed = f.value.transpose();
  const double high = speed.maxCoeff(), low = speed.minCoeff();
  if (!(high - low >= s.min_span * high))
    throw Error(messages::coast_span_too_small(kmh(high), kmh(low), s.min_span));

  RoadLoad load;
  load.roller = is_roller_run(par.sig_ch1, par.sig_ch2);
  const double w = 2 * kFormulaPi / par.roller_perimeter_m;
  const double mass = load.roller ? par.roller_inertia_kgm2 * w * w : par.total_mass_kg;
  const Eigen::VectorXd force = -mass * f.slope.transpose();
  // The line, and the quadratic when its curvature earns its coefficient: Schwarz's criterion
  // over the independent slopes of the coast (one per slope window).
  const double independent = std::max(seconds / s.slope_window, 2.0);
  auto criterion = [&](const RobustFit& g) {
    double sse = 0, weight = 0;
    for (Eigen::Index i = 0; i < n; ++i) {
      const double r = force(i) - polyval(g.coeffs, speed(i));
      sse += g.weights(i) * r * r;
      weight += g.weights(i);
    }
    const double mse = std::max(sse / std::max(weight, 1.0), 1e-300);
    return independent * std::log(mse) +
           static_cast<double>(g.coeffs.size()) * std::log(independent);
  };
  const RobustFit line = robust_polyfit(speed, force, 1, true);
  const RobustFit curve = robust_polyfit(speed, force, 2, true);
  const RobustFit& fit = criterion(curve) < criterion(line) ? curve : line;
  load.c.head(fit.coeffs.size()) = fit.coeffs;
  load.low = low;
  load.high = high;

  const double kept = (fit.weights.array() > 0).cast<double>().mean();
  const double mean = force.mean();
  bool positive = true;
  for (int k = 0; k <= 20; ++k)
    positive = positive && polyval(fit.coeffs, low + (high - low) * k / 20) > 0;
  if (!positive || !(mean > 0)) throw Error(messages::coast_not_decelerating());
  if (kept < s.min_inliers || !(fit.scale <= s.max_scatter * mean))
    throw Error(messages::coast_irregular(fit.scale / mean, 1 - kept));
  return load;
}

Eigen::Vector3d reported_coefficients(const RoadLoad& load, const ParSet& par) {
  if (!load.roller) return load.c;
  const double r = par.roller_perimeter_m / (2 * kFormulaPi);
  return {load.c(0) * r, load.c(1) * r * r, load.c(2) * r * r * r};
}

}  // namespace ziva
