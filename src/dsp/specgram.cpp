#include "dsp/specgram.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "base/error.h"
#include "base/threads.h"
#include "dsp/czt.h"
#include "dsp/fft.h"
#include "dsp/hanning.h"
#include "dsp/upfirdn.h"

namespace ziva {

namespace {

using Complex = std::complex<double>;

template <typename Matrix>
bool given(const std::optional<Matrix>& v) {
  return v && v->size() > 0;
}

bool is_count(double v) {
  return std::isfinite(v) && v >= 0 && v == std::floor(v);
}

// Evenly spaced when every step differs from the first by less than 1e-12·fs.
bool evenly_spaced(const Eigen::VectorXd& f, double fs) {
  if (f.size() < 2) return true;
  const double first = f(1) - f(0);
  for (Eigen::Index i = 1; i + 1 < f.size(); ++i) {
    if (!(std::abs((f(i + 1) - f(i)) - first) < 1e-12 * fs)) return false;
  }
  return true;
}

}  // namespace

namespace {

// specgramchk; args.x is filled only when `copy_signal` is set.
std::string check_args(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft,
                       const std::optional<Eigen::MatrixXd>& fs,
                       const std::optional<Eigen::MatrixXd>& window,
                       const std::optional<Eigen::MatrixXd>& noverlap, SpecgramArgs& args,
                       bool copy_signal) {
  const Eigen::Index nx = x.size() == 0 ? 0 : std::max(x.rows(), x.cols());
  if (copy_signal) args.x = x.reshaped();
  if (given(nfft)) {
    args.nfft = nfft->reshaped();
  } else {
    args.nfft = Eigen::VectorXd::Constant(1, static_cast<double>(std::min<Eigen::Index>(nx, 256)));
  }
  const bool fft_length = args.nfft.size() == 1;
  if (given(fs)) {
    if (fs->size() != 1) return "Requires FS to be a scalar.";
    args.fs = (*fs)(0);
  } else {
    args.fs = 2;
  }
  if (given(window)) {
    args.window = window->size() == 1 ? hanning((*window)(0)) : Eigen::VectorXd(window->reshaped());
  } else if (fft_length) {
    args.window = hanning(args.nfft(0));
  } else {
    return "You must specify a window function.";
  }
  const double nwind = static_cast<double>(args.window.size());
  bool scalar_noverlap = true;
  if (!given(noverlap)) {
    args.noverlap = std::ceil(nwind / 2);
  } else if (noverlap->size() == 1) {
    args.noverlap = (*noverlap)(0);
  } else {
    scalar_noverlap = false;
    args.noverlap = std::nan("");
  }

  std::string message;
  if (fft_length && args.nfft(0) < nwind) {
    message = "Requires window's length to be no greater than the FFT length.";
  }
  if (scalar_noverlap && args.noverlap >= nwind) {
    message = "Requires NOVERLAP to be strictly less than the window length.";
  }
  if (fft_length && !is_count(args.nfft(0))) message = "Requires positive integer values for NFFT.";
  if (!is_count(args.noverlap)) message = "Requires positive integer value for NOVERLAP.";
  if (std::min(x.rows(), x.cols()) != 1) message = "Requires vector (either row or column) input.";
  return message;
}

}  // namespace

std::string specgramchk(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft,
                        const std::optional<Eigen::MatrixXd>& fs,
                        const std::optional<Eigen::MatrixXd>& window,
                        const std::optional<Eigen::MatrixXd>& noverlap, SpecgramArgs& args) {
  return check_args(x, nfft, fs, window, noverlap, args, true);
}

namespace {

// The chirp transforms made last, so that a spectrum on frequencies prepared ahead (or computed
// before) does not build its transform again. Each is a few hundred kilobytes.
class ChirpCache {
 public:
  std::shared_ptr<const ChirpZ> get(const Eigen::VectorXd& window, Eigen::Index m, Complex w,
                                    Complex a) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& e : entries_) {
      if (e.m == m && e.w == w && e.a == a && e.window.size() == window.size() &&
          e.window == window)
        return e.transform;
    }
    return nullptr;
  }
  void put(const Eigen::VectorXd& window, Eigen::Index m, Complex w, Complex a,
           std::shared_ptr<const ChirpZ> transform) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() == kKept) entries_.erase(entries_.begin());
    entries_.push_back({window, m, w, a, std::move(transform)});
  }

 private:
  static constexpr std::size_t kKept = 4;
  struct Entry {
    Eigen::VectorXd window;
    Eigen::Index m;
    Complex w, a;
    std::shared_ptr<const ChirpZ> transform;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

ChirpCache& chirp_cache() {
  static ChirpCache cache;
  return cache;
}

// The transform of the chirp road onto the evenly spaced frequencies fo.
std::shared_ptr<const ChirpZ> chirp_transform(const Eigen::VectorXd& window,
                                              const Eigen::VectorXd& fo, double fs) {
  const double two_pi = 2.0 * std::numbers::pi;
  const Eigen::Index m = fo.size();
  const double f1 = fo(0);
  const double f2 = fo(m - 1);
  const Complex w = std::exp(Complex(0.0, -two_pi * (f2 - f1) / (static_cast<double>(m - 1) * fs)));
  const Complex a = std::exp(Complex(0.0, two_pi * f1 / fs));
  if (auto found = chirp_cache().get(window, m, w, a)) return found;
  auto made = std::make_shared<const ChirpZ>(window, m, w, a);
  chirp_cache().put(window, m, w, a, made);
  return made;
}

}  // namespace

void Specgram::prepare_chirp(const Eigen::VectorXd& freq, double fs,
                             const Eigen::VectorXd& window) {
  if (freq.size() > 20 && evenly_spaced(freq, fs) && window.size() > 0)
    chirp_transform(window, freq, fs);
}

struct Specgram::Impl {
  Road road = Road::fft;
  Eigen::VectorXd copy;       // the signal when copied or zero-extended
  Eigen::MatrixXd taken;      // the signal when taken over
  const double* x = nullptr;  // the signal, at least one window long
  Eigen::Index length = 0;
  Eigen::Index nwind = 0;
  Eigen::Index hop = 1;
  Eigen::Index ncol = 0;
  Eigen::VectorXd fo;
  Eigen::VectorXd to;

  Eigen::VectorXd window;               // FFT road
  Eigen::Index nfft = 0;                // FFT road
  std::shared_ptr<const ChirpZ> chirp;  // chirp road, the window folded into it
  Eigen::MatrixXcd bank;                // filter-bank road: column k filters out frequency k
  Eigen::Index lead = 0;                // filter-bank road: zeros put before the signal
  Eigen::Index skip = 0;                // filter-bank road: output samples before the first segment

  void fft_segments(Eigen::Index first, Eigen::Index count, Complex* out, fft::Buffer& work) const {
    const fft::Plan& plan = fft::Plan::get(nfft, fft::Direction::forward);
    if (work.size() < nfft) work = fft::Buffer(nfft);
    for (Eigen::Index j = first; j < first + count; ++j) {
      const double* s = x + j * hop;
      for (Eigen::Index n = 0; n < nwind; ++n) work[n] = Complex(s[n] * window(n), 0.0);
      std::fill(work.data() + nwind, work.data() + nfft, Complex(0.0, 0.0));
      plan.execute(work.data());
      std::copy(work.data(), work.data() + fo.size(), out + (j - first) * fo.size());
    }
  }

  void chirp_segments(Eigen::Index first, Eigen::Index count, Complex* out,
                      fft::Buffer& work) const {
    if (work.size() < 2 * chirp->fft_length()) work = chirp->workspace();
    for (Eigen::Index j = first; j < first + count; ++j) {
      chirp->apply(x + j * hop, out + (j - first) * fo.size(), work);
    }
  }

  // Each output sample of upfirdn(signal, bank, 1, hop) is one segment's windowed sum; the lead
  // zeros put the start of the first segment on a kept sample.
  void bank_segments(Eigen::Index first, Eigen::Index count, Complex* yo) const {
    const Eigen::Index used = (count - 1) * hop + nwind;
    Eigen::VectorXd part = Eigen::VectorXd::Zero(lead + used);
    part.tail(used) = Eigen::Map<const Eigen::VectorXd>(x + first * hop, used);
    const Eigen::MatrixXcd out = upfirdn(part, bank, 1, static_cast<int>(hop));
    Eigen::Map<Eigen::MatrixXcd>(yo, fo.size(), count) = out.middleRows(skip, count).transpose();
  }
};

Specgram::Specgram(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft,
                   const std::optional<Eigen::MatrixXd>& fs,
                   const std::optional<Eigen::MatrixXd>& window,
                   const std::optional<Eigen::MatrixXd>& noverlap)
    : impl_(std::make_unique<Impl>()) {
  SpecgramArgs args;
  const std::string message = check_args(x, nfft, fs, window, noverlap, args, true);
  if (!message.empty()) throw Error(message);
  impl_->copy = std::move(args.x);
  prepare(args);
}

Specgram::Specgram(Eigen::MatrixXd&& x, const std::optional<Eigen::MatrixXd>& nfft,
                   const std::optional<Eigen::MatrixXd>& fs,
                   const std::optional<Eigen::MatrixXd>& window,
                   const std::optional<Eigen::MatrixXd>& noverlap)
    : impl_(std::make_unique<Impl>()) {
  SpecgramArgs args;
  const std::string message = check_args(x, nfft, fs, window, noverlap, args, false);
  if (!message.empty()) throw Error(message);
  impl_->taken = std::move(x);
  prepare(args);
}

void Specgram::prepare(SpecgramArgs& args) {
  Impl& d = *impl_;
  d.nwind = args.window.size();
  const auto overlap = static_cast<Eigen::Index>(args.noverlap);
  if (d.taken.size() > 0 && d.taken.size() < d.nwind) {
    d.copy = d.taken.reshaped();
    d.taken.resize(0, 0);
  }
  if (d.taken.size() > 0) {
    d.x = d.taken.data();
    d.length = d.taken.size();
  } else {
    if (d.copy.size() < d.nwind) d.copy.conservativeResizeLike(Eigen::VectorXd::Zero(d.nwind));
    d.x = d.copy.data();
    d.length = d.copy.size();
  }
  d.hop = d.nwind - overlap;
  d.ncol = (d.length - overlap) / d.hop;
  d.to.resize(d.ncol);
  for (Eigen::Index j = 0; j < d.ncol; ++j) {
    d.to(j) = static_cast<double>(j * d.hop) / args.fs;
  }

  const double two_pi = 2.0 * std::numbers::pi;
  if (args.nfft.size() == 1) {
    d.road = Road::fft;
    if (args.nfft(0) > std::numeric_limits<int>::max()) throw std::bad_alloc();
    d.nfft = static_cast<Eigen::Index>(args.nfft(0));
    d.window = std::move(args.window);
    const Eigen::Index rows = d.nfft % 2 == 0 ? d.nfft / 2 + 1 : (d.nfft + 1) / 2;
    d.fo.resize(rows);
    for (Eigen::Index r = 0; r < rows; ++r) {
      d.fo(r) = static_cast<double>(r) * args.fs / static_cast<double>(d.nfft);
    }
    return;
  }

  d.fo = args.nfft;
  const Eigen::Index m = d.fo.size();
  if (m > 20 && evenly_spaced(d.fo, args.fs)) {
    d.road = Road::chirp;
    d.chirp = chirp_transform(args.window, d.fo, args.fs);
    return;
  }

  d.road = Road::filter_bank;
  // Tap t of filter k weights the sample u = nwind − 1 − t of a segment: window(u)·e^(−2πi·f·u/fs).
  d.bank.resize(d.nwind, m);
  for (Eigen::Index k = 0; k < m; ++k) {
    for (Eigen::Index t = 0; t < d.nwind; ++t) {
      const Eigen::Index u = d.nwind - 1 - t;
      d.bank(t, k) = args.window(u) *
                     std::exp(Complex(0.0, -two_pi * d.fo(k) * static_cast<double>(u) / args.fs));
    }
  }
  d.lead = d.hop - d.nwind % d.hop + 1;
  d.skip = d.nwind / d.hop + 1;
}

Specgram::~Specgram() = default;
Specgram::Specgram(Specgram&&) noexcept = default;
Specgram& Specgram::operator=(Specgram&&) noexcept = default;

Specgram::Road Specgram::road() const {
  return impl_->road;
}
Eigen::Index Specgram::segments() const {
  return impl_->ncol;
}
Eigen::Index Specgram::frequencies() const {
  return impl_->fo.size();
}
const Eigen::VectorXd& Specgram::fo() const {
  return impl_->fo;
}
const Eigen::VectorXd& Specgram::to() const {
  return impl_->to;
}

void Specgram::compute(Eigen::Index first, Eigen::Index count, Eigen::MatrixXcd& yo) const {
  const Impl& d = *impl_;
  if (first < 0 || count < 0 || first + count > d.ncol || yo.rows() != d.fo.size() ||
      yo.cols() != d.ncol) {
    throw std::invalid_argument("Specgram::compute: segment range or result size out of range");
  }
  if (count > 0) compute(first, count, yo.col(first).data());
}

void Specgram::compute(Eigen::Index first, Eigen::Index count, std::complex<double>* out) const {
  fft::Buffer work;
  compute(first, count, out, work);
}

void Specgram::compute(Eigen::Index first, Eigen::Index count, std::complex<double>* out,
                       fft::Buffer& work) const {
  const Impl& d = *impl_;
  if (first < 0 || count < 0 || first + count > d.ncol) {
    throw std::invalid_argument("Specgram::compute: segment range out of range");
  }
  if (count == 0) return;
  switch (d.road) {
    case Road::fft:
      d.fft_segments(first, count, out, work);
      break;
    case Road::chirp:
      d.chirp_segments(first, count, out, work);
      break;
    case Road::filter_bank:
      d.bank_segments(first, count, out);
      break;
  }
}

SpecgramResult Specgram::run(int threads) const {
  SpecgramResult result;
  result.yo.resize(frequencies(), segments());
  const Eigen::Index parts =
      std::clamp<Eigen::Index>(threads, 1, std::max<Eigen::Index>(segments(), 1));
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(parts));
  auto batch = [this, parts, &result, &errors](Eigen::Index p) {
    try {
      compute(segments() * p / parts, segments() * (p + 1) / parts - segments() * p / parts,
              result.yo);
    } catch (...) {
      errors[static_cast<std::size_t>(p)] = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  for (Eigen::Index p = 1; p < parts; ++p) {
    try {
      workers.push_back(start_beside([&batch, p] { batch(p); }, static_cast<int>(p - 1)));
    } catch (const std::system_error&) {
      batch(p);  // no thread to be had: this batch runs here
    }
  }
  batch(0);
  for (auto& t : workers) t.join();
  for (auto& e : errors) {
    if (e) std::rethrow_exception(e);
  }
  result.fo = fo();
  result.to = to();
  return result;
}

SpecgramResult specgram(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& nfft,
                        const std::optional<Eigen::MatrixXd>& fs,
                        const std::optional<Eigen::MatrixXd>& window,
                        const std::optional<Eigen::MatrixXd>& noverlap) {
  return Specgram(x, nfft, fs, window, noverlap).run();
}

}  // namespace ziva
