// Printing a figure to a file: a bitmap (24-bit BMP, or PNG for a ".png" name) or a vector
// drawing (SVG or PDF for a ".svg" or ".pdf" name), and the Qt GUI object that drawing text
// needs, started only when something is drawn.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "platform/core/graphics.h"
#include "platform/core/print_options.h"

namespace ziva {

// Makes sure a Qt GUI application object exists (fonts need one). When none exists, one is
// created for the rest of the process; without a QT_QPA_PLATFORM choice it draws offscreen.
void ensure_gui();

// Pixel size and pixels per point of a print: the figure keeps its shape and is drawn at least
// kPrintWidthPoints wide with fonts at their point sizes, so that labels have room, at
// kPrintDpi dots per inch.
inline constexpr double kPrintWidthPoints = 1120;
inline constexpr double kPrintDpi = 90;
QSize print_pixel_size(const Graphics& g, Handle fig);

// The figure drawn as a print (white paper behind nothing; the figure's colours as shown).
QImage print_image(const Graphics& g, Handle fig, const PrintOptions& options = {});

// Prints figure `fig` with a device option ("-dbmp" and its variants, "-dpng", "-dsvg", "-dpdf")
// to `file`: a name ending in ".png", ".svg" or ".pdf" (any case) always writes that format. SVG
// and PDF carry the bitmap's drawing at the same size (PDF: one page of that size at kPrintDpi),
// with curves as vectors and texts as text. The file is written to a temporary name
// beside it and renamed when complete. Throws ziva::Error for an unknown device or a file that
// cannot be written. `options` choose the layout (the figure's own by default).
void print_figure(const Graphics& g, Handle fig, const std::string& file,
                  const std::string& device = "-dbmp", const PrintOptions& options = {});

}  // namespace ziva
