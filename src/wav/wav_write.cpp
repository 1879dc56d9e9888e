#include "wav/wav_write.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/warning.h"
#include "wav/little_endian.h"

namespace ziva {
namespace {

using namespace wav_detail;

constexpr std::uint64_t kMaxU32 = 0xFFFFFFFFu;

// Rounded and held to the range of an unsigned 32-bit header field.
std::uint32_t header_u32(double v) {
  const double r = std::round(v);
  if (!(r > 0)) return 0;
  if (r >= static_cast<double>(kMaxU32)) return static_cast<std::uint32_t>(kMaxU32);
  return static_cast<std::uint32_t>(r);
}

// The nearest float; magnitudes beyond the float range become infinities.
float to_float(double x) {
  if (std::fabs(x) < 0x1.ffffffp+127 || std::isnan(x)) return static_cast<float>(x);
  return x > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

// Encodes the samples frame by frame into `out`; returns true when a value was clipped.
bool encode(const Eigen::Map<const Eigen::MatrixXd>& y, int nbits, unsigned char* out) {
  const Eigen::Index samples = y.rows();
  const Eigen::Index channels = y.cols();
  if (nbits == 32) {
    for (Eigen::Index s = 0; s < samples; ++s) {
      for (Eigen::Index c = 0; c < channels; ++c, out += 4) {
        store_u32(out, std::bit_cast<std::uint32_t>(to_float(y(s, c))));
      }
    }
    return false;
  }
  const double m = std::ldexp(1.0, nbits - 1);
  const double b = nbits == 8 ? 128.0 : 0.0;
  const double low = b - m;
  const double high = b + m - 1;
  const int bytes = nbits / 8;
  bool clipped = false;
  for (Eigen::Index s = 0; s < samples; ++s) {
    for (Eigen::Index c = 0; c < channels; ++c, out += bytes) {
      double q = std::round(m * y(s, c) + b);
      if (std::isnan(q)) {
        q = b;  // a missing value is written as silence
      } else if (q < low) {
        q = low;
        clipped = true;
      } else if (q > high) {
        q = high;
        clipped = true;
      }
      const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(q));
      for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
    }
  }
  return clipped;
}

void write_or_throw(AtomicFile& file, const void* data, std::size_t size,
                    const std::string& error) {
  if (!file.write(data, size)) throw Error(error);
}

}  // namespace

void wavwrite(const Eigen::MatrixXd& y_in, double Fs, double nbits_in,
              const std::string& wavefile) {
  // a single row is one channel; column-major storage makes it the same as a column
  const Eigen::Index rows = y_in.rows() == 1 ? y_in.cols() : y_in.rows();
  const Eigen::Map<const Eigen::MatrixXd> y(y_in.data(), rows, y_in.rows() == 1 ? 1 : y_in.cols());
  if (nbits_in != 8 && nbits_in != 16 && nbits_in != 24 && nbits_in != 32) {
    throw Error("Invalid number of bits specified.");
  }
  const int nbits = static_cast<int>(nbits_in);
  const std::string name = wav_file_name(wavefile);

  const std::uint64_t samples = static_cast<std::uint64_t>(y.rows());
  const std::uint64_t channels = static_cast<std::uint64_t>(y.cols());
  const std::uint64_t bytes = static_cast<std::uint64_t>(nbits / 8);
  const std::uint64_t align = channels * bytes;
  // A header field that cannot hold its value would describe another file than the one written.
  if (align > 0xFFFF) throw Error("Failed to write WAVE format chunk to file" + name);
  if (channels > 0 && samples > (kMaxU32 - 37) / align) {
    throw Error("Failed to write RIFF chunk to WAVE file: " + name);
  }
  const std::uint64_t data_bytes = samples * align;
  const std::uint64_t pad = data_bytes % 2;
  const std::uint32_t rate = header_u32(Fs);

  std::vector<unsigned char> data(static_cast<std::size_t>(data_bytes + pad), 0);
  const bool clipped = encode(y, nbits, data.data());

  std::unique_ptr<AtomicFile> file;
  errno = 0;
  try {
    file = std::make_unique<AtomicFile>(name, "");
  } catch (const Error&) {
    const int err = errno;
    throw Error(err != 0 ? std::strerror(err) : "Cannot open file.");
  }

  unsigned char riff[12] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  store_u32(riff + 4, static_cast<std::uint32_t>(36 + data_bytes + pad));
  write_or_throw(*file, riff, 8, "Failed to write RIFF chunk to WAVE file: " + name);
  write_or_throw(*file, riff + 8, 4, "Failed to write WAVE chunk to WAVE file: " + name);

  unsigned char fmt_header[8] = {'f', 'm', 't', ' ', 16, 0, 0, 0};
  write_or_throw(*file, fmt_header, 8, "Failed to write fmt  chunk to WAVE file: " + name);

  unsigned char fmt[16];
  store_u16(fmt, nbits == 32 ? 3 : 1);
  store_u16(fmt + 2, static_cast<std::uint16_t>(channels));
  store_u32(fmt + 4, rate);
  store_u32(fmt + 8, static_cast<std::uint32_t>(std::min<std::uint64_t>(align * rate, kMaxU32)));
  store_u16(fmt + 12, static_cast<std::uint16_t>(align));
  store_u16(fmt + 14, static_cast<std::uint16_t>(nbits));
  write_or_throw(*file, fmt, 16, "Failed to write WAVE format chunk to file" + name);

  unsigned char data_header[8] = {'d', 'a', 't', 'a'};
  store_u32(data_header + 4, static_cast<std::uint32_t>(data_bytes));
  write_or_throw(*file, data_header, 8, "Failed to write data chunk to WAVE file: " + name);

  if (clipped) warning("Data clipped during write to file:" + name);
  write_or_throw(*file, data.data(), data.size(), "Failed to write PCM data samples.");
  file->commit("Failed to write PCM data samples.");
}

std::string wav_file_name(const std::string& wavefile) {
  return wavefile.find('.') == std::string::npos ? wavefile + ".wav" : wavefile;
}

void wavwrite(const Eigen::MatrixXd& y, double Fs, const std::string& wavefile) {
  wavwrite(y, Fs, 16, wavefile);
}

void wavwrite(const Eigen::MatrixXd& y, const std::string& wavefile) {
  wavwrite(y, 8000, 16, wavefile);
}

}  // namespace ziva
