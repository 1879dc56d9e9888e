// Reading named variables of MAT-files (level 4, and level 5 in either byte order, with or
// without compression) without trusting any size the file states: every length is checked against
// the bytes that hold it before anything is allocated or read, and compressed data is unpacked
// only as far as its variable declares. Version 7.3 files (HDF5) are recognised by their header and
// refused. Nothing is printed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ziva {

// A file that cannot be read; `reason` is a sentence for the user ("not found or not a MAT-file."
// for anything that is no MAT-file at all).
struct MatReadError {
  std::string reason;
};

// Class numbers as in level 5 files; a level 4 numeric matrix counts as double, text as char and
// a sparse matrix as sparse.
enum MatClass : int { kMatChar = 4, kMatSparse = 5, kMatDouble = 6 };

// One variable as stored: its class, whether it is complex, its dimensions and its real part.
struct MatVariable {
  int mat_class = 0;
  bool complex = false;
  std::vector<std::uint64_t> dims;
  // Data type of the real part, numbered as in level 5 files (2 uint8, 4 uint16, 9 double, 16
  // UTF-8, ...); 0 when the variable holds none. For the numeric and char classes the number of
  // bytes always matches the dimensions, except for UTF-8 text, whose length is its own.
  int type = 0;
  std::string data;  // the real part, each value in little-endian order
};

// The value of a real double 1×1 matrix, whatever numeric type holds it; nullopt otherwise.
std::optional<double> mat_scalar(const MatVariable& v);

// The UTF-8 text of a char matrix with at most one row, from UTF-16 units, UTF-8 bytes or 8-bit
// codes; nullopt for other variables.
std::optional<std::string> mat_text(const MatVariable& v);

class MatReader {
 public:
  // Opens a file; throws MatReadError when it is missing, no MAT-file or a version 7.3 file.
  static MatReader open(const std::string& path);
  // The same for a file image in memory.
  static MatReader from_bytes(std::string bytes);

  // The first variable called `name`, or nullopt when the file holds none before its end. Throws
  // MatReadError with the reason when the file is damaged before the variable is found, or the
  // variable itself is.
  std::optional<MatVariable> find(const std::string& name) const;

  class Source;

 private:
  enum class Level { Four, Five };
  MatReader(std::shared_ptr<const Source> source, Level level, bool big_endian);

  std::optional<MatVariable> find_v4(const std::string& name) const;
  std::optional<MatVariable> find_v5(const std::string& name) const;

  std::shared_ptr<const Source> source_;
  Level level_;
  bool big_endian_;  // level 5: the byte order of the whole file
};

}  // namespace ziva
