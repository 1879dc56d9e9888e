// SVG and PDF prints: they open in independent readers (an XML parser, poppler's tools) and carry
// the diagram's labels as text.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"

namespace ziva::testing {
namespace {

using VectorPrint = RenderTest;

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

// Standard output of a command (empty when it cannot run).
std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The value of a "Key:   value" line of pdfinfo's report.
std::string info_field(const std::string& info, const std::string& key) {
  std::istringstream in(info);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + ":", 0) != 0) continue;
    const std::size_t start = line.find_first_not_of(' ', key.size() + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return "(missing)";
}

bool have_poppler() {
  return !run("pdfinfo -v 2>&1").empty();
}

TEST_F(VectorPrint, SvgOpensWithItsLabelsAsText) {
  DiagramProgram d;
  const Handle fig = d.two_groups();
  print_figure(d.g(), fig, path("diag.SVG"), "-dbmp");
  const Svg svg = read_svg(path("diag.SVG"));
  ASSERT_TRUE(svg.ok) << svg.error;
  const QSize size = print_pixel_size(d.g(), fig);
  EXPECT_EQ(svg.view_box,
            "0 0 " + std::to_string(size.width()) + " " + std::to_string(size.height()));
  for (const char* label : kLabels)
    EXPECT_NE(svg.texts.find(label), std::string::npos) << label << " in\n" << svg.texts;
  // Curves, markers, grid, ticks and frames are drawn as vectors.
  EXPECT_GT(svg.paths, 40);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(VectorPrint, PdfOpensAsOnePageWithItsLabelsAsText) {
  if (!have_poppler()) FAIL() << "pdfinfo/pdftotext (poppler-utils, scripts/deps.sh) are missing";
  DiagramProgram d;
  const Handle fig = d.two_groups();
  print_figure(d.g(), fig, path("diag.pdf"), "-dbmp");
  const std::string info = run("pdfinfo '" + path("diag.pdf") + "' 2>&1");
  EXPECT_EQ(info_field(info, "Pages"), "1");
  // 1400 x 1050 print pixels at 90 dpi: 1120 x 840 points.
  EXPECT_EQ(info_field(info, "Page size"), "1120 x 840 pts");
  EXPECT_EQ(info_field(info, "Title"), kDiagName);
  const std::string text = run("pdftotext -raw '" + path("diag.pdf") + "' - 2>&1");
  for (const char* label : kLabels)
    EXPECT_NE(text.find(label), std::string::npos) << label << " in\n" << text;
}

}  // namespace
}  // namespace ziva::testing
