#include "platform/render/print.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "base/atomic_file.h"
#include "base/error.h"
#include "platform/core/text.h"
#include "platform/render/renderer.h"

namespace ziva {

namespace {

QtMessageHandler previous_handler = nullptr;

// Passes Qt's messages on, except the notice that a headless session has no runtime folder.
void quiet_start_handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (previous_handler != nullptr) previous_handler(type, context, text);
}

bool ends_with_png(const std::string& file) {
  return file.size() >= 4 && to_lower(file.substr(file.size() - 4)) == ".png";
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

QImage print_image(const Graphics& g, Handle fig) {
  if (!g.exists(fig) || g.type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  ensure_gui();
  QSize size = print_pixel_size(g, fig);
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(std::lround(kPrintDpi / 0.0254)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(kPrintDpi / 0.0254)));
  image.fill(Qt::white);
  QPainter painter(&image);
  RenderOptions options;
  options.pixels_per_point = kPrintDpi / 72.0;
  render_figure(g, fig, painter, size, options);
  painter.end();
  return image;
}

void print_figure(const Graphics& g, Handle fig, const std::string& file,
                  const std::string& device) {
  std::string d = to_lower(trim_blanks(device));
  const char* format = nullptr;
  if (ends_with_png(file) || d == "-dpng") {
    format = "PNG";
  } else if (d.rfind("-dbmp", 0) == 0) {
    format = "BMP";
  } else {
    throw Error("Unknown print device '" + device + "'.");
  }
  if (file.empty()) throw Error("No file name to print to.");
  QImage image = print_image(g, fig);
  if (std::string(format) == "BMP") image = image.convertToFormat(QImage::Format_RGB888);
  const std::string write_error = "Could not write the bitmap file '" + file + "'.";
  AtomicFile out(file, [&](const std::string& why) {
    return "Could not create the bitmap file '" + file + "': " + why + ".";
  });
  out.release_stream();
  if (!image.save(QString::fromStdString(out.temp_name()), format)) throw Error(write_error);
  out.commit(write_error);
}

}  // namespace ziva
