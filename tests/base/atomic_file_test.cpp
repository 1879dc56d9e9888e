#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "base/error.h"
#include "support/error_of.h"
#include "support/work_dir.h"

namespace fs = std::filesystem;
using ziva::testing::file_bytes;

namespace {

class AtomicFileTest : public ziva::testing::WorkDirTest {
 protected:
  // Writes "new" to `target` and commits it.
  static void write_new(const fs::path& target) {
    ziva::AtomicFile f(target.string(), "open failed");
    ASSERT_TRUE(f.write("new", 3));
    f.commit("write failed");
  }
  // No temporary file is left in the folder.
  void expect_no_temporary() const {
    for (const auto& entry : fs::directory_iterator(dir_))
      EXPECT_EQ(entry.path().filename().string().rfind(".ziva-", 0), std::string::npos);
  }
};

}  // namespace

TEST_F(AtomicFileTest, ReplacesTargetOnlyOnCommit) {
  const fs::path target = dir_ / "out.txt";
  std::ofstream(target) << "old";
  {
    ziva::AtomicFile f(target.string(), "open failed");
    f.write("partial", 7);
  }  // abandoned
  EXPECT_EQ(file_bytes(target), "old");
  {
    ziva::AtomicFile f(target.string(), "open failed");
    ASSERT_TRUE(f.write("new", 3));
    EXPECT_EQ(file_bytes(target), "old");
    f.commit("write failed");
  }
  EXPECT_EQ(file_bytes(target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// Links (also dangling ones) are written through, a hard link's partner sees the new text, a
// private file stays private, and a name of 255 bytes leaves room for the temporary file.
TEST_F(AtomicFileTest, WrittenWithoutHarmToWhatSurroundsIt) {
  const fs::path d = dir_;
  std::ofstream(d / "data.txt") << "old";
  fs::create_symlink("data.txt", d / "link.txt");
  fs::create_directory(d / "sub");
  fs::create_symlink("sub/made.txt", d / "dangling.txt");
  std::ofstream(d / "secret.txt") << "old";
  const fs::perms private_mode = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(d / "secret.txt", private_mode);
  std::ofstream(d / "a.txt") << "old";
  fs::create_hard_link(d / "a.txt", d / "b.txt");
  for (const char* target : {"link.txt", "dangling.txt", "secret.txt", "a.txt"})
    write_new(d / target);
  write_new(d / std::string(255, 'n'));

  EXPECT_TRUE(fs::is_symlink(d / "link.txt"));
  EXPECT_EQ(file_bytes(d / "data.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(d / "dangling.txt"));
  EXPECT_EQ(file_bytes(d / "sub" / "made.txt"), "new");
  EXPECT_EQ(file_bytes(d / "secret.txt"), "new");
  EXPECT_EQ(fs::status(d / "secret.txt").permissions() & fs::perms::all, private_mode);
  EXPECT_EQ(file_bytes(d / "b.txt"), "new");
  EXPECT_EQ(fs::hard_link_count(d / "a.txt"), 2u);
  EXPECT_EQ(file_bytes(d / std::string(255, 'n')), "new");
  expect_no_temporary();
}

TEST_F(AtomicFileTest, FifoIsWrittenInPlaceForItsReader) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = file_bytes(fifo); });
  write_new(fifo);
  reader.join();
  EXPECT_EQ(received, "new");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A missing folder raises the given open error; a folder in the way is refused with the reason.
TEST_F(AtomicFileTest, OpenErrorsCarryTheGivenTextAndTheReason) {
  EXPECT_EQ(
      ziva::testing::error_of([] { ziva::AtomicFile("/nonexistent_ziva_dir/x", "cannot open"); }),
      "cannot open");
  try {
    ziva::AtomicFile f(dir_.string(), [](const std::string& why) { return "cannot: " + why; });
    FAIL();
  } catch (const ziva::AtomicFile::OpenError& e) {
    EXPECT_EQ(e.text(), "cannot: Is a directory");
    EXPECT_EQ(e.reason(), "Is a directory");
  }
  EXPECT_TRUE(fs::is_directory(dir_));
}
