#include "params/par_file.h"

#include <matio.h>

#include <cstdint>
#include <memory>

#include "base/atomic_file.h"
#include "base/error.h"
#include "params/channels.h"
#include "platform/core/text.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

std::u16string utf8_to_utf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = c;
    std::size_t n = 1;
    if (c >= 0xF0) {
      cp = c & 0x07;
      n = 4;
    } else if (c >= 0xE0) {
      cp = c & 0x0F;
      n = 3;
    } else if (c >= 0xC0) {
      cp = c & 0x1F;
      n = 2;
    }
    if (i + n > s.size()) n = 1, cp = c;
    for (std::size_t k = 1; k < n; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
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

struct MatCloser {
  void operator()(mat_t* m) const { Mat_Close(m); }
};
struct VarFreer {
  void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using MatFile = std::unique_ptr<mat_t, MatCloser>;
using MatVar = std::unique_ptr<matvar_t, VarFreer>;

// The start-up value of a number, pop-up or check box.
double default_value(const ParamSpec& n) {
  if (n.kind == ParamKind::Number) return str2num(n.default_text).value_or(0);
  return n.default_value;
}

std::string load_error(const std::string& file, const std::string& why) {
  return "Unable to read file '" + file + "': " + why;
}

// The text of a char variable (a row, or the rows of a char matrix read column-major).
std::optional<std::string> char_text(const matvar_t* v) {
  if (v->class_type != MAT_C_CHAR || v->rank != 2 || (v->data == nullptr && v->nbytes != 0))
    return std::nullopt;
  std::size_t rows = v->dims[0], cols = v->dims[1];
  std::size_t n = rows * cols;
  if (rows > 1) return std::nullopt;
  std::string out;
  if (v->data_type == MAT_T_UINT16 || v->data_type == MAT_T_UTF16) {
    const auto* d = static_cast<const std::uint16_t*>(v->data);
    for (std::size_t i = 0; i < n; ++i) {
      char32_t cp = d[i];
      if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (d[i + 1] - 0xDC00);
        ++i;
      }
      append_utf8(out, cp);
    }
  } else if (v->data_type == MAT_T_UTF8) {
    out.assign(static_cast<const char*>(v->data), v->nbytes);
  } else if (v->data_type == MAT_T_UINT8 || v->data_type == MAT_T_INT8) {
    const auto* d = static_cast<const unsigned char*>(v->data);
    for (std::size_t i = 0; i < n; ++i) append_utf8(out, d[i]);
  } else {
    return std::nullopt;
  }
  return out;
}

}  // namespace

void write_par_file(const std::string& file, const ParSet& p) {
  const std::string error = "Unable to write file '" + file + "'.";
  AtomicFile out(file, error);
  out.release_stream();
  {
    MatFile mat(Mat_CreateVer(out.temp_name().c_str(), nullptr, MAT_FT_MAT5));
    if (!mat) throw Error(error);
    size_t dims[2] = {1, 1};
    for (const ParamSpec& n : param_table()) {
      if (n.field == nullptr) continue;
      double x = p.*(n.field);
      // Parameters added later are written only when they differ from their default, so that a
      // file of default settings stays what it always was.
      if (!n.in_every_file && x == default_value(n)) continue;
      MatVar v(Mat_VarCreate(n.file_var, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &x, 0));
      if (!v || Mat_VarWrite(mat.get(), v.get(), MAT_COMPRESSION_NONE) != 0) throw Error(error);
    }
    std::u16string title = utf8_to_utf16(p.title);
    size_t tdims[2] = {1, title.size()};
    std::uint16_t dummy = 0;
    void* data = title.empty() ? static_cast<void*>(&dummy) : static_cast<void*>(title.data());
    MatVar v(Mat_VarCreate("tit", MAT_C_CHAR, MAT_T_UINT16, 2, tdims, data, 0));
    if (!v || Mat_VarWrite(mat.get(), v.get(), MAT_COMPRESSION_NONE) != 0) throw Error(error);
  }
  out.commit(error);
}

ParSet read_par_file(const std::string& file) {
  MatFile mat(Mat_Open(file.c_str(), MAT_ACC_RDONLY));
  if (!mat) throw Error(load_error(file, "not found or not a MAT-file."));
  ParSet p;
  for (const ParamSpec& n : param_table()) {
    if (n.field == nullptr) continue;
    MatVar v(Mat_VarRead(mat.get(), n.file_var));
    if (!v && !n.in_every_file) {
      p.*(n.field) = default_value(n);
      continue;
    }
    if (!v) throw Error(load_error(file, std::string("variable '") + n.file_var + "' is missing."));
    bool ok = v->class_type == MAT_C_DOUBLE && v->data_type == MAT_T_DOUBLE && !v->isComplex &&
              v->rank == 2 && v->dims[0] == 1 && v->dims[1] == 1 && v->data != nullptr;
    if (!ok)
      throw Error(load_error(file, std::string("variable '") + n.file_var + "' is not a number."));
    p.*(n.field) = *static_cast<const double*>(v->data);
  }
  MatVar v(Mat_VarRead(mat.get(), "tit"));
  if (!v) throw Error(load_error(file, "variable 'tit' is missing."));
  auto title = char_text(v.get());
  if (!title) throw Error(load_error(file, "variable 'tit' is not a text."));
  p.title = *title;
  return p;
}

void save_par(Env& env) {
  Record st = strings();
  FileChoice c =
      env.s.put_file({{"*.cfg", st_text(st, "cfg_file")}, {"*.*", st_text(st, "all_file")}},
                     st_text(st, "par_file"));
  if (c.cancelled) return;
  ParSet p = get_par(env);
  write_par_file(c.path(), p);
}

void load_par(Env& env, std::optional<std::string> file) {
  if (!file) {
    Record st = strings();
    FileChoice c =
        env.s.get_file({{"*.cfg", st_text(st, "cfg_file")}, {"*.*", st_text(st, "all_file")}},
                       st_text(st, "par_file"));
    if (c.cancelled) return;
    file = c.path();
  }
  ParSet p = read_par_file(*file);
  // Choices outside their lists would leave pop-ups without an entry: refuse the file whole.
  for (const ParamSpec& n : param_table()) {
    if (n.kind != ParamKind::PopUp) continue;
    const double x = p.*(n.field);
    if (!(x >= 1 && x <= n.entries && x == static_cast<int>(x)))
      throw Error(load_error(
          *file, std::string("variable '") + n.file_var + "' is not an entry of its list."));
  }
  set_par(env, p);
}

}  // namespace ziva
