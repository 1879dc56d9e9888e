// The program's own road to a bitmap: two evaluations drawn by plot_diag into one power/torque
// diagram, printed through the batch services.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/render/image_check.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"

namespace ziva::testing {
namespace {

class DiagramPrintTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    RenderTest::TearDown();
  }
  std::filesystem::path old_cwd_;
};

// The print is rewritten after every evaluation and shows both groups (the bitmap itself is
// checked in the print tests); a ".png" print name writes a PNG.
TEST_F(DiagramPrintTest, EveryEvaluationPrintsTheDiagramInTheNamedFormat) {
  DiagramProgram d;
  d.type("print_file", "diagramm.bmp");
  const Handle fig = d.two_groups();
  ASSERT_EQ(d.services().prints.size(), 2u);
  EXPECT_EQ(d.services().prints.back().figure, fig);
  Bitmap bmp = read_bmp24("diagramm.bmp");
  ASSERT_TRUE(bmp.ok) << bmp.error;
  QSize size = print_pixel_size(d.g(), fig);
  EXPECT_EQ(bmp.width, size.width());
  EXPECT_EQ(bmp.height, size.height());
  int blue = 0, red = 0;
  for (const Rgb& p : bmp.pixels) {
    blue += near(p, {0, 0, 255}, 50);
    red += near(p, {255, 0, 0}, 50);
  }
  EXPECT_GT(blue, 2000);
  EXPECT_GT(red, 2000);

  d.type("print_file", "diagramm.png");
  d.plot("serie.wav", make_run(1.0), {0, 0.5, 0}, "Serie");
  std::vector<unsigned char> png = read_bytes("diagramm.png");
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

}  // namespace
}  // namespace ziva::testing
