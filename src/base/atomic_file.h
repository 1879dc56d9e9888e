// Writing a file safely: the bytes go to a temporary file in the target's folder, which
// replaces the target only when it is complete. A failed write leaves the target as it was.
#pragma once

#include <cstdio>
#include <string>

namespace ziva {

class AtomicFile {
 public:
  // Opens a temporary file beside `target`. Throws ziva::Error(open_error) when that fails.
  AtomicFile(const std::string& target, const std::string& open_error);
  ~AtomicFile();  // removes the temporary file unless commit() succeeded
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::FILE* stream() const { return stream_; }
  // Writes bytes; returns false on a short write.
  bool write(const void* data, std::size_t size);
  // Flushes, closes and renames over the target. Throws ziva::Error(write_error) on failure.
  void commit(const std::string& write_error);
  const std::string& temp_name() const { return temp_; }
  // Closes the stream so that another writer can fill temp_name() before commit().
  void release_stream();

 private:
  std::string target_;
  std::string temp_;
  std::FILE* stream_ = nullptr;
  bool committed_ = false;
};

}  // namespace ziva
