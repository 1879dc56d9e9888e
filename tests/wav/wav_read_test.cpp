#include "wav/wav_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "wav_test_util.h"

using namespace wavtest;
using ziva::wav_extent;
using ziva::WavExtent;
using ziva::wavread;

namespace {

class WavRead : public TempDirTest {
 protected:
  ziva::WavReadResult read(const std::string& bytes, const WavExtent& ext = {}) {
    return wavread(write_file(dir_ / "t.wav", bytes).string(), ext);
  }
  std::string error(const std::string& bytes, const WavExtent& ext = {}) {
    return error_of([&] { read(bytes, ext); });
  }
};

Eigen::MatrixXd row(std::initializer_list<double> v) {
  Eigen::MatrixXd m(1, static_cast<Eigen::Index>(v.size()));
  Eigen::Index i = 0;
  for (double x : v) m(0, i++) = x;
  return m;
}

// 16-bit mono samples 0, 1, ..., n-1.
std::string ramp16(int n, const std::string& data_id = "data") {
  std::string body;
  for (int k = 0; k < n; ++k) body += i16(k);
  return pcm_fmt(1, 8000, 2) + chunk(data_id, body);
}

}  // namespace

TEST_F(WavRead, ChunkIdsIgnoreCaseTrailingBlanksAndNuls) {
  const std::string data = chunk("data", i16(1000) + i16(-2000));
  const std::string info = chunk("LIST", "INFO" + chunk("INAM", "Run"));
  for (const std::string& id :
       {std::string("fmt "), std::string("fmt\0", 4), std::string("FMT "), std::string("Fmt ")}) {
    SCOPED_TRACE(id);
    auto r = read(riff(chunk(id, fmt_body(1, 2, 44100, 4, 16)) + data + info));
    EXPECT_EQ(r.y, row({1000.0 / 32768, -2000.0 / 32768}));
    EXPECT_EQ(r.Fs, 44100);
    ASSERT_TRUE(r.opt_ck.info);
    EXPECT_EQ(*r.opt_ck.info->find("inam"), "Run");
  }
  auto r = read(riff(pcm_fmt(1, 8000, 2) + chunk("DATA", i16(7)) + chunk("riff", "")) +
                std::string("x"));
  EXPECT_EQ(r.y(0, 0), 7.0 / 32768);
  EXPECT_EQ(error(std::string("riff") + u32(4) + "wave"),
            "File does not contain required 'data' data chunk.");
}

namespace {

// An extensible format chunk (40 bytes) with the given sub-format code in the standard GUID.
std::string extensible_fmt(unsigned channels, unsigned container_bytes, unsigned valid_bits,
                           unsigned sub_format, bool standard_guid = true) {
  std::string guid = u16(sub_format) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00", 8) +
                     std::string("\x00\xAA\x00\x38\x9B\x71", 6);
  if (!standard_guid) guid[15] = 0x72;
  std::string extra = u16(22) + u16(valid_bits) + u32(3) + guid;
  return chunk("fmt ", fmt_body(65534, channels, 96000, channels * container_bytes,
                                8 * container_bytes, extra));
}

// A file of one sample format and the numbers it must read as, frame by frame.
struct SampleCase {
  const char* name;
  std::string fmt;
  std::string data;
  int channels;
  std::vector<double> expected;
  double bits;
};

std::string ints(std::initializer_list<std::int32_t> v) {
  std::string s;
  for (std::int32_t x : v) s += i32(x);
  return s;
}

const std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

std::vector<SampleCase> sample_cases() {
  const std::string pcm32 = chunk("fmt ", fmt_body(1, 1, 48000, 4, 32));
  // clang-format off
  return {
      // integer widths span -1 to just below 1; 8 bits are unsigned with offset 128
      {"Unsigned8", pcm_fmt(1, 8000, 1), std::string("\x00\x80\xff\x01", 4), 1,
       {-1.0, 0.0, 0.9921875, -127.0 / 128}, 8},
      {"Signed16Stereo", pcm_fmt(2, 22050, 2),
       i16(-32768) + i16(32767) + i16(1) + i16(-1) + i16(0) + i16(16384), 2,
       {-1.0, 32767.0 / 32768, 1.0 / 32768, -1.0 / 32768, 0.0, 0.5}, 16},
      {"Signed24", pcm_fmt(1, 8000, 3), i24(-8388608) + i24(8388607) + i24(1) + i24(-4194304), 1,
       {-1.0, 8388607.0 / 8388608, 0x1p-23, -0.5}, 24},
      // 4-byte containers holding 24 significant bits: signed 32-bit / 2^31
      {"Pcm24In4Bytes", chunk("fmt ", fmt_body(1, 1, 48000, 4, 24)),
       ints({kMin32, 0x7FFFFF00, 256, 0x40000000, -0x40000000}), 1,
       {-1.0, 8388607.0 / 8388608, 0x1p-23, 0.5, -0.5}, 32},
      // integers: a quiet run (small negative samples read as NaN when taken for floats) and a
      // loud one whose samples are all finite floats, one of them just above 32768
      {"Pcm32Integers", pcm32, ints({kMin32, 1000733000, -1000733000, -1, 256, 0x7FFFFFFF}), 1,
       {-1.0, 1000733000 / 0x1p31, -1000733000 / 0x1p31, -0x1p-31, 0x1p-23,
        0x7FFFFFFF / 0x1p31}, 32},
      {"Pcm32LoudIntegers", pcm32, ints({0x47000001, 0x10000000, 0, kMin32}), 1,
       {0x47000001 / 0x1p31, 0.125, 0.0, -1.0}, 32},
      // older files: floats scaled to ±32768 under the PCM tag, the limits included
      {"Pcm32ScaledFloats", pcm32,
       f32(0.25f) + f32(-32768.0f) + f32(32768.0f) + f32(-1e-3f) + f32(0.0f), 1,
       {0.25 / 32768, -1.0, 1.0, static_cast<double>(-1e-3f) / 32768, 0.0}, 32},
      // IEEE floats unchanged, also outside [-1, 1]; their 14-byte chunk holds no width
      {"Float32", chunk("fmt ", fmt_body(3, 2, 48000, 8)),
       f32(0.25f) + f32(-1.5f) + f32(16384.0f) + f32(3.0e9f), 2,
       {0.25, -1.5, 16384.0, 3.0e9f}, 32},
      {"Float64", chunk("fmt ", fmt_body(3, 1, 44100, 8)),
       f64(0.1) + f64(-2.5) + f64(1e10) + f64(-1e-300), 1,
       {0.1, -2.5, 1e10, -1e-300}, 64},
      // the extensible format's sub-formats: 24 valid bits in 4-byte containers, and floats
      {"ExtensiblePcm32", extensible_fmt(2, 4, 24, 1), ints({0x40000000, kMin32, 256, 0}), 2,
       {0.5, -1.0, 0x1p-23, 0.0}, 32},
      {"ExtensibleFloat64", extensible_fmt(2, 8, 64, 3),
       f64(0.5) + f64(-0.75) + f64(3.0) + f64(1e-3), 2,
       {0.5, -0.75, 3.0, 1e-3}, 64},
  };
  // clang-format on
}

void PrintTo(const SampleCase& c, std::ostream* os) {
  *os << c.name;
}

class Samples : public WavRead, public ::testing::WithParamInterface<SampleCase> {};

}  // namespace

TEST_P(Samples, ReadAsStored) {
  const SampleCase& c = GetParam();
  const std::string file = riff(c.fmt + chunk("data", c.data));
  const Eigen::Index frames = static_cast<Eigen::Index>(c.expected.size()) / c.channels;
  auto r = read(file);
  ASSERT_EQ(r.y.rows(), frames);
  ASSERT_EQ(r.y.cols(), c.channels);
  for (Eigen::Index f = 0; f < frames; ++f) {
    for (int ch = 0; ch < c.channels; ++ch) {
      EXPECT_EQ(r.y(f, ch), c.expected[static_cast<std::size_t>(f * c.channels + ch)])
          << "frame " << f << " channel " << ch;
    }
  }
  EXPECT_EQ(*r.bits, c.bits);
  EXPECT_EQ(read(file, WavExtent::size()).y, row({static_cast<double>(frames), 1.0 * c.channels}));
  // a part of the file reads as the same numbers as the whole file
  const double n = static_cast<double>(frames);
  auto last = read(file, WavExtent::range(n, n));
  ASSERT_EQ(last.y.rows(), 1);
  EXPECT_EQ(last.y.row(0), r.y.row(frames - 1));
  EXPECT_EQ(error(file, WavExtent::range(1, n + 1)), "Sample limits out of range.");
  // read range by range from the open file: the same numbers, the same size and rate
  ziva::WavFrameReader reader(write_file(dir_ / "t.wav", file).string());
  EXPECT_TRUE(reader.single_data_chunk());
  const std::string name = c.name;
  EXPECT_EQ(reader.finite_samples(),
            name.rfind("Float", 0) != 0 && name.rfind("ExtensibleFloat", 0) != 0);
  EXPECT_EQ(reader.info().y, row({n, 1.0 * c.channels}));
  EXPECT_EQ(reader.info().Fs, r.Fs);
  Eigen::MatrixXd parts = Eigen::MatrixXd::Constant(frames + 1, c.channels, -7);
  std::vector<unsigned char> bytes;
  reader.read(1, frames - 1, parts.data() + 1, parts.rows(), bytes);
  reader.read(0, 1, parts.data(), parts.rows(), bytes);
  EXPECT_EQ(parts.topRows(frames), r.y);
  EXPECT_EQ(parts.bottomRows(1), Eigen::MatrixXd::Constant(1, c.channels, -7));
  EXPECT_EQ(error_of([&] { reader.read(1, frames, parts.data(), parts.rows(), bytes); }),
            "Sample limits out of range.");
  EXPECT_EQ(error_of([&] { reader.read(-1, 1, parts.data(), parts.rows(), bytes); }),
            "Sample limits out of range.");
}

INSTANTIATE_TEST_SUITE_P(WavRead, Samples, ::testing::ValuesIn(sample_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WavRead, ExtensibleFormatFieldsAndRefusedSubFormats) {
  const ziva::WavFormat fmt =
      *read(riff(extensible_fmt(2, 4, 24, 1) + chunk("data", ints({0, 0})))).opt_ck.fmt;
  EXPECT_EQ(fmt.wFormatTag, 65534);
  EXPECT_EQ(fmt.nSamplesPerSec, 96000);
  EXPECT_EQ(*fmt.nBitsPerSample, 32);
  EXPECT_EQ(*fmt.cbSize, 22);
  EXPECT_EQ(*fmt.wValidBitsPerSample, 24);
  EXPECT_EQ(*fmt.dwChannelMask, 3);
  ASSERT_EQ(fmt.SubFormat->size(), 16u);
  EXPECT_FALSE(read(riff(chunk("fmt ", fmt_body(3, 1, 8000, 4)) + chunk("data", f32(1))))
                   .opt_ck.fmt->nBitsPerSample);

  const std::string refused = "Data compression format (Format #65534) is not supported.";
  EXPECT_EQ(error(riff(extensible_fmt(1, 2, 16, 2) + chunk("data", i16(0)))), refused);
  EXPECT_EQ(error(riff(extensible_fmt(1, 2, 16, 1, false) + chunk("data", i16(0)))), refused);
  // an extension cut short names no sub-format
  EXPECT_EQ(
      error(riff(chunk("fmt ", fmt_body(65534, 1, 8000, 2, 16, u16(0))) + chunk("data", i16(0)))),
      refused);
}

TEST_F(WavRead, PcmFourByteSamplesAreSettledByTheWholeChunk) {
  // two samples that are also the float 0.25, then one that is no scaled float
  const std::string fmt = chunk("fmt ", fmt_body(1, 1, 8000, 4, 32));
  const std::string quarter = f32(0.25f);
  const std::string file = riff(fmt + chunk("data", quarter + quarter + i32(-1)));
  const double as_int = 0x3E800000 / 0x1p31;
  EXPECT_EQ(read(file, WavExtent::range(1, 2)).y(1, 0), as_int);
  EXPECT_EQ(read(file).y(0, 0), as_int);
  double first = 0;
  std::vector<unsigned char> bytes;
  ziva::WavFrameReader(write_file(dir_ / "t.wav", file).string()).read(0, 1, &first, 1, bytes);
  EXPECT_EQ(first, as_int);
  // without it they are floats, also when a partial frame follows
  const std::string floats = riff(fmt + chunk("data", quarter + quarter + "\xff\xff"));
  EXPECT_EQ(read(floats, WavExtent::range(1, 2)).y(1, 0), 0.25 / 32768);
}

TEST_F(WavRead, CompressedFormatsAreRefusedByName) {
  const std::pair<unsigned, const char*> names[] = {{2, "Microsoft ADPCM"},
                                                    {6, "CCITT a-law"},
                                                    {7, "CCITT mu-law"},
                                                    {17, "IMA ADPCM"},
                                                    {34, "DSP Group TrueSpeech TM"},
                                                    {49, "GSM 6.10"},
                                                    {50, "MSN Audio"},
                                                    {257, "IBM Mu-law"},
                                                    {258, "IBM A-law"},
                                                    {259, "IBM AVC Adaptive Differential"},
                                                    {85, "Format #85"},
                                                    {0, "Format #0"}};
  for (const auto& [tag, name] : names) {
    const std::string file = riff(chunk("fmt ", fmt_body(tag, 1, 8000, 1, 4, u16(2) + u16(505))) +
                                  chunk("fact", u32(100)) + chunk("data", std::string(10, '\x11')));
    const std::string message =
        std::string("Data compression format (") + name + ") is not supported.";
    EXPECT_EQ(error(file), message);
    EXPECT_EQ(error(file, WavExtent::size()), message);  // the size request is checked too
  }
}

TEST_F(WavRead, ExtentForms) {
  for (const char* text : {"size", "SIZE", "s", "Si", "siz"}) {
    EXPECT_EQ(wav_extent(text).kind, WavExtent::Kind::Size) << text;
  }
  EXPECT_EQ(wav_extent("").kind, WavExtent::Kind::All);
  EXPECT_EQ(error_of([] { wav_extent("x"); }), "Sample limit vector must have 2 elements.");
  for (const char* text : {"ab", "sizes", "sx", "abc"}) {
    EXPECT_EQ(error_of([&] { wav_extent(text); }),
              "Index range must be specified as a scalar or 2-element vector.")
        << text;
  }
  EXPECT_EQ(wav_extent(Eigen::MatrixXd()).kind, WavExtent::Kind::All);
  EXPECT_EQ(wav_extent(row({0})).kind, WavExtent::Kind::Size);
  EXPECT_EQ(wav_extent(row({0, 0})).kind, WavExtent::Kind::Size);
  EXPECT_EQ(error_of([] {
              wav_extent(row({1, 2, 3}));
            }),
            "Index range must be specified as a scalar or 2-element vector.");
  EXPECT_EQ(error_of([] { wav_extent(Eigen::MatrixXd::Zero(2, 2)); }),
            "Index range must be specified as a scalar or 2-element vector.");

  const std::string file = riff(ramp16(20));
  // samples k − 1 for k = from … to, 1-based
  const auto ramp = [](int from, int to) {
    return Eigen::MatrixXd(Eigen::VectorXd::LinSpaced(to - from + 1, from - 1, to - 1) / 32768);
  };
  EXPECT_EQ(read(file).y, ramp(1, 20));
  EXPECT_EQ(read(file, wav_extent(row({10}))).y, ramp(1, 10));
  EXPECT_EQ(read(file, wav_extent(row({5, 5}))).y, ramp(5, 5));
  EXPECT_EQ(read(file, wav_extent(Eigen::Vector2d(18, 20))).y, ramp(18, 20));
  EXPECT_EQ(error(file, wav_extent(row({3, 2}))),
            "Sample limits must be given in ascending order.");
  EXPECT_EQ(error(file, wav_extent(row({21}))), "Sample limits out of range.");
  EXPECT_EQ(error(file, wav_extent(row({0, 5}))), "Sample limits out of range.");
  EXPECT_EQ(error(file, wav_extent(row({-1}))), "Sample limits must be given in ascending order.");
  EXPECT_EQ(error(file, wav_extent(row({1.5, 3}))), "Sample limits out of range.");
  EXPECT_EQ(error(file, wav_extent(row({1, std::nan("")}))), "Sample limits out of range.");
  // the limits are checked before a chunk that runs past the end of the file
  EXPECT_EQ(error(riff(pcm_fmt(1, 8000, 2) + chunk("data", i16(1), 100)), wav_extent(row({3, 2}))),
            "Sample limits must be given in ascending order.");
}

TEST_F(WavRead, OddChunksPadBytesAndTrailingBytes) {
  // odd unknown chunk with pad byte, odd 8-bit data chunk with pad byte, then a list
  const std::string file = riff(pcm_fmt(1, 8000, 1) + chunk("junk", "abc") +
                                chunk("data", std::string("\x80\xc0\x40", 3)) +
                                chunk("LIST", "adtl" + std::string("xyz")));
  auto r = read(file);
  ASSERT_EQ(r.y.rows(), 3);
  EXPECT_EQ(r.y(1, 0), 0.5);
  EXPECT_EQ(r.y(2, 0), -0.5);
  ASSERT_TRUE(r.opt_ck.list);
  EXPECT_EQ(*r.opt_ck.list->find("adtl"), "xyz");

  // an odd data chunk at the very end may lack its pad byte, also for a size request
  const std::string no_pad =
      riff(pcm_fmt(1, 8000, 1) + chunk("data", std::string("\x80\x80\x80", 3), 3, false));
  EXPECT_EQ(read(no_pad).y.rows(), 3);
  EXPECT_EQ(read(no_pad, WavExtent::size()).y, row({3, 1}));

  // any odd last chunk may lack its pad byte at the very end of the file
  const std::string data = pcm_fmt(1, 8000, 2) + chunk("data", i16(4));
  for (const std::string& last :
       {chunk("junk", "abc", 3, false), chunk("LIST", "INFOINAM" + u32(1) + "x", 13, false),
        chunk("fact", "abcde", 5, false), chunk("disp", u32(1) + "A", 5, false)}) {
    SCOPED_TRACE(last);
    auto r = read(riff(data + last));
    EXPECT_EQ(r.y(0, 0), 4.0 / 32768);
  }
  auto tail = read(riff(data + chunk("LIST", "INFOINAM" + u32(1) + "x", 13, false)));
  EXPECT_EQ(*tail.opt_ck.info->find("inam"), "x");

  // up to 3 stray bytes after the last chunk are ignored; 4 to 7 are a cut-off header
  const std::string base = riff(ramp16(4));
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(read(base + std::string(n, 'z')).y.rows(), 4);
  for (int n = 4; n <= 7; ++n) {
    EXPECT_EQ(error(base + std::string(n, 'z')),
              "Truncated chunk header found - possibly not a WAV file.");
  }
}

TEST_F(WavRead, TwoDataChunksTheSecondWins) {
  const std::string file = riff(ramp16(6) + chunk("data", i16(100) + i16(200) + i16(300)));
  auto r = read(file);
  ASSERT_EQ(r.y.rows(), 3);
  EXPECT_EQ(r.y(2, 0), 300.0 / 32768);
  EXPECT_EQ(read(file, WavExtent::size()).y, row({3, 1}));
  // the range applies to every data chunk
  EXPECT_EQ(error(file, WavExtent::range(5, 6)), "Sample limits out of range.");
  EXPECT_FALSE(ziva::WavFrameReader(write_file(dir_ / "t.wav", file).string()).single_data_chunk());
}

TEST_F(WavRead, FormatChunkRules) {
  EXPECT_EQ(error(riff(chunk("data", i16(1)) + pcm_fmt(1, 8000, 2))),
            "Corrupt WAV file: found audio data before format information.");
  // 14 bytes are enough for IEEE float but not for PCM
  EXPECT_EQ(error(riff(chunk("fmt ", fmt_body(1, 1, 8000, 2)) + chunk("data", i16(1)))),
            "Error reading PCM <wave-fmt> chunk.");
  EXPECT_EQ(error(riff(chunk("fmt ", fmt_body(3, 1, 8000, 4).substr(0, 12)) + chunk("data", ""))),
            "Error reading <wave-fmt> chunk.");
  // 18 bytes: cbSize is read; 17 bytes: pad byte; 20 bytes: extension skipped
  for (const std::string& extra : {u16(0), std::string("q"), u16(2) + u16(77)}) {
    auto r = read(riff(chunk("fmt ", fmt_body(1, 1, 8000, 2, 16, extra)) + chunk("data", i16(9))));
    EXPECT_EQ(r.opt_ck.fmt->cbSize, extra.size() == 1 ? std::nullopt : std::optional(extra[0]));
    EXPECT_EQ(r.y(0, 0), 9.0 / 32768);
  }
  auto r20 = read(
      riff(chunk("fmt ", fmt_body(1, 1, 8000, 2, 16, u16(2) + u16(77))) + chunk("data", i16(9))));
  const ziva::WavFormat& f = *r20.opt_ck.fmt;
  EXPECT_EQ(f.wFormatTag, 1);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.nSamplesPerSec, 8000);
  EXPECT_EQ(f.nAvgBytesPerSec, 16000);
  EXPECT_EQ(f.nBlockAlign, 2);
  EXPECT_EQ(*f.nBitsPerSample, 16);
  EXPECT_EQ(*f.cbSize, 2);
  // the rate and width come from the last format chunk
  auto later = read(riff(ramp16(2) + chunk("fmt ", fmt_body(2, 1, 11025, 256, 4))));
  EXPECT_EQ(later.Fs, 11025);
  EXPECT_FALSE(later.bits);
  EXPECT_EQ(later.y.rows(), 2);
}

TEST_F(WavRead, OptionalChunksAreRecordedInOrder) {
  const std::string info1 =
      "INFO" + chunk("INAM", std::string("Lauf 1\r\nZweite  \0", 17)) + chunk("ICMT", "ab");
  const std::string info2 = "info" + chunk("icmt", "neu") + chunk("IART", "x");
  const std::string file = riff(
      chunk("LIST", info1) + pcm_fmt(1, 8000, 2) + chunk("fact", u32(1) + "z") +
      chunk("disp", u32(1) + "Anzeige  ") + chunk("data", i16(3)) + chunk("list", info2) +
      chunk("LIST", "ADTL" + std::string("ab\0c", 4)) + chunk("LIST", "adtl" + std::string("q")));
  const ziva::WavChunks ck = read(file).opt_ck;
  EXPECT_EQ(ck.order, (std::vector<std::string>{"info", "fmt", "fact", "disp", "list"}));
  EXPECT_EQ(*ck.fact, u32(1) + "z");
  ASSERT_TRUE(ck.disp);
  EXPECT_EQ(ck.disp->name, "DisplayName");
  EXPECT_EQ(ck.disp->text, "Anzeige");
  ASSERT_TRUE(ck.info);
  const std::vector<ziva::WavTexts::Entry> info = {
      {"inam", "Lauf 1\nZweite"}, {"icmt", "neu"}, {"iart", "x"}};
  EXPECT_EQ(ck.info->entries(), info);
  EXPECT_EQ(ck.list->entries(), (std::vector<ziva::WavTexts::Entry>{{"adtl", "q"}}));

  // a bitmap display chunk is not recorded
  auto dib = read(
      riff(pcm_fmt(1, 8000, 2) + chunk("DISP", u32(8) + u32(40) + "bits") + chunk("data", i16(0))));
  EXPECT_FALSE(dib.opt_ck.disp);
  EXPECT_EQ(dib.opt_ck.order, std::vector<std::string>{"fmt"});

  // an info sub-chunk cut off by the end of its list keeps the text that is there
  auto cut = read(riff(pcm_fmt(1, 8000, 2) + chunk("data", i16(0)) +
                       chunk("LIST", "INFO" + chunk("INAM", "abc", 40) + "IC")));
  EXPECT_EQ(*cut.opt_ck.info->find("inam"), std::string("abc\0IC", 6));
}

TEST_F(WavRead, CorruptFilesGiveClearErrors) {
  const std::string fmt = pcm_fmt(1, 8000, 2);
  const std::string not_wave = "Not a WAVE file.",
                    no_data = "File does not contain required 'data' data chunk.",
                    header = "Truncated chunk header found - possibly not a WAV file.",
                    pcm_data = "Error reading PCM file format.",
                    pcm_fmt_ck = "Error reading PCM <wave-fmt> chunk.",
                    fmt_ck = "Error reading <wave-fmt> chunk.",
                    sizes = "Incorrect chunk size information in WAV file.",
                    fact = "Error reading <fact-ck> chunk.",
                    disp = "Error reading <disp-ck> chunk.",
                    list = "Error reading <list-ck> chunk.",
                    wide = "Cannot read PCM file formats with more than 32 bits per sample.";
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"", not_wave}, {"RIF", not_wave}, {"RIFF\x10\x00", not_wave}, {"RIFX" + u32(4) + "WAVE",
       not_wave},
      {"RIFF" + u32(4) + "WAV", not_wave},
      {"RIFF" + u32(4) + "AVI ", "File does not contain required 'WAVE' data chunk."},
      {riff(""), no_data}, {riff(fmt), no_data}, {riff(fmt + "dat"), no_data},
      {riff(fmt + "data\x10"), header},
      // lying sizes
      {riff(fmt + chunk("data", i16(1), 0xFFFFFFF0u)), pcm_data},
      {riff(fmt + chunk("data", i16(1) + i16(2), 6)), pcm_data},
      {riff(fmt + chunk("junk", "abcd", 0xFFFFFFFFu) + chunk("data", i16(1))), sizes},
      {riff(fmt + chunk("data", i16(1)) + chunk("junk", "abc", 5, false)), sizes},
      {riff(chunk("fmt ", fmt_body(3, 1, 8000, 4), 0x80000000u)), fmt_ck},
      {riff(chunk("fmt ", fmt_body(1, 1, 8000, 2, 16, u16(0)), 0x80000000u)), pcm_fmt_ck},
      {riff(chunk("fmt ", fmt_body(1, 1, 8000, 2), 18)), pcm_fmt_ck},
      {riff(chunk("fmt ", fmt_body(3, 1, 8000, 4).substr(0, 10), 14)), fmt_ck},
      {riff(fmt + chunk("fact", "abc")), fact},
      {riff(fmt + chunk("fact", "abcd", 1000)), fact},
      {riff(fmt + chunk("disp", "ab")), disp},
      {riff(fmt + chunk("disp", u32(1) + "text", 0xFFFFFFFFu)), disp},
      {riff(fmt + chunk("LIST", "")), list},
      {riff(fmt + chunk("LIST", "INFO" + chunk("INAM", "x"), 99999)), list},
      {riff(fmt + chunk("data", i16(1)) + chunk("LIST", "adtlx", 7, false)), list},
      {riff(fmt + chunk("data", i16(1)) + chunk("fact", "abcde", 7, false)), fact},
      {riff(chunk("fmt ", fmt_body(1, 1, 8000, 2, 16, "q"), 19, false)), pcm_fmt_ck},
      // impossible widths: zero channels, zero block align, more than 4 bytes per sample
      {riff(chunk("fmt ", fmt_body(1, 0, 8000, 2, 16)) + chunk("data", i16(1))), wide},
      {riff(chunk("fmt ", fmt_body(1, 2, 8000, 0, 16)) + chunk("data", i16(1))), wide},
      {riff(chunk("fmt ", fmt_body(1, 1, 8000, 8, 64)) + chunk("data", std::string(16, '\0'))),
       wide},
      {riff(chunk("fmt ", fmt_body(3, 1, 8000, 6)) + chunk("data", std::string(12, '\0'))), wide},
      {riff(chunk("fmt ", fmt_body(3, 1, 8000, 16)) + chunk("data", std::string(16, '\0'))), wide},
  };
  // clang-format on
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(error(bytes), message) << ::testing::PrintToString(bytes);
  }
  // a size request still demands a data chunk that lies inside the file; images from memory too
  const std::string lying = riff(fmt + chunk("data", i16(1), 0xFFFFFFF0u));
  EXPECT_EQ(error(lying, WavExtent::size()), pcm_data);
  EXPECT_EQ(error(lying, WavExtent::range(1, 1)), pcm_data);
  EXPECT_EQ(error_of([&] { ziva::wavread_bytes(lying.data(), lying.size()); }), pcm_data);
}

TEST_F(WavRead, EmptyDataChunkGivesNoRows) {
  auto r = read(riff(pcm_fmt(2, 8000, 2) + chunk("data", "")));
  EXPECT_EQ(r.y.rows(), 0);
  EXPECT_EQ(r.y.cols(), 2);
  EXPECT_EQ(read(riff(pcm_fmt(2, 8000, 2) + chunk("data", "")), WavExtent::size()).y, row({0, 2}));
  EXPECT_EQ(error(riff(pcm_fmt(2, 8000, 2) + chunk("data", "")), WavExtent::range(1, 0)),
            "Sample limits must be given in ascending order.");
  // a partial frame at the end of the chunk is not a sample
  auto partial = read(riff(pcm_fmt(2, 8000, 2) + chunk("data", i16(5) + i16(6) + i16(7))));
  EXPECT_EQ(partial.y.rows(), 1);
}

TEST_F(WavRead, FileNames) {
  write_file(dir_ / "run.wav", riff(ramp16(3)));
  EXPECT_EQ(wavread((dir_ / "run").string()).y.rows(), 3);
  EXPECT_EQ(wavread((dir_ / "run.wav").string()).y.rows(), 3);
  fs::create_directories(dir_ / "a.b");
  write_file(dir_ / "a.b" / "take.wav", riff(ramp16(2)));
  EXPECT_EQ(wavread((dir_ / "a.b" / "take").string()).y.rows(), 2);
  EXPECT_EQ(error_of([&] { wavread((dir_ / "missing").string()); }), "Cannot open file.");
  EXPECT_EQ(error_of([&] { wavread((dir_ / "a.b").string()); }), "Cannot open file.");
}
