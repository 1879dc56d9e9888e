#include "eval/wav2v.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <thread>

#include "base/error.h"
#include "base/threads.h"
#include "base/vectors.h"
#include "dsp/hanning.h"
#include "dsp/resample.h"
#include "dsp/specgram.h"
#include "eval/trace_quality.h"

#if ZIVA_X86_VECTORS
#include <immintrin.h>
#endif

namespace ziva {

namespace {

constexpr double kWindowUnit = 441;
constexpr double kWindowFactor = 4;  // ms
constexpr double kOverlapFraction = 0.9;
constexpr Eigen::Index kCandidates = 1551;
constexpr Eigen::Index kBatch = 8;  // windows computed before their peaks are picked

// The first row from `from` on whose power re² + im² exceeds `best`, and that power; `best` and
// `idx` are left as they are when none does.
void first_largest(const std::complex<double>* col, Eigen::Index from, Eigen::Index m, double& best,
                   Eigen::Index& idx) {
  for (Eigen::Index i = from; i < m; ++i) {
    const double s = col[i].real() * col[i].real() + col[i].imag() * col[i].imag();
    if (s > best) {
      best = s;
      idx = i;
    }
  }
}

#if ZIVA_X86_VECTORS
// The powers of the four rows at p (interleaved real and imaginary parts) in the order of rows
// 0, 2, 1, 3: the same products and sums as one row at a time, without fused multiply-add.
__attribute__((target("avx2"))) inline __m256d powers_of_four(const double* p) {
  const __m256d a = _mm256_loadu_pd(p);
  const __m256d b = _mm256_loadu_pd(p + 4);
  return _mm256_hadd_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b));
}

// The same with four rows at a time: each lane keeps its first largest, and of lanes holding the
// same largest power the one with the earliest row wins, as in the plain loop.
__attribute__((target("avx2"))) void first_largest_avx2(const std::complex<double>* col,
                                                        Eigen::Index m, double& best,
                                                        Eigen::Index& idx) {
  const double* p = reinterpret_cast<const double*>(col);
  __m256d top = _mm256_set1_pd(best);
  __m256i at = _mm256_set1_epi64x(idx);
  __m256i row = _mm256_setr_epi64x(0, 2, 1, 3);
  const __m256i four = _mm256_set1_epi64x(4);
  Eigen::Index i = 0;
  for (; i + 4 <= m; i += 4) {
    const __m256d s = powers_of_four(p + 2 * i);
    const __m256d larger = _mm256_cmp_pd(s, top, _CMP_GT_OQ);
    top = _mm256_blendv_pd(top, s, larger);
    at = _mm256_castpd_si256(
        _mm256_blendv_pd(_mm256_castsi256_pd(at), _mm256_castsi256_pd(row), larger));
    row = _mm256_add_epi64(row, four);
  }
  alignas(32) double tops[4];
  alignas(32) long long rows[4];
  _mm256_store_pd(tops, top);
  _mm256_store_si256(reinterpret_cast<__m256i*>(rows), at);
  for (int k = 0; k < 4; ++k) {
    if (tops[k] > best || (tops[k] == best && rows[k] < idx)) {
      best = tops[k];
      idx = static_cast<Eigen::Index>(rows[k]);
    }
  }
  first_largest(col, i, m, best, idx);
}

// The first row of the first four (from row 0, up to `end`) with a power of at least `near`,
// or where the fours end.
__attribute__((target("avx2"))) Eigen::Index far_below(const std::complex<double>* col,
                                                       Eigen::Index end, double near) {
  const double* p = reinterpret_cast<const double*>(col);
  const __m256d limit = _mm256_set1_pd(near);
  Eigen::Index i = 0;
  for (; i + 4 <= end; i += 4) {
    const __m256d s = powers_of_four(p + 2 * i);
    if (_mm256_movemask_pd(_mm256_cmp_pd(s, limit, _CMP_GE_OQ)) != 0) break;
  }
  return i;
}

// The first loop of weak_peak over the rows in whole fours: the same quotients top / power,
// counted the same way. Returns where the fours end.
__attribute__((target("avx2"))) Eigen::Index reaching_in_fours(const std::complex<double>* col,
                                                               Eigen::Index m, double top,
                                                               Eigen::Index& reaching,
                                                               bool& unordered) {
  const double* p = reinterpret_cast<const double*>(col);
  const __m256d above = _mm256_set1_pd(top);
  const __m256d floor = _mm256_set1_pd(kPeakOverFloor);
  const __m256d zero = _mm256_setzero_pd();
  const int when_not_positive = top > 0 ? 0xF : 0;
  int nan = 0;
  Eigen::Index i = 0;
  for (; i + 4 <= m; i += 4) {
    const __m256d s = powers_of_four(p + 2 * i);
    nan |= _mm256_movemask_pd(_mm256_cmp_pd(s, s, _CMP_UNORD_Q));
    const int positive = _mm256_movemask_pd(_mm256_cmp_pd(s, zero, _CMP_GT_OQ));
    const int reach = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_div_pd(above, s), floor, _CMP_GE_OQ));
    reaching += __builtin_popcount(
        static_cast<unsigned>((positive & reach) | (~positive & when_not_positive)));
  }
  unordered |= nan != 0;
  return i;
}

const bool kPowersInFours = has_avx2();
#endif

Eigen::Index peak_of(const std::complex<double>* col, Eigen::Index m) {
  double best = -1;
  Eigen::Index idx = 0;
#if ZIVA_X86_VECTORS
  if (kPowersInFours)
    first_largest_avx2(col, m, best, idx);
  else
#endif
    first_largest(col, 0, m, best, idx);
  if (best == 0 || std::isinf(best)) {
    // Squares that underflow or overflow: compare the magnitudes themselves.
    double top = -1;
    for (Eigen::Index i = 0; i < m; ++i) {
      if (std::abs(col[i]) > top) {
        top = std::abs(col[i]);
        idx = i;
      }
    }
    return idx;
  }
  // An earlier row whose magnitude rounds to the same value shares the maximum and wins.
  const double mag = std::sqrt(best);
  const double near = best * (1 - 1e-15);
  Eigen::Index i = 0;
#if ZIVA_X86_VECTORS
  // Four rows at a time are passed over while none comes near the largest power.
  if (kPowersInFours) i = far_below(col, idx, near);
#endif
  for (; i < idx; ++i) {
    const double s = col[i].real() * col[i].real() + col[i].imag() * col[i].imag();
    if (s >= near && std::sqrt(s) == mag) return i;
  }
  return idx;
}

}  // namespace

Eigen::MatrixXd tone_signal(Eigen::MatrixXd Y, double FS) {
  Eigen::MatrixXd x;
  if (Y.cols() == 2) {
    x = (Y.col(0) + Y.col(1)) / 2;
  } else if (Y.cols() == 1) {
    x = std::move(Y);
  } else if (Y.rows() == 1) {
    x = Y.transpose();
  } else {
    throw Error("The tone channel must be one column or two.");
  }
  if (FS != kAnalysisRate) x = resample(x, kAnalysisRate, FS).y;
  if (x.size() > 0) x.array() -= x.mean();
  return x;
}

Eigen::VectorXd candidate_frequencies(double L) {
  Eigen::VectorXd f(kCandidates);
  for (Eigen::Index k = 0; k < kCandidates; ++k)
    f(k) = (500 + 10 * static_cast<double>(k)) / 60 * L;
  return f;
}

namespace {

double tone_overlap(Eigen::Index samples) {
  const double D = static_cast<double>(samples) / kAnalysisRate;
  const double o = std::max(1.0, std::ceil(std::log10(D / 2)));
  return std::floor(kWindowUnit * kWindowFactor * kOverlapFraction / o);
}

}  // namespace

Specgram tone_spectrogram(const Eigen::MatrixXd& x, const Eigen::VectorXd& freq) {
  const double noverlap = tone_overlap(x.size());
  return Specgram(x, Eigen::MatrixXd(freq), Eigen::MatrixXd::Constant(1, 1, kAnalysisRate),
                  Eigen::MatrixXd::Constant(1, 1, kWindowUnit * kWindowFactor),
                  Eigen::MatrixXd::Constant(1, 1, noverlap));
}

Specgram tone_spectrogram(Eigen::MatrixXd&& x, const Eigen::VectorXd& freq) {
  const double noverlap = tone_overlap(x.size());
  return Specgram(std::move(x), Eigen::MatrixXd(freq),
                  Eigen::MatrixXd::Constant(1, 1, kAnalysisRate),
                  Eigen::MatrixXd::Constant(1, 1, kWindowUnit * kWindowFactor),
                  Eigen::MatrixXd::Constant(1, 1, noverlap));
}

void prepare_tone_spectrum(double L) {
  Specgram::prepare_chirp(candidate_frequencies(L), kAnalysisRate,
                          hanning(kWindowUnit * kWindowFactor));
}

std::vector<Eigen::Index> pick_peaks(const Eigen::MatrixXcd& yo) {
  std::vector<Eigen::Index> idx(static_cast<std::size_t>(yo.cols()));
  for (Eigen::Index j = 0; j < yo.cols(); ++j)
    idx[static_cast<std::size_t>(j)] = peak_of(yo.col(j).data(), yo.rows());
  return idx;
}

double peak_offset(const std::complex<double>* col, Eigen::Index m, Eigen::Index idx) {
  if (idx <= 0 || idx >= m - 1) return 0;
  const double a = std::norm(col[idx - 1]);
  const double b = std::norm(col[idx]);
  const double c = std::norm(col[idx + 1]);
  if (!(a > 0 && c > 0 && b >= a && b >= c)) return 0;
  const double la = std::log(a), lb = std::log(b), lc = std::log(c);
  const double den = la - 2 * lb + lc;
  if (!(den < 0)) return 0;
  return std::clamp(0.5 * (la - lc) / den, -1.0, 1.0);
}

namespace {

// The peak's power over the median power of the window.
double prominence_of(const std::complex<double>* col, Eigen::Index m, Eigen::Index idx,
                     std::vector<double>& scratch) {
  scratch.resize(static_cast<std::size_t>(m));
  for (Eigen::Index i = 0; i < m; ++i) scratch[static_cast<std::size_t>(i)] = std::norm(col[i]);
  const auto mid = scratch.begin() + static_cast<std::ptrdiff_t>(m / 2);
  std::nth_element(scratch.begin(), mid, scratch.end());
  const double top = std::norm(col[idx]);
  return *mid > 0 ? top / *mid : (top > 0 ? HUGE_VAL : 0);
}

}  // namespace

// Whether prominence_of(col, m, idx) < kPeakOverFloor, without finding the median: the powers p
// for which the prominence would reach the floor (top / p >= kPeakOverFloor for p > 0, top > 0
// for p = 0) are all those up to some power, as the rounded quotient falls with p, so the
// median is one of them exactly when more than m/2 of the powers are. Powers that are not a
// number take the median itself.
bool weak_peak(const std::complex<double>* col, Eigen::Index m, Eigen::Index idx,
               std::vector<double>& scratch) {
  const double top = std::norm(col[idx]);
  const bool top_positive = top > 0;
  Eigen::Index reaching = 0;
  bool unordered = false;
  Eigen::Index i = 0;
#if ZIVA_X86_VECTORS
  if (kPowersInFours) i = reaching_in_fours(col, m, top, reaching, unordered);
#endif
  for (; i < m; ++i) {
    const double p = std::norm(col[i]);
    unordered |= std::isnan(p);
    reaching += p > 0 ? (top / p >= kPeakOverFloor) : top_positive;
  }
  if (unordered) return !(prominence_of(col, m, idx, scratch) >= kPeakOverFloor);
  return reaching <= m / 2;
}

std::vector<Eigen::Index> spectral_peaks(const Specgram& sg, int threads, PeakDetail* detail) {
  const Eigen::Index n = sg.segments();
  const Eigen::Index m = sg.frequencies();
  std::vector<Eigen::Index> idx(static_cast<std::size_t>(n));
  if (detail) {
    detail->offset.assign(static_cast<std::size_t>(n), 0.0);
    detail->weak.assign(static_cast<std::size_t>(n), 0);
  }
  // Each part computes a few windows at a time into its own buffer and keeps their peaks; the
  // parts take the batches from a shared counter, so that a part the machine holds back does not
  // hold up the other.
  std::atomic<Eigen::Index> next{0};
  auto part = [&] {
    Eigen::MatrixXcd yo(m, kBatch);
    std::vector<double> scratch;
    fft::Buffer work;
    for (Eigen::Index j = next.fetch_add(kBatch); j < n; j = next.fetch_add(kBatch)) {
      const Eigen::Index count = std::min(kBatch, n - j);
      sg.compute(j, count, yo.data(), work);
      for (Eigen::Index c = 0; c < count; ++c) {
        const auto k = static_cast<std::size_t>(j + c);
        idx[k] = peak_of(yo.col(c).data(), m);
        if (!detail) continue;
        detail->offset[k] = peak_offset(yo.col(c).data(), m, idx[k]);
        detail->weak[k] = weak_peak(yo.col(c).data(), m, idx[k], scratch) ? 1 : 0;
      }
    }
  };
  const int parts = n < 2 * kBatch ? 1 : std::clamp(threads, 1, 2);
  if (parts == 1) {
    part();
    return idx;
  }
  std::exception_ptr failure;
  std::thread worker = start_beside([&] {
    try {
      part();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    part();
  } catch (...) {
    next = n;  // the other part stops after its batch
    worker.join();
    throw;
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return idx;
}

double tone_resolution() {
  return kWindowUnit / kAnalysisRate * kWindowFactor;
}

SpeedTrace tone_trace(Eigen::MatrixXd Y, double FS, double l, double L,
                      const std::function<void(double)>& progress, int threads,
                      Estimator estimator) {
  Eigen::MatrixXd x = tone_signal(std::move(Y), FS);
  if (progress) progress(0.2);
  const Eigen::VectorXd freq = candidate_frequencies(L);
  const Specgram sg = tone_spectrogram(std::move(x), freq);
  PeakDetail detail;
  const std::vector<Eigen::Index> peaks = spectral_peaks(sg, threads, &detail);
  if (progress) progress(1.0);
  const double half_window = tone_resolution() / 2;
  const bool precise = estimator == Estimator::precise;
  const double grid_step = freq.size() > 1 ? freq(1) - freq(0) : 0;
  SpeedTrace out;
  out.t = sg.to().array() + half_window;
  out.v.resize(static_cast<Eigen::Index>(peaks.size()));
  std::vector<bool> weak(peaks.size());
  for (std::size_t j = 0; j < peaks.size(); ++j) {
    const double f = precise ? freq(peaks[j]) + detail.offset[j] * grid_step : freq(peaks[j]);
    out.v(static_cast<Eigen::Index>(j)) = f / l;
    weak[j] = detail.weak[j] != 0;
  }
  out.quality = trace_quality(out.t, out.v, weak);
  return out;
}

SpeedTrace wav2v(Progress& progress, Eigen::MatrixXd Y, double FS, double l, double L,
                 Estimator estimator) {
  struct Closer {
    Progress& p;
    ~Closer() { p.close(); }
  } closer{progress};
  return tone_trace(
      std::move(Y), FS, l, L, [&](double x) { progress.advance(x); }, 2, estimator);
}

}  // namespace ziva
