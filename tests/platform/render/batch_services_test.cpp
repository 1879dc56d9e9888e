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

TEST_F(BatchServicesTest, DialogsAndWarningsReachStandardErrorWhenAsked) {
  BatchServices s;
  ::testing::internal::CaptureStderr();
  s.error_dialog("still quiet", "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  s.echo_to_stderr = true;
  ::testing::internal::CaptureStderr();
  s.error_dialog("Fehlerhaftes Zahlenformat von Cw Wert:", "Datei Fehler");
  s.error_dialog("Datei nicht gefunden:", "");
  s.show_warning("Rank deficient");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Datei Fehler: Fehlerhaftes Zahlenformat von Cw Wert:\nDatei nicht gefunden:\n"
            "Warning: Rank deficient\n");
  EXPECT_EQ(s.errors.size(), 3u);
  EXPECT_EQ(s.warnings.size(), 1u);
  // Unanswered dialogs are cancelled.
  EXPECT_TRUE(s.get_file({}, "WAV Datei").cancelled);
  EXPECT_FALSE(s.choose_color({0, 0, 1}).has_value());
}

}  // namespace
}  // namespace ziva::testing
