#include "base/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The "VmFlags" of the mapping that holds address p, from /proc/self/smaps.
std::string flags_at(const void* p) {
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  std::ifstream in("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    std::uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> from >> dash >> to && dash == '-') inside = from <= a && a < to;
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return {};
}

// A buffer of many megabytes, at an address off any page boundary, is advised from its first
// whole page on; a short one is left alone.
TEST(HugePages, LongBuffersAreAdvisedShortOnesNot) {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
    GTEST_SKIP() << "no transparent huge pages here";
  constexpr std::size_t kLong = std::size_t{16} << 20, kShort = std::size_t{1} << 20;
  char* big = static_cast<char*>(std::malloc(kLong));
  char* small = static_cast<char*>(std::malloc(kShort));
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  ziva::advise_huge_pages(big + 8, kLong - 8);
  ziva::advise_huge_pages(small, kShort);
  EXPECT_NE(flags_at(big + kLong / 2).find(" hg"), std::string::npos);
  EXPECT_EQ(flags_at(small + kShort / 2).find(" hg"), std::string::npos);
  std::free(big);
  std::free(small);
}

}  // namespace
