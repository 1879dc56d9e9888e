#include "wav/wav_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "base/warning.h"
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

// The file image of `data` in a format chunk of the given layout.
std::string image(unsigned tag, unsigned channels, std::uint32_t rate, unsigned bytes,
                  const std::string& data) {
  return riff(chunk("fmt ", fmt_body(tag, channels, rate, channels * bytes, 8 * bytes)) +
              chunk("data", data));
}

Eigen::MatrixXd column(std::initializer_list<double> v) {
  Eigen::MatrixXd m(static_cast<Eigen::Index>(v.size()), 1);
  Eigen::Index i = 0;
  for (double x : v) m(i++, 0) = x;
  return m;
}

}  // namespace

// Byte images of small arrays: a row is one channel, values are quantized to the width and
// clipped with one warning naming the file; 32 bits are IEEE floats of format 3, unchanged and
// unclipped outside [-1, 1]; an odd data chunk gets its pad byte.
TEST_F(WavWrite, ByteImagesQuantizationAndClipping) {
  const Eigen::MatrixXd mono_row = column({0.0, 0.25, -0.25, 0.5, -0.5}).transpose();
  struct Case {
    Eigen::MatrixXd y;
    double rate, nbits;
    std::string image;
    bool clipped;
  };
  const Case cases[] = {
      {mono_row, 8000, 16,
       image(1, 1, 8000, 2, i16(0) + i16(8192) + i16(-8192) + i16(16384) + i16(-16384)), false},
      {mono_row, 8000, 8, image(1, 1, 8000, 1, std::string("\x80\xa0\x60\xc0\x40", 5)), false},
      {column({1.0, -1.0, 0.5, 0.5 / 32768, -0.5 / 32768, 1.5 / 32768, -2.0, 1e300}), 8000, 16,
       image(1, 1, 8000, 2,
             i16(32767) + i16(-32768) + i16(16384) + i16(1) + i16(-1) + i16(2) + i16(-32768) +
                 i16(32767)),
       true},
      {column({-1.0, 0.5, 32767.0 / 32768}), 8000, 16,
       image(1, 1, 8000, 2, i16(-32768) + i16(16384) + i16(32767)), false},
      {column({-1.0, 0.0, 1.0, 127.0 / 128}), 8000, 8,
       image(1, 1, 8000, 1, std::string("\x00\x80\xff\xff", 4)), true},
      {column({-1.0, 1.0, 0.5, -3.0, std::nan("")}), 8000, 24,
       image(1, 1, 8000, 3, i24(-8388608) + i24(8388607) + i24(4194304) + i24(-8388608) + i24(0)),
       true},
      // stereo frames interleaved
      {column({-1.0, 0.5, 0.25, -0.5}).reshaped(2, 2), 11025, 16,
       image(1, 2, 11025, 2, i16(-32768) + i16(0x2000) + i16(0x4000) + i16(-0x4000)), false},
      {Eigen::MatrixXd(0, 2), 8000, 32, image(3, 2, 8000, 4, ""), false},
      // one frame of a stereo recording is a one-row array: one channel of two samples
      {column({1.5, -7.25}).transpose(), 44100, 32, image(3, 1, 44100, 4, f32(1.5f) + f32(-7.25f)),
       false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::vector<std::string> warnings;
    EXPECT_EQ(write(c.y, c.rate, c.nbits, "t.wav", &warnings), c.image) << i;
    EXPECT_EQ(warnings, c.clipped ? std::vector<std::string>{"Data clipped during write to file:" +
                                                             (dir_ / "t.wav").string()}
                                  : std::vector<std::string>{})
        << i;
  }
}

TEST_F(WavWrite, NamesAndDefaults) {
  wavwrite(column({0.5}), (dir_ / "plain").string());
  EXPECT_EQ(read_file(dir_ / "plain.wav"), image(1, 1, 8000, 2, i16(16384)));
  wavwrite(column({0.5}), 22050, (dir_ / "rate").string());
  EXPECT_EQ(read_file(dir_ / "rate.wav"), image(1, 1, 22050, 2, i16(16384)));

  fs::create_directories(dir_ / "v1.0");
  wavwrite(column({0.5}), (dir_ / "v1.0" / "take").string());
  EXPECT_TRUE(fs::exists(dir_ / "v1.0" / "take"));
  EXPECT_FALSE(fs::exists(dir_ / "v1.0" / "take.wav"));
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
