#include "platform/render/batch_services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/render/image_check.h"
#include "platform/render/render_fixture.h"
#include "platform/render/test_figures.h"

namespace ziva::testing {
namespace {

using BatchServicesTest = RenderTest;

TEST_F(BatchServicesTest, PrintDrawsTheAttachedModelAndLogs) {
  Graphics g;
  Handle fig = two_group_diagram(g);
  BatchServices s;
  s.print(fig, "-dbmp", path("without.bmp"));  // nothing attached: logged only
  EXPECT_FALSE(std::filesystem::exists(path("without.bmp")));
  s.attach(g);
  s.print(fig, "-dbmp", path("with.bmp"));
  ASSERT_EQ(s.prints.size(), 2u);
  EXPECT_EQ(s.prints[1].file, path("with.bmp"));
  EXPECT_EQ(s.prints[1].device, "-dbmp");
  EXPECT_TRUE(read_bmp24(path("with.bmp")).ok);
}

TEST_F(BatchServicesTest, DialogsAreCancelledAndLogged) {
  BatchServices s;
  EXPECT_TRUE(s.get_file({}, "WAV Datei").cancelled);
  EXPECT_FALSE(s.choose_color({0, 0, 1}).has_value());
  EXPECT_FALSE(s.question("?", "", "ja", "nein", "ja").has_value());
  s.error_dialog("Datei nicht gefunden:", "Datei Fehler");
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_EQ(s.errors[0].title, "Datei Fehler");
}

}  // namespace
}  // namespace ziva::testing
