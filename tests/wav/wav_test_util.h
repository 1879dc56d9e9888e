// Helpers for the WAV tests: file images assembled byte by byte (independently of the writer),
// a fresh temporary folder per test, and whole-file reads.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "support/error_of.h"

namespace wavtest {

namespace fs = std::filesystem;

inline std::string u16(unsigned v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string u32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

inline std::string i16(int v) {
  return u16(static_cast<unsigned>(v) & 0xFFFF);
}
inline std::string i24(int v) {
  return u32(static_cast<std::uint32_t>(v)).substr(0, 3);
}
inline std::string i32(std::int32_t v) {
  return u32(static_cast<std::uint32_t>(v));
}
inline std::string f32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return u32(bits);
}
inline std::string f64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return u32(static_cast<std::uint32_t>(bits)) + u32(static_cast<std::uint32_t>(bits >> 32));
}

// A chunk: 4-byte ID, the body's length (or `size` when given), the body and, for an odd
// length, a pad byte unless `pad` is false.
inline std::string chunk(const std::string& id, const std::string& body,
                         std::optional<std::uint32_t> size = std::nullopt, bool pad = true) {
  std::string s = id.substr(0, 4);
  s.resize(4, ' ');
  s += u32(size ? *size : static_cast<std::uint32_t>(body.size()));
  s += body;
  if (pad && body.size() % 2 == 1) s.push_back('\0');
  return s;
}

// The body of a format chunk: the 14 common bytes, then nBitsPerSample when given, then `extra`.
inline std::string fmt_body(unsigned tag, unsigned channels, std::uint32_t rate, unsigned align,
                            std::optional<unsigned> bits = std::nullopt,
                            const std::string& extra = "") {
  std::string s = u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align);
  if (bits) s += u16(*bits);
  return s + extra;
}

inline std::string pcm_fmt(unsigned channels, std::uint32_t rate, unsigned bytes_per_sample) {
  return chunk("fmt ",
               fmt_body(1, channels, rate, channels * bytes_per_sample, 8 * bytes_per_sample));
}

// The RIFF container around `chunks`; the RIFF size is what the chunks make.
inline std::string riff(const std::string& chunks, const std::string& type = "WAVE") {
  return "RIFF" + u32(static_cast<std::uint32_t>(4 + chunks.size())) + type + chunks;
}

// A folder of its own for one test and process, emptied first.
inline fs::path temp_dir(const std::string& name) {
  fs::path dir =
      fs::temp_directory_path() / ("ziva_wav_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline fs::path write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A test with a folder of its own, named after the test and removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

using ziva::testing::error_of;

}  // namespace wavtest
