#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/output_paths.h"

namespace ziva {

namespace {

// Fixed length whatever the target's name, so that it always fits in a folder entry.
constexpr const char* kTempName = ".ziva-XXXXXX";

std::string folder_of(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  return dir.empty() ? std::string(".") : dir.string();
}

std::string system_reason(int err) {
  return std::strerror(err);
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target, const std::string& open_error) : target_(target) {
  open([&](const std::string&) { return open_error; });
}

AtomicFile::AtomicFile(const std::string& target,
                       const std::function<std::string(const std::string& reason)>& open_error)
    : target_(target) {
  open(open_error);
}

void AtomicFile::open(const std::function<std::string(const std::string&)>& open_error) {
  auto refuse = [&](int err, const std::string& reason) {
    OpenError error(open_error(reason), reason);
    errno = err;
    throw error;
  };
  if (target_.empty() || std::filesystem::path(target_).filename().empty())
    refuse(EISDIR, system_reason(EISDIR));

  std::string folder;
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) refuse(EISDIR, system_reason(EISDIR));
    if (S_ISBLK(st.st_mode)) refuse(EPERM, "is a block device; it is not written over");
    if (S_ISSOCK(st.st_mode)) refuse(ENXIO, "is a socket");
    if (S_ISREG(st.st_mode)) {
      keep_mode_ = true;
      mode_ = static_cast<unsigned>(st.st_mode & 0777);
      in_place_ = st.st_nlink > 1;
      char real[PATH_MAX];
      if (::realpath(target_.c_str(), real) == nullptr) refuse(errno, system_reason(errno));
      final_ = real;
      folder = folder_of(final_);
    } else {
      // A character device or a FIFO: the bytes wait in the temporary folder.
      in_place_ = true;
      std::error_code ec;
      folder = std::filesystem::temp_directory_path(ec).string();
      if (ec) folder = "/tmp";
    }
  } else if (errno == ENOENT) {
    try {
      final_ = follow_links(target_);
    } catch (const Error&) {
      refuse(ELOOP, system_reason(ELOOP));
    }
    folder = folder_of(final_);
  } else {
    refuse(errno, system_reason(errno));
  }

  std::string pattern = folder + "/" + kTempName;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd < 0) refuse(errno, system_reason(errno));
  temp_ = buffer.data();
  stream_ = ::fdopen(fd, "wb");
  if (stream_ == nullptr) {
    const int err = errno;
    ::close(fd);
    std::remove(temp_.c_str());
    temp_.clear();
    refuse(err, system_reason(err));
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

bool AtomicFile::copy_into_target() const {
  const int in = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  int flags = O_WRONLY | O_CLOEXEC;
  if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) flags |= O_TRUNC;
  const int out = ::open(target_.c_str(), flags);
  bool ok = out >= 0;
  char chunk[1 << 16];
  while (ok) {
    ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = ::write(out, chunk + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      if (ok) done += w;
    }
  }
  ::close(in);
  if (out >= 0 && ::close(out) != 0) ok = false;
  return ok;
}

void AtomicFile::commit(const std::string& write_error) {
  bool ok = true;
  if (stream_ != nullptr) {
    ok = std::fflush(stream_) == 0;
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
  }
  if (ok && in_place_) {
    ok = copy_into_target();
    if (!ok) throw Error(write_error);
    std::remove(temp_.c_str());
    committed_ = true;
    return;
  }
  if (ok) {
    // mkstemp creates the file readable by its owner only: give it the replaced file's mode,
    // or the usual mode of a new file.
    mode_t mode = static_cast<mode_t>(mode_);
    if (!keep_mode_) {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ok = ::chmod(temp_.c_str(), mode) == 0;
  }
  if (!ok || std::rename(temp_.c_str(), final_.c_str()) != 0) throw Error(write_error);
  committed_ = true;
}

}  // namespace ziva
