#include "base/output_paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// In a folder with run.wav, hard.wav (a hard link to it), link.wav (a symbolic link to it),
// other.wav, sub/ and new.lnk (a link to the missing new.asc): are a and b the same file?
struct PathCase {
  const char* a;
  const char* b;
  bool same;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.a << " / " << c.b;
}

class SameFile : public ::testing::TestWithParam<PathCase> {
 protected:
  static void SetUpTestSuite() {
    // One folder per process: the cases run in parallel processes.
    dir_ = fs::temp_directory_path() / ("ziva_output_paths_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
    std::ofstream(dir_ / "run.wav") << "RIFF";
    std::ofstream(dir_ / "other.wav") << "RIFF";
    fs::create_hard_link(dir_ / "run.wav", dir_ / "hard.wav");
    fs::create_symlink("run.wav", dir_ / "link.wav");
    fs::create_symlink("new.asc", dir_ / "new.lnk");
  }
  static void TearDownTestSuite() {
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir_);
  }
  static inline fs::path dir_;
};

}  // namespace

TEST_P(SameFile, ByInodeOrResolvedPath) {
  const PathCase& c = GetParam();
  fs::current_path(dir_);
  EXPECT_EQ(ziva::same_file(c.a, c.b), c.same) << c.a << " / " << c.b;
  EXPECT_EQ(ziva::same_file(c.b, c.a), c.same);
  EXPECT_EQ(ziva::same_file((dir_ / c.a).string(), c.b), c.same);
}

INSTANTIATE_TEST_SUITE_P(Cases, SameFile,
                         ::testing::Values(PathCase{"run.wav", "run.wav", true},
                                           PathCase{"run.wav", "./sub/../run.wav", true},
                                           PathCase{"run.wav", "hard.wav", true},
                                           PathCase{"run.wav", "link.wav", true},
                                           PathCase{"run.wav", "other.wav", false},
                                           PathCase{"new.asc", "sub/../new.asc", true},
                                           PathCase{"new.asc", "new.lnk", true},
                                           PathCase{"new.asc", "new.bmp", false},
                                           PathCase{"new.asc", "run.wav", false}));

TEST(FirstSameFile, EmptyNamesAreNoOutputs) {
  EXPECT_FALSE(ziva::first_same_file({"/tmp/a.wav", "", ""}));
  auto pair = ziva::first_same_file({"/tmp/a.wav", "/tmp/x.asc", "/tmp/./x.asc"});
  ASSERT_TRUE(pair);
  EXPECT_EQ(*pair, std::make_pair(std::size_t{1}, std::size_t{2}));
}
