#include "platform/render/print.h"

#include <zlib.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "base/atomic_file.h"
#include "base/error.h"
#include "platform/core/text.h"
#include "platform/render/renderer.h"

namespace ziva {

namespace {

// The renderer's options of a print: fonts at their point sizes at kPrintDpi.
RenderOptions render_options(const PrintOptions& print) {
  RenderOptions options;
  options.pixels_per_point = kPrintDpi / 72.0;
  options.screen_layout = print.window_layout;
  options.wrap_texts = print.window_layout;
  return options;
}

QtMessageHandler previous_handler = nullptr;

// Passes Qt's messages on, except the notice that a headless session has no runtime folder.
void quiet_start_handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (previous_handler != nullptr) previous_handler(type, context, text);
}

bool ends_with(const std::string& file, const char* ext) {
  const std::string e(ext);
  return file.size() >= e.size() && to_lower(file.substr(file.size() - e.size())) == e;
}

std::string figure_name(const Graphics& g, Handle fig) {
  const Value name = g.get(fig, "Name");
  return name.is_text() ? name.text() : std::string();
}

// Paints a print onto `device`, whose logical resolution is kPrintDpi and whose drawing area is
// print_pixel_size: white paper, then the figure.
void paint_print(const Graphics& g, Handle fig, QPaintDevice& device, QSize size,
                 const PrintOptions& print) {
  QPainter painter(&device);
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  render_figure(g, fig, painter, size, render_options(print));
  painter.end();
}

// The figure as an SVG document: curves as paths, texts as text elements.
QByteArray svg_bytes(const Graphics& g, Handle fig, QSize size, const PrintOptions& print) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setResolution(static_cast<int>(kPrintDpi));
  svg.setTitle(QString::fromStdString(figure_name(g, fig)));
  svg.setDescription(QStringLiteral("Rizid Ziva"));
  paint_print(g, fig, svg, size, print);
  return bytes;
}

// The figure as a one-page PDF of the print's size, texts embedded as text.
QByteArray pdf_bytes(const Graphics& g, Handle fig, QSize size, const PrintOptions& print) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(static_cast<int>(kPrintDpi));
    const double to_points = 72.0 / kPrintDpi;
    pdf.setPageSize(QPageSize(QSizeF(size.width() * to_points, size.height() * to_points),
                              QPageSize::Point, QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(QString::fromStdString(figure_name(g, fig)));
    pdf.setCreator(QStringLiteral("Rizid Ziva"));
    paint_print(g, fig, pdf, size, print);
  }
  return bytes;
}

}  // namespace

void ensure_gui() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "ziva";
  static char* argv[] = {name, nullptr};
  previous_handler = qInstallMessageHandler(quiet_start_handler);
  // Lives until the process ends: Qt objects created later may still need it at exit.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
  qInstallMessageHandler(previous_handler);
}

QSize print_pixel_size(const Graphics& g, Handle fig) {
  Eigen::RowVector2d pts = g.figure_size_points(fig);
  double k = pts(0) > 0 ? std::max(1.0, kPrintWidthPoints / pts(0)) : 1.0;
  double px = kPrintDpi / 72.0;
  return {std::clamp(static_cast<int>(std::lround(pts(0) * k * px)), 1, 20000),
          std::clamp(static_cast<int>(std::lround(pts(1) * k * px)), 1, 20000)};
}

QImage print_image(const Graphics& g, Handle fig, const PrintOptions& print) {
  if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  ensure_gui();
  QSize size = print_pixel_size(g, fig);
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(std::lround(kPrintDpi / 0.0254)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(kPrintDpi / 0.0254)));
  paint_print(g, fig, image, size, print);
  return image;
}

namespace {

void put_u32(std::string& out, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 8), static_cast<char>(v)};
  out.append(bytes, 4);
}

void put_chunk(std::string& out, const char* type, const std::string& body) {
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = out.size();
  out.append(type, 4);
  out += body;
  const auto* crc_data = reinterpret_cast<const Bytef*>(out.data() + start);
  put_u32(out,
          static_cast<std::uint32_t>(crc32(0, crc_data, static_cast<uInt>(out.size() - start))));
}

// The image as an 8-bit RGB PNG: rows unfiltered, deflated as runs of equal bytes, which suits a
// diagram (mostly flat colour) and takes a fraction of the time of the general writer.
std::string png_bytes(const QImage& rgb, int dots_per_meter) {
  const auto w = static_cast<std::uint32_t>(rgb.width());
  const auto h = static_cast<std::uint32_t>(rgb.height());
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  put_u32(header, w);
  put_u32(header, h);
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  put_chunk(out, "IHDR", header);
  std::string phys;
  put_u32(phys, static_cast<std::uint32_t>(dots_per_meter));
  put_u32(phys, static_cast<std::uint32_t>(dots_per_meter));
  phys += '\x01';  // per metre
  put_chunk(out, "pHYs", phys);

  z_stream z{};
  if (deflateInit2(&z, 1, Z_DEFLATED, 15, 9, Z_RLE) != Z_OK) throw std::bad_alloc();
  std::string data;
  std::string buffer(1 << 16, '\0');
  const unsigned char none = 0;
  auto feed = [&](const unsigned char* bytes, std::size_t n, int flush) {
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer.data());
      z.avail_out = static_cast<uInt>(buffer.size());
      const int rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) {
        deflateEnd(&z);
        throw std::bad_alloc();
      }
      data.append(buffer.data(), buffer.size() - z.avail_out);
    } while (z.avail_out == 0 || z.avail_in > 0);
  };
  for (std::uint32_t y = 0; y < h; ++y) {
    feed(&none, 1, Z_NO_FLUSH);
    feed(rgb.constScanLine(static_cast<int>(y)), 3 * static_cast<std::size_t>(w),
         y + 1 == h ? Z_FINISH : Z_NO_FLUSH);
  }
  deflateEnd(&z);
  put_chunk(out, "IDAT", data);
  put_chunk(out, "IEND", {});
  return out;
}

}  // namespace

void print_figure(const Graphics& g, Handle fig, const std::string& file, const std::string& device,
                  const PrintOptions& print) {
  std::string d = to_lower(trim_blanks(device));
  if (ends_with(file, ".svg") || ends_with(file, ".pdf") || d == "-dsvg" || d == "-dpdf") {
    if (file.empty()) throw Error("No file name to print to.");
    if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
    const bool svg = ends_with(file, ".svg") || (!ends_with(file, ".pdf") && d == "-dsvg");
    ensure_gui();
    const QSize size = print_pixel_size(g, fig);
    const QByteArray bytes = svg ? svg_bytes(g, fig, size, print) : pdf_bytes(g, fig, size, print);
    const std::string kind = svg ? "SVG" : "PDF";
    const std::string write_error = "Could not write the " + kind + " file '" + file + "'.";
    AtomicFile out(file, "Could not create the " + kind + " file '" + file + "'.");
    if (bytes.isEmpty() || !out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
      throw Error(write_error);
    out.commit(write_error);
    return;
  }
  const char* format = nullptr;
  if (ends_with(file, ".png") || d == "-dpng") {
    format = "PNG";
  } else if (d.rfind("-dbmp", 0) == 0) {
    format = "BMP";
  } else {
    throw Error("Unknown print device '" + device + "'.");
  }
  if (file.empty()) throw Error("No file name to print to.");
  QImage image = print_image(g, fig, print).convertToFormat(QImage::Format_RGB888);
  const std::string write_error = "Could not write the bitmap file '" + file + "'.";
  AtomicFile out(file, [&](const std::string& why) {
    return "Could not create the bitmap file '" + file + "': " + why + ".";
  });
  if (std::string(format) == "PNG") {
    const std::string bytes = png_bytes(image, image.dotsPerMeterX());
    if (!out.write(bytes.data(), bytes.size())) throw Error(write_error);
  } else {
    out.release_stream();
    if (!image.save(QString::fromStdString(out.temp_name()), format)) throw Error(write_error);
  }
  out.commit(write_error);
}

}  // namespace ziva
