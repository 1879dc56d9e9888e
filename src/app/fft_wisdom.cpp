#include "app/fft_wisdom.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "base/error.h"
#include "dsp/fft.h"

namespace ziva {

namespace {
std::string& loaded_text() {
  static std::string text;
  return text;
}
}  // namespace

std::string fft_wisdom_file() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::path(home) / ".cache";
  } else {
    return {};
  }
  return (base / "rizid-ziva" / "fftw-wisdom").string();
}

void load_fft_wisdom() {
  std::string file = fft_wisdom_file();
  if (file.empty()) return;
  std::ifstream in(file, std::ios::binary);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  if (fft::import_wisdom(text.str())) loaded_text() = text.str();
}

void save_fft_wisdom() {
  if (!fft::measured_plans()) return;
  std::string file = fft_wisdom_file();
  if (file.empty()) return;
  std::string text = fft::export_wisdom();
  if (text.empty() || text == loaded_text()) return;
  try {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    AtomicFile out(file, "cannot write the FFT cache");
    if (!out.write(text.data(), text.size())) return;
    out.commit("cannot write the FFT cache");
    loaded_text() = text;
  } catch (const Error&) {
    // Only a cache: the next run measures again.
  }
}

}  // namespace ziva
