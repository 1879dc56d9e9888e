#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "base/error.h"
#include "support/error_of.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path fresh_dir(const char* name) {
  // One folder per process: the cases run in parallel processes.
  fs::path dir = fs::temp_directory_path() / (name + std::string("_") + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

}  // namespace

TEST(AtomicFile, ReplacesTargetOnlyOnCommitAndLeavesNoTemporary) {
  fs::path dir = fresh_dir("ziva_atomic_commit");
  fs::path target = dir / "out.txt";
  std::ofstream(target) << "old";
  {
    ziva::AtomicFile f(target.string(), "open failed");
    f.write("partial", 7);
  }  // abandoned
  EXPECT_EQ(slurp(target), "old");
  {
    ziva::AtomicFile f(target.string(), "open failed");
    ASSERT_TRUE(f.write("new", 3));
    EXPECT_EQ(slurp(target), "old");
    f.commit("write failed");
  }
  EXPECT_EQ(slurp(target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

namespace {

// One kind of target: how it is made in `dir` (returning the name written to) and what must
// hold after "new" was written to it.
struct TargetCase {
  const char* name;
  std::function<std::string(const fs::path& dir)> make;
  std::function<void(const fs::path& dir)> check;
};

void PrintTo(const TargetCase& c, std::ostream* os) {
  *os << c.name;
}

class AtomicTarget : public ::testing::TestWithParam<TargetCase> {};

}  // namespace

TEST_P(AtomicTarget, WrittenWithoutHarmToWhatSurroundsIt) {
  const TargetCase& c = GetParam();
  fs::path dir = fresh_dir((std::string("ziva_atomic_") + c.name).c_str());
  const std::string target = c.make(dir);
  {
    ziva::AtomicFile f(target, "open failed");
    ASSERT_TRUE(f.write("new", 3));
    f.commit("write failed");
  }
  c.check(dir);
  for (const auto& entry : fs::directory_iterator(dir))  // no temporary file is left
    EXPECT_EQ(entry.path().filename().string().rfind(".ziva-", 0), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AtomicTarget,
    ::testing::Values(
        TargetCase{"link",
                   [](const fs::path& d) {
                     std::ofstream(d / "data.txt") << "old";
                     fs::create_symlink("data.txt", d / "link.txt");
                     return (d / "link.txt").string();
                   },
                   [](const fs::path& d) {
                     EXPECT_TRUE(fs::is_symlink(d / "link.txt"));
                     EXPECT_EQ(slurp(d / "data.txt"), "new");
                   }},
        TargetCase{"dangling_link",
                   [](const fs::path& d) {
                     fs::create_directory(d / "sub");
                     fs::create_symlink("sub/made.txt", d / "link.txt");
                     return (d / "link.txt").string();
                   },
                   [](const fs::path& d) {
                     EXPECT_TRUE(fs::is_symlink(d / "link.txt"));
                     EXPECT_EQ(slurp(d / "sub" / "made.txt"), "new");
                   }},
        TargetCase{"private_mode",
                   [](const fs::path& d) {
                     std::ofstream(d / "secret.txt") << "old";
                     fs::permissions(d / "secret.txt",
                                     fs::perms::owner_read | fs::perms::owner_write);
                     return (d / "secret.txt").string();
                   },
                   [](const fs::path& d) {
                     EXPECT_EQ(slurp(d / "secret.txt"), "new");
                     EXPECT_EQ(fs::status(d / "secret.txt").permissions() & fs::perms::all,
                               fs::perms::owner_read | fs::perms::owner_write);
                   }},
        TargetCase{"hard_link",
                   [](const fs::path& d) {
                     std::ofstream(d / "a.txt") << "old";
                     fs::create_hard_link(d / "a.txt", d / "b.txt");
                     return (d / "a.txt").string();
                   },
                   [](const fs::path& d) {
                     EXPECT_EQ(slurp(d / "a.txt"), "new");
                     EXPECT_EQ(slurp(d / "b.txt"), "new");
                     EXPECT_EQ(fs::hard_link_count(d / "a.txt"), 2u);
                   }},
        TargetCase{"longest_name",
                   [](const fs::path& d) { return (d / std::string(255, 'n')).string(); },
                   [](const fs::path& d) { EXPECT_EQ(slurp(d / std::string(255, 'n')), "new"); }}),
    [](const ::testing::TestParamInfo<TargetCase>& info) { return info.param.name; });

TEST(AtomicFile, FifoIsWrittenInPlaceForItsReader) {
  fs::path dir = fresh_dir("ziva_atomic_fifo");
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = slurp(fifo); });
  {
    ziva::AtomicFile f(fifo.string(), "open failed");
    ASSERT_TRUE(f.write("new", 3));
    f.commit("write failed");
  }
  reader.join();
  EXPECT_EQ(received, "new");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A missing folder raises the given open error; a folder in the way is refused with the reason.
TEST(AtomicFile, OpenErrorsCarryTheGivenTextAndTheReason) {
  EXPECT_EQ(
      ziva::testing::error_of([] { ziva::AtomicFile("/nonexistent_ziva_dir/x", "cannot open"); }),
      "cannot open");
  fs::path dir = fresh_dir("ziva_atomic_folder");
  try {
    ziva::AtomicFile f(dir.string(), [](const std::string& why) { return "cannot: " + why; });
    FAIL();
  } catch (const ziva::AtomicFile::OpenError& e) {
    EXPECT_EQ(e.text(), "cannot: Is a directory");
    EXPECT_EQ(e.reason(), "Is a directory");
  }
  EXPECT_TRUE(fs::is_directory(dir));
}
