// libFuzzer target for the parameter-file reader: on any bytes the MAT reader returns the
// parameters or raises MatReadError, reading no byte outside the file and allocating nothing
// the file does not hold. Built with -DZIVA_FUZZ_SEEDS it is instead a program that writes a seed
// corpus (parameter files of every supported kind, written with matio) into the folder given as
// its argument. Built and run by bench/fuzz_parfile.sh.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "params/mat_read.h"

namespace {

const char* const kNames[] = {"m",     "cw",    "r",       "u",       "l",       "fl",   "J",
                              "ur",    "A",     "W",       "komment", "cutvmax", "sig1", "sig2",
                              "xaxis", "yaxis", "wav_kom", "T",       "P"};

}  // namespace

#ifndef ZIVA_FUZZ_SEEDS

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const ziva::MatReader mat =
        ziva::MatReader::from_bytes(std::string(reinterpret_cast<const char*>(data), size));
    for (const char* name : kNames) {
      auto v = mat.find(name);
      if (!v) return 0;
      // every value comes from the file, unpacked at most at deflate's ratio of 1032:1
      if (v->data.size() > 1032 * size) abort();
      volatile bool number = ziva::mat_scalar(*v).has_value();
      (void)number;
    }
    auto v = mat.find("tit");
    if (!v) return 0;
    auto text = ziva::mat_text(*v);
    // a text takes at most 3 bytes of UTF-8 per stored byte
    if (text && text->size() > 3 * v->data.size()) abort();
  } catch (const ziva::MatReadError& e) {
    if (e.reason.empty()) abort();
  }
  return 0;
}

#else

#include <matio.h>

#include <vector>

namespace {

bool write_seed(const std::string& path, mat_ft version, matio_compression compression,
                const std::u16string& title) {
  mat_t* mat = Mat_CreateVer(path.c_str(), nullptr, version);
  if (!mat) return false;
  size_t dims[2] = {1, 1};
  double x = 1;
  for (const char* name : kNames) {
    matvar_t* v = Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &x, 0);
    Mat_VarWrite(mat, v, compression);
    Mat_VarFree(v);
    x += 1.5;
  }
  size_t tdims[2] = {1, title.size()};
  std::vector<std::uint16_t> units(title.begin(), title.end());
  units.push_back(0);
  matvar_t* v = Mat_VarCreate("tit", MAT_C_CHAR, MAT_T_UINT16, 2, tdims, units.data(), 0);
  Mat_VarWrite(mat, v, compression);
  Mat_VarFree(v);
  Mat_Close(mat);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  Mat_LogInitFunc("seeds", [](int, char*) {});
  const std::string dir = argv[1];
  const std::u16string title = u"Lauf \u00e4 \u20ac";
  bool ok = write_seed(dir + "/v5.mat", MAT_FT_MAT5, MAT_COMPRESSION_NONE, title) &&
            write_seed(dir + "/v5z.mat", MAT_FT_MAT5, MAT_COMPRESSION_ZLIB, title) &&
            write_seed(dir + "/v4.mat", MAT_FT_MAT4, MAT_COMPRESSION_NONE, u"Lauf");
  // the header of a version 7.3 file
  std::string head(128, ' ');
  head.replace(0, 25, "MAT-file, version 7.3 HDF");
  head[124] = 0;
  head[125] = 2;
  head[126] = 'I';
  head[127] = 'M';
  std::FILE* out = std::fopen((dir + "/v73.mat").c_str(), "wb");
  ok = ok && out && std::fwrite(head.data(), 1, head.size(), out) == head.size();
  if (out) std::fclose(out);
  return ok ? 0 : 1;
}

#endif
