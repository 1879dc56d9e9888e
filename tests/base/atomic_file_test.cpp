#include "base/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path fresh_dir(const char* name) {
  fs::path dir = fs::temp_directory_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

}  // namespace

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
  fs::path dir = fresh_dir("ziva_atomic_commit");
  fs::path target = dir / "out.txt";
  std::ofstream(target) << "old";
  {
    ziva::AtomicFile f(target.string(), "open failed");
    ASSERT_TRUE(f.write("new", 3));
    EXPECT_EQ(slurp(target), "old");
    f.commit("write failed");
  }
  EXPECT_EQ(slurp(target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(AtomicFile, AbandonedWriteLeavesTargetAndNoTemporary) {
  fs::path dir = fresh_dir("ziva_atomic_abandon");
  fs::path target = dir / "out.txt";
  std::ofstream(target) << "old";
  {
    ziva::AtomicFile f(target.string(), "open failed");
    f.write("partial", 7);
  }
  EXPECT_EQ(slurp(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(AtomicFile, MissingFolderRaisesTheOpenError) {
  try {
    ziva::AtomicFile f("/nonexistent_ziva_dir/x.bin", "cannot open");
    FAIL();
  } catch (const ziva::Error& e) {
    EXPECT_EQ(e.text(), "cannot open");
  }
}
