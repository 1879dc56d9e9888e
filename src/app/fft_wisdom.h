// FFT planner knowledge kept in the user's cache folder between runs, so that only the first run
// of the program measures its transforms.
#pragma once

#include <string>

namespace ziva {

// The cache file: $XDG_CACHE_HOME/rizid-ziva/fftw-wisdom (or ~/.cache/...); empty without a home.
std::string fft_wisdom_file();
// Imports the cached knowledge when the file exists; a damaged file is ignored.
void load_fft_wisdom();
// Writes the knowledge when new plans were measured (temporary file, then rename); failures are
// ignored, the cache only saves time.
void save_fft_wisdom();

}  // namespace ziva
