// Read throughput of wavread for a 10-minute 48 kHz stereo recording at 16 and 24 bits, with the
// file in the page cache; reported as bytes of file data per second of the process's CPU time
// (user and system), which on a machine shared with other work is the reader's own speed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "wav/wav_read.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kFrames = 10 * 60 * kRate;

void put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Writes a stereo PCM file of kFrames frames (a slow two-tone pattern) once and keeps it until
// the program ends.
class TestFile {
 public:
  explicit TestFile(int bytes) {
    path_ = fs::temp_directory_path() / ("ziva_bench_wav_" + std::to_string(8 * bytes) + ".wav");
    const std::uint32_t data = kFrames * 2 * static_cast<std::uint32_t>(bytes);
    std::string header = "RIFF";
    put(header, 36 + data, 4);
    header += "WAVEfmt ";
    put(header, 16, 4);
    put(header, 1, 2);
    put(header, 2, 2);
    put(header, kRate, 4);
    put(header, kRate * 2 * static_cast<std::uint32_t>(bytes), 4);
    put(header, 2 * static_cast<std::uint32_t>(bytes), 2);
    put(header, 8 * static_cast<std::uint32_t>(bytes), 2);
    header += "data";
    put(header, data, 4);
    std::ofstream out(path_, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::string block;
    const std::uint32_t mask = (1u << (8 * bytes)) - 1;
    for (std::uint32_t f = 0; f < kFrames; ++f) {
      put(block, (f * 37u) & mask, bytes);
      put(block, (f * 101u) & mask, bytes);
      if (block.size() >= (1u << 20) || f + 1 == kFrames) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        block.clear();
      }
    }
  }
  ~TestFile() { fs::remove(path_); }
  std::string name() const { return path_.string(); }
  std::int64_t size() const { return static_cast<std::int64_t>(fs::file_size(path_)); }

 private:
  fs::path path_;
};

void read_stereo(benchmark::State& state, int bytes) {
  static TestFile file16(2);
  static TestFile file24(3);
  const TestFile& file = bytes == 2 ? file16 : file24;
  ziva::wavread(file.name());  // into the page cache
  for (auto _ : state) {
    ziva::WavReadResult r = ziva::wavread(file.name());
    benchmark::DoNotOptimize(r.y.data());
  }
  state.SetBytesProcessed(state.iterations() * file.size());
}

void BM_wavread_16bit_stereo_10min(benchmark::State& state) {
  read_stereo(state, 2);
}
void BM_wavread_24bit_stereo_10min(benchmark::State& state) {
  read_stereo(state, 3);
}

BENCHMARK(BM_wavread_16bit_stereo_10min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_wavread_24bit_stereo_10min)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
