#include "wav/wav_read.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/error.h"
#include "base/vectors.h"
#include "wav/little_endian.h"

namespace ziva {
namespace {

using namespace wav_detail;

const char* const kIndexRange = "Index range must be specified as a scalar or 2-element vector.";
const char* const kCannotOpen = "Cannot open file.";
const char* const kNotWave = "Not a WAVE file.";
const char* const kTruncatedHeader = "Truncated chunk header found - possibly not a WAV file.";
const char* const kDataBeforeFormat =
    "Corrupt WAV file: found audio data before format information.";
const char* const kChunkSize = "Incorrect chunk size information in WAV file.";
const char* const kFmtChunk = "Error reading <wave-fmt> chunk.";
const char* const kPcmFmtChunk = "Error reading PCM <wave-fmt> chunk.";
const char* const kFactChunk = "Error reading <fact-ck> chunk.";
const char* const kDispChunk = "Error reading <disp-ck> chunk.";
const char* const kListChunk = "Error reading <list-ck> chunk.";
const char* const kTooWide = "Cannot read PCM file formats with more than 32 bits per sample.";
const char* const kTwoElements = "Sample limit vector must have 2 elements.";
const char* const kOutOfRange = "Sample limits out of range.";
const char* const kAscending = "Sample limits must be given in ascending order.";
const char* const kPcmData = "Error reading PCM file format.";

std::string missing_chunk(const std::string& type) {
  return "File does not contain required '" + type + "' data chunk.";
}

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string s) {
  for (char& c : s) c = lower(c);
  return s;
}

bool is_blank(char c) {
  return c == '\0' || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string deblank(std::string s) {
  while (!s.empty() && is_blank(s.back())) s.pop_back();
  return s;
}

// Random access to the bytes of a file image.
class Source {
 public:
  virtual ~Source() = default;
  virtual std::uint64_t size() const = 0;
  // Copies up to n bytes from `offset`; fewer only at the end of the image or on a read error.
  virtual std::size_t read_at(std::uint64_t offset, void* dst, std::size_t n) const = 0;
};

class MemorySource : public Source {
 public:
  MemorySource(const void* data, std::size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, void* dst, std::size_t n) const override {
    if (offset >= size_) return 0;
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
    if (count > 0) std::memcpy(dst, data_ + offset, count);
    return count;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

// A regular file, opened for reading and closed when the source ends.
class FileSource : public Source {
 public:
  explicit FileSource(const std::string& name) {
    if (name.find('\0') != std::string::npos) throw Error(kCannotOpen);
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Error(kCannotOpen);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      throw Error(kCannotOpen);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, void* dst, std::size_t n) const override {
    std::size_t done = 0;
    auto* out = static_cast<unsigned char*>(dst);
    while (done < n) {
      ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// A read position in a source; reads and skips never pass its end.
class Cursor {
 public:
  explicit Cursor(const Source& source) : source_(source), size_(source.size()) {}

  std::uint64_t pos() const { return pos_; }
  std::uint64_t remaining() const { return size_ - pos_; }
  bool at_end() const { return pos_ >= size_; }

  // Reads up to n bytes and returns how many were read.
  std::size_t read_some(void* dst, std::size_t n) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining()));
    std::size_t got = want == 0 ? 0 : source_.read_at(pos_, dst, want);
    pos_ += got;
    return got;
  }
  // Reads exactly n bytes; false when fewer were there.
  bool read(void* dst, std::size_t n) { return read_some(dst, n) == n; }
  // Moves n bytes on; false, without moving, when that would pass the end.
  bool skip(std::uint64_t n) {
    if (n > remaining()) return false;
    pos_ += n;
    return true;
  }
  void seek(std::uint64_t pos) { pos_ = std::min(pos, size_); }

 private:
  const Source& source_;
  std::uint64_t size_;
  std::uint64_t pos_ = 0;
};

struct ChunkHeader {
  bool end_of_file = false;
  std::string id;  // trailing blanks and NULs removed, case as in the file
  std::uint32_t size = 0;
};

// One chunk header; the end of the file (with at most 3 stray bytes) gives end_of_file.
ChunkHeader read_ckinfo(Cursor& in) {
  ChunkHeader ck;
  unsigned char raw[4];
  std::size_t got = in.read_some(raw, 4);
  if (got < 4) {
    if (!in.at_end()) throw Error(kTruncatedHeader);
    ck.end_of_file = true;
    return ck;
  }
  ck.id = deblank(std::string(reinterpret_cast<const char*>(raw), 4));
  if (!in.read(raw, 4)) throw Error(kTruncatedHeader);
  ck.size = load_u32(raw);
  return ck;
}

void read_riff_header(Cursor& in) {
  ChunkHeader ck;
  try {
    ck = read_ckinfo(in);
  } catch (const Error&) {
    throw Error(kNotWave);
  }
  if (ck.end_of_file || lower(ck.id) != "riff") throw Error(kNotWave);
  unsigned char type[4];
  if (!in.read(type, 4)) throw Error(kNotWave);
  if (lower(std::string(reinterpret_cast<const char*>(type), 4)) != "wave") {
    throw Error(missing_chunk("WAVE"));
  }
}

// Moves past the pad byte of a chunk of `size` bytes whose body was just passed. Writers often
// leave out the pad byte after an odd-sized last chunk, so the end of the file may take its place.
void skip_pad(Cursor& in, std::uint32_t size) {
  if (size & 1u) in.skip(1);
}

// Skips the part of a chunk (body and pad byte) that starts at `start` and was not read.
void skip_rest(Cursor& in, std::uint64_t start, std::uint32_t size, const char* error) {
  const std::uint64_t done = in.pos() - start;
  if (done < size && !in.skip(size - done)) throw Error(error);
  if (done <= size) skip_pad(in, size);
}

bool is_guid_tail_of_base_format(const unsigned char* guid) {
  static const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  return std::memcmp(guid + 2, tail, sizeof tail) == 0;
}

WavFormat read_wavefmt(Cursor& in, std::uint32_t size) {
  const std::uint64_t start = in.pos();
  if (size < 14) throw Error(kFmtChunk);
  unsigned char b[26];
  if (!in.read(b, 14)) throw Error(kFmtChunk);
  WavFormat fmt;
  fmt.wFormatTag = load_u16(b);
  fmt.nChannels = load_u16(b + 2);
  fmt.nSamplesPerSec = load_u32(b + 4);
  fmt.nAvgBytesPerSec = load_u32(b + 8);
  fmt.nBlockAlign = load_u16(b + 12);
  if (fmt.wFormatTag == 1) {
    if (size < 16 || !in.read(b, 2)) throw Error(kPcmFmtChunk);
    fmt.nBitsPerSample = load_u16(b);
    if (size > 16) {
      if (size >= 18) {
        if (!in.read(b, 2)) throw Error(kPcmFmtChunk);
        fmt.cbSize = load_u16(b);
      }
      skip_rest(in, start, size, kPcmFmtChunk);
    }
  } else if (fmt.wFormatTag == 65534 && size >= 40) {
    if (!in.read(b, 26)) throw Error(kFmtChunk);
    fmt.nBitsPerSample = load_u16(b);
    fmt.cbSize = load_u16(b + 2);
    if (*fmt.cbSize >= 22) {
      fmt.wValidBitsPerSample = load_u16(b + 4);
      fmt.dwChannelMask = load_u32(b + 6);
      fmt.SubFormat = std::string(reinterpret_cast<const char*>(b + 10), 16);
    }
  }
  skip_rest(in, start, size, kFmtChunk);
  return fmt;
}

// The format tag the samples are read by: an extensible format with a PCM or IEEE float
// sub-format counts as that format.
int data_tag(const WavFormat& fmt) {
  int tag = static_cast<int>(fmt.wFormatTag);
  if (tag == 65534 && fmt.SubFormat) {
    const auto* guid = reinterpret_cast<const unsigned char*>(fmt.SubFormat->data());
    int sub = load_u16(guid);
    if ((sub == 1 || sub == 3) && is_guid_tail_of_base_format(guid)) return sub;
  }
  return tag;
}

std::string compression_name(int tag) {
  switch (tag) {
    case 2:
      return "Microsoft ADPCM";
    case 6:
      return "CCITT a-law";
    case 7:
      return "CCITT mu-law";
    case 17:
      return "IMA ADPCM";
    case 34:
      return "DSP Group TrueSpeech TM";
    case 49:
      return "GSM 6.10";
    case 50:
      return "MSN Audio";
    case 257:
      return "IBM Mu-law";
    case 258:
      return "IBM A-law";
    case 259:
      return "IBM AVC Adaptive Differential";
    default:
      return "Format #" + std::to_string(tag);
  }
}

// F32Scaled: PCM with 4-byte samples that are either signed integers or, in older files, floats
// scaled to ±32768; the data decides (see holds_scaled_floats).
enum class SampleType { U8, I16, I24, I32, F32Scaled, F32, F64 };

struct SampleLayout {
  SampleType type;
  int bytes;  // per sample
  int channels;
};

SampleLayout sample_layout(const WavFormat& fmt) {
  const int tag = data_tag(fmt);
  if (tag != 1 && tag != 3) {
    throw Error("Data compression format (" + compression_name(tag) + ") is not supported.");
  }
  const int channels = static_cast<int>(fmt.nChannels);
  const int align = static_cast<int>(fmt.nBlockAlign);
  // ceil(nBlockAlign / nChannels) must be 1..4, or 8 for IEEE float; no channels gives no width
  const int bytes = channels > 0 ? (align + channels - 1) / channels : 0;
  switch (bytes) {
    case 1:
      return {SampleType::U8, 1, channels};
    case 2:
      return {SampleType::I16, 2, channels};
    case 3:
      return {SampleType::I24, 3, channels};
    case 4:
      if (tag == 3) return {SampleType::F32, 4, channels};
      if (fmt.wFormatTag == 65534 || fmt.nBitsPerSample == 24.0) {
        return {SampleType::I32, 4, channels};
      }
      return {SampleType::F32Scaled, 4, channels};
    case 8:
      if (tag == 3) return {SampleType::F64, 8, channels};
      throw Error(kTooWide);
    default:
      throw Error(kTooWide);
  }
}

// Asks the system to back a large fresh array with huge pages, which makes its first filling
// several times faster; the advice is only a hint and its failure is of no consequence.
void advise_huge_pages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 4 * kHuge) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

template <int Bytes, class Load>
void convert_frames(const unsigned char* in, Eigen::Index frames, int channels, double* out,
                    Eigen::Index stride, Load load) {
  const std::size_t frame = static_cast<std::size_t>(Bytes) * static_cast<std::size_t>(channels);
  for (int c = 0; c < channels; ++c) {
    const unsigned char* p = in + static_cast<std::size_t>(c) * Bytes;
    double* o = out + c * stride;
    for (Eigen::Index f = 0; f < frames; ++f) {
      o[f] = load(p + static_cast<std::size_t>(f) * frame);
    }
  }
}

// Converts `frames` whole frames: channel c's samples go to out + c·stride. The conversions are
// exact, so a build for wider vectors gives the same numbers.
ZIVA_VECTOR_CLONES
void convert(const SampleLayout& layout, const unsigned char* in, Eigen::Index frames, double* out,
             Eigen::Index stride) {
  const int ch = layout.channels;
  switch (layout.type) {
    case SampleType::U8:
      convert_frames<1>(in, frames, ch, out, stride, [](const unsigned char* p) {
        return (static_cast<double>(p[0]) - 128.0) * 0x1p-7;
      });
      break;
    case SampleType::I16:
      if (ch == 2) {
        // Stereo, the common recording, in one pass over the interleaved pairs.
        double* left = out;
        double* right = out + stride;
        for (Eigen::Index f = 0; f < frames; ++f) {
          const unsigned char* p = in + 4 * static_cast<std::size_t>(f);
          left[f] = static_cast<double>(load_i16(p)) * 0x1p-15;
          right[f] = static_cast<double>(load_i16(p + 2)) * 0x1p-15;
        }
        break;
      }
      convert_frames<2>(in, frames, ch, out, stride, [](const unsigned char* p) {
        return static_cast<double>(load_i16(p)) * 0x1p-15;
      });
      break;
    case SampleType::I24:
      convert_frames<3>(in, frames, ch, out, stride, [](const unsigned char* p) {
        return static_cast<double>(load_i24(p)) * 0x1p-23;
      });
      break;
    case SampleType::I32:
      convert_frames<4>(in, frames, ch, out, stride, [](const unsigned char* p) {
        return static_cast<double>(load_i32(p)) * 0x1p-31;
      });
      break;
    case SampleType::F32Scaled:
      convert_frames<4>(in, frames, ch, out, stride, [](const unsigned char* p) {
        return static_cast<double>(load_f32(p)) * 0x1p-15;
      });
      break;
    case SampleType::F32:
      convert_frames<4>(in, frames, ch, out, stride,
                        [](const unsigned char* p) { return static_cast<double>(load_f32(p)); });
      break;
    case SampleType::F64:
      convert_frames<8>(in, frames, ch, out, stride,
                        [](const unsigned char* p) { return load_f64(p); });
      break;
  }
}

// Whether `bytes` 4-byte samples, read as floats, are all finite and within ±32768, as in older
// files that stored floats under the PCM tag. Integer audio never is: every integer between
// -2^23 and -1 reads as NaN or infinity, and the other negative ones down to about -0.44 of full
// scale read as magnitudes above 32768.
bool holds_scaled_floats(const unsigned char* p, std::size_t bytes) {
  for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
    const float x = load_f32(p + i);
    if (!(std::fabs(x) <= 32768.0f)) return false;
  }
  return true;
}

// Settles a PCM file with 4-byte samples: floats / 32768 when every whole frame of the chunk
// (which starts at `start`) holds such floats, otherwise signed integers / 2^31. The whole chunk
// decides, so a part of a file reads as the same numbers as the whole file.
void settle_four_byte_pcm(Cursor& in, std::uint64_t start, std::uint64_t bytes,
                          SampleLayout& layout) {
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes, 256u << 10)));
  in.seek(start);
  for (std::uint64_t done = 0; done < bytes;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes - done));
    if (!in.read(buffer.data(), n)) throw Error(kPcmData);
    if (!holds_scaled_floats(buffer.data(), n)) {
      layout.type = SampleType::I32;
      break;
    }
    done += n;
  }
  in.seek(start);
}

// Reads the data chunk whose body starts at the cursor: the size row for a size request,
// otherwise the frames the extent names. Leaves the cursor after the chunk and its pad byte.
Eigen::MatrixXd read_wavedat(Cursor& in, std::uint32_t size, const WavFormat& fmt,
                             const WavExtent& ext) {
  SampleLayout layout = sample_layout(fmt);
  const std::uint64_t start = in.pos();
  const std::uint64_t frame_bytes =
      static_cast<std::uint64_t>(layout.bytes) * static_cast<std::uint64_t>(layout.channels);
  const std::uint64_t frames_in_chunk = size / frame_bytes;
  const double spc = static_cast<double>(frames_in_chunk);

  if (ext.kind == WavExtent::Kind::Size) {
    if (!in.skip(size)) throw Error(kPcmData);
    skip_pad(in, size);
    Eigen::MatrixXd y(1, 2);
    y << spc, static_cast<double>(layout.channels);
    return y;
  }

  double first = 1;
  double last = spc;
  if (ext.kind == WavExtent::Kind::Range) {
    first = ext.first;
    last = ext.last;
    if (!(first >= 1) || !(last <= spc)) throw Error(kOutOfRange);
    if (first > last) throw Error(kAscending);
    if (first != std::floor(first) || last != std::floor(last)) throw Error(kOutOfRange);
  }
  if (size > in.remaining()) throw Error(kPcmData);
  if (layout.type == SampleType::F32Scaled) {
    settle_four_byte_pcm(in, start, frames_in_chunk * frame_bytes, layout);
  }

  const std::uint64_t n1 = static_cast<std::uint64_t>(first);
  const std::uint64_t n2 = static_cast<std::uint64_t>(last);
  const Eigen::Index frames = n2 >= n1 ? static_cast<Eigen::Index>(n2 - n1 + 1) : 0;
  Eigen::MatrixXd y(frames, layout.channels);
  advise_huge_pages(y.data(), static_cast<std::size_t>(y.size()) * sizeof(double));
  in.seek(start + (n1 - 1) * frame_bytes);

  const std::uint64_t block_frames = std::max<std::uint64_t>(1, (256u << 10) / frame_bytes);
  const std::uint64_t buffer_frames =
      std::min<std::uint64_t>(block_frames, static_cast<std::uint64_t>(frames));
  // Left uninitialised: every byte converted has been read into it first.
  const std::unique_ptr<unsigned char[]> buffer(
      new unsigned char[static_cast<std::size_t>(buffer_frames * frame_bytes)]);
  for (Eigen::Index row = 0; row < frames;) {
    const Eigen::Index n =
        static_cast<Eigen::Index>(std::min<std::uint64_t>(block_frames, frames - row));
    const std::size_t bytes = static_cast<std::size_t>(n) * frame_bytes;
    if (!in.read(buffer.get(), bytes)) throw Error(kPcmData);
    convert(layout, buffer.get(), n, y.data() + row, y.rows());
    row += n;
  }
  in.seek(start + size);
  skip_pad(in, size);
  return y;
}

std::string read_body(Cursor& in, std::uint32_t size, const char* error) {
  if (size > in.remaining()) throw Error(error);
  std::string body(size, '\0');
  if (!in.read(body.data(), size)) throw Error(error);
  skip_pad(in, size);
  return body;
}

void note_field(WavChunks& ck, const char* name) {
  if (std::find(ck.order.begin(), ck.order.end(), name) == ck.order.end()) {
    ck.order.emplace_back(name);
  }
}

void read_factck(Cursor& in, std::uint32_t size, WavChunks& ck) {
  if (size < 4) throw Error(kFactChunk);
  ck.fact = read_body(in, size, kFactChunk);
  note_field(ck, "fact");
}

void read_dispck(Cursor& in, std::uint32_t size, WavChunks& ck) {
  if (size < 4) throw Error(kDispChunk);
  std::string body = read_body(in, size, kDispChunk);
  const auto* b = reinterpret_cast<const unsigned char*>(body.data());
  if (body.size() >= 8 && load_u32(b) == 8 && load_u32(b + 4) == 40) return;
  if (!ck.disp) ck.disp.emplace();
  ck.disp->name = "DisplayName";
  ck.disp->text = deblank(body.substr(4));
  note_field(ck, "disp");
}

std::string info_text(std::string text) {
  text = deblank(std::move(text));
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

void read_listck(Cursor& in, std::uint32_t size, WavChunks& ck) {
  if (size < 4) throw Error(kListChunk);
  const std::string body = read_body(in, size, kListChunk);
  const std::string type = lower(body.substr(0, 4));
  const std::string data = body.substr(4);
  if (type != "info") {
    if (!ck.list) ck.list.emplace();
    ck.list->set(type, data);
    note_field(ck, "list");
    return;
  }
  // Sub-chunks: ID, length, text. A sub-chunk cut off by the end of the list keeps what is there.
  std::size_t i = 0;
  while (data.size() - i >= 8) {
    const std::string id = lower(data.substr(i, 4));
    const std::uint64_t length =
        load_u32(reinterpret_cast<const unsigned char*>(data.data() + i + 4));
    const std::size_t avail = data.size() - i - 8;
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(length, avail));
    if (!ck.info) ck.info.emplace();
    ck.info->set(id, info_text(data.substr(i + 8, take)));
    note_field(ck, "info");
    const std::uint64_t next = 8 + length + (length & 1u);
    if (next > data.size() - i) break;
    i += static_cast<std::size_t>(next);
  }
}

// Where the samples lie: the body of the last data chunk and the format it was read with.
struct DataPlace {
  int chunks = 0;  // data chunks in the file
  std::uint64_t start = 0;
  std::uint32_t size = 0;
  WavFormat fmt;
};

WavReadResult read_wave(const Source& source, const WavExtent& ext, DataPlace* place = nullptr) {
  Cursor in(source);
  read_riff_header(in);

  WavReadResult result;
  WavChunks& opt = result.opt_ck;
  bool have_data = false;
  for (;;) {
    const ChunkHeader ck = read_ckinfo(in);
    if (ck.end_of_file) break;
    const std::string id = lower(ck.id);
    if (id == "fmt") {
      opt.fmt = read_wavefmt(in, ck.size);
      note_field(opt, "fmt");
    } else if (id == "data") {
      if (!opt.fmt) throw Error(kDataBeforeFormat);
      if (place) {
        ++place->chunks;
        place->start = in.pos();
        place->size = ck.size;
        place->fmt = *opt.fmt;
      }
      result.y = read_wavedat(in, ck.size, *opt.fmt, ext);
      have_data = true;
    } else if (id == "fact") {
      read_factck(in, ck.size, opt);
    } else if (id == "disp") {
      read_dispck(in, ck.size, opt);
    } else if (id == "list") {
      read_listck(in, ck.size, opt);
    } else if (in.skip(ck.size)) {
      skip_pad(in, ck.size);
    } else {
      throw Error(kChunkSize);
    }
  }
  if (!have_data) throw Error(missing_chunk("data"));

  const WavFormat& fmt = *opt.fmt;
  result.Fs = fmt.nSamplesPerSec;
  const int tag = data_tag(fmt);
  if (tag == 1 || tag == 3) result.bits = 8.0 * fmt.nBlockAlign / fmt.nChannels;
  return result;
}

bool has_extension(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  const std::size_t dot = file.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

WavExtent wav_extent(const std::string& text) {
  if (text.empty()) return WavExtent::all();
  static const std::string size_word = "size";
  if (text.size() <= size_word.size() && lower(text) == size_word.substr(0, text.size())) {
    return WavExtent::size();
  }
  throw Error(text.size() == 1 ? kTwoElements : kIndexRange);
}

WavExtent wav_extent(const Eigen::MatrixXd& limits) {
  switch (limits.size()) {
    case 0:
      return WavExtent::all();
    case 1:
      if (limits(0) == 0) return WavExtent::size();
      return WavExtent::range(1, limits(0));
    case 2:
      if (limits(0) == 0 && limits(1) == 0) return WavExtent::size();
      return WavExtent::range(limits(0), limits(1));
    default:
      throw Error(kIndexRange);
  }
}

void WavTexts::set(const std::string& name, std::string text) {
  for (Entry& e : entries_) {
    if (e.first == name) {
      e.second = std::move(text);
      return;
    }
  }
  entries_.emplace_back(name, std::move(text));
}

const std::string* WavTexts::find(const std::string& name) const {
  for (const Entry& e : entries_) {
    if (e.first == name) return &e.second;
  }
  return nullptr;
}

WavReadResult wavread(const std::string& file, const WavExtent& ext) {
  const FileSource source(has_extension(file) ? file : file + ".wav");
  return read_wave(source, ext);
}

WavReadResult wavread_bytes(const void* data, std::size_t size, const WavExtent& ext) {
  const MemorySource source(data, size);
  return read_wave(source, ext);
}

struct WavFrameReader::Impl {
  FileSource source;
  WavReadResult info;
  DataPlace place;
  SampleLayout layout{SampleType::U8, 1, 0};
  std::uint64_t frame_bytes = 1;
  std::int64_t frames = 0;

  explicit Impl(const std::string& name) : source(name) {}
};

WavFrameReader::WavFrameReader(const std::string& file)
    : impl_(std::make_unique<Impl>(has_extension(file) ? file : file + ".wav")) {
  Impl& d = *impl_;
  d.info = read_wave(d.source, WavExtent::size(), &d.place);
  d.layout = sample_layout(d.place.fmt);
  d.frame_bytes =
      static_cast<std::uint64_t>(d.layout.bytes) * static_cast<std::uint64_t>(d.layout.channels);
  d.frames = static_cast<std::int64_t>(d.place.size / d.frame_bytes);
  // The whole chunk settles 4-byte PCM, as for every range wavread reads.
  if (d.layout.type == SampleType::F32Scaled) {
    Cursor in(d.source);
    settle_four_byte_pcm(in, d.place.start, static_cast<std::uint64_t>(d.frames) * d.frame_bytes,
                         d.layout);
  }
}

WavFrameReader::~WavFrameReader() = default;

const WavReadResult& WavFrameReader::info() const {
  return impl_->info;
}

bool WavFrameReader::single_data_chunk() const {
  return impl_->place.chunks == 1;
}

bool WavFrameReader::finite_samples() const {
  const SampleType t = impl_->layout.type;
  return t != SampleType::F32 && t != SampleType::F64;
}

void WavFrameReader::read(std::int64_t first, std::int64_t n, double* out, std::int64_t stride,
                          std::vector<unsigned char>& bytes) const {
  const Impl& d = *impl_;
  if (first < 0 || n < 0 || first > d.frames - n) throw Error(kOutOfRange);
  const std::int64_t block_frames =
      static_cast<std::int64_t>(std::max<std::uint64_t>(1, (256u << 10) / d.frame_bytes));
  for (std::int64_t done = 0; done < n;) {
    const std::int64_t m = std::min(block_frames, n - done);
    const auto count = static_cast<std::size_t>(static_cast<std::uint64_t>(m) * d.frame_bytes);
    if (bytes.size() < count) bytes.resize(count);
    const std::uint64_t offset =
        d.place.start + static_cast<std::uint64_t>(first + done) * d.frame_bytes;
    if (d.source.read_at(offset, bytes.data(), count) != count) throw Error(kPcmData);
    convert(d.layout, bytes.data(), m, out + done, stride);
    done += m;
  }
}

}  // namespace ziva
