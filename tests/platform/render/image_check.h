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

// The number of pixels of `img` inside `area` (the whole image when null) near `target`.
inline int count_near(const QImage& img, const Rgb& target, int tol = 60, QRect area = QRect()) {
  if (area.isNull()) area = img.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += near(rgb_at(img, x, y), target, tol);
  return n;
}
inline int count_near(const Bitmap& bmp, const Rgb& target, int tol = 60) {
  int n = 0;
  for (const Rgb& p : bmp.pixels) n += near(p, target, tol);
  return n;
}

// The bounding box of the pixels of `img` inside `area` for which `pick` holds (null when none).
template <class Pick>
QRect box_where(const QImage& img, const QRect& area, Pick pick) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (pick(rgb_at(img, x, y))) box |= QRect(x, y, 1, 1);
  return box;
}

// The bounding box of the pixels of `img` near `target`.
inline QRect colour_box(const QImage& img, const Rgb& target, int tol = 80) {
  return box_where(img, img.rect(), [&](const Rgb& c) { return near(c, target, tol); });
}

// The bounding box of the pixels of `img` inside `area` that differ from `background`.
inline QRect ink_box(const QImage& img, const QRect& area, const QColor& background) {
  return box_where(img, area, [&](const Rgb& c) {
    return std::abs(c.r - background.red()) + std::abs(c.g - background.green()) +
               std::abs(c.b - background.blue()) >
           60;
  });
}

}  // namespace ziva::testing
