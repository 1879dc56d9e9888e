#include "dsp/fft.h"

#include <fftw3.h>

#include <cstdlib>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>

namespace ziva::fft {

namespace {

constexpr std::align_val_t kAlignment{64};

bool is_power_of_two(std::ptrdiff_t n) {
  return n > 0 && (n & (n - 1)) == 0;
}

// Measured plans pay off for power-of-two lengths from 4096 to 16384 (1.5 to 2.2 times as fast
// as estimated ones, for 130 to 350 ms of measuring on the first use). Up to 2048, the length of
// the evaluation's chirp transforms, the estimated plan runs as fast as the measured one, so
// those lengths are never measured: a first run pays no planning time, and the plan (and with
// it every rounding) is the same in every run, with or without saved wisdom. Other lengths get
// estimated plans too: measuring them takes long (large prime lengths).
unsigned planner_flags(std::ptrdiff_t n) {
  const bool measure = is_power_of_two(n) && n >= 4096 && n <= 16384;
  return measure ? FFTW_MEASURE : FFTW_ESTIMATE;
}

int fftw_sign(Direction direction) {
  return direction == Direction::forward ? FFTW_FORWARD : FFTW_BACKWARD;
}

// Arrays to plan on: aligned, or starting one double into an aligned block.
struct Scratch {
  Scratch(std::ptrdiff_t n, Placement placement, bool shifted)
      : length(static_cast<int>(n)),
        in_buffer(n + 1),
        out_buffer(placement == Placement::in_place ? 0 : n + 1) {
    auto at = [shifted](Buffer& b) {
      double* d = reinterpret_cast<double*>(b.data()) + (shifted ? 1 : 0);
      return reinterpret_cast<fftw_complex*>(d);
    };
    in = at(in_buffer);
    out = placement == Placement::in_place ? in : at(out_buffer);
  }
  int length;
  Buffer in_buffer, out_buffer;
  fftw_complex* in;
  fftw_complex* out;
};

}  // namespace

class PlanCache {
 public:
  ~PlanCache() {
    std::lock_guard lock(mutex_);
    for (auto& [key, plan] : plans_) {
      fftw_destroy_plan(static_cast<fftw_plan>(plan->aligned_));
      if (void* u = plan->unaligned_.load()) fftw_destroy_plan(static_cast<fftw_plan>(u));
    }
  }

  const Plan& get(std::ptrdiff_t n, Direction direction, Placement placement) {
    std::lock_guard lock(mutex_);
    const auto key = std::make_tuple(n, direction, placement);
    if (auto it = plans_.find(key); it != plans_.end()) return *it->second;
    if (n < 1 || n > std::numeric_limits<int>::max()) {
      throw std::length_error("FFT length out of range");
    }
    // Planning with FFTW_MEASURE overwrites the arrays, so it runs on scratch storage.
    Scratch s(n, placement, false);
    const unsigned flags = planner_flags(n);
    const int sign = fftw_sign(direction);
    // A plan that the imported wisdom already holds costs no measuring and adds nothing to it.
    fftw_plan a = flags == FFTW_MEASURE
                      ? fftw_plan_dft_1d(s.length, s.in, s.out, sign, flags | FFTW_WISDOM_ONLY)
                      : nullptr;
    if (a == nullptr) {
      a = fftw_plan_dft_1d(s.length, s.in, s.out, sign, flags);
      if (flags == FFTW_MEASURE) measured_ = true;
    }
    if (a == nullptr) throw std::bad_alloc();
    return *plans_.emplace(key, std::unique_ptr<Plan>(new Plan(n, direction, placement, a)))
                .first->second;
  }

  // An estimated plan for addresses off FFTW's alignment; estimating writes nothing and does not
  // change the plans the planner picks for aligned arrays afterwards.
  void* unaligned(const Plan& p) {
    std::lock_guard lock(mutex_);
    if (void* u = p.unaligned_.load()) return u;
    Scratch s(p.n_, p.placement_, true);
    fftw_plan u = fftw_plan_dft_1d(s.length, s.in, s.out, fftw_sign(p.direction_),
                                   FFTW_ESTIMATE | FFTW_UNALIGNED);
    if (u == nullptr) throw std::bad_alloc();
    p.unaligned_.store(u);
    return u;
  }

  bool import_wisdom(const std::string& text) {
    std::lock_guard lock(mutex_);
    return fftw_import_wisdom_from_string(text.c_str()) != 0;
  }

  std::string export_wisdom() {
    std::lock_guard lock(mutex_);
    char* text = fftw_export_wisdom_to_string();
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
  }

  bool measured() {
    std::lock_guard lock(mutex_);
    return measured_;
  }

 private:
  std::mutex mutex_;
  std::map<std::tuple<std::ptrdiff_t, Direction, Placement>, std::unique_ptr<Plan>> plans_;
  bool measured_ = false;
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

const Plan& Plan::get(std::ptrdiff_t n, Direction direction, Placement placement) {
  return cache().get(n, direction, placement);
}

namespace {

bool aligned(const Complex* p) {
  return fftw_alignment_of(const_cast<double*>(reinterpret_cast<const double*>(p))) == 0;
}

}  // namespace

void* Plan::unaligned() const {
  if (void* u = unaligned_.load()) return u;
  return cache().unaligned(*this);
}

void Plan::execute(Complex* data) const {
  auto* d = reinterpret_cast<fftw_complex*>(data);
  fftw_execute_dft(static_cast<fftw_plan>(aligned(data) ? aligned_ : unaligned()), d, d);
}

void Plan::execute(const Complex* in, Complex* out) const {
  // Out-of-place complex plans leave their input unchanged, so the cast is safe.
  auto* i = reinterpret_cast<fftw_complex*>(const_cast<Complex*>(in));
  auto* o = reinterpret_cast<fftw_complex*>(out);
  const bool both = aligned(in) && aligned(out);
  fftw_execute_dft(static_cast<fftw_plan>(both ? aligned_ : unaligned()), i, o);
}

bool import_wisdom(const std::string& text) {
  return cache().import_wisdom(text);
}
std::string export_wisdom() {
  return cache().export_wisdom();
}
bool measured_plans() {
  return cache().measured();
}

}  // namespace ziva::fft
