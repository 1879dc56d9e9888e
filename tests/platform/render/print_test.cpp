#include "platform/render/print.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/error.h"
#include "platform/render/image_check.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"

namespace ziva::testing {
namespace {

using PrintTest = RenderTest;

// The names of the files in `dir`: a print leaves its target and nothing else.
std::set<std::string> files_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
  return names;
}

// Labels of the two-group diagram that every print must carry as text.
const char* const kLabels[] = {"Rizid Ziva", "RPM [1/min]", "Leistung[PS]", "Drehm[Nm]",
                               "Serie",      "Tuning",      "k: 1.0123",    "Max: 9500 1/min"};

struct Svg {
  bool ok = false;
  std::string error, view_box, texts;
  int paths = 0;
};

Svg read_svg(const std::string& file) {
  Svg s;
  QFile f(QString::fromStdString(file));
  if (!f.open(QIODevice::ReadOnly)) return s;
  QXmlStreamReader xml(&f);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QStringLiteral("svg"))
      s.view_box = xml.attributes().value("viewBox").toString().toStdString();
    if (xml.name() == QStringLiteral("path") || xml.name() == QStringLiteral("polyline")) ++s.paths;
    if (xml.name() == QStringLiteral("text"))
      s.texts += xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString() + "\n";
  }
  s.ok = !xml.hasError();
  s.error = xml.errorString().toStdString();
  return s;
}

// The program prints the diagram after every evaluation as a real 24-bit bitmap that replaces
// an older file of the same name; a PNG by its name has the same pixels whatever the device.
TEST_F(PrintTest, TwoGroupDiagramPrintsAsRealBitmapAndPng) {
  std::ofstream(path("diag.bmp")) << "old contents";
  DiagramProgram d;
  d.type("print_file", "diag.bmp");
  const Handle fig = d.two_groups();
  ASSERT_EQ(d.services().prints.size(), 2u);
  EXPECT_EQ(d.services().prints.back().figure, fig);

  Bitmap bmp = read_bmp24(path("diag.bmp"));
  ASSERT_TRUE(bmp.ok) << bmp.error;
  EXPECT_EQ(bmp.bits, 24);
  EXPECT_EQ(bmp.declared_size, bmp.file_size);
  // The figure keeps its 560 x 420 shape and is at least 1120 points wide at 90 dpi.
  EXPECT_EQ(QSize(bmp.width, bmp.height), QSize(1400, 1050));
  EXPECT_EQ(print_pixel_size(d.g(), fig), QSize(1400, 1050));

  // Both curve groups are there: blue and red, each as curves, markers and colour button.
  EXPECT_GT(count_near(bmp, {0, 0, 255}, 50), 2000);
  EXPECT_GT(count_near(bmp, {255, 0, 0}, 50), 2000);
  // Not blank: white axes and black text besides both colours.
  EXPECT_GT(count_near(bmp, {255, 255, 255}, 50), bmp.width * bmp.height / 5);
  EXPECT_GT(count_near(bmp, {0, 0, 0}, 50), 3000);
  EXPECT_EQ(files_in(dir_), std::set<std::string>{"diag.bmp"});

  print_figure(d.g(), fig, path("diag.PNG"), "-dbmp");
  EXPECT_EQ(file_bytes(path("diag.PNG")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(files_in(dir_), (std::set<std::string>{"diag.PNG", "diag.bmp"}));
  const QImage png(QString::fromStdString(path("diag.PNG")));
  ASSERT_EQ(png.size(), QSize(bmp.width, bmp.height));
  int differ = 0;
  for (int y = 0; y < png.height(); ++y)
    for (int x = 0; x < png.width(); ++x) {
      const Rgb a = rgb_at(png, x, y), b = bmp.at(x, y);
      differ += a.r != b.r || a.g != b.g || a.b != b.b;
    }
  EXPECT_EQ(differ, 0);
}

// A folder in the way of the target (the finished temporary file cannot replace it), a folder
// that does not exist, an unknown device and a figure that does not exist: refused, no trace.
TEST_F(PrintTest, FailedPrintsLeaveNoTraceAndReport) {
  Graphics g;
  const Handle fig = g.figure();
  std::filesystem::create_directories(dir_ / "busy.bmp" / "inside");
  EXPECT_THROW(print_figure(g, fig, path("busy.bmp")), Error);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "busy.bmp" / "inside"));
  EXPECT_THROW(print_figure(g, fig, path("missing/diag.bmp")), Error);
  EXPECT_THROW(print_figure(g, fig, path("diag.bmp"), "-dxyz"), Error);
  EXPECT_THROW(print_figure(g, fig + 17, path("diag.bmp")), Error);
  EXPECT_EQ(files_in(dir_), std::set<std::string>{"busy.bmp"});
}

// An SVG print opens in an independent XML reader, a PDF print in poppler's tools as one page
// of the print size titled with the diagram's name; both carry the labels as text.
TEST_F(PrintTest, VectorPrintsOpenWithTheirLabelsAsText) {
  auto run = [](const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buf[4096];
      for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
      pclose(p);
    }
    return out;
  };
  if (run("pdfinfo -v 2>&1").empty()) FAIL() << "pdfinfo/pdftotext (poppler-utils) are missing";
  DiagramProgram d;
  const Handle fig = d.two_groups();
  print_figure(d.g(), fig, path("diag.SVG"), "-dbmp");
  EXPECT_EQ(files_in(dir_), std::set<std::string>{"diag.SVG"});
  const Svg svg = read_svg(path("diag.SVG"));
  ASSERT_TRUE(svg.ok) << svg.error;
  EXPECT_EQ(svg.view_box, "0 0 1400 1050");
  // Curves, markers, grid, ticks and frames are drawn as vectors.
  EXPECT_GT(svg.paths, 40);

  print_figure(d.g(), fig, path("diag.pdf"), "-dbmp");
  const std::string info = run("pdfinfo '" + path("diag.pdf") + "' 2>&1");
  // 1400 x 1050 print pixels at 90 dpi: 1120 x 840 points.
  const std::string lines[] = {"Pages:           1", "Page size:       1120 x 840 pts",
                               std::string("Title:           ") + kDiagName};
  for (const std::string& line : lines)
    EXPECT_NE(info.find(line + "\n"), std::string::npos) << line << " in\n" << info;
  const std::string text = run("pdftotext -raw '" + path("diag.pdf") + "' - 2>&1");
  for (const char* label : kLabels) {
    EXPECT_NE(svg.texts.find(label), std::string::npos) << label << " in\n" << svg.texts;
    EXPECT_NE(text.find(label), std::string::npos) << label << " in\n" << text;
  }
}

TEST_F(PrintTest, SmallFigureInPointsKeepsItsShape) {
  Graphics g;
  Handle fig = g.figure({{"Units", "points"}, {"Position", Value::row({0, 0, 270, 56.25})}});
  QSize size = print_pixel_size(g, fig);
  EXPECT_NEAR(double(size.width()) / size.height(), 270 / 56.25, 0.01);
  EXPECT_EQ(size.width(), 1400);
}

}  // namespace
}  // namespace ziva::testing
