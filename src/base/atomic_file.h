// Writing a file safely: the bytes go to a temporary file, which takes the target's place only
// when it is complete. A failed write leaves the target as it was.
//
// How the target is reached:
// - a symbolic link is followed: the file it names is replaced (or created), the link stays;
// - a plain file is replaced by renaming the temporary file (a short fixed-length name in the
//   target's folder) over it; the new file keeps the old file's permission bits;
// - a plain file with further hard links, a character device (/dev/null, a terminal) and a FIFO
//   are written in place once the temporary file is complete, so that every link, the device
//   and the reader see the new bytes;
// - a folder, a block device and a socket are refused.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "base/error.h"

namespace ziva {

class AtomicFile {
 public:
  // The error raised when the temporary file cannot be opened or the target is refused; what()
  // is the caller's text, reason() says why (the system's message or the kind of target).
  class OpenError : public Error {
   public:
    OpenError(const std::string& text, const std::string& reason) : Error(text), reason_(reason) {}
    const std::string& reason() const noexcept { return reason_; }

   private:
    std::string reason_;
  };

  // Opens a temporary file for `target`. Throws OpenError(open_error, reason) when that fails;
  // errno then holds the system's error code.
  AtomicFile(const std::string& target, const std::string& open_error);
  // The same, with the error text built from the reason.
  AtomicFile(const std::string& target,
             const std::function<std::string(const std::string& reason)>& open_error);
  ~AtomicFile();  // removes the temporary file unless commit() succeeded
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* stream() const { return stream_; }
  // Writes bytes; returns false on a short write.
  bool write(const void* data, std::size_t size);
  // Flushes and closes the temporary file, then puts it in the target's place. Throws
  // ziva::Error(write_error) on failure.
  void commit(const std::string& write_error);
  const std::string& temp_name() const { return temp_; }
  // Closes the stream so that another writer can fill temp_name() before commit().
  void release_stream();

 private:
  void open(const std::function<std::string(const std::string&)>& open_error);
  bool copy_into_target() const;

  std::string target_;  // the name given, used for writes in place
  std::string final_;   // the file that the rename replaces
  std::string temp_;
  std::FILE* stream_ = nullptr;
  bool in_place_ = false;
  bool keep_mode_ = false;  // an existing file's mode, else the usual mode of a new file
  unsigned mode_ = 0;
  bool committed_ = false;
};

}  // namespace ziva
