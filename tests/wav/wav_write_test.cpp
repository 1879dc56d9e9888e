#include "wav/wav_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "base/warning.h"
#include "wav/wav_read.h"
#include "wav_test_util.h"

using namespace wavtest;
using ziva::wavwrite;

namespace {

class WavWrite : public TempDirTest {
 protected:
  // The file written for y, with the warnings issued meanwhile.
  std::string write(const Eigen::MatrixXd& y, double Fs, double nbits, const std::string& name,
                    std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> seen;
    ziva::ScopedWarningSink sink([&](const std::string& w) { seen.push_back(w); });
    wavwrite(y, Fs, nbits, (dir_ / name).string());
    if (warnings) *warnings = seen;
    return read_file(dir_ / name);
  }

  std::size_t files_in_dir() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
};

std::uint32_t u32_at(const std::string& s, std::size_t i) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(s[i + k]);
  return v;
}

unsigned u16_at(const std::string& s, std::size_t i) {
  return static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8);
}

int i16_at(const std::string& s, std::size_t i) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(u16_at(s, i)));
}

int i24_at(const std::string& s, std::size_t i) {
  std::uint32_t v = u32_at(s + std::string(1, '\0'), i) & 0xFFFFFFu;
  return v >= 0x800000u ? static_cast<int>(v) - 0x1000000 : static_cast<int>(v);
}

Eigen::MatrixXd column(std::initializer_list<double> v) {
  Eigen::MatrixXd m(static_cast<Eigen::Index>(v.size()), 1);
  Eigen::Index i = 0;
  for (double x : v) m(i++, 0) = x;
  return m;
}

}  // namespace

TEST_F(WavWrite, ByteLayoutOfAMonoRow) {
  Eigen::MatrixXd y(1, 5);
  y << 0.0, 0.25, -0.25, 0.5, -0.5;
  const std::string f16 = write(y, 8000, 16, "m16.wav");
  ASSERT_EQ(f16.size(), 44u + 10u);
  EXPECT_EQ(f16.substr(0, 4), "RIFF");
  EXPECT_EQ(u32_at(f16, 4), 36u + 10u);
  EXPECT_EQ(f16.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(u32_at(f16, 16), 16u);
  EXPECT_EQ(u16_at(f16, 20), 1u);     // PCM
  EXPECT_EQ(u16_at(f16, 22), 1u);     // one channel
  EXPECT_EQ(u32_at(f16, 24), 8000u);  // rate
  EXPECT_EQ(u32_at(f16, 28), 16000u);
  EXPECT_EQ(u16_at(f16, 32), 2u);
  EXPECT_EQ(u16_at(f16, 34), 16u);
  EXPECT_EQ(f16.substr(36, 4), "data");
  EXPECT_EQ(u32_at(f16, 40), 10u);
  const int expected[] = {0, 8192, -8192, 16384, -16384};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(i16_at(f16, 44 + 2 * k), expected[k]);

  const std::string f8 = write(y, 8000, 8, "m8.wav");
  ASSERT_EQ(f8.size(), 44u + 5u + 1u);
  EXPECT_EQ(u32_at(f8, 4), 42u);
  EXPECT_EQ(u32_at(f8, 28), 8000u);
  EXPECT_EQ(u16_at(f8, 32), 1u);
  EXPECT_EQ(u16_at(f8, 34), 8u);
  EXPECT_EQ(u32_at(f8, 40), 5u);
  EXPECT_EQ(f8.substr(44), std::string("\x80\xa0\x60\xc0\x40\x00", 6));
}

TEST_F(WavWrite, QuantizesAndClipsWithOneWarning) {
  std::vector<std::string> warnings;
  const std::string f16 =
      write(column({1.0, -1.0, 0.5, 0.5 / 32768, -0.5 / 32768, 1.5 / 32768, -2.0, 1e300}), 8000, 16,
            "q16.wav", &warnings);
  const int expected16[] = {32767, -32768, 16384, 1, -1, 2, -32768, 32767};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(i16_at(f16, 44 + 2 * k), expected16[k]) << k;
  EXPECT_EQ(warnings, std::vector<std::string>{"Data clipped during write to file:" +
                                               (dir_ / "q16.wav").string()});

  write(column({-1.0, 0.5, 32767.0 / 32768}), 8000, 16, "noclip.wav", &warnings);
  EXPECT_TRUE(warnings.empty());

  const std::string f8 = write(column({-1.0, 0.0, 1.0, 127.0 / 128}), 8000, 8, "q8.wav", &warnings);
  EXPECT_EQ(f8.substr(44, 4), std::string("\x00\x80\xff\xff", 4));
  EXPECT_EQ(warnings.size(), 1u);

  const std::string f24 =
      write(column({-1.0, 1.0, 0.5, -3.0, std::nan("")}), 8000, 24, "q24.wav", &warnings);
  EXPECT_EQ(u16_at(f24, 32), 3u);
  EXPECT_EQ(u32_at(f24, 40), 15u);
  EXPECT_EQ(f24.size(), 44u + 15u + 1u);
  const int expected24[] = {-8388608, 8388607, 4194304, -8388608, 0};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(i24_at(f24, 44 + 3 * k), expected24[k]) << k;
  EXPECT_EQ(warnings.size(), 1u);
}

TEST_F(WavWrite, ThirtyTwoBitsAreUnchangedFloats) {
  std::vector<std::string> warnings;
  const std::string f = write(column({1.5, -7.25, 0.1}), 44100, 32, "f.wav", &warnings);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(u16_at(f, 20), 3u);
  EXPECT_EQ(u16_at(f, 34), 32u);
  EXPECT_EQ(u32_at(f, 28), 44100u * 4);
  const float expected[] = {1.5f, -7.25f, 0.1f};
  for (int k = 0; k < 3; ++k) {
    float v;
    std::memcpy(&v, f.data() + 44 + 4 * k, 4);
    EXPECT_EQ(v, expected[k]);
  }
}

TEST_F(WavWrite, RoundTripForEveryWidthAndOneOrTwoChannels) {
  for (int nbits : {8, 16, 24, 32}) {
    for (int channels : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << nbits << " bits, " << channels << " channels");
      // values on the width's grid, from -1 to just below 1, read back exactly
      const double step = std::ldexp(1.0, -(nbits == 32 ? 20 : nbits - 1));
      Eigen::MatrixXd y(7, channels);
      for (Eigen::Index i = 0; i < y.rows(); ++i) {
        for (Eigen::Index c = 0; c < channels; ++c) {
          y(i, c) = c == 0 ? -1.0 + static_cast<double>(i) * step
                           : 1.0 - static_cast<double>(i + 1) * step;
        }
      }
      const std::string name =
          "rt" + std::to_string(nbits) + "_" + std::to_string(channels) + ".wav";
      write(y, 11025, nbits, name);
      const ziva::WavReadResult r = ziva::wavread((dir_ / name).string());
      EXPECT_EQ(r.Fs, 11025);
      EXPECT_EQ(*r.bits, nbits);
      EXPECT_EQ(r.y, y);
    }
  }
}

TEST_F(WavWrite, NamesAndDefaults) {
  wavwrite(column({0.5}), (dir_ / "plain").string());
  const std::string f = read_file(dir_ / "plain.wav");
  ASSERT_EQ(f.size(), 46u);
  EXPECT_EQ(u32_at(f, 24), 8000u);
  EXPECT_EQ(u16_at(f, 34), 16u);

  wavwrite(column({0.5}), 22050, (dir_ / "rate").string());
  const std::string g = read_file(dir_ / "rate.wav");
  EXPECT_EQ(u32_at(g, 24), 22050u);
  EXPECT_EQ(u16_at(g, 34), 16u);

  fs::create_directories(dir_ / "v1.0");
  wavwrite(column({0.5}), (dir_ / "v1.0" / "take").string());
  EXPECT_TRUE(fs::exists(dir_ / "v1.0" / "take"));
  EXPECT_FALSE(fs::exists(dir_ / "v1.0" / "take.wav"));
}

TEST_F(WavWrite, EmptyArrayAndTwoSampleRow) {
  const std::string f = write(Eigen::MatrixXd(0, 2), 8000, 32, "empty.wav");
  ASSERT_EQ(f.size(), 44u);
  EXPECT_EQ(u32_at(f, 40), 0u);
  EXPECT_EQ(u16_at(f, 22), 2u);
  const ziva::WavReadResult r = ziva::wavread((dir_ / "empty.wav").string());
  EXPECT_EQ(r.y.rows(), 0);
  EXPECT_EQ(r.y.cols(), 2);

  // one frame of a stereo recording is a one-row array: one channel of two samples
  Eigen::MatrixXd frame(1, 2);
  frame << 0.25, -0.5;
  write(frame, 8000, 32, "frame.wav");
  const ziva::WavReadResult one = ziva::wavread((dir_ / "frame.wav").string());
  EXPECT_EQ(one.y, column({0.25, -0.5}));
}

TEST_F(WavWrite, FailuresLeaveTheExistingFile) {
  const fs::path target = dir_ / "keep.wav";
  write_file(target, "old contents");
  for (double nbits : {0.0, 12.0, 16.5, 64.0}) {
    EXPECT_EQ(error_of([&] { wavwrite(column({0.1}), 8000, nbits, target.string()); }),
              "Invalid number of bits specified.");
  }
  // a block of 65536 channels does not fit the format chunk's 16-bit field
  EXPECT_EQ(error_of([&] { wavwrite(Eigen::MatrixXd::Zero(2, 65536), 8000, 8, target.string()); }),
            "Failed to write WAVE format chunk to file" + target.string());
  EXPECT_EQ(read_file(target), "old contents");
  EXPECT_EQ(files_in_dir(), 1u);

  EXPECT_EQ(error_of([&] { wavwrite(column({0.1}), 8000, 16, (dir_ / "no" / "x.wav").string()); }),
            std::strerror(ENOENT));

  // a write cut off by the file size limit
  struct rlimit old_limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message =
      error_of([&] { wavwrite(Eigen::MatrixXd::Zero(100000, 2), 8000, 32, target.string()); });
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(message, "Failed to write PCM data samples.");
  EXPECT_EQ(read_file(target), "old contents");
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(WavWrite, OverwritesTheFileItRead) {
  const fs::path file = dir_ / "cut.wav";
  write(column({0.25, 0.5, -0.75, 0.125}), 8000, 16, "cut.wav");
  const ziva::WavReadResult r = ziva::wavread(file.string());
  wavwrite(r.y.middleRows(1, 2), r.Fs, 32, file.string());
  const ziva::WavReadResult cut = ziva::wavread(file.string());
  EXPECT_EQ(cut.y, column({0.5, -0.75}));
  EXPECT_EQ(cut.opt_ck.fmt->wFormatTag, 3);
  EXPECT_EQ(files_in_dir(), 1u);
}
