#include "params/mat_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace ziva {

// Random access to the bytes of a file or of a file image in memory.
class MatReader::Source {
 public:
  virtual ~Source() = default;
  virtual std::uint64_t size() const = 0;
  // Exactly n bytes from `offset`; the caller has checked that they lie inside the file.
  virtual std::string read(std::uint64_t offset, std::size_t n) const = 0;
};

namespace {

const char* const kNotMat = "not found or not a MAT-file.";
// Bytes of a matrix in which its name is looked for first.
constexpr std::uint64_t kHead = 512;
const char* const kVersion73 =
    "MAT-files of version 7.3 (HDF5) are not supported; save the parameters in version 7 or "
    "older.";

[[noreturn]] void fail(const std::string& reason) {
  throw MatReadError{reason};
}

std::string damaged(const std::string& what) {
  return "the file is damaged: " + what;
}

class MemorySource : public MatReader::Source {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::string read(std::uint64_t offset, std::size_t n) const override {
    return bytes_.substr(static_cast<std::size_t>(offset), n);
  }

 private:
  std::string bytes_;
};

class FileSource : public MatReader::Source {
 public:
  explicit FileSource(const std::string& path) {
    if (path.find('\0') != std::string::npos) fail(kNotMat);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) fail(kNotMat);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      fail(kNotMat);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
  }
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t size() const override { return size_; }
  std::string read(std::uint64_t offset, std::size_t n) const override {
    std::string out(n, '\0');
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_, out.data() + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) fail(damaged("it could not be read to its end."));
      done += static_cast<std::size_t>(got);
    }
    return out;
  }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

std::uint32_t u32(const char* p, bool big) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  if (big) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
  }
  return (std::uint32_t{b[3]} << 24) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[1]} << 8) |
         b[0];
}

std::uint16_t u16(const char* p, bool big) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(big ? (b[0] << 8) | b[1] : (b[1] << 8) | b[0]);
}

// Bytes per value of a level 5 data type; 0 for types that hold no plain values.
std::size_t type_width(int type) {
  switch (type) {
    case 1:   // int8
    case 2:   // uint8
    case 16:  // UTF-8
      return 1;
    case 3:   // int16
    case 4:   // uint16
    case 17:  // UTF-16
      return 2;
    case 5:   // int32
    case 6:   // uint32
    case 7:   // single
    case 18:  // UTF-32
      return 4;
    case 9:   // double
    case 12:  // int64
    case 13:  // uint64
      return 8;
    default:
      return 0;
  }
}

bool holds_values(int mat_class) {
  return mat_class == kMatChar || (mat_class >= 6 && mat_class <= 15);
}

// The number of elements the dimensions declare, or UINT64_MAX when it does not fit.
std::uint64_t element_count(const std::vector<std::uint64_t>& dims) {
  std::uint64_t n = 1;
  for (std::uint64_t d : dims) {
    if (d != 0 && n > UINT64_MAX / d) return UINT64_MAX;
    n *= d;
  }
  return n;
}

// Brings each value of `data` into little-endian order.
void to_little_endian(std::string& data, std::size_t width) {
  if (width < 2) return;
  for (std::size_t i = 0; i + width <= data.size(); i += width) {
    std::reverse(data.begin() + static_cast<std::ptrdiff_t>(i),
                 data.begin() + static_cast<std::ptrdiff_t>(i + width));
  }
}

// Checks that the real part holds exactly the values the dimensions declare.
void check_data_size(const MatVariable& v, const std::string& name) {
  if (!holds_values(v.mat_class)) return;
  const std::uint64_t count = element_count(v.dims);
  const std::size_t width = type_width(v.type);
  if (v.type == 0 && count == 0) return;
  if (v.type == 16 || (v.type != 0 && width == 0)) return;  // UTF-8 and unknown types
  if (v.type == 0 || count > UINT64_MAX / width || count * width != v.data.size()) {
    fail("variable '" + name + "' is damaged: its size declares " + std::to_string(count) +
         " values, its data holds " + std::to_string(v.data.size()) + " bytes.");
  }
}

// The data elements inside a level 5 matrix (tag, then data padded to 8 bytes; small elements
// pack up to 4 bytes into the tag).
class Elements {
 public:
  struct Element {
    int type;
    std::string data;
  };

  // Thrown by next() when `body` is only the first part of the matrix and the element runs past it.
  struct NeedMore {};

  Elements(const std::string& body, bool big, std::uint64_t where, bool whole = true)
      : body_(body), big_(big), where_(where), whole_(whole) {}

  // The next element, or nullopt at the end of the matrix (fewer than 8 bytes left).
  std::optional<Element> next() {
    if (body_.size() - pos_ < 8) {
      if (!whole_) throw NeedMore{};
      return std::nullopt;
    }
    const char* p = body_.data() + pos_;
    const std::uint32_t first = u32(p, big_);
    if ((first >> 16) != 0) {
      const std::size_t n = first >> 16;
      if (n > 4) fail(damaged("a variable at byte " + std::to_string(where_) + " is malformed."));
      pos_ += 8;
      return Element{static_cast<int>(first & 0xFFFF), std::string(p + 4, n)};
    }
    const std::uint64_t n = u32(p + 4, big_);
    if (n > body_.size() - pos_ - 8) {
      if (!whole_) throw NeedMore{};
      fail(damaged("a part of the variable at byte " + std::to_string(where_) + " claims " +
                   std::to_string(n) + " bytes, only " + std::to_string(body_.size() - pos_ - 8) +
                   " follow."));
    }
    Element e{static_cast<int>(first), std::string(p + 8, static_cast<std::size_t>(n))};
    pos_ =
        static_cast<std::size_t>(std::min<std::uint64_t>(body_.size(), pos_ + 8 + (n + 7) / 8 * 8));
    return e;
  }

 private:
  const std::string& body_;
  bool big_;
  std::uint64_t where_;
  bool whole_;
  std::size_t pos_ = 0;
};

// Parses the body of a level 5 matrix; returns the variable when its name is `name`. When `body`
// is only the first part of the matrix (`whole` false), throws Elements::NeedMore when the name
// lies beyond it or is `name`.
std::optional<MatVariable> parse_matrix(const std::string& body, bool big, std::uint64_t where,
                                        const std::string& name, bool whole = true) {
  Elements elements(body, big, where, whole);
  const std::string malformed =
      damaged("the variable at byte " + std::to_string(where) + " is malformed.");
  auto flags = elements.next();
  if (!flags || flags->type != 6 || flags->data.size() != 8) fail(malformed);
  const std::uint32_t word = u32(flags->data.data(), big);
  MatVariable v;
  v.mat_class = static_cast<int>(word & 0xFF);
  v.complex = (word & 0x0800) != 0;
  if (v.mat_class != 17) {  // opaque objects have no dimensions
    auto dims = elements.next();
    if (!dims || dims->type != 5 || dims->data.size() % 4 != 0 || dims->data.empty()) {
      fail(malformed);
    }
    for (std::size_t i = 0; i < dims->data.size(); i += 4) {
      const auto d = static_cast<std::int32_t>(u32(dims->data.data() + i, big));
      if (d < 0) fail(malformed);
      v.dims.push_back(static_cast<std::uint64_t>(d));
    }
  }
  auto var_name = elements.next();
  if (!var_name) fail(malformed);
  const std::string stored(var_name->data.c_str());  // up to the first NUL
  if (stored != name) return std::nullopt;
  if (!whole) throw Elements::NeedMore{};
  if (holds_values(v.mat_class)) {
    if (auto real = elements.next()) {
      v.type = real->type;
      v.data = std::move(real->data);
      if (big) to_little_endian(v.data, type_width(v.type));
    }
  }
  check_data_size(v, name);
  return v;
}

// Unpacks a compressed element: the matrix inside it, tag included, as far as that tag declares
// but no more than `limit` bytes. The output never exceeds what the compressed bytes really
// unpack to.
std::string inflate_matrix(const std::string& packed, bool big, std::uint64_t where,
                           std::uint64_t limit) {
  const std::string cut = damaged("the compressed variable at byte " + std::to_string(where) +
                                  " ends before its data does.");
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) fail(damaged("compressed data cannot be unpacked."));
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zs.avail_in = static_cast<uInt>(packed.size());
  std::string out;
  std::uint64_t want = 8;  // the tag first, then what it declares
  bool have_tag = false;
  char buffer[16384];
  int rc = Z_OK;
  while (out.size() < want) {
    const std::size_t room =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, want - out.size()));
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = static_cast<uInt>(room);
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(buffer, room - zs.avail_out);
    if (!have_tag && out.size() >= 8) {
      have_tag = true;
      want = std::min<std::uint64_t>(limit, 8 + std::uint64_t{u32(out.data() + 4, big)});
    }
    if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR) ||
        (rc == Z_BUF_ERROR && zs.avail_in == 0) || (zs.avail_out == room && zs.avail_in == 0)) {
      break;
    }
  }
  inflateEnd(&zs);
  if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
    fail(damaged("the compressed variable at byte " + std::to_string(where) +
                 " cannot be unpacked."));
  }
  if (out.size() < want) fail(cut);
  return out;
}

bool has_hdf5_signature(const MatReader::Source& s, std::uint64_t at) {
  static const char sig[8] = {'\x89', 'H', 'D', 'F', '\r', '\n', '\x1a', '\n'};
  return s.size() >= at + 8 && s.read(at, 8) == std::string(sig, 8);
}

// A level 4 record header: type code, rows, columns, imaginary flag, name length.
struct V4Header {
  bool valid = false;
  bool big_data = false;  // byte order of the values
  int precision = 0;      // 0 double, 1 single, 2 int32, 3 int16, 4 uint16, 5 uint8
  int kind = 0;           // 0 numeric, 1 text, 2 sparse
  std::uint64_t rows = 0, cols = 0;
  bool complex = false;
  std::uint64_t name_length = 0;
  std::uint64_t data_bytes = 0;
};

const int kV4Types[] = {9, 7, 5, 3, 4, 2};

V4Header v4_header(const std::string& raw) {
  V4Header h;
  bool big = false;
  auto value = [&](int i) { return static_cast<std::int32_t>(u32(raw.data() + 4 * i, big)); };
  std::int32_t code = value(0);
  if (code < 0 || code > 4052) {
    big = true;
    code = value(0);
    if (code < 0 || code > 4052) return h;
  }
  const int m = code / 1000, o = code / 100 % 10, p = code / 10 % 10, t = code % 10;
  const std::int32_t rows = value(1), cols = value(2), imag = value(3), name = value(4);
  if (m > 1 || o != 0 || p > 5 || t > 2 || rows < 0 || cols < 0 || name < 1) return h;
  h.big_data = m == 1;
  h.precision = p;
  h.kind = t;
  h.rows = static_cast<std::uint64_t>(rows);
  h.cols = static_cast<std::uint64_t>(cols);
  h.complex = imag != 0;
  h.name_length = static_cast<std::uint64_t>(name);
  // at most 2^31 · 2^31 · 8 · 2 = 2^66 would overflow: compute in steps with a ceiling
  const std::uint64_t width = type_width(kV4Types[p]);
  const std::uint64_t count = h.rows * h.cols;  // < 2^62
  h.data_bytes = count > (UINT64_MAX / 16) ? UINT64_MAX : count * width * (h.complex ? 2 : 1);
  h.valid = true;
  return h;
}

}  // namespace

MatReader::MatReader(std::shared_ptr<const Source> source, Level level, bool big_endian)
    : source_(std::move(source)), level_(level), big_endian_(big_endian) {}

namespace {

// Recognises the kind of file: level 5 (and its byte order), level 4, or none.
struct Kind {
  bool level5;
  bool big;
};

Kind recognise(const MatReader::Source& s) {
  if (has_hdf5_signature(s, 0) || has_hdf5_signature(s, 512)) fail(kVersion73);
  if (s.size() >= 128) {
    const std::string head = s.read(116, 12);
    const std::string order = head.substr(10, 2);
    if (order == "IM" || order == "MI") {
      const bool big = order == "MI";
      const std::uint16_t version = u16(head.data() + 8, big);
      if (version == 0x0200) fail(kVersion73);
      if (version == 0x0100) return {true, big};
    }
  }
  // level 4: the first record must be whole
  if (s.size() < 20) fail(kNotMat);
  const V4Header h = v4_header(s.read(0, 20));
  if (!h.valid || h.name_length > s.size() - 20 || h.data_bytes > s.size() - 20 - h.name_length) {
    fail(kNotMat);
  }
  return {false, false};
}

}  // namespace

MatReader MatReader::open(const std::string& path) {
  auto source = std::make_shared<const FileSource>(path);
  const Kind k = recognise(*source);
  return MatReader(source, k.level5 ? Level::Five : Level::Four, k.big);
}

MatReader MatReader::from_bytes(std::string bytes) {
  auto source = std::make_shared<const MemorySource>(std::move(bytes));
  const Kind k = recognise(*source);
  return MatReader(source, k.level5 ? Level::Five : Level::Four, k.big);
}

std::optional<MatVariable> MatReader::find(const std::string& name) const {
  return level_ == Level::Five ? find_v5(name) : find_v4(name);
}

std::optional<MatVariable> MatReader::find_v5(const std::string& name) const {
  const Source& s = *source_;
  const bool big = big_endian_;
  std::uint64_t pos = 128;
  while (s.size() - pos >= 8) {
    const std::string tag = s.read(pos, 8);
    const std::uint32_t type = u32(tag.data(), big);
    if ((type >> 16) != 0) {  // a small element: nothing to look at
      pos += 8;
      continue;
    }
    const std::uint64_t n = u32(tag.data() + 4, big);
    const std::uint64_t left = s.size() - pos - 8;
    if (n > left) {
      fail(damaged("the variable at byte " + std::to_string(pos) + " claims " + std::to_string(n) +
                   " bytes, only " + std::to_string(left) + " follow."));
    }
    // The name is looked up in the first kHead bytes of a matrix; only the matrix it names is
    // read whole.
    if (type == 14) {
      const bool whole = n <= kHead;
      try {
        if (auto v = parse_matrix(s.read(pos + 8, static_cast<std::size_t>(whole ? n : kHead)), big,
                                  pos, name, whole)) {
          return v;
        }
      } catch (const Elements::NeedMore&) {
        if (auto v = parse_matrix(s.read(pos + 8, static_cast<std::size_t>(n)), big, pos, name)) {
          return v;
        }
      }
    } else if (type == 15) {
      const std::string packed = s.read(pos + 8, static_cast<std::size_t>(n));
      const std::string head = inflate_matrix(packed, big, pos, 8 + kHead);
      if (u32(head.data(), big) == 14) {
        const bool whole = head.size() - 8 == u32(head.data() + 4, big);
        try {
          if (auto v = parse_matrix(head.substr(8), big, pos, name, whole)) return v;
        } catch (const Elements::NeedMore&) {
          const std::string matrix = inflate_matrix(packed, big, pos, UINT64_MAX);
          if (auto v = parse_matrix(matrix.substr(8), big, pos, name)) return v;
        }
      }
    }
    pos += 8 + n;
  }
  return std::nullopt;
}

std::optional<MatVariable> MatReader::find_v4(const std::string& name) const {
  const Source& s = *source_;
  std::uint64_t pos = 0;
  while (s.size() - pos >= 20) {
    const V4Header h = v4_header(s.read(pos, 20));
    const std::uint64_t left = s.size() - pos - 20;
    if (!h.valid || h.name_length > left || h.data_bytes > left - h.name_length) {
      fail(damaged("the variable at byte " + std::to_string(pos) + " is malformed or cut short."));
    }
    const std::string stored = s.read(pos + 20, static_cast<std::size_t>(h.name_length));
    const std::uint64_t data_at = pos + 20 + h.name_length;
    if (std::string(stored.c_str()) == name) {
      MatVariable v;
      v.mat_class = h.kind == 0 ? kMatDouble : h.kind == 1 ? kMatChar : kMatSparse;
      v.complex = h.complex;
      v.dims = {h.rows, h.cols};
      v.type = kV4Types[h.precision];
      const std::uint64_t real = h.complex ? h.data_bytes / 2 : h.data_bytes;
      v.data = s.read(data_at, static_cast<std::size_t>(real));
      if (h.big_data) to_little_endian(v.data, type_width(v.type));
      return v;
    }
    pos = data_at + h.data_bytes;
  }
  return std::nullopt;
}

namespace {

template <class T>
T load(const std::string& data) {
  T x;
  std::memcpy(&x, data.data(), sizeof x);
  if constexpr (std::endian::native == std::endian::big) {
    auto* b = reinterpret_cast<unsigned char*>(&x);
    std::reverse(b, b + sizeof x);
  }
  return x;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::optional<double> mat_scalar(const MatVariable& v) {
  if (v.mat_class != kMatDouble || v.complex || v.dims.size() != 2 || v.dims[0] != 1 ||
      v.dims[1] != 1 || v.data.size() != type_width(v.type)) {
    return std::nullopt;
  }
  switch (v.type) {
    case 1:
      return load<std::int8_t>(v.data);
    case 2:
      return load<std::uint8_t>(v.data);
    case 3:
      return load<std::int16_t>(v.data);
    case 4:
      return load<std::uint16_t>(v.data);
    case 5:
      return load<std::int32_t>(v.data);
    case 6:
      return load<std::uint32_t>(v.data);
    case 7:
      return load<float>(v.data);
    case 9:
      return load<double>(v.data);
    case 12:
      return static_cast<double>(load<std::int64_t>(v.data));
    case 13:
      return static_cast<double>(load<std::uint64_t>(v.data));
    default:
      return std::nullopt;
  }
}

std::optional<std::string> mat_text(const MatVariable& v) {
  if (v.mat_class != kMatChar || v.dims.size() != 2 || v.dims[0] > 1) return std::nullopt;
  std::string out;
  const auto* b = reinterpret_cast<const unsigned char*>(v.data.data());
  const std::size_t n = v.data.size();
  switch (v.type) {
    case 4:
    case 17:  // UTF-16 units; an unpaired surrogate becomes U+FFFD
      for (std::size_t i = 0; i + 1 < n; i += 2) {
        char32_t cp = static_cast<char32_t>(b[i] | (b[i + 1] << 8));
        if (cp >= 0xD800 && cp < 0xE000) {
          const char32_t low = i + 3 < n ? static_cast<char32_t>(b[i + 2] | (b[i + 3] << 8)) : 0;
          if (cp < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
          } else {
            cp = 0xFFFD;
          }
        }
        append_utf8(out, cp);
      }
      return out;
    case 16:
      return v.data;
    case 1:
    case 2:
      for (std::size_t i = 0; i < n; ++i) append_utf8(out, b[i]);
      return out;
    default:
      return std::nullopt;
  }
}

}  // namespace ziva
