// libFuzzer target for the WAV reader: on any bytes wavread returns samples or raises one of its
// own messages. Built with -DZIVA_FUZZ_SEEDS it is instead a program that writes a seed corpus of
// valid files into the folder given as its argument. Built and run by bench/fuzz_wavread.sh.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/error.h"
#include "wav/wav_read.h"
#include "wav/wav_write.h"

#ifndef ZIVA_FUZZ_SEEDS

namespace {

bool starts_with(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool is_reader_message(const std::string& m) {
  static const char* const fixed[] = {
      "Index range must be specified as a scalar or 2-element vector.",
      "Not a WAVE file.",
      "File does not contain required 'WAVE' data chunk.",
      "File does not contain required 'data' data chunk.",
      "Truncated chunk header found - possibly not a WAV file.",
      "Corrupt WAV file: found audio data before format information.",
      "Incorrect chunk size information in WAV file.",
      "Error reading <wave-fmt> chunk.",
      "Error reading PCM <wave-fmt> chunk.",
      "Error reading <fact-ck> chunk.",
      "Error reading <disp-ck> chunk.",
      "Error reading <list-ck> chunk.",
      "Cannot read PCM file formats with more than 32 bits per sample.",
      "Sample limit vector must have 2 elements.",
      "Sample limits out of range.",
      "Sample limits must be given in ascending order.",
      "Error reading PCM file format."};
  for (const char* f : fixed) {
    if (m == f) return true;
  }
  return starts_with(m, "Data compression format (") && ends_with(m, ") is not supported.");
}

// The extent a selector byte names: all, size, or a small range (also invalid ones).
ziva::WavExtent extent_of(std::uint8_t sel) {
  switch (sel & 3) {
    case 0:
      return ziva::WavExtent::all();
    case 1:
      return ziva::WavExtent::size();
    case 2:
      return ziva::WavExtent::range(1 + ((sel >> 2) & 7), 1 + (sel >> 5) * 3);
    default:
      return ziva::WavExtent::range(static_cast<double>(sel >> 2) - 8, sel >> 4);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const ziva::WavExtent ext = extent_of(data[0]);
  try {
    const ziva::WavReadResult r = ziva::wavread_bytes(data + 1, size - 1, ext);
    if (ext.kind == ziva::WavExtent::Kind::Size && (r.y.rows() != 1 || r.y.cols() != 2)) abort();
    // every sample comes from the file: at least one byte each
    if (ext.kind != ziva::WavExtent::Kind::Size && static_cast<std::size_t>(r.y.size()) > size) {
      abort();
    }
    volatile double sink = r.y.sum();
    (void)sink;
  } catch (const ziva::Error& e) {
    if (!is_reader_message(e.text())) {
      std::fprintf(stderr, "unexpected message: %s\n", e.text().c_str());
      abort();
    }
  }
  return 0;
}

#else

namespace {

std::string le(std::uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

std::string chunk(const std::string& id, const std::string& body, bool pad = true) {
  std::string s = id + le(body.size(), 4) + body;
  if (pad && body.size() % 2 == 1) s.push_back('\0');
  return s;
}

std::string wave(const std::string& chunks) {
  return "RIFF" + le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

std::string fmt(unsigned tag, unsigned channels, unsigned align, unsigned bits,
                const std::string& extra = "") {
  return chunk("fmt ", le(tag, 2) + le(channels, 2) + le(8000, 4) + le(8000 * align, 4) +
                           le(align, 2) + le(bits, 2) + extra);
}

// Hand-made files of the kinds other recorders write: 32-bit integer PCM, older scaled floats
// under the PCM tag, 64-bit floats under both headers, a last chunk without its pad byte.
std::vector<std::string> recorder_files() {
  std::string ints, scaled, doubles;
  for (std::int32_t v : {-1, 1000733000, -1000733000, 256})
    ints += le(static_cast<std::uint32_t>(v), 4);
  for (std::uint32_t v : {0x3E800000u, 0xC7000000u, 0x00000000u, 0x46FFFE00u}) scaled += le(v, 4);
  for (std::uint64_t v :
       {0x3FB999999999999AULL, 0xC004000000000000ULL, 0ULL, 0x3FF0000000000000ULL}) {
    doubles += le(v, 8);
  }
  const std::string guid_float =
      le(3, 2) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  return {
      wave(fmt(1, 1, 4, 32) + chunk("data", ints)),
      wave(fmt(1, 2, 8, 32) + chunk("data", scaled)),
      wave(fmt(3, 1, 8, 64) + chunk("data", doubles)),
      wave(fmt(65534, 2, 16, 64, le(22, 2) + le(64, 2) + le(3, 4) + guid_float) +
           chunk("data", doubles)),
      wave(fmt(1, 1, 1, 8) + chunk("data", "\x80\x90\x70", false)),
      wave(fmt(1, 1, 2, 16) + chunk("data", le(7, 2)) +
           chunk("LIST", "INFOINAM" + le(1, 4) + "x", false)),
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  Eigen::MatrixXd y(6, 2);
  y << 0.5, -0.5, 1.0, -1.0, 0.25, 0.0, -0.125, 0.75, 0.1, -0.9, 0.3, 0.6;
  int n = 0;
  for (int bits : {8, 16, 24, 32}) {
    for (int channels : {1, 2}) {
      // the selector byte in front of the file
      const std::string name = dir + "/seed" + std::to_string(n++) + ".tmp";
      ziva::wavwrite(y.leftCols(channels), 8000, bits, name);
      std::FILE* in = std::fopen(name.c_str(), "rb");
      std::string bytes(1, static_cast<char>(n % 4));
      int c;
      while ((c = std::fgetc(in)) != EOF) bytes.push_back(static_cast<char>(c));
      std::fclose(in);
      std::remove(name.c_str());
      // an INFO list and an odd unknown chunk behind the data
      bytes += std::string("LIST\x12\0\0\0INFOINAM\x05\0\0\0Lauf\0\0junk\x01\0\0\0x\0", 36);
      std::FILE* out = std::fopen((dir + "/seed" + std::to_string(n) + ".wav").c_str(), "wb");
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      std::fclose(out);
    }
  }
  for (const std::string& file : recorder_files()) {
    const std::string bytes = std::string(1, static_cast<char>(n % 4)) + file;
    std::FILE* out = std::fopen((dir + "/seed" + std::to_string(++n) + ".wav").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  return 0;
}

#endif
