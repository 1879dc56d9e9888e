// The printer of ziva-batch (bitmaps, SVG, PDF), built as a module that the tool loads on its
// first print: the renderer and Qt stay out of runs that print nothing. One C entry, everything
// else hidden.
#include <cstdio>
#include <exception>

#include "platform/render/print.h"

// Prints figure `fig` of `g` as print_figure does, in the window layout when `window_layout` is
// not 0. Returns 0, or 1 with the error text in `error`.
extern "C" __attribute__((visibility("default"))) int ziva_batch_print(
    const ziva::Graphics* g, double fig, const char* device, const char* file, int window_layout,
    char* error, std::size_t error_size) {
  try {
    ziva::PrintOptions options;
    options.window_layout = window_layout != 0;
    ziva::print_figure(*g, fig, file, device, options);
    return 0;
  } catch (const std::exception& e) {
    std::snprintf(error, error_size, "%s", e.what());
  } catch (...) {
    std::snprintf(error, error_size, "The bitmap could not be printed.");
  }
  return 1;
}
