// Reading parameter files assembled byte by byte here (independently of the reader and of
// matio): the kinds of MAT-file a parameter file can be, and damaged ones.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "params/par_file.h"
#include "support/work_dir.h"

using namespace ziva;
using ziva::testing::WorkDirTest;

namespace {

// Level 5 MAT-file images in either byte order.
struct Mat5 {
  bool big = false;

  std::string u32(std::uint32_t v) const {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[big ? 3 - i : i] = static_cast<char>(v >> (8 * i));
    return s;
  }
  std::string u16(std::uint16_t v) const {
    std::string s(2, '\0');
    s[big ? 1 : 0] = static_cast<char>(v);
    s[big ? 0 : 1] = static_cast<char>(v >> 8);
    return s;
  }
  // `bytes` (little-endian) of one value in the file's order
  std::string value(std::string bytes) const {
    if (big) std::reverse(bytes.begin(), bytes.end());
    return bytes;
  }
  std::string f64(double x) const {
    std::string s(8, '\0');
    std::memcpy(s.data(), &x, 8);
    return value(s);
  }
  std::string utf16(const std::u16string& t) const {
    std::string s;
    for (char16_t c : t) s += u16(c);
    return s;
  }

  std::string header(std::uint16_t version = 0x0100) const {
    std::string h = "Level 5 MAT-file, written by the parameter tests";
    h.resize(124, ' ');
    return h + u16(version) + (big ? "MI" : "IM");
  }
  // A data element: tag (with the body's length unless `size` is given) and the body padded to 8.
  std::string element(std::uint32_t type, const std::string& body,
                      std::optional<std::uint32_t> size = std::nullopt) const {
    std::string s = u32(type) + u32(size ? *size : static_cast<std::uint32_t>(body.size())) + body;
    s.resize((s.size() + 7) / 8 * 8, '\0');
    return s;
  }
  // A matrix: class (with flag bits), dimensions, name and the real part as a ready element.
  std::string matrix(const std::string& name, std::uint32_t cls, std::vector<std::int32_t> dims,
                     const std::string& real) const {
    std::string d;
    for (std::int32_t x : dims) d += u32(static_cast<std::uint32_t>(x));
    return element(14, element(6, u32(cls) + u32(0)) + element(5, d) + element(1, name) + real);
  }
  std::string number(const std::string& name, double x) const {
    return matrix(name, 6, {1, 1}, element(9, f64(x)));
  }
  std::string title(const std::u16string& t) const {
    return matrix("tit", 4, {1, static_cast<std::int32_t>(t.size())}, element(4, utf16(t)));
  }
  // The variable packed with zlib.
  std::string compressed(const std::string& var) const {
    uLongf n = compressBound(static_cast<uLong>(var.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(var.data()),
             static_cast<uLong>(var.size()));
    out.resize(n);
    return u32(15) + u32(static_cast<std::uint32_t>(n)) + out;
  }
};

const char* const kNames[] = {"m",     "cw",    "r",       "u",       "l",       "fl",   "J",
                              "ur",    "A",     "W",       "komment", "cutvmax", "sig1", "sig2",
                              "xaxis", "yaxis", "wav_kom", "T",       "P"};

// The 19 numbers 1, 2, ..., 19 in file order, each variable named in `own` made as given there.
std::string numbers(const Mat5& f, const std::map<std::string, std::string>& own = {}) {
  std::string s;
  double x = 1;
  for (const char* name : kNames) {
    const auto it = own.find(name);
    s += it != own.end() ? it->second : f.number(name, x);
    x += 1;
  }
  return s;
}

struct ReadCase {
  const char* name;
  std::function<std::string()> bytes;
  // what the reader says after "Unable to read file '…': ", or empty when the file reads
  std::string message;
  std::string title = "";
};

const Mat5 le{false};
const Mat5 be{true};

// A Level 4 matrix; its type code's thousands digit names the byte order (0 little, 1 big).
std::string level4_record(const Mat5& f, std::int32_t code, std::int32_t rows, std::int32_t cols,
                          const std::string& name, const std::string& data) {
  return f.u32(static_cast<std::uint32_t>(code)) + f.u32(static_cast<std::uint32_t>(rows)) +
         f.u32(static_cast<std::uint32_t>(cols)) + f.u32(0) +
         f.u32(static_cast<std::uint32_t>(name.size() + 1)) + name + std::string(1, '\0') + data;
}

// A Level 4 file of the 19 numbers and the title "Lauf" (order 0 little-endian, 1000 big).
std::string level4_file(const Mat5& f, std::int32_t order) {
  std::string s;
  double x = 1;
  for (const char* name : kNames) s += level4_record(f, order, 1, 1, name, f.f64(x++));
  return s + level4_record(f, order + 51, 1, 4, "tit", "Lauf");
}

std::vector<ReadCase> read_cases() {
  const std::string damaged = "the file is damaged: ";
  return {
      // U+0080, the first character of two UTF-8 bytes
      {"LittleEndian", [] { return le.header() + numbers(le) + le.title(u"Prüfung €\u0080"); }, "",
       "Prüfung €\u0080"},
      {"BigEndian", [] { return be.header() + numbers(be) + be.title(u"Prüfung €"); }, "",
       "Prüfung €"},
      {"Compressed",
       [] {
         std::string s = le.header();
         double x = 1;
         for (const char* name : kNames) s += le.compressed(le.number(name, x++));
         return s + le.compressed(le.title(u"Lauf 7"));
       },
       "", "Lauf 7"},
      // large variables before the parameters and a long title, plain and compressed
      {"LargeVariables",
       [] {
         std::string big;
         for (int i = 0; i < 1000; ++i) big += le.f64(i);
         const std::string var = le.matrix("messung", 6, {1, 1000}, le.element(9, big));
         const std::u16string title(3000, u'x');
         return le.header() + var + le.compressed(var) + numbers(le) +
                le.compressed(le.title(title));
       },
       "", std::string(3000, 'x')},
      // whole numbers stored in the smallest type that holds them, as other writers do
      {"CompactTypes",
       [] {
         return le.header() +
                numbers(le,
                        {{"m", le.matrix("m", 6, {1, 1}, le.element(2, std::string(1, '\x01')))},
                         {"cw", le.matrix("cw", 6, {1, 1}, le.element(3, le.u16(2)))}}) +
                le.matrix("tit", 4, {1, 4}, le.element(16, "L\xc3\xa4uf"));
       },
       "", "Läuf"},
      {"Level4", [] { return level4_file(le, 0); }, "", "Lauf"},
      {"Level4BigEndian", [] { return level4_file(be, 1000); }, "", "Lauf"},
      // titles that claim more than the file holds
      {"TitleLongerThanItsCharacters",
       [] {
         return le.header() + numbers(le) +
                le.matrix("tit", 4, {1, 100000}, le.element(4, le.utf16(u"abc")));
       },
       "variable 'tit' is damaged: its size declares 100000 values, its data holds 6 bytes."},
      {"Utf8TitleClaiming32MB",
       [] {
         return le.header() + numbers(le) +
                le.matrix("tit", 4, {1, 3}, le.element(16, "abc", 32u << 20));
       },
       damaged + "a part of the variable at byte 1496 claims 33554432 bytes, only 8 follow."},
      {"VariableLongerThanTheFile",
       [] {
         return le.header() + numbers(le) + le.u32(14) + le.u32(1u << 30) + std::string(16, 'x');
       },
       damaged + "the variable at byte 1496 claims 1073741824 bytes, only 16 follow."},
      {"NumberWithHugeDimensions",
       [] {
         return le.header() +
                numbers(le,
                        {{"fl", le.matrix("fl", 6, {60000, 60000}, le.element(9, le.f64(1)))}}) +
                le.title(u"x");
       },
       "variable 'fl' is damaged: its size declares 3600000000 values, its data holds 8 bytes."},
      {"CompressedCutShort",
       [] {
         const std::string z = le.compressed(le.number("m", 1)).substr(8);
         const std::string half = z.substr(0, z.size() / 2);
         return le.header() + le.u32(15) + le.u32(static_cast<std::uint32_t>(half.size())) + half;
       },
       damaged + "the compressed variable at byte 128 ends before its data does."},
      {"Version73", [] { return le.header(0x0200) + std::string(400, '\0'); },
       "MAT-files of version 7.3 (HDF5) are not supported; save the parameters in version 7 or "
       "older."},
      {"Hdf5WithoutMatHeader",
       [] { return std::string(512, '\0') + "\x89HDF\r\n\x1a\n" + std::string(100, '\0'); },
       "MAT-files of version 7.3 (HDF5) are not supported; save the parameters in version 7 or "
       "older."},
      // the messages of before for files that are whole
      {"NotAMatFile", [] { return std::string("this is not a MAT file"); },
       "not found or not a MAT-file."},
      {"MissingVariable",
       [] {
         return le.header() + numbers(le, {{"fl", ""}}) + le.title(u"x");
       },
       "variable 'fl' is missing."},
      {"ComplexNumber",
       [] {
         return le.header() +
                numbers(le,
                        {{"J", le.matrix("J", 6 | 0x800, {1, 1},
                                         le.element(9, le.f64(1)) + le.element(9, le.f64(2)))}}) +
                le.title(u"x");
       },
       "variable 'J' is not a number."},
      {"TwoRowTitle",
       [] {
         return le.header() + numbers(le) +
                le.matrix("tit", 4, {2, 1}, le.element(4, le.utf16(u"ab")));
       },
       "variable 'tit' is not a text."},
  };
}

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

class ParFileRead : public WorkDirTest, public ::testing::WithParamInterface<ReadCase> {};

}  // namespace

TEST_P(ParFileRead, ReadsWholeFilesAndRefusesDamagedOnes) {
  const ReadCase& c = GetParam();
  const std::string file = path("p.cfg");
  {
    std::ofstream out(file, std::ios::binary);
    const std::string bytes = c.bytes();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  if (c.message.empty()) {
    const ParSet p = read_par_file(file);
    EXPECT_EQ(p.total_mass_kg, 1);
    EXPECT_EQ(p.cw, 2);
    EXPECT_EQ(p.filter_length_s, 6);
    EXPECT_EQ(p.air_pressure_mbar, 19);
    EXPECT_EQ(p.title, c.title);
  } else {
    try {
      read_par_file(file);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.text(), "Unable to read file '" + file + "': " + c.message);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ParFile, ParFileRead, ::testing::ValuesIn(read_cases()),
                         [](const auto& info) { return std::string(info.param.name); });
