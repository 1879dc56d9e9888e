#include "params/par_file.h"

#include <dlfcn.h>
#include <matio.h>

#include <cstdint>
#include <memory>

#include "base/atomic_file.h"
#include "base/error.h"
#include "params/channels.h"
#include "params/mat_read.h"
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

// The MAT-file library and the chain of libraries behind it are loaded on the first write of a
// parameter file, so that runs which write none do not pay for loading them.
struct MatLib {
  decltype(&Mat_CreateVer) create_ver = nullptr;
  decltype(&Mat_Close) close = nullptr;
  decltype(&Mat_VarCreate) var_create = nullptr;
  decltype(&Mat_VarWrite) var_write = nullptr;
  decltype(&Mat_VarFree) var_free = nullptr;
  decltype(&Mat_LogInitFunc) log_init = nullptr;
};

template <typename F>
void resolve(void* library, const char* name, F& f) {
  f = reinterpret_cast<F>(dlsym(library, name));
  if (f == nullptr) throw Error(std::string("The MAT-file library has no function ") + name + ".");
}

// Throws ziva::Error when the library cannot be loaded; the next call tries again.
const MatLib& matlib() {
  static const MatLib lib = [] {
    void* library = dlopen(ZIVA_MATIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* why = dlerror();
      throw Error(std::string("Cannot load the MAT-file library " ZIVA_MATIO_LIBRARY ": ") +
                  (why != nullptr ? why : "unknown error"));
    }
    MatLib m;
    resolve(library, "Mat_CreateVer", m.create_ver);
    resolve(library, "Mat_Close", m.close);
    resolve(library, "Mat_VarCreate", m.var_create);
    resolve(library, "Mat_VarWrite", m.var_write);
    resolve(library, "Mat_VarFree", m.var_free);
    resolve(library, "Mat_LogInitFunc", m.log_init);
    return m;
  }();
  return lib;
}

struct MatCloser {
  void operator()(mat_t* m) const { matlib().close(m); }
};
struct VarFreer {
  void operator()(matvar_t* v) const { matlib().var_free(v); }
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

// matio reports problems on the terminal unless given a function of its own: its callers here
// report every failure themselves.
void silence_matio() {
  static const bool silenced = [] {
    matlib().log_init("ziva", [](int, char*) {});
    return true;
  }();
  (void)silenced;
}

}  // namespace

void write_par_file(const std::string& file, const ParSet& p) {
  const std::string error = "Unable to write file '" + file + "'.";
  silence_matio();
  const MatLib& lib = matlib();
  AtomicFile out(file, error);
  out.release_stream();
  {
    MatFile mat(lib.create_ver(out.temp_name().c_str(), nullptr, MAT_FT_MAT5));
    if (!mat) throw Error(error);
    size_t dims[2] = {1, 1};
    for (const ParamSpec& n : param_table()) {
      if (n.field == nullptr) continue;
      double x = p.*(n.field);
      // Parameters added later are written only when they differ from their default, so that a
      // file of default settings stays what it always was.
      if (!n.in_every_file && x == default_value(n)) continue;
      MatVar v(lib.var_create(n.file_var, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &x, 0));
      if (!v || lib.var_write(mat.get(), v.get(), MAT_COMPRESSION_NONE) != 0) throw Error(error);
    }
    std::u16string title = utf8_to_utf16(p.title);
    size_t tdims[2] = {1, title.size()};
    std::uint16_t dummy = 0;
    void* data = title.empty() ? static_cast<void*>(&dummy) : static_cast<void*>(title.data());
    MatVar v(lib.var_create("tit", MAT_C_CHAR, MAT_T_UINT16, 2, tdims, data, 0));
    if (!v || lib.var_write(mat.get(), v.get(), MAT_COMPRESSION_NONE) != 0) throw Error(error);
  }
  out.commit(error);
}

ParSet read_par_file(const std::string& file) {
  try {
    const MatReader mat = MatReader::open(file);
    ParSet p;
    for (const ParamSpec& n : param_table()) {
      if (n.field == nullptr) continue;
      auto v = mat.find(n.file_var);
      if (!v && !n.in_every_file) {
        p.*(n.field) = default_value(n);
        continue;
      }
      if (!v)
        throw Error(load_error(file, std::string("variable '") + n.file_var + "' is missing."));
      auto x = mat_scalar(*v);
      if (!x)
        throw Error(
            load_error(file, std::string("variable '") + n.file_var + "' is not a number."));
      p.*(n.field) = *x;
    }
    auto v = mat.find("tit");
    if (!v) throw Error(load_error(file, "variable 'tit' is missing."));
    auto title = mat_text(*v);
    if (!title) throw Error(load_error(file, "variable 'tit' is not a text."));
    p.title = *title;
    return p;
  } catch (const MatReadError& e) {
    throw Error(load_error(file, e.reason));
  }
}

void save_par(Env& env) {
  const Record& st = strings();
  FileChoice c =
      env.s.put_file({{"*.cfg", st_text(st, "cfg_file")}, {"*.*", st_text(st, "all_file")}},
                     st_text(st, "par_file"));
  if (c.cancelled) return;
  ParSet p = get_par(env);
  write_par_file(c.path(), p);
}

void load_par(Env& env, std::optional<std::string> file) {
  if (!file) {
    const Record& st = strings();
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
