#include "base/output_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/work_dir.h"

namespace fs = std::filesystem;

using SameFile = ziva::testing::WorkDirTest;

// Are a and b the same file, by inode or by the resolved path, whichever order and whether a is
// given relative or absolute?
TEST_F(SameFile, ByInodeOrResolvedPath) {
  fs::create_directories("sub");
  std::ofstream("run.wav") << "RIFF";
  std::ofstream("other.wav") << "RIFF";
  fs::create_hard_link("run.wav", "hard.wav");
  fs::create_symlink("run.wav", "link.wav");
  fs::create_symlink("new.asc", "new.lnk");  // to a file not yet written
  const struct {
    const char *a, *b;
    bool same;
  } cases[] = {{"run.wav", "run.wav", true},    {"run.wav", "./sub/../run.wav", true},
               {"run.wav", "hard.wav", true},   {"run.wav", "link.wav", true},
               {"run.wav", "other.wav", false}, {"new.asc", "sub/../new.asc", true},
               {"new.asc", "new.lnk", true},    {"new.asc", "new.bmp", false},
               {"new.asc", "run.wav", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(ziva::same_file(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(ziva::same_file(c.b, c.a), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(ziva::same_file(path(c.a), c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST(FirstSameFile, EmptyNamesAreNoOutputs) {
  EXPECT_FALSE(ziva::first_same_file({"/tmp/a.wav", "", ""}));
  auto pair = ziva::first_same_file({"/tmp/a.wav", "/tmp/x.asc", "/tmp/./x.asc"});
  ASSERT_TRUE(pair);
  EXPECT_EQ(*pair, std::make_pair(std::size_t{1}, std::size_t{2}));
}
