// Where a written file really ends up, and whether two names reach the same file. Used to refuse
// an output that would replace the recording being evaluated or another output of the same run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ziva {

// The file a write to `path` reaches: symbolic links are followed, also when the file they name
// does not exist yet. Returns `path` itself when it is no link. Throws ziva::Error("Too many levels
// of symbolic links") for a loop.
std::string follow_links(const std::string& path);

// True when `a` and `b` name the same file: the same device and inode when both exist, otherwise
// the same absolute path after following links and resolving the folders that exist.
bool same_file(const std::string& a, const std::string& b);

// The first pair (i < j) of non-empty names in `paths` that are the same file, if any.
std::optional<std::pair<std::size_t, std::size_t>> first_same_file(
    const std::vector<std::string>& paths);

}  // namespace ziva
