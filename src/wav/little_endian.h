// Little-endian byte access shared by the WAV reader and writer, independent of the host's order.
#pragma once

#include <bit>
#include <cstdint>

namespace ziva::wav_detail {

inline std::uint16_t load_u16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t load_u32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int16_t load_i16(const unsigned char* p) {
  return static_cast<std::int16_t>(load_u16(p));
}

// A signed 24-bit number in three bytes.
inline std::int32_t load_i24(const unsigned char* p) {
  std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                    (static_cast<std::uint32_t>(p[2]) << 16);
  return static_cast<std::int32_t>(u << 8) >> 8;
}

inline std::int32_t load_i32(const unsigned char* p) {
  return static_cast<std::int32_t>(load_u32(p));
}

inline float load_f32(const unsigned char* p) {
  return std::bit_cast<float>(load_u32(p));
}

inline double load_f64(const unsigned char* p) {
  return std::bit_cast<double>(std::uint64_t{load_u32(p)} | (std::uint64_t{load_u32(p + 4)} << 32));
}

inline void store_u16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void store_u32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace ziva::wav_detail
