// Reading printed bitmaps back without Qt, and simple checks of what an image shows.
#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "support/work_dir.h"

namespace ziva::testing {

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// An uncompressed 24-bit Windows bitmap as the file states it.
struct Bitmap {
  bool ok = false;
  std::string error;
  int width = 0, height = 0, bits = 0;
  std::uint32_t file_size = 0, declared_size = 0;
  std::vector<Rgb> pixels;  // row by row from the top
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Parses the file header, the info header and the bottom-up rows padded to four bytes.
inline Bitmap read_bmp24(const std::string& file) {
  Bitmap bmp;
  const std::string bytes = file_bytes(file);
  const std::vector<unsigned char> d(bytes.begin(), bytes.end());
  auto u32 = [&](std::size_t o) {
    return static_cast<std::uint32_t>(d[o] | d[o + 1] << 8 | d[o + 2] << 16 | d[o + 3] << 24);
  };
  auto u16 = [&](std::size_t o) { return static_cast<std::uint16_t>(d[o] | d[o + 1] << 8); };
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') {
    bmp.error = "no BMP signature";
    return bmp;
  }
  bmp.file_size = static_cast<std::uint32_t>(d.size());
  bmp.declared_size = u32(2);
  std::uint32_t offset = u32(10);
  bmp.width = static_cast<int>(u32(18));
  auto h = static_cast<std::int32_t>(u32(22));
  bmp.height = h < 0 ? -h : h;
  bmp.bits = u16(28);
  if (bmp.bits != 24 || u32(30) != 0) {
    bmp.error = "not an uncompressed 24-bit bitmap";
    return bmp;
  }
  std::size_t stride = (static_cast<std::size_t>(bmp.width) * 3 + 3) / 4 * 4;
  if (offset + stride * static_cast<std::size_t>(bmp.height) > d.size()) {
    bmp.error = "pixel data cut short";
    return bmp;
  }
  bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * static_cast<std::size_t>(bmp.height));
  for (int y = 0; y < bmp.height; ++y) {
    int file_row = h < 0 ? y : bmp.height - 1 - y;
    const unsigned char* row = d.data() + offset + stride * static_cast<std::size_t>(file_row);
    for (int x = 0; x < bmp.width; ++x) {
      bmp.pixels[static_cast<std::size_t>(y * bmp.width + x)] = {row[3 * x + 2], row[3 * x + 1],
                                                                 row[3 * x]};
    }
  }
  bmp.ok = true;
  return bmp;
}

inline Rgb rgb_at(const QImage& img, int x, int y) {
  QColor c = img.pixelColor(x, y);
  return {c.red(), c.green(), c.blue()};
}

// A colour close to pure `target` (each channel within `tol`).
inline bool near(const Rgb& c, const Rgb& target, int tol = 60) {
  return std::abs(c.r - target.r) <= tol && std::abs(c.g - target.g) <= tol &&
         std::abs(c.b - target.b) <= tol;
}

// The bounding box of the pixels of `img` inside `area` that differ from `background`.
inline QRect ink_box(const QImage& img, const QRect& area, const QColor& background) {
  int x0 = area.right() + 1, y0 = area.bottom() + 1, x1 = area.left() - 1, y1 = area.top() - 1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      QColor c = img.pixelColor(x, y);
      if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
              std::abs(c.blue() - background.blue()) >
          60) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
  }
  return x1 < x0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

}  // namespace ziva::testing
