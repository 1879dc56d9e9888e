#include "base/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/error.h"

namespace ziva {

AtomicFile::AtomicFile(const std::string& target, const std::string& open_error) : target_(target) {
  std::filesystem::path path(target);
  std::filesystem::path dir = path.parent_path();
  std::string pattern = (dir.empty() ? std::string(".") : dir.string()) + "/." +
                        path.filename().string() + ".tmpXXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = path.filename().empty() ? -1 : mkstemp(buffer.data());
  if (fd < 0) throw Error(open_error);
  temp_ = buffer.data();
  stream_ = fdopen(fd, "wb");
  if (stream_ == nullptr) {
    ::close(fd);
    std::remove(temp_.c_str());
    throw Error(open_error);
  }
}

AtomicFile::~AtomicFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!committed_ && !temp_.empty()) std::remove(temp_.c_str());
}

bool AtomicFile::write(const void* data, std::size_t size) {
  return size == 0 || std::fwrite(data, 1, size, stream_) == size;
}

void AtomicFile::release_stream() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

void AtomicFile::commit(const std::string& write_error) {
  bool ok = true;
  if (stream_ != nullptr) {
    ok = std::fflush(stream_) == 0;
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
  }
  if (ok) {
    // mkstemp creates the file readable by its owner only; give it the usual mode.
    mode_t mask = umask(0);
    umask(mask);
    ok = ::chmod(temp_.c_str(), 0666 & ~mask) == 0;
  }
  if (!ok || std::rename(temp_.c_str(), target_.c_str()) != 0) throw Error(write_error);
  committed_ = true;
}

}  // namespace ziva
