#include "dsp/czt.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "base/error.h"
#include "base/vectors.h"

namespace ziva {

namespace {

using Complex = std::complex<double>;

Eigen::Index next_power_of_two(Eigen::Index n) {
  Eigen::Index l = 1;
  while (l < n) l *= 2;
  return l;
}

// The element-wise products below spell out the complex product (as std::complex defines it for
// finite values) on plain doubles, so that they vectorise; every element sees the same operations
// wherever it lies in memory. On x86-64 an AVX2 version is built as well and picked at load time;
// it differs only in vector width (AVX2 brings no fused multiply-add), so it rounds the same way.

ZIVA_VECTOR_CLONES void multiply(const Complex* x, const Complex* y, Complex* out, Eigen::Index n) {
  const double* a = reinterpret_cast<const double*>(x);
  const double* b = reinterpret_cast<const double*>(y);
  double* o = reinterpret_cast<double*>(out);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double re = a[2 * i] * b[2 * i] - a[2 * i + 1] * b[2 * i + 1];
    const double im = a[2 * i] * b[2 * i + 1] + a[2 * i + 1] * b[2 * i];
    o[2 * i] = re;
    o[2 * i + 1] = im;
  }
}

// out = x·p + y·q
ZIVA_VECTOR_CLONES void multiply_add(const Complex* x, const Complex* p, const Complex* y,
                                     const Complex* q, Complex* out, Eigen::Index n) {
  const double* a = reinterpret_cast<const double*>(x);
  const double* b = reinterpret_cast<const double*>(p);
  const double* c = reinterpret_cast<const double*>(y);
  const double* d = reinterpret_cast<const double*>(q);
  double* o = reinterpret_cast<double*>(out);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double re = (a[2 * i] * b[2 * i] - a[2 * i + 1] * b[2 * i + 1]) +
                      (c[2 * i] * d[2 * i] - c[2 * i + 1] * d[2 * i + 1]);
    const double im = (a[2 * i] * b[2 * i + 1] + a[2 * i + 1] * b[2 * i]) +
                      (c[2 * i] * d[2 * i + 1] + c[2 * i + 1] * d[2 * i]);
    o[2 * i] = re;
    o[2 * i + 1] = im;
  }
}

ZIVA_VECTOR_CLONES void multiply(const double* x, const Complex* y, Complex* out, Eigen::Index n) {
  const double* b = reinterpret_cast<const double*>(y);
  double* o = reinterpret_cast<double*>(out);
  for (Eigen::Index i = 0; i < n; ++i) {
    o[2 * i] = x[i] * b[2 * i];
    o[2 * i + 1] = x[i] * b[2 * i + 1];
  }
}

// Checks one of k, w, a: absent or empty means "use the default".
template <typename Matrix>
bool given(const std::optional<Matrix>& v) {
  if (!v || v->size() == 0) return false;
  if (v->size() != 1) throw Error("Inputs M, W and A must be scalars.");
  return true;
}

template <typename Matrix>
Eigen::MatrixXcd czt_columns(const Matrix& x, const std::optional<Eigen::MatrixXd>& k_in,
                             const std::optional<Eigen::MatrixXcd>& w_in,
                             const std::optional<Eigen::MatrixXcd>& a_in) {
  const bool is_row = x.rows() == 1;
  const Eigen::Index m = is_row ? x.cols() : x.rows();
  const Eigen::Index n = is_row ? 1 : x.cols();

  const bool has_k = given(k_in);
  const bool has_w = given(w_in);
  const bool has_a = given(a_in);
  const double k_value = has_k ? (*k_in)(0) : static_cast<double>(m);
  if (!std::isfinite(k_value)) throw Error("Input M must be a finite number.");
  const Eigen::Index k = k_value > 0 ? static_cast<Eigen::Index>(std::floor(k_value)) : 0;
  const Complex w = has_w ? (*w_in)(0) : std::exp(Complex(0.0, -2.0 * std::numbers::pi / k_value));
  const Complex a = has_a ? (*a_in)(0) : Complex(1.0, 0.0);

  Eigen::MatrixXcd g(k, n);
  if (m == 0) {
    g.setZero();
  } else if (k > 0 && n > 0) {
    const ChirpZ transform(m, k, w, a);
    fft::Buffer work = transform.workspace();
    for (Eigen::Index c = 0; c < n; ++c) transform.apply(x.data() + c * m, g.col(c).data(), work);
  }
  if (is_row) return g.transpose();
  return g;
}

}  // namespace

ChirpZ::ChirpZ(Eigen::Index m, Eigen::Index k, Complex w, Complex a) : m_(m), k_(k) {
  init(nullptr, w, a);
}

ChirpZ::ChirpZ(const Eigen::VectorXd& weights, Eigen::Index k, Complex w, Complex a)
    : m_(weights.size()), k_(k) {
  init(&weights, w, a);
}

void ChirpZ::init(const Eigen::VectorXd* weights, Complex w, Complex a) {
  if (m_ < 0 || k_ < 0) throw std::invalid_argument("ChirpZ: negative length");
  if (m_ == 0 || k_ == 0) return;
  l_ = next_power_of_two(m_ + k_ - 1);
  split_ = l_ >= 2 && 2 * m_ <= l_;
  const Eigen::Index n = split_ ? l_ / 2 : l_;
  forward_ = &fft::Plan::get(n, fft::Direction::forward, fft::Placement::out_of_place);
  backward_ = &fft::Plan::get(n, fft::Direction::backward, fft::Placement::out_of_place);

  // w^(t²/2) = exp(t²/2 · log w); t²/2 is exact in doubles for every length that fits in memory.
  // Powers of the L-th root of unity W = e^(−2πi/L) are reduced modulo L before scaling.
  const Complex log_w = std::log(w);
  const Complex log_a = std::log(a);
  auto half_square = [](Eigen::Index t) {
    return 0.5 * static_cast<double>(t) * static_cast<double>(t);
  };
  auto root_angle = [this](Eigen::Index t) {
    return -2.0 * std::numbers::pi * static_cast<double>(t % l_) / static_cast<double>(l_);
  };

  pre_.resize(m_);
  for (Eigen::Index t = 0; t < m_; ++t) {
    const Complex c = std::exp(half_square(t) * log_w - static_cast<double>(t) * log_a);
    pre_(t) = weights ? (*weights)(t)*c : c;
  }
  post_.resize(k_);
  for (Eigen::Index j = 0; j < k_; ++j) post_(j) = std::exp(half_square(j) * log_w);

  // The chirp's reciprocal v(t) = w^(−t²/2), t = −(m−1) … k−1, placed from index 0; 1/L of the
  // inverse transform is folded into it.
  Eigen::VectorXcd v = Eigen::VectorXcd::Zero(l_);
  const double scale = 1.0 / static_cast<double>(l_);
  for (Eigen::Index t = 0; t < std::max(m_, k_); ++t) {
    const Complex c = std::exp(-half_square(t) * log_w) * scale;
    if (t < k_) v(m_ - 1 + t) = c;
    if (t > 0 && t < m_) v(m_ - 1 - t) = c;
  }

  kernel_ = fft::Buffer(l_);
  fft::Buffer sequence(l_);
  if (!split_) {
    std::copy(v.data(), v.data() + l_, sequence.data());
    forward_->execute(sequence.data(), kernel_.data());
    return;
  }

  // Split form: the premultiplied sequence lies in the first half of the L points, so its
  // even-indexed transform values are the half-length transform of it and the odd-indexed ones
  // that of it times W^t. The kernel is split the same way (decimation in frequency), and the
  // inverse transform recombines the halves as G(t) = E(t mod L/2) + W^(−t)·O(t mod L/2).
  const Eigen::Index h = l_ / 2;
  pre_odd_.resize(m_);
  for (Eigen::Index t = 0; t < m_; ++t) {
    const Complex c = std::exp(half_square(t) * log_w - static_cast<double>(t) * log_a +
                               Complex(0.0, root_angle(t)));
    pre_odd_(t) = weights ? (*weights)(t)*c : c;
  }
  post_odd_.resize(k_);
  for (Eigen::Index j = 0; j < k_; ++j) {
    post_odd_(j) = std::exp(half_square(j) * log_w - Complex(0.0, root_angle(m_ - 1 + j)));
  }
  for (Eigen::Index t = 0; t < h; ++t) {
    sequence[t] = v(t) + v(t + h);
    sequence[h + t] = (v(t) - v(t + h)) * std::polar(1.0, root_angle(t));
  }
  forward_->execute(sequence.data(), kernel_.data());
  forward_->execute(sequence.data() + h, kernel_.data() + h);
}

// The workspace holds the premultiplied sequence (first L values), which also receives the
// result of the inverse transform, and its transform (next L values).
void ChirpZ::convolve(Complex* out, fft::Buffer& work) const {
  Complex* sequence = work.data();
  Complex* spectrum = work.data() + l_;
  if (!split_) {
    forward_->execute(sequence, spectrum);
    multiply(spectrum, kernel_.data(), spectrum, l_);
    backward_->execute(spectrum, sequence);
    multiply(sequence + (m_ - 1), post_.data(), out, k_);
    return;
  }
  const Eigen::Index h = l_ / 2;
  Complex* even = sequence;
  Complex* odd = sequence + h;
  forward_->execute(even, spectrum);
  forward_->execute(odd, spectrum + h);
  multiply(spectrum, kernel_.data(), spectrum, l_);
  backward_->execute(spectrum, even);
  backward_->execute(spectrum + h, odd);
  // Output j takes G(m − 1 + j); the index into the halves wraps once at h.
  const Eigen::Index before_wrap = std::min(k_, h - (m_ - 1));
  multiply_add(even + (m_ - 1), post_.data(), odd + (m_ - 1), post_odd_.data(), out, before_wrap);
  Eigen::Index done = before_wrap;
  while (done < k_) {
    const Eigen::Index count = std::min(k_ - done, h);
    multiply_add(even, post_.data() + done, odd, post_odd_.data() + done, out + done, count);
    done += count;
  }
}

void ChirpZ::apply(const double* x, Complex* out, fft::Buffer& work) const {
  premultiply(x, out, work);
}

void ChirpZ::apply(const Complex* x, Complex* out, fft::Buffer& work) const {
  premultiply(x, out, work);
}

template <typename Sample>
void ChirpZ::premultiply(const Sample* x, Complex* out, fft::Buffer& work) const {
  if (m_ == 0 || k_ == 0) {
    std::fill(out, out + k_, Complex(0.0, 0.0));
    return;
  }
  const Eigen::Index n = split_ ? l_ / 2 : l_;
  multiply(x, pre_.data(), work.data(), m_);
  std::fill(work.data() + m_, work.data() + n, Complex(0.0, 0.0));
  if (split_) {
    multiply(x, pre_odd_.data(), work.data() + n, m_);
    std::fill(work.data() + n + m_, work.data() + l_, Complex(0.0, 0.0));
  }
  convolve(out, work);
}

Eigen::MatrixXcd czt(const Eigen::MatrixXcd& x, const std::optional<Eigen::MatrixXd>& k,
                     const std::optional<Eigen::MatrixXcd>& w,
                     const std::optional<Eigen::MatrixXcd>& a) {
  return czt_columns(x, k, w, a);
}

Eigen::MatrixXcd czt(const Eigen::MatrixXd& x, const std::optional<Eigen::MatrixXd>& k,
                     const std::optional<Eigen::MatrixXcd>& w,
                     const std::optional<Eigen::MatrixXcd>& a) {
  return czt_columns(x, k, w, a);
}

}  // namespace ziva
