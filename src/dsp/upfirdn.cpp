// Polyphase upfirdn: each kept output sample is one dot product of a filter phase with the
// input samples it covers.
#include "dsp/upfirdn.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/error.h"
#include "base/threads.h"
#include "base/vectors.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ziva {

namespace {

std::atomic<int> g_threads{0};

int worker_count() {
  const int set = g_threads.load();
  if (set > 0) return set;
  const unsigned hw = std::thread::hardware_concurrency();
  return hw >= 2 ? 2 : 1;
}

// Sum of a[i]·b[i] in a fixed order (eight interleaved partial sums, then a fixed tree), so a
// given output sample always gets the same rounding.
double dot(const double* a, const double* b, std::int64_t n) {
  double acc[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    for (int j = 0; j < 8; ++j) acc[j] += a[i + j] * b[i + j];
  }
  for (int j = 0; i < n; ++i, ++j) acc[j] += a[i] * b[i];
  return ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
}

// Dot products whose length is a multiple of kBlock, the inner loop of the interior samples.
constexpr std::int64_t kBlock = 16;
using BlockDot = double (*)(const double*, const double*, std::int64_t);

double block_dot_generic(const double* a, const double* b, std::int64_t n) {
  return dot(a, b, n);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Four fused multiply-add chains of four lanes each, then a fixed reduction.
__attribute__((target("avx2,fma"))) double block_dot_avx2(const double* a, const double* b,
                                                          std::int64_t n) {
  __m256d s0 = _mm256_setzero_pd(), s1 = _mm256_setzero_pd();
  __m256d s2 = _mm256_setzero_pd(), s3 = _mm256_setzero_pd();
  for (std::int64_t i = 0; i < n; i += kBlock) {
    s0 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i), s0);
    s1 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 4), _mm256_loadu_pd(b + i + 4), s1);
    s2 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 8), _mm256_loadu_pd(b + i + 8), s2);
    s3 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 12), _mm256_loadu_pd(b + i + 12), s3);
  }
  const __m256d s = _mm256_add_pd(_mm256_add_pd(s0, s1), _mm256_add_pd(s2, s3));
  __m128d half = _mm_add_pd(_mm256_castpd256_pd128(s), _mm256_extractf128_pd(s, 1));
  return _mm_cvtsd_f64(_mm_add_sd(half, _mm_unpackhi_pd(half, half)));
}

// Several dot products at once with the partial sums of block_dot_avx2: the same four chains
// of four lanes each per product, reduced in the same order. All of them share the filter row
// `a` (one phase, p = 1), loaded once for all: the single product is bound by its two loads per
// multiply-add. AVX-512's 32 registers hold the chains of six products and the row.
constexpr int kGroup = 6;

__attribute__((target("avx2,fma,avx512f,avx512vl"))) void block_dot_group(const double* a,
                                                                          const double* const* b,
                                                                          std::int64_t n,
                                                                          double* out) {
  __m256d s0[kGroup], s1[kGroup], s2[kGroup], s3[kGroup];
  for (int k = 0; k < kGroup; ++k) s0[k] = s1[k] = s2[k] = s3[k] = _mm256_setzero_pd();
  for (std::int64_t i = 0; i < n; i += kBlock) {
    const __m256d a0 = _mm256_loadu_pd(a + i);
    const __m256d a1 = _mm256_loadu_pd(a + i + 4);
    const __m256d a2 = _mm256_loadu_pd(a + i + 8);
    const __m256d a3 = _mm256_loadu_pd(a + i + 12);
    for (int k = 0; k < kGroup; ++k) {
      s0[k] = _mm256_fmadd_pd(a0, _mm256_loadu_pd(b[k] + i), s0[k]);
      s1[k] = _mm256_fmadd_pd(a1, _mm256_loadu_pd(b[k] + i + 4), s1[k]);
      s2[k] = _mm256_fmadd_pd(a2, _mm256_loadu_pd(b[k] + i + 8), s2[k]);
      s3[k] = _mm256_fmadd_pd(a3, _mm256_loadu_pd(b[k] + i + 12), s3[k]);
    }
  }
  for (int k = 0; k < kGroup; ++k) {
    const __m256d sum = _mm256_add_pd(_mm256_add_pd(s0[k], s1[k]), _mm256_add_pd(s2[k], s3[k]));
    const __m128d half = _mm_add_pd(_mm256_castpd256_pd128(sum), _mm256_extractf128_pd(sum, 1));
    out[k] = _mm_cvtsd_f64(_mm_add_sd(half, _mm_unpackhi_pd(half, half)));
  }
}

using BlockDotGroup = void (*)(const double*, const double* const*, std::int64_t, double*);

bool has_avx2_fma() {
  return has_avx2() && __builtin_cpu_supports("fma");
}

BlockDot pick_block_dot() {
  return has_avx2_fma() ? block_dot_avx2 : block_dot_generic;
}

// Only where block_dot is the AVX2 form, whose sums it reproduces.
BlockDotGroup pick_block_dot_group() {
  return has_avx2_fma() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")
             ? block_dot_group
             : nullptr;
}
#else
constexpr int kGroup = 1;
using BlockDotGroup = void (*)(const double*, const double* const*, std::int64_t, double*);
BlockDot pick_block_dot() {
  return block_dot_generic;
}
BlockDotGroup pick_block_dot_group() {
  return nullptr;
}
#endif

// Chosen once per process, so every output sample of a run uses the same arithmetic.
const BlockDot block_dot = pick_block_dot();
const BlockDotGroup block_dot_grouped = pick_block_dot_group();

// The filter split into its p phases; phase r holds h[r], h[r + p], ... reversed, padded at the
// front with zeros to `taps` entries (a multiple of kBlock unless the phases are shorter than
// kBlock, where padding would cost more than it saves), so that it runs forwards along the
// input.
struct Polyphase {
  int p = 1;
  std::int64_t taps = 0;
  std::vector<double> coef;         // p rows of `taps`
  std::vector<std::int64_t> first;  // index of the first nonzero-padded entry per phase
};

Polyphase make_polyphase(const double* h, std::int64_t lh, int p) {
  Polyphase ph;
  ph.p = p;
  const std::int64_t longest = (lh + p - 1) / p;
  ph.taps = longest < kBlock ? longest : (longest + kBlock - 1) / kBlock * kBlock;
  ph.coef.assign(static_cast<std::size_t>(ph.taps * p), 0.0);
  ph.first.assign(static_cast<std::size_t>(p), ph.taps);
  for (int r = 0; r < p; ++r) {
    const std::int64_t count = r < lh ? (lh - r + p - 1) / p : 0;
    ph.first[static_cast<std::size_t>(r)] = ph.taps - count;
    double* row = ph.coef.data() + static_cast<std::int64_t>(r) * ph.taps;
    for (std::int64_t j = 0; j < count; ++j) row[ph.taps - 1 - j] = h[r + j * p];
  }
  return ph;
}

std::int64_t output_length(std::int64_t lx, std::int64_t lh, int p, int q) {
  if (lx == 0) return 0;
  const std::int64_t full = (lx - 1) * p + lh;
  return full <= 0 ? 0 : (full + q - 1) / q;
}

// Output samples [begin, end) of one signal through one filter preceded by `lead` zeros, written
// to y[m - first]. Samples the signal does not reach are zero.
void filter_range(const double* x, std::int64_t lx, const Polyphase& ph, int q, std::int64_t lead,
                  std::int64_t first, std::int64_t begin, std::int64_t end, double* y) {
  const int p = ph.p;
  // Sample m is the convolution of the upsampled signal with h at t = m·q - lead.
  const std::int64_t t = begin * q - lead;
  std::int64_t n0 = t >= 0 ? t / p : -((-t + p - 1) / p);
  int r = static_cast<int>(t - n0 * p);
  const std::int64_t step_n = q / p;
  const int step_r = q % p;
  const bool blocked = ph.taps % kBlock == 0;
  auto advance = [&] {
    n0 += step_n;
    r += step_r;
    if (r >= p) {
      r -= p;
      ++n0;
    }
  };
  // With several phases each sample has its own row: loads, not latency, bound the products,
  // and grouping gains nothing.
  const bool grouped = blocked && block_dot_grouped != nullptr && p == 1;
  const std::int64_t stride = q / p + 1;  // n0 grows by at most this per sample
  for (std::int64_t m = begin; m < end; ++m) {
    // A group of interior samples at a time where the last one is still interior.
    if (grouped && m + kGroup <= end && n0 - ph.taps + 1 >= 0 && n0 + (kGroup - 1) * stride < lx) {
      const double* xs[kGroup];
      for (int k = 0; k < kGroup; ++k) {
        xs[k] = x + (n0 - ph.taps + 1);
        advance();
      }
      block_dot_grouped(ph.coef.data(), xs, ph.taps, y + (m - first));
      m += kGroup - 1;
      continue;
    }
    // sum_j h[r + j·p]·x[n0 - j]; the phase row runs over x[n0 - taps + 1 .. n0].
    const std::int64_t start = n0 - ph.taps + 1;
    const double* row = ph.coef.data() + static_cast<std::int64_t>(r) * ph.taps;
    double v;
    if (start >= 0 && n0 < lx) {
      v = blocked ? block_dot(row, x + start, ph.taps) : dot(row, x + start, ph.taps);
    } else {
      const std::int64_t lo = std::max(ph.first[static_cast<std::size_t>(r)], -start);
      const std::int64_t hi = std::min(ph.taps, lx - start);
      v = hi > lo ? dot(row + lo, x + start + lo, hi - lo) : 0.0;
    }
    y[m - first] = v;
    advance();
  }
}

// Samples [first, first + count) of one signal through one filter into y, split among the
// workers.
void filter_signal(const double* x, std::int64_t lx, const Polyphase& ph, int q, std::int64_t lead,
                   std::int64_t first, std::int64_t count, double* y) {
  const int workers = worker_count();
  const double work = static_cast<double>(count) * static_cast<double>(ph.taps);
  const std::int64_t end = first + count;
  if (workers <= 1 || work < 2e5) {
    filter_range(x, lx, ph, q, lead, first, first, end, y);
    return;
  }
  // The workers take pieces from a shared counter, so that one the machine holds back does not
  // hold up the others; a sample's value does not depend on which worker computes it.
  const std::int64_t piece =
      std::max<std::int64_t>(1, std::int64_t{200000} / std::max<std::int64_t>(1, ph.taps));
  std::atomic<std::int64_t> next{first};
  auto take_pieces = [&] {
    for (std::int64_t b = next.fetch_add(piece); b < end; b = next.fetch_add(piece))
      filter_range(x, lx, ph, q, lead, first, b, std::min(end, b + piece), y);
  };
  std::vector<std::thread> pool;
  for (int w = 1; w < workers; ++w) pool.push_back(start_beside(take_pieces, w - 1));
  take_pieces();
  for (std::thread& th : pool) th.join();
}

void check_factors(int p, int q) {
  if (p < 1 || q < 1) throw Error("P and Q must be positive integers.");
}

// Runs every (signal, filter) pair; `filters` holds the filters as columns of one matrix, each
// preceded by `lead` zeros. Computes the output samples [first, first + count), or all of them
// when count < 0.
Eigen::MatrixXd run(const Eigen::Ref<const Eigen::MatrixXd>& x, const Eigen::MatrixXd& filters,
                    int p, int q, std::int64_t lead = 0, std::int64_t first = 0,
                    std::int64_t count = -1) {
  check_factors(p, q);
  const bool x_vector = x.rows() == 1 || x.cols() == 1;
  const std::int64_t lx = x_vector ? x.size() : x.rows();
  const Eigen::Index xcols = x_vector ? 1 : x.cols();
  const Eigen::Index hcols = filters.cols();
  if (xcols > 1 && hcols != 1 && hcols != xcols) {
    throw Error("The filter must have one column or as many columns as the signal.");
  }
  const Eigen::Index outcols = std::max(xcols, hcols);
  if (count < 0) count = output_length(lx, lead + filters.rows(), p, q);
  Eigen::MatrixXd y(count, outcols);
  if (count == 0 || outcols == 0) return y;
  if (lx == 0) return Eigen::MatrixXd::Zero(count, outcols);
  std::vector<Polyphase> phases;
  for (Eigen::Index j = 0; j < hcols; ++j) {
    phases.push_back(make_polyphase(filters.col(j).data(), filters.rows(), p));
  }
  for (Eigen::Index c = 0; c < outcols; ++c) {
    // A row signal is contiguous too: its samples sit one apart in memory.
    const double* xc = x.data() + (xcols == 1 ? 0 : c * x.outerStride());
    const Polyphase& ph = phases[static_cast<std::size_t>(hcols == 1 ? 0 : c)];
    filter_signal(xc, lx, ph, q, lead, first, count, y.col(c).data());
  }
  return y;
}

// A vector filter as a column; a row signal's result as a row.
Eigen::MatrixXd run_vector_filter(const Eigen::Ref<const Eigen::MatrixXd>& x,
                                  const Eigen::MatrixXd& h, int p, int q, std::int64_t lead,
                                  std::int64_t first, std::int64_t count) {
  const Eigen::MatrixXd filter =
      Eigen::Map<const Eigen::VectorXd>(h.data(), static_cast<Eigen::Index>(h.size()));
  Eigen::MatrixXd y = run(x, filter, p, q, lead, first, count);
  const bool x_row = x.rows() == 1 && x.cols() > 1;
  if (x_row) return y.transpose();
  return y;
}

}  // namespace

Eigen::MatrixXcd upfirdn(const Eigen::MatrixXd& x, const Eigen::MatrixXcd& h, int p, int q) {
  const Eigen::MatrixXd re = run(x, h.real(), p, q);
  const Eigen::MatrixXd im = run(x, h.imag(), p, q);
  Eigen::MatrixXcd y(re.rows(), re.cols());
  y.real() = re;
  y.imag() = im;
  return y;
}

Eigen::MatrixXd upfirdn(const Eigen::MatrixXd& x, const Eigen::MatrixXd& h, int p, int q) {
  const bool h_vector = h.rows() == 1 || h.cols() == 1;
  if (!h_vector) return run(x, h, p, q);
  return run_vector_filter(x, h, p, q, 0, 0, -1);
}

Eigen::MatrixXd upfirdn_window(const Eigen::Ref<const Eigen::MatrixXd>& x, const Eigen::MatrixXd& h,
                               int p, int q, std::int64_t lead, std::int64_t first,
                               std::int64_t count) {
  if (lead < 0 || first < 0 || count < 0) {
    throw Error("The output window must not be negative.");
  }
  return run_vector_filter(x, h, p, q, lead, first, count);
}

struct UpfirdnWindow::Impl {
  Polyphase phases;
  int q = 1;
};

UpfirdnWindow::UpfirdnWindow(const Eigen::Ref<const Eigen::VectorXd>& h, int p, int q)
    : impl_(std::make_unique<Impl>()) {
  check_factors(p, q);
  const Eigen::VectorXd filter = h;
  impl_->phases = make_polyphase(filter.data(), filter.size(), p);
  impl_->q = q;
}

UpfirdnWindow::~UpfirdnWindow() = default;

void UpfirdnWindow::run(const double* x, std::int64_t lx, std::int64_t lead, std::int64_t first,
                        std::int64_t count, double* y) const {
  if (lead < 0 || first < 0 || count < 0) {
    throw Error("The output window must not be negative.");
  }
  if (count == 0) return;
  if (lx == 0) {
    std::fill(y, y + count, 0.0);
    return;
  }
  filter_range(x, lx, impl_->phases, impl_->q, lead, first, first, first + count, y);
}

int set_upfirdn_threads(int threads) {
  return g_threads.exchange(std::max(0, threads));
}

}  // namespace ziva
