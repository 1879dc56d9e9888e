// The program's own road to a bitmap: two evaluations drawn by plot_diag into one power/torque
// diagram, printed through the batch services.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/functions.h"
#include "app/main_window.h"
#include "platform/render/image_check.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"
#include "support/printing_services.h"

namespace ziva::testing {
namespace {

class DiagramPrintTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    program_ = std::make_unique<Program>(services_);
    services_.attach(program_->graphics());
    program_->call("zaror_arad", 0);
  }
  void TearDown() override {
    program_.reset();
    std::filesystem::current_path(old_cwd_);
    RenderTest::TearDown();
  }
  Graphics& g() { return program_->graphics(); }
  void type(const std::string& tag, const std::string& text) {
    g().set(control(program_->env(), tag), "String", text);
  }
  // One evaluation's result handed to plot_diag: power [PS] and torque [Nm] over engine speed.
  void plot(const TestRun& r, Eigen::RowVector3d colour, const std::string& comment) {
    Eigen::MatrixXd y(r.rpm.size(), 2);
    y.col(0) = r.ps.transpose();
    y.col(1) = r.nm.transpose();
    program_->call("plot_diag", 0,
                   {Value(Eigen::MatrixXd(r.rpm)), Value(y), Value(Eigen::MatrixXd(colour)),
                    Value(comment), Value(1.0), Value(1.0), Value(1.0123)});
  }

  ziva::testing::PrintingServices services_;
  std::unique_ptr<Program> program_;
  std::filesystem::path old_cwd_;
};

TEST_F(DiagramPrintTest, TwoGroupPowerTorqueDiagramPrintsAsBitmap) {
  type("print_file", "diagramm.bmp");
  type("wav_file", "serie.wav");
  plot(make_run(1.0), {0, 0, 1}, "Serie");
  type("wav_file", "tuning.wav");
  plot(make_run(1.15), {1, 0, 0}, "Tuning");

  ASSERT_EQ(services_.prints.size(), 2u);  // rewritten after every evaluation
  Handle fig = services_.prints.back().figure;
  EXPECT_EQ(g().get_text(fig, "Name"), kDiagName);
  Bitmap bmp = read_bmp24("diagramm.bmp");
  ASSERT_TRUE(bmp.ok) << bmp.error;
  EXPECT_EQ(bmp.bits, 24);
  QSize size = print_pixel_size(g(), fig);
  EXPECT_EQ(bmp.width, size.width());
  EXPECT_EQ(bmp.height, size.height());
  EXPECT_GE(bmp.width, 1000);
  EXPECT_NEAR(double(bmp.width) / bmp.height, 4.0 / 3.0, 0.01);

  int blue = 0, red = 0, dark = 0;
  std::set<int> colours;
  for (const Rgb& p : bmp.pixels) {
    blue += near(p, {0, 0, 255}, 50);
    red += near(p, {255, 0, 0}, 50);
    dark += near(p, {0, 0, 0}, 60);
    colours.insert(p.r << 16 | p.g << 8 | p.b);
  }
  EXPECT_GT(blue, 2000);
  EXPECT_GT(red, 2000);
  EXPECT_GT(dark, 3000);  // texts, ticks, box
  EXPECT_GT(colours.size(), 50u);
}

TEST_F(DiagramPrintTest, PngNameFromTheMainWindowWritesPng) {
  type("print_file", "diagramm.png");
  type("wav_file", "serie.wav");
  plot(make_run(1.0), {0, 0.5, 0}, "Serie");
  std::vector<unsigned char> d = read_bytes("diagramm.png");
  ASSERT_GE(d.size(), 8u);
  EXPECT_EQ(d[1], 'P');
  EXPECT_EQ(d[2], 'N');
  EXPECT_EQ(d[3], 'G');
}

}  // namespace
}  // namespace ziva::testing
