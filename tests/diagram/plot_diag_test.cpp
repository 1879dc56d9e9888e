#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/error.h"
#include "diagram/diagram_fixture.h"

using namespace ziva;
using ziva::testing::DiagramTest;
using ziva::testing::file_bytes;

namespace {

std::vector<std::string> crlf_lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    out.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return out;
}

}  // namespace

using PlotDiag = DiagramTest;

TEST_F(PlotDiag, WindowAxesLabelsAndNamesThatCollapseBlanks) {
  start();
  draw(rpm(40), power_torque(40), "a.wav");
  Handle fig = window(kPowerTorque);
  ASSERT_NE(fig, 0);
  EXPECT_EQ(g().get_text(fig, "NumberTitle"), "off");
  ASSERT_FALSE(services_.zooms.empty());
  EXPECT_EQ(services_.zooms.back(), std::make_pair(fig, true));
  Handle ax = axes_of(kPowerTorque);
  ASSERT_NE(ax, 0);
  EXPECT_EQ(g().parent(ax), fig);
  expect_props(ax, {{"NextPlot", "add"},
                    {"Position", Value::row({0.35, 0.12, 0.58, 0.78})},
                    {"XLim", Value::row({1000, 1390})},
                    {"YLim", Value::row({0, 45})}});
  EXPECT_EQ(trim_trailing_blanks(g().get_text(g().label_of(ax, "XLabel"), "String")),
            "RPM [1/min]");
  EXPECT_EQ(g().get_text(g().label_of(ax, "YLabel"), "String"), "Leistung[PS]");
  expect_props(g().label_of(ax, "Title"),
               {{"String", "Rizid Ziva"}, {"FontSize", 12.0}, {"FontWeight", "bold"}});
  // One quantity: no second scale, no y label.
  draw(rpm(40), power_torque(40).col(0), "a.wav", "Kommentar", 1, 3);
  Handle ax1 = axes_of("Diagramme: RPM [1/min] - Leistung [PS] ");
  EXPECT_EQ(g().get_text(g().label_of(ax1, "YLabel"), "String"), "");
  EXPECT_TRUE(g().findobj({{"Tag", "YTicks2Diagramme: RPM [1/min] - Leistung [PS] "}}).empty());

  choose("popup_xaxis", 4);
  choose("popup_yaxis", 11);
  draw(Eigen::VectorXd::LinSpaced(5, 10, 50), Eigen::VectorXd::Constant(5, 3.1), "a.wav",
       "Kommentar", 4, 11);
  EXPECT_NE(window("Diagramme: Geschwindigkeit [km/h] - Getriebe Übersetzung [1/1]"), 0);
}

TEST_F(PlotDiag, SameChoicesShareAWindowAndStackBlocksThatTheTenthRestacks) {
  start();
  draw(rpm(40), power_torque(40), "a.wav", "Lauf 1");
  draw(rpm(40), power_torque(40), "a.wav", "Lauf 2");
  draw(rpm(40), power_torque(40).col(0) * 0.7, "a.wav", "Lauf 1", 1, 3);
  Handle fig = window(kPowerTorque);
  ASSERT_NE(fig, 0);
  EXPECT_NE(window("Diagramme: RPM [1/min] - Leistung [PS] "), 0);
  std::vector<Handle> frames = controls(fig, "frame");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_NEAR(bottom(frames[0]), 0.87, 1e-12);
  EXPECT_NEAR(bottom(frames[1]), 0.77, 1e-12);
  for (Handle f : frames) EXPECT_NEAR(height(f), 0.09, 1e-12);
  EXPECT_EQ(g().get_text(frames[0], "Tag"), std::string(kPowerTorque) + "CommentFrame");
  // The second block's controls sit at their offsets above its bottom.
  auto boxes = controls(fig, "checkbox");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NEAR(bottom(boxes[1]), 0.77 + 0.05, 1e-12);
  EXPECT_EQ(g().get_scalar(boxes[1], "Value"), 1);
  EXPECT_EQ(controls(fig, "edit").size(), 2u);
  EXPECT_EQ(controls(fig, "pushbutton").size(), 2u);
  EXPECT_EQ(controls(fig, "text").size(), 8u);  // maxima of both columns, k and Max

  // The tenth and eleventh blocks restack the column, every control scaled towards 0.87.
  for (int i = 3; i <= 10; ++i)
    draw(rpm(20), power_torque(20), "a.wav", "Lauf " + std::to_string(i));
  frames = controls(fig, "frame");
  ASSERT_EQ(frames.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_NEAR(bottom(frames[i]), 0.87 - 0.09 * i, 1e-12) << i;
    EXPECT_NEAR(height(frames[i]), 0.081, 1e-12) << i;
  }
  boxes = controls(fig, "checkbox");
  EXPECT_NEAR(bottom(boxes[0]), 0.87 + 0.05 * 0.9, 1e-12);
  EXPECT_NEAR(height(boxes[0]), 0.027, 1e-12);
  EXPECT_NEAR(g().get_row(boxes[0], "Position")(0), 0.004, 1e-15);
  draw(rpm(20), power_torque(20), "a.wav", "Lauf 11");
  frames = controls(fig, "frame");
  ASSERT_EQ(frames.size(), 11u);
  for (int i = 0; i < 11; ++i) {
    EXPECT_NEAR(bottom(frames[i]), 0.87 - 0.09 * i * 10 / 11, 1e-12) << i;
    EXPECT_NEAR(height(frames[i]), 0.081 * 10 / 11, 1e-12) << i;
  }
}

TEST_F(PlotDiag, SameRunTwiceShowsTheGroupAgain) {
  start_one_channel();
  draw(rpm(40), power_torque(40), "a.wav");
  const std::string group = std::string(kPowerTorque) + "a.wav" + "Kommentar";
  Handle box = g().find_first("Tag", "Checkbox" + group);
  ASSERT_NE(box, 0);
  // The user unticks the box and its callback hides the group.
  g().set(box, "Value", 0.0);
  ASSERT_TRUE(program_->run(g().get_text(box, "Callback")));
  for (const std::string& tag : {"Diag" + group, "2Diag" + group})
    for (Handle h : tagged(tag)) EXPECT_FALSE(g().is_on(h, "Visible"));

  // Drawn again, this time through the function table.
  program_->call("plot_diag", 0,
                 {Value(rpm(40)), Value(power_torque(40)), Value::row({1, 0, 0}),
                  Value("Kommentar"), Value(1.0), Value(1.0), Value(1.0)});
  EXPECT_EQ(controls(window(kPowerTorque), "frame").size(), 1u);
  EXPECT_EQ(tagged("Diag" + group).size(), 1u);
  EXPECT_EQ(tagged("2Diag" + group).size(), 2u);
  for (const std::string& tag : {"Diag" + group, "2Diag" + group})
    for (Handle h : tagged(tag)) EXPECT_TRUE(g().is_on(h, "Visible"));
  EXPECT_EQ(g().get_scalar(box, "Value"), 1);
}

TEST_F(PlotDiag, TorqueMarkersEveryDyPoints) {
  start_one_channel();
  auto markers_of = [&](const std::string& comment) {
    std::vector<Handle> out;
    for (Handle h : tagged("2Diag" + std::string(kPowerTorque) + "a.wav" + comment))
      if (g().get_text(h, "Marker") == ".") out.push_back(h);
    return out;
  };
  draw(rpm(17), power_torque(17), "a.wav", "n17");
  EXPECT_TRUE(markers_of("n17").empty());
  EXPECT_EQ(tagged("2Diag" + std::string(kPowerTorque) + "a.wav" + "n17").size(), 1u);

  draw(rpm(18), power_torque(18), "a.wav", "n18");
  auto m18 = markers_of("n18");
  ASSERT_EQ(m18.size(), 1u);
  EXPECT_EQ(g().get_row(m18[0], "XData").size(), 18);

  Eigen::MatrixXd y = power_torque(360);
  draw(rpm(360), y, "a.wav", "n360");
  auto m360 = markers_of("n360");
  ASSERT_EQ(m360.size(), 1u);
  Eigen::RowVectorXd mx = g().get_row(m360[0], "XData");
  Eigen::RowVectorXd my = g().get_row(m360[0], "YData");
  ASSERT_EQ(mx.size(), 36);
  for (int i = 0; i < 36; ++i) {
    EXPECT_EQ(mx(i), 1000 + 10.0 * (10 * i));  // points 1, 11, 21, ...
    EXPECT_EQ(my(i), y(10 * i, 1) / 2);
  }
  expect_props(m360[0], {{"LineStyle", "none"}, {"MarkerSize", 12.0}});
}

TEST_F(PlotDiag, CurvesOfAGroup) {
  start_one_channel();
  g().set(ctl("set_sdiag_color"), "BackgroundColor", Value::row({0.2, 0.4, 0.6}));
  Eigen::MatrixXd y = power_torque(40);
  draw(rpm(40), y, "a.wav");
  const std::string group = std::string(kPowerTorque) + "a.wav" + "Kommentar";
  auto main = tagged("Diag" + group);
  ASSERT_EQ(main.size(), 1u);
  EXPECT_EQ(g().get_row(main[0], "YData"), Eigen::RowVectorXd(y.col(0).transpose()));
  expect_props(main[0], {{"LineWidth", 1.0}, {"Color", Value::row({0.2, 0.4, 0.6})}});
  auto second = tagged("2Diag" + group);
  ASSERT_EQ(second.size(), 2u);
  Handle torque_line = g().get_text(second[0], "Marker") == "." ? second[1] : second[0];
  EXPECT_EQ(g().get_row(torque_line, "YData"), Eigen::RowVectorXd(y.col(1).transpose() / 2));
  EXPECT_EQ(g().get_text(torque_line, "LineStyle"), "-");
  for (Handle h : second) EXPECT_EQ(g().get(h, "Color"), Value::row({0.2, 0.4, 0.6}));
  Handle button = g().find_first("Tag", "PushColor" + group);
  ASSERT_NE(button, 0);
  expect_props(button, {{"BackgroundColor", Value::row({0.2, 0.4, 0.6})},
                        {"Callback", "ch_color('" + group + "');"}});
  Handle box = g().find_first("Tag", "Checkbox" + group);
  EXPECT_EQ(g().get_text(box, "Callback"),
            "toggle_vis('Diag" + group + "');ax_lims(findobj('Tag','DiagAxes" + kPowerTorque +
                "'),2,'" + kPowerTorque + "','Leistung[PS]/Drehm[Nm]    ');");
}

TEST_F(PlotDiag, MaximaTextsWithRoundingAndUnits) {
  start();
  Eigen::VectorXd x(4);
  x << 1000, 2000, 3000, 4000;
  Eigen::MatrixXd y(4, 2);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  y << 10.004, 60.557, 20.126, 50, 15, 40, nan, inf;  // torque largest first
  draw(x, y, "a.wav", "Kommentar", 1, 1, 1.0234);
  EXPECT_EQ(texts(window(kPowerTorque)),
            (std::vector<std::string>{"20.13 PS / 2000 1/min", "60.56 Nm / 1000 1/min", "k: 1.0234",
                                      "Max: 4000 1/min"}));

  choose("popup_xaxis", 2);
  Eigen::VectorXd t(3);
  t << 0.5, 1.234, 2.3456;
  draw(t, Eigen::Vector3d(3, 7.0061, 2), "b.wav", "Kommentar", 2, 6, 1);
  const std::vector<std::string> speed =
      texts(window("Diagramme: Zeit [s] - Geschwindigkeit [km/h] "));
  ASSERT_EQ(speed.size(), 3u);
  EXPECT_EQ(speed[0], "7.01 km/h / 1.23 s");
  EXPECT_EQ(speed[2], "Max: 2.35 s");
}

TEST_F(PlotDiag, CommentWithParameterSummary) {
  start();
  choose("add_par_to_comment", 1);
  draw(rpm(20), power_torque(20), "runs/a.wav", "Kommentar", 1, 1, 1.02);
  const std::string summary =
      " [ M: 200kg  FA: 0.75m²  Cw: 0.5  R: 6.32  U: 1.325m  L#: 3 FL: 1s   k: 1.02 ]";
  auto edits = controls(window(kPowerTorque), "edit");
  ASSERT_EQ(edits.size(), 1u);
  expect_props(edits[0],
               {{"String", "; Kommentar" + summary}, {"BackgroundColor", Value::row({1, 1, 1})}});
  EXPECT_NE(g().find_first(
                "Tag", "Diag" + std::string(kPowerTorque) + "runs/a.wav" + "Kommentar" + summary),
            0);
  // With channel 2 off the comment carries no summary.
  choose("popup_sig_ch2", 4);
  draw(rpm(20), power_torque(20), "a.wav", "Lauf 1");
  EXPECT_EQ(g().get_text(controls(window(kPowerTorque), "edit")[1], "String"), "Lauf 1; Lauf 1");
}

TEST_F(PlotDiag, RollerSummaryAndFileNameInComment) {
  start();
  choose("popup_sig_ch1", 3);
  program_->call("adj_par", 0);
  choose("popup_sig_ch2", 2);
  choose("add_par_to_comment", 1);
  choose("add_wav_to_comment", 1);
  draw(rpm(20), power_torque(20), "/data/runs/lauf1.wav", "Lauf 1");
  const std::string summary =
      " [ J: 1.08kg  UR: 0.9321 Cw: 0.5  R: 6.32  U: 1.325m  L#: 3 S#: 1 FL: 1s   k: 1 ]";
  auto edits = controls(window(kPowerTorque), "edit");
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(g().get_text(edits[0], "String"), "Lauf 1; Lauf 1" + summary + " lauf1.wav");
}

// Non-finite values are kept and written as the C library prints them; the limits skip them.
TEST_F(PlotDiag, AsciiFileOfOneCurve) {
  start();
  type("out_file", "result.asc");
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Eigen::Vector4d x(85.4, 100, 120.6, 130);
  Eigen::Vector4d y(35.2719, 1, inf, nan);
  draw(x, y, "a.wav", "Kommentar", 1, 3);
  Handle ax = axes_of("Diagramme: RPM [1/min] - Leistung [PS] ");
  EXPECT_EQ(g().get(ax, "XLim"), Value::row({85, 130}));
  EXPECT_EQ(g().get(ax, "YLim"), Value::row({0, 36}));
  char nan_line[32];
  std::snprintf(nan_line, sizeof nan_line, "%5.0f %5.5f", 130.0, nan);
  EXPECT_EQ(crlf_lines(file_bytes("result.asc")),
            (std::vector<std::string>{"    0 0.00000", "   85 35.27190", "  100 1.00000",
                                      "  121   inf", nan_line}));
  // Nothing but the result is left in the folder.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(PlotDiag, AsciiFileOfPowerTorqueHasMarkersTorqueAndPowerBlocks) {
  start_one_channel();
  type("out_file", "result.asc");
  {
    std::ofstream old("result.asc");
    old << "old contents that must be replaced";
  }
  Eigen::MatrixXd y = power_torque(18);
  draw(rpm(18), y, "a.wav");
  auto lines = crlf_lines(file_bytes("result.asc"));
  ASSERT_EQ(lines.size(), 3u * 19u);
  for (int block = 0; block < 3; ++block) EXPECT_EQ(lines[19 * block], "    0 0.00000");
  // Newest first: markers and torque line at half the torque, then the power curve (their
  // numbers against the drawn ones: CsvExport.SameCurvesAsTheAsciiTableAtFullPrecision).
  EXPECT_EQ(lines[1], " 1000 15.00000");
  EXPECT_TRUE(std::equal(lines.begin() + 1, lines.begin() + 19, lines.begin() + 20));
  EXPECT_EQ(lines[39], " 1000 5.00000");
  // Hidden groups are not written.
  draw(rpm(18), y * 2, "b.wav");
  program_->run("toggle_vis('Diag" + std::string(kPowerTorque) + "a.wavKommentar');");
  draw(rpm(18), y * 2, "b.wav");
  EXPECT_EQ(crlf_lines(file_bytes("result.asc")).size(), 3u * 19u);
}

TEST_F(PlotDiag, UnwritableAsciiFileFailsAfterDiagramAndBitmap) {
  start();
  type("print_file", "diagramm.bmp");
  type("out_file", path("missing/result.asc"));
  try {
    draw(rpm(40), power_torque(40), "a.wav");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid file identifier. Unable to create file '" +
                                         path("missing/result.asc") +
                                         "': No such file or directory.");
  }
  // The window was printed before the table failed.
  ASSERT_EQ(services_.prints.size(), 1u);
  EXPECT_EQ(services_.prints[0].figure, window(kPowerTorque));
  EXPECT_EQ(services_.prints[0].device + " " + services_.prints[0].file, "-dbmp diagramm.bmp");
  EXPECT_FALSE(std::filesystem::exists(path("missing")));
}
