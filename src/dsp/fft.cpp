#include "dsp/fft.h"

#include <fftw3.h>

#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

namespace ziva::fft {

namespace {

constexpr std::align_val_t kAlignment{64};

bool is_power_of_two(std::ptrdiff_t n) {
  return n > 0 && (n & (n - 1)) == 0;
}

// Measured plans pay off for the mid-sized power-of-two lengths that the chirp transforms use
// (about twice as fast as estimated ones). Other lengths get estimated plans: measuring them
// takes long (large prime lengths) or gains nothing worth the planning time (short ones).
unsigned planner_flags(std::ptrdiff_t n) {
  const bool measure = is_power_of_two(n) && n >= 1024 && n <= 16384;
  return measure ? FFTW_MEASURE : FFTW_ESTIMATE;
}

}  // namespace

class PlanCache {
 public:
  ~PlanCache() {
    std::lock_guard lock(mutex_);
    for (auto& [key, plan] : plans_) {
      fftw_destroy_plan(static_cast<fftw_plan>(plan.aligned_));
      fftw_destroy_plan(static_cast<fftw_plan>(plan.unaligned_));
    }
  }

  const Plan& get(std::ptrdiff_t n, Direction direction) {
    std::lock_guard lock(mutex_);
    const auto key = std::make_pair(n, direction);
    if (auto it = plans_.find(key); it != plans_.end()) return it->second;
    if (n < 1 || n > std::numeric_limits<int>::max())
      throw std::length_error("FFT length out of range");
    const int sign = direction == Direction::forward ? FFTW_FORWARD : FFTW_BACKWARD;
    // Planning with FFTW_MEASURE overwrites the arrays, so it runs on scratch storage; the
    // unaligned variant starts one double into an aligned block.
    Buffer scratch(n + 1);
    auto* aligned = reinterpret_cast<fftw_complex*>(scratch.data());
    auto* unaligned =
        reinterpret_cast<fftw_complex*>(reinterpret_cast<double*>(scratch.data()) + 1);
    fftw_plan a = fftw_plan_dft_1d(static_cast<int>(n), aligned, aligned, sign, planner_flags(n));
    fftw_plan u = fftw_plan_dft_1d(static_cast<int>(n), unaligned, unaligned, sign,
                                   FFTW_ESTIMATE | FFTW_UNALIGNED);
    if (a == nullptr || u == nullptr) throw std::bad_alloc();
    return plans_.emplace(key, Plan(n, a, u)).first->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<std::ptrdiff_t, Direction>, Plan> plans_;
};

namespace {

PlanCache& cache() {
  static PlanCache instance;
  return instance;
}

}  // namespace

void Buffer::Free::operator()(Complex* p) const {
  ::operator delete[](p, kAlignment);
}

Buffer::Buffer(std::ptrdiff_t size)
    : data_(size > 0 ? static_cast<Complex*>(::operator new[](
                           static_cast<std::size_t>(size) * sizeof(Complex), kAlignment))
                     : nullptr),
      size_(size > 0 ? size : 0) {
  for (std::ptrdiff_t i = 0; i < size_; ++i) new (data_.get() + i) Complex(0.0, 0.0);
}

const Plan& Plan::get(std::ptrdiff_t n, Direction direction) {
  return cache().get(n, direction);
}

void Plan::execute(Complex* data) const {
  auto* d = reinterpret_cast<fftw_complex*>(data);
  const bool aligned = fftw_alignment_of(reinterpret_cast<double*>(data)) == 0;
  fftw_execute_dft(static_cast<fftw_plan>(aligned ? aligned_ : unaligned_), d, d);
}

}  // namespace ziva::fft
