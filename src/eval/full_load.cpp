#include "eval/full_load.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/error.h"
#include "base/warning.h"
#include "eval/coast_loss.h"
#include "eval/smoothing.h"
#include "eval/wav2v.h"
#include "params/channels.h"
#include "ui/messages.h"
#include "ui/strings.h"

namespace ziva {

namespace {

// Running median of five samples (fewer at the ends): single outliers of a noisy trace go.
Eigen::RowVectorXd median5(const Eigen::RowVectorXd& x) {
  const Eigen::Index n = x.size();
  Eigen::RowVectorXd y(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const Eigen::Index a = std::max<Eigen::Index>(i - 2, 0);
    const Eigen::Index b = std::min<Eigen::Index>(i + 2, n - 1);
    std::vector<double> w(x.data() + a, x.data() + b + 1);
    y(i) = median_of(std::move(w));
  }
  return y;
}

// Least-squares slope of x over the samples within ±half seconds of each sample.
Eigen::RowVectorXd local_slope(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& x,
                               double half) {
  const Eigen::Index n = t.size();
  Eigen::RowVectorXd slope = Eigen::RowVectorXd::Zero(n);
  const double t0 = n > 0 ? t(0) : 0;
  double s1 = 0, st = 0, sx = 0, stt = 0, stx = 0;
  Eigen::Index a = 0, b = 0;  // window [a, b)
  for (Eigen::Index i = 0; i < n; ++i) {
    while (b < n && t(b) <= t(i) + half) {
      const double u = t(b) - t0;
      s1 += 1, st += u, sx += x(b), stt += u * u, stx += u * x(b);
      ++b;
    }
    while (t(a) < t(i) - half) {
      const double u = t(a) - t0;
      s1 -= 1, st -= u, sx -= x(a), stt -= u * u, stx -= u * x(a);
      ++a;
    }
    const double den = s1 * stt - st * st;
    if (s1 >= 3 && den > 1e-12 * s1 * s1) slope(i) = (s1 * stx - st * sx) / den;
  }
  return slope;
}

// The time of the corner between two straight pieces that meet, fitted by least squares to the
// samples a … b; the candidates are the sample times. Also the slope change at the corner.
struct Corner {
  double time = 0;
  double bend = 0;  // right slope − left slope
  bool found = false;
};

Corner fit_corner(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& x, Eigen::Index a,
                  Eigen::Index b) {
  Corner best;
  double best_sse = 0;
  for (Eigen::Index k = a + 2; k + 2 <= b; ++k) {
    const double tau = t(k);
    // Normal equations of x ≈ c + p·min(t − τ, 0) + q·max(t − τ, 0).
    Eigen::Matrix3d N = Eigen::Matrix3d::Zero();
    Eigen::Vector3d r = Eigen::Vector3d::Zero();
    for (Eigen::Index i = a; i <= b; ++i) {
      const double d = t(i) - tau;
      const Eigen::Vector3d f(1, std::min(d, 0.0), std::max(d, 0.0));
      N += f * f.transpose();
      r += f * x(i);
    }
    const Eigen::Vector3d c = N.ldlt().solve(r);
    double sse = 0;
    for (Eigen::Index i = a; i <= b; ++i) {
      const double d = t(i) - tau;
      const double e = x(i) - (c(0) + c(1) * std::min(d, 0.0) + c(2) * std::max(d, 0.0));
      sse += e * e;
    }
    if (!best.found || sse < best_sse) {
      best_sse = sse;
      best.time = tau;
      best.bend = c(2) - c(1);
      best.found = true;
    }
  }
  return best;
}

// Samples whose times lie within [from, to].
std::pair<Eigen::Index, Eigen::Index> span_of(const Eigen::RowVectorXd& t, double from, double to) {
  const double* begin = t.data();
  const double* end = t.data() + t.size();
  const auto a = static_cast<Eigen::Index>(std::lower_bound(begin, end, from) - begin);
  const auto b = static_cast<Eigen::Index>(std::upper_bound(begin, end, to) - begin) - 1;
  return {a, b};
}

}  // namespace

std::optional<IndexRange> find_full_load(const Eigen::RowVectorXd& t, const Eigen::RowVectorXd& v,
                                         const Eigen::RowVectorXd& rpm, double resolution,
                                         const FullLoadSettings& s) {
  const Eigen::Index n = t.size();
  if (n < 8 || v.size() != n || rpm.size() != n) return std::nullopt;
  const double step = median_spacing(t);
  if (!(step > 0)) return std::nullopt;
  const Eigen::RowVectorXd vm = median5(v);
  const Eigen::RowVectorXd nm = median5(rpm);
  const double half = std::max(s.slope_window, 5 * step) / 2;
  const Eigen::RowVectorXd av = local_slope(t, vm, half);
  const Eigen::RowVectorXd an = local_slope(t, nm, half);

  // Rising where both the speed and the engine speed rise steadily.
  const double v_typ = std::abs(median_of(std::vector<double>(vm.data(), vm.data() + n)));
  const double n_typ = std::abs(median_of(std::vector<double>(nm.data(), nm.data() + n)));
  const double v_floor = std::max(s.rise_share * av.maxCoeff(), s.min_rise * v_typ);
  const double n_floor = std::max(s.rise_share * an.maxCoeff(), s.min_rise * n_typ);
  if (!(v_floor > 0) || !(n_floor > 0)) return std::nullopt;
  std::vector<IndexRange> parts;
  for (Eigen::Index i = 0; i < n; ++i) {
    if (!(av(i) > v_floor && an(i) > n_floor)) continue;
    if (!parts.empty() && t(i) - t(parts.back().last) <= s.max_dip) {
      parts.back().last = i;
    } else {
      parts.push_back({i, i});
    }
  }
  // The part with the largest rise of the speed.
  const IndexRange* best = nullptr;
  double best_gain = 0;
  for (const IndexRange& p : parts) {
    const double gain = vm(p.last) - vm(p.first);
    if (t(p.last) - t(p.first) < s.min_length) continue;
    if (!(gain > s.min_gain * std::abs(vm(p.first)))) continue;
    // A steady rise: the raw speed seldom falls back by more than a twentieth between samples.
    Eigen::Index drops = 0;
    for (Eigen::Index i = p.first; i < p.last; ++i)
      if (v(i + 1) < 0.95 * v(i) || rpm(i + 1) < 0.95 * rpm(i)) ++drops;
    if (static_cast<double>(drops) > s.max_drops * static_cast<double>(p.last - p.first)) continue;
    if (gain > best_gain) best_gain = gain, best = &p;
  }
  if (!best) return std::nullopt;

  // The corners of the speed trace near the rough ends give the exact start and end.
  double start = t(best->first);
  double end = t(best->last);
  const double bend_floor = v_floor / 2;
  {
    const auto [a, b] = span_of(t, start - s.corner_span, start + s.corner_span);
    const Corner c = fit_corner(t, vm, a, b);
    if (c.found && c.bend > bend_floor) start = c.time;
  }
  {
    const auto [a, b] = span_of(t, end - s.corner_span, end + s.corner_span);
    const Corner c = fit_corner(t, vm, a, b);
    if (c.found && -c.bend > bend_floor) end = c.time;
  }
  const double margin = resolution / 2 + step;
  const auto [first, last] = span_of(t, start + margin, end - margin);
  if (last - first + 1 < 8 || t(last) - t(first) < s.min_length / 2) return std::nullopt;
  return IndexRange{first, last};
}

double trace_resolution(const ParSet& par) {
  const std::optional<ChannelRow> row = channel_row(par.sig_ch1, par.sig_ch2);
  return row && row->conversion == Conversion::Pulses ? 0 : tone_resolution();
}

std::optional<IndexRange> evaluated_range(const RawTraces& raw, const ParSet& par) {
  if (par.auto_trim == 0) return IndexRange{0, raw.t.size() - 1};
  return find_full_load(raw.t, raw.v, raw.rpm, trace_resolution(par));
}

IndexRange full_load_range(const RawTraces& raw, const ParSet& par) {
  const std::optional<IndexRange> r = evaluated_range(raw, par);
  if (!r) throw Error(st_text(strings(), "no_full_load"));
  return *r;
}

DiagData evaluate_range(const RawTraces& raw, const ParSet& par, const IndexRange& r) {
  const bool whole = r.first == 0 && r.last == raw.t.size() - 1;
  if (par.coast_loss == 0) {
    if (whole) return compute_results(raw.t, raw.v, raw.rpm, par);
    const Eigen::Index n = r.last - r.first + 1;
    return compute_results(raw.t.segment(r.first, n), raw.v.segment(r.first, n),
                           raw.rpm.segment(r.first, n), par);
  }
  const RoadLoad load = measure_road_load(raw, par);
  const Eigen::Index n = r.last - r.first + 1;
  const RunQuantities q = compute_quantities(raw.t.segment(r.first, n), raw.v.segment(r.first, n),
                                             raw.rpm.segment(r.first, n), par, &load);
  // Below the coast the load is continued, not measured: say so when the run goes well below.
  const double lowest = q.v.minCoeff() / 3.6;
  if (lowest < load.low * 2 / 3)
    warning(messages::coast_below(std::round(q.v.minCoeff() * 10) / 10,
                                  std::round(load.low * 36) / 10));
  DiagData d = pick_axes(q, par);
  d.load = load;
  d.load_coefficients = reported_coefficients(load, par);
  Eigen::Index peak = -1;
  for (Eigen::Index i = 0; i < q.P.size(); ++i)
    if (std::isfinite(q.P(i)) && (peak < 0 || q.P(i) > q.P(peak))) peak = i;
  d.loss_at_peak_kw = peak < 0 ? std::nan("") : q.loss(peak);
  return d;
}

DiagData evaluate_traces(const RawTraces& raw, const ParSet& par) {
  return evaluate_range(raw, par, full_load_range(raw, par));
}

}  // namespace ziva
