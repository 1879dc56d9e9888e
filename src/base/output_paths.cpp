#include "base/output_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "base/error.h"

namespace ziva {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows

std::string lexical_key(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(follow_links(path), ec);
  std::filesystem::path p = std::filesystem::weakly_canonical(absolute, ec);
  return (ec ? absolute.lexically_normal() : p).string();
}

}  // namespace

std::string follow_links(const std::string& path) {
  std::filesystem::path p(path);
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(p.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return p.string();
    std::filesystem::path target(std::string(buffer.data(), static_cast<std::size_t>(n)));
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  throw Error("Too many levels of symbolic links");
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  const bool a_exists = ::stat(a.c_str(), &sa) == 0;
  const bool b_exists = ::stat(b.c_str(), &sb) == 0;
  if (a_exists && b_exists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (a_exists != b_exists) return false;
  try {
    return lexical_key(a) == lexical_key(b);
  } catch (const Error&) {
    return false;  // a loop of links is no file at all; opening it reports that
  }
}

std::optional<std::pair<std::size_t, std::size_t>> first_same_file(
    const std::vector<std::string>& paths) {
  for (std::size_t j = 0; j < paths.size(); ++j) {
    if (paths[j].empty()) continue;
    for (std::size_t i = 0; i < j; ++i) {
      if (!paths[i].empty() && same_file(paths[i], paths[j])) return std::make_pair(i, j);
    }
  }
  return std::nullopt;
}

}  // namespace ziva
