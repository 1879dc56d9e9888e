// Complex FFTs through FFTW: one plan per length and direction, made once on first use and shared
// by every caller and thread afterwards.
#pragma once

#include <atomic>
#include <complex>
#include <cstddef>
#include <memory>
#include <string>

namespace ziva::fft {

using Complex = std::complex<double>;

enum class Direction { forward, backward };

class PlanCache;

// A block of complex values aligned for FFTW's SIMD code; transforms run fastest on it.
class Buffer {
 public:
  explicit Buffer(std::ptrdiff_t size = 0);
  Complex* data() { return data_.get(); }
  const Complex* data() const { return data_.get(); }
  std::ptrdiff_t size() const { return size_; }
  Complex& operator[](std::ptrdiff_t i) { return data_[i]; }
  const Complex& operator[](std::ptrdiff_t i) const { return data_[i]; }

 private:
  struct Free {
    void operator()(Complex* p) const;
  };
  std::unique_ptr<Complex[], Free> data_;
  std::ptrdiff_t size_ = 0;
};

enum class Placement { in_place, out_of_place };

// A transform of one fixed length, in place or from one array into another. Getting a plan is
// thread-safe (planning is serialised); executing it is thread-safe and runs without locks.
// Plans live until the process ends.
class Plan {
 public:
  // The shared plan for length n (n >= 1); its first use for a length may take a while.
  static const Plan& get(std::ptrdiff_t n, Direction direction,
                         Placement placement = Placement::in_place);

  // Unnormalised DFT of n values: forward uses e^(-2πi·jk/n), backward e^(+2πi·jk/n). Any
  // address works; 16-byte aligned storage (a Buffer, an Eigen matrix) takes the planned code,
  // and equal inputs on such storage give bit-identical outputs.
  // In place, for a plan got with Placement::in_place:
  void execute(Complex* data) const;
  // From `in` (left unchanged) into `out`, which must not overlap it, for Placement::out_of_place:
  void execute(const Complex* in, Complex* out) const;

  std::ptrdiff_t size() const { return n_; }

 private:
  friend class PlanCache;
  Plan(std::ptrdiff_t n, Direction direction, Placement placement, void* aligned)
      : n_(n), direction_(direction), placement_(placement), aligned_(aligned) {}
  // The plan for other addresses, made on the first call that needs it (most callers never do).
  void* unaligned() const;

  std::ptrdiff_t n_;
  Direction direction_;
  Placement placement_;
  void* aligned_;                                  // FFTW plan for 16-byte aligned data
  mutable std::atomic<void*> unaligned_{nullptr};  // FFTW plan for any other addresses
};

// Planner knowledge kept between runs, so that a process does not measure its plans again:
// the program imports it at start and exports it when measured_plans() says new plans were made.
bool import_wisdom(const std::string& text);
std::string export_wisdom();
bool measured_plans();

}  // namespace ziva::fft
