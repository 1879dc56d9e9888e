#include "eval/dig2v.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>

#include "base/error.h"
#include "base/threads.h"
#include "base/vectors.h"
#include "dsp/butter.h"
#include "dsp/filtfilt.h"
#include "eval/trace_quality.h"

namespace ziva {

namespace {

constexpr double kEdgeThreshold = -0.15;
constexpr double kSpeedCeiling = 83.33333333333333;  // 300 km/h in m/s
constexpr double kSpikeTolerance = 0.1;

// The samples of a channel: a column, a row, or the mean of two columns.
struct Channel {
  const double* a = nullptr;
  const double* b = nullptr;  // second column to average with, or null
  Eigen::Index n = 0;
  double at(Eigen::Index i) const { return b ? (a[i] + b[i]) / 2 : a[i]; }
};

Channel channel_of(const Eigen::Ref<const Eigen::MatrixXd>& y) {
  Channel c;
  if (y.size() == 0) return c;
  if (y.cols() == 2) {
    c.a = y.col(0).data();
    c.b = y.col(1).data();
    c.n = y.rows();
  } else if (y.cols() == 1) {
    c.a = y.data();
    c.n = y.rows();
  } else {
    throw Error("The pulse channel must be one column or two.");
  }
  return c;
}

// Edge samples n in [begin, end) of one column a (each n < length − 1), in order. Edges are rare:
// runs of samples are first checked for any edge, four differences at a time (as two pairs
// where the processor has no AVX2).
ZIVA_VECTOR_CLONES
void find_edges_in_column(const double* a, Eigen::Index begin, Eigen::Index end,
                          std::vector<Eigen::Index>& out) {
  constexpr Eigen::Index kRun = 64;
  using Quad = double __attribute__((vector_size(32)));
  using QuadMask = std::int64_t __attribute__((vector_size(32)));
  const Quad threshold{kEdgeThreshold, kEdgeThreshold, kEdgeThreshold, kEdgeThreshold};
  Eigen::Index n = begin;
  for (; n + kRun <= end; n += kRun) {
    QuadMask hits{0, 0, 0, 0};
    for (Eigen::Index k = n; k < n + kRun; k += 4) {
      Quad next, here;
      std::memcpy(&next, a + k + 1, sizeof next);
      std::memcpy(&here, a + k, sizeof here);
      hits |= next - here < threshold;
    }
    if ((hits[0] | hits[1] | hits[2] | hits[3]) == 0) continue;
    for (Eigen::Index k = n; k < n + kRun; ++k)
      if (a[k + 1] - a[k] < kEdgeThreshold) out.push_back(k);
  }
  for (; n < end; ++n)
    if (a[n + 1] - a[n] < kEdgeThreshold) out.push_back(n);
}

// The same for a channel.
void find_edges(const Channel& c, Eigen::Index begin, Eigen::Index end,
                std::vector<Eigen::Index>& out) {
  if (begin >= end) return;
  if (c.b == nullptr) {
    find_edges_in_column(c.a, begin, end, out);
    return;
  }
  for (Eigen::Index n = begin; n < end; ++n)
    if (c.at(n + 1) - c.at(n) < kEdgeThreshold) out.push_back(n);
}

// Of adjacent edge samples only the later one stays (judged on the detected list).
bool superseded(const std::vector<Eigen::Index>& raw, std::size_t i) {
  return i + 1 < raw.size() && raw[i + 1] == raw[i] + 1;
}

std::vector<Eigen::Index> later_of_adjacent(const std::vector<Eigen::Index>& raw) {
  std::vector<Eigen::Index> edges;
  edges.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (!superseded(raw, i)) edges.push_back(raw[i]);
  return edges;
}

// refine_edges of the edge n, the channel read through at(k), within begin … end.
template <class At>
double refined_edge(const At& at, Eigen::Index n, Eigen::Index begin, Eigen::Index end) {
  Eigen::Index top = begin;
  for (Eigen::Index k = begin; k <= n; ++k)
    if (at(k) >= at(top)) top = k;
  double low = at(n + 1);
  for (Eigen::Index k = n + 2; k <= end; ++k) low = std::min(low, at(k));
  const double level = (at(top) + low) / 2;
  for (Eigen::Index k = top; k < end; ++k) {
    const double a = at(k), b = at(k + 1);
    if (a >= level && b < level) return static_cast<double>(k) + (a - level) / (a - b);
  }
  return static_cast<double>(n) + 0.5;
}

}  // namespace

std::vector<Eigen::Index> pulse_edges(const Eigen::Ref<const Eigen::MatrixXd>& y, int threads) {
  const Channel c = channel_of(y);
  std::vector<Eigen::Index> raw;
  const Eigen::Index pairs = std::max<Eigen::Index>(c.n - 1, 0);
  const int parts = pairs < (1 << 16) ? 1 : std::clamp(threads, 1, 2);
  if (parts == 1) {
    find_edges(c, 0, pairs, raw);
  } else {
    const Eigen::Index mid = pairs / 2;
    std::vector<Eigen::Index> second;
    std::thread worker = start_beside([&] { find_edges(c, mid, pairs, second); });
    find_edges(c, 0, mid, raw);
    worker.join();
    raw.insert(raw.end(), second.begin(), second.end());
  }
  return later_of_adjacent(raw);
}

void EdgeFinder::feed(const double* y, Eigen::Index n, Eigen::Index before, Eigen::Index after) {
  if (n <= 0) return;
  Channel c;
  c.a = y;
  c.n = n;
  if (seen_ > start_ && y[0] - last_ < kEdgeThreshold) raw_.push_back(seen_ - 1);
  const std::size_t found = raw_.size();
  find_edges(c, 0, n - 1, raw_);
  for (std::size_t i = found; i < raw_.size(); ++i) raw_[i] += seen_;
  if (refine_) {
    const Eigen::Index first = seen_ - before, last = seen_ + n + after - 1;
    for (std::size_t i = raw_refined_.size(); i < raw_.size(); ++i) {
      const Eigen::Index k = raw_[i];
      raw_refined_.push_back(refined_edge([&](Eigen::Index j) { return y[j - seen_]; }, k,
                                          std::max(k - 3, first), std::min(k + 3, last)));
    }
  }
  seen_ += n;
  last_ = y[n - 1];
}

void EdgeFinder::append(const EdgeFinder& next) {
  raw_.insert(raw_.end(), next.raw_.begin(), next.raw_.end());
  raw_refined_.insert(raw_refined_.end(), next.raw_refined_.begin(), next.raw_refined_.end());
  seen_ = next.seen_;
  last_ = next.last_;
}

std::vector<Eigen::Index> EdgeFinder::finish() {
  return later_of_adjacent(raw_);
}

std::vector<double> EdgeFinder::refined() const {
  std::vector<double> out;
  for (std::size_t i = 0; i < raw_refined_.size(); ++i)
    if (!superseded(raw_, i)) out.push_back(raw_refined_[i]);
  return out;
}

SpeedTrace interval_speeds(const std::vector<Eigen::Index>& edges, double FS, double u, double W) {
  SpeedTrace out;
  const std::size_t k = edges.size() < 2 ? 0 : edges.size() - 1;
  out.t.resize(static_cast<Eigen::Index>(k));
  out.v.resize(static_cast<Eigen::Index>(k));
  Eigen::Index kept = 0;
  for (std::size_t i = 0; i < k; ++i) {
    const double t0 = static_cast<double>(edges[i]) / FS;
    const double dt = static_cast<double>(edges[i + 1]) / FS - t0;
    const double speed = (u / dt) / W;
    if (speed > kSpeedCeiling) continue;
    out.t(kept) = t0 + dt;
    out.v(kept) = speed;
    ++kept;
  }
  out.t.conservativeResize(kept);
  out.v.conservativeResize(kept);
  return out;
}

std::vector<double> refine_edges(const Eigen::Ref<const Eigen::MatrixXd>& y,
                                 const std::vector<Eigen::Index>& edges) {
  const Channel c = channel_of(y);
  std::vector<double> out;
  out.reserve(edges.size());
  for (const Eigen::Index n : edges)
    out.push_back(refined_edge([&](Eigen::Index k) { return c.at(k); }, n,
                               std::max<Eigen::Index>(n - 3, 0),
                               std::min<Eigen::Index>(n + 3, c.n - 1)));
  return out;
}

SpeedTrace interval_speeds_mid(const std::vector<double>& edges, double FS, double u, double W) {
  SpeedTrace out;
  const std::size_t k = edges.size() < 2 ? 0 : edges.size() - 1;
  out.t.resize(static_cast<Eigen::Index>(k));
  out.v.resize(static_cast<Eigen::Index>(k));
  Eigen::Index kept = 0;
  for (std::size_t i = 0; i < k; ++i) {
    const double dt = (edges[i + 1] - edges[i]) / FS;
    const double speed = (u / dt) / W;
    if (!(speed <= kSpeedCeiling)) continue;
    out.t(kept) = (edges[i] + edges[i + 1]) / 2 / FS;
    out.v(kept) = speed;
    ++kept;
  }
  out.t.conservativeResize(kept);
  out.v.conservativeResize(kept);
  return out;
}

SpeedTrace remove_spikes(const SpeedTrace& s, double quantum) {
  const ButterCoeffs f = butter_lowpass(3, 0.25);
  const Eigen::MatrixXd smooth = filtfilt(f.b, f.a, Eigen::MatrixXd(s.v));
  const Eigen::Index n = s.v.size();
  SpeedTrace out;
  out.t.resize(n);
  out.v.resize(n);
  Eigen::Index kept = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double tolerance = kSpikeTolerance + 2 * quantum * s.v(i) * s.v(i);
    if (smooth(i) - s.v(i) < -tolerance) continue;
    out.t(kept) = s.t(i);
    out.v(kept) = s.v(i);
    ++kept;
  }
  out.t.conservativeResize(kept);
  out.v.conservativeResize(kept);
  return out;
}

namespace {

// The quality of a pulse trace: intervals dropped above the speed ceiling and speeds more than a
// fifth away from the median of their five neighbours count as weak.
TraceQuality pulse_quality(std::size_t edge_count, const SpeedTrace& speeds) {
  const Eigen::Index n = speeds.v.size();
  std::vector<bool> weak(static_cast<std::size_t>(n));
  for (Eigen::Index i = 0; i < n; ++i) {
    const Eigen::Index a = std::max<Eigen::Index>(i - 2, 0);
    const Eigen::Index b = std::min<Eigen::Index>(i + 2, n - 1);
    std::vector<double> w(speeds.v.data() + a, speeds.v.data() + b + 1);
    std::nth_element(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(w.size() / 2), w.end());
    const double med = w[w.size() / 2];
    weak[static_cast<std::size_t>(i)] = std::abs(speeds.v(i) - med) > 0.2 * med;
  }
  TraceQuality q = trace_quality(speeds.t, speeds.v, weak);
  const std::size_t intervals = edge_count < 2 ? 0 : edge_count - 1;
  if (intervals > 0) {
    const double dropped = static_cast<double>(intervals) - static_cast<double>(n);
    q.weak_share =
        (q.weak_share * static_cast<double>(n) + dropped) / static_cast<double>(intervals);
  }
  return q;
}

SpeedTrace convert(
    Progress& progress, const std::function<std::vector<Eigen::Index>()>& find_edges,
    const std::function<std::vector<double>(const std::vector<Eigen::Index>&)>& refine, double FS,
    double u, double W) {
  struct Closer {
    Progress& p;
    ~Closer() { p.close(); }
  } closer{progress};
  progress.show();
  progress.advance(0.45);
  const std::vector<Eigen::Index> edges = find_edges();
  progress.advance(0.48);
  const SpeedTrace speeds =
      refine ? interval_speeds_mid(refine(edges), FS, u, W) : interval_speeds(edges, FS, u, W);
  progress.advance(0.73);
  SpeedTrace trace = remove_spikes(speeds, refine ? W / (u * FS) : 0);
  trace.quality = pulse_quality(edges.size(), speeds);
  progress.advance(0.99);
  return trace;
}

}  // namespace

SpeedTrace dig2v(Progress& progress, const Eigen::Ref<const Eigen::MatrixXd>& Y, double FS,
                 double u, double W, Estimator estimator) {
  std::function<std::vector<double>(const std::vector<Eigen::Index>&)> refine;
  if (estimator == Estimator::precise)
    refine = [&](const std::vector<Eigen::Index>& e) { return refine_edges(Y, e); };
  return convert(
      progress, [&] { return pulse_edges(Y); }, refine, FS, u, W);
}

SpeedTrace dig2v_from_edges(Progress& progress, const std::vector<Eigen::Index>& edges, double FS,
                            double u, double W, const std::vector<double>& refined) {
  std::function<std::vector<double>(const std::vector<Eigen::Index>&)> refine;
  if (!refined.empty()) refine = [&](const std::vector<Eigen::Index>&) { return refined; };
  return convert(
      progress, [&] { return edges; }, refine, FS, u, W);
}

}  // namespace ziva
