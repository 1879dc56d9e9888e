// ziva-batch driven as a user drives it: the built executable with command-line arguments in a
// working folder of simulated recordings; its exit status, messages and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "params/par_file.h"
#include "params/parameters.h"
#include "platform/core/text.h"
#include "platform/render/image_check.h"
#include "sim/simulate.h"
#include "support/program_fixture.h"
#include "support/short_run.h"
#include "ui/strings.h"

namespace ziva::testing {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string shell_quote(const std::string& s) {
  return "'" + replace_all(s, "'", "'\\''") + "'";
}

// Lines of an ASCII result file: x, y and whether the line is a block start (0, 0).
struct AscFile {
  std::vector<double> x, y;
  int blocks = 0;
  bool crlf = true;
};

AscFile read_asc(const std::string& file) {
  AscFile a;
  std::string text = file_bytes(file);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.empty() || line.back() != '\r') a.crlf = false;
    if (line == "    0 0.00000\r") a.blocks += 1;
    std::istringstream in(line);
    double x = 0, y = 0;
    in >> x >> y;
    a.x.push_back(x);
    a.y.push_back(y);
    start = end + 1;
  }
  return a;
}

class BatchTool : public ProgramTest {
 protected:
  // Runs ziva-batch in the test's folder, with `env` (NAME=value ...) before the command.
  Outcome batch(const std::vector<std::string>& args, const std::string& env = "") {
    std::string cmd = env + " " + shell_quote(std::string(ZIVA_BIN_DIR) + "/ziva-batch");
    for (const auto& a : args) cmd += " " + shell_quote(a);
    cmd += " >batch.out 2>batch.err";
    int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = file_bytes("batch.out");
    o.err = file_bytes("batch.err");
    return o;
  }
  // A short simulated road run written as `name`.
  void make_wav(const std::string& name, SynthSignal left = SynthSignal::alternator,
                SynthSignal right = SynthSignal::wheel, double torque = 30) {
    SynthOptions o = short_run(left, right);
    o.torque_peak = torque;
    write_run_wav(synthesize(o), o.bits, path(name));
  }
  // A parameter file with the default settings of the main window and the given axis choices.
  void make_cfg(const std::string& name, double xaxis, double yaxis) {
    start();
    ParSet p = get_par(env());
    p.xaxis = xaxis;
    p.yaxis = yaxis;
    write_par_file(path(name), p);
    program_.reset();
  }
};

TEST_F(BatchTool, HelpListsOptionsAndTheControlTagsWithTheirCaptions) {
  Outcome o = batch({"--help"});
  EXPECT_EQ(o.status, 0);
  for (const char* option : {"--cfg FILE", "--set TAG=VALUE", "--asc FILE", "--bmp FILE"})
    EXPECT_NE(o.out.find(option), std::string::npos) << option;
  Record st = strings();
  // One tag of each kind of caption: a frame's title, the text before a field, a check box's own.
  const std::pair<const char*, const char*> pairs[] = {
      {"popup_sig_ch1", "frame_ch1"}, {"total_mass", "total_mass"}, {"cut_File", "cut_File"}};
  for (const auto& [tag, field] : pairs) {
    std::regex line(
        "\\n  " + std::string(tag) + " +" +
        std::regex_replace(st_text(st, field), std::regex(R"([\[\]\(\)\.\*\+])"), R"(\$&)"));
    EXPECT_TRUE(std::regex_search(o.out, line)) << tag;
  }
  for (const char* tag : {"comment_spect_diag", "title_txt", "set_sdiag_color"})
    EXPECT_NE(o.out.find(std::string("\n  ") + tag), std::string::npos) << tag;
  EXPECT_NE(o.out.find("Trägheitsrolle"), std::string::npos);  // a pop-up's entries
}

TEST_F(BatchTool, UsageErrorsAndUnknownTagsExitWithTwo) {
  make_wav("run.wav");
  EXPECT_EQ(batch({}).status, 2);
  EXPECT_EQ(batch({"--frobnicate", "run.wav"}).status, 2);
  EXPECT_EQ(batch({"run.wav", "--asc"}).status, 2);
  EXPECT_EQ(batch({"--set", "total_mass", "run.wav"}).status, 2);
  Outcome unknown = batch({"--asc", "a.asc", "--set", "no_such_tag=1", "run.wav"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("no_such_tag"), std::string::npos);
  EXPECT_EQ(batch({"--asc", "a.asc", "--set", "popup_xaxis=5", "run.wav"}).status, 2);
  EXPECT_EQ(batch({"--asc", "a.asc", "--set", "cut_Vmax=yes", "run.wav"}).status, 2);
  EXPECT_EQ(batch({"--asc", "a.asc", "--set", "total_mass_txt=3", "run.wav"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(path("a.asc")));  // nothing was evaluated
}

// The ASCII file and the bitmap of one run; a PNG by its name with the colour set by its tag (Qt
// loaded for it, as the dynamic loader reports). (What the prints show: print tests.)
TEST_F(BatchTool, OneRunWritesTheAsciiFileAndTheBitmap) {
  make_wav("run.wav");
  // The start-up default ticks "cut by hand"; the tool must not wait for a cut.
  Outcome o = batch({"--asc", "run.asc", "--bmp", "run.bmp", "run.wav"});
  ASSERT_EQ(o.status, 0) << o.err;
  AscFile a = read_asc("run.asc");
  EXPECT_TRUE(a.crlf);
  EXPECT_EQ(a.blocks, 3);  // power, half torque, torque markers
  EXPECT_TRUE(read_bmp24("run.bmp").ok);

  Outcome png =
      batch({"--bmp", "run.png", "--set", "set_sdiag_color=r", "run.wav"}, "LD_DEBUG=files");
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_NE(png.err.find("libQt6Gui"), std::string::npos);
  QImage img(QString::fromStdString(path("run.png")));
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(file_bytes("run.png").substr(1, 3), "PNG");
  EXPECT_GT(count_near(img, {255, 0, 0}, 50), 1000);
}

// English captions and entries in --help and on the command line; the files stay the same.
TEST_F(BatchTool, EnglishOnRequestWritesTheSameTable) {
  make_wav("run.wav");
  Outcome help = batch({"--lang", "en", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(std::regex_search(help.out, std::regex("\\n  total_mass +Total mass \\[kg\\]:")));
  EXPECT_NE(help.out.find("Wheel sensors"), std::string::npos);
  EXPECT_EQ(help.out.find("Trägheitsrolle"), std::string::npos);
  ASSERT_EQ(batch({"--asc", "de.asc", "--set", "popup_xaxis=Zeit [s]", "run.wav"}).status, 0);
  Outcome en = batch({"--lang=en", "--asc", "en.asc", "--set", "popup_xaxis=Time [s]", "run.wav"});
  ASSERT_EQ(en.status, 0) << en.err;
  EXPECT_EQ(file_bytes(path("en.asc")), file_bytes(path("de.asc")));
  EXPECT_FALSE(file_bytes(path("en.asc")).empty());
  EXPECT_EQ(batch({"--lang", "xx", "run.wav"}).status, 2);
}

// A CSV table chosen by its name, with the correction standard set by its tag among its
// conditions (the table itself: CSV export tests); a run that reads a parameter file and prints
// nothing loads neither Qt nor the MAT-file writer.
TEST_F(BatchTool, CsvTableByItsNameWithoutQtOrTheMatFileWriter) {
  make_wav("run.wav");
  make_cfg("run.cfg", 1, 2);
  Outcome table = batch({"--cfg", "run.cfg", "--set", "air_corr=3", "--asc", "run.csv", "run.wav"},
                        "LD_DEBUG=files");
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(table.err.find("libQt6"), std::string::npos);
  EXPECT_EQ(table.err.find("libmatio"), std::string::npos);
  const std::string csv = file_bytes("run.csv");
  EXPECT_EQ(csv.rfind("# Rizid Ziva V0.1.9\r\n", 0), 0u);
  EXPECT_NE(csv.find("\r\n# Normkorrektur,ISO 1585 / EWG 80/1269\r\n"), std::string::npos);
}

// Several recordings overlay in one diagram; a failed evaluation stops the rest and exits with 1.
TEST_F(BatchTool, SeveralRecordingsOverlayAndAFailureStopsTheRest) {
  make_wav("a.wav", SynthSignal::alternator, SynthSignal::wheel, 30);
  make_wav("b.wav", SynthSignal::alternator, SynthSignal::wheel, 36);
  ASSERT_EQ(batch({"--asc", "one.asc", "a.wav"}).status, 0);
  Outcome o = batch({"--asc", "two.asc", "a.wav", "b.wav"});
  ASSERT_EQ(o.status, 0) << o.err;
  AscFile one = read_asc("one.asc"), two = read_asc("two.asc");
  EXPECT_EQ(two.blocks, 2 * one.blocks);
  // Newest curve first: the stronger run's power comes before the first run's.
  auto first_block_max = [](const AscFile& a) {
    double m = 0;
    for (std::size_t i = 1; i < a.y.size() && !(a.x[i] == 0 && a.y[i] == 0); ++i)
      m = std::max(m, a.y[i]);
    return m;
  };
  EXPECT_GT(first_block_max(two), 1.1 * first_block_max(one));

  Outcome failed = batch({"--asc", "out.asc", "a.wav", "missing.wav", "b.wav"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find(st_text(strings(), "file_not_f")), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("missing.wav"), std::string::npos);
  // Only the first run reached the diagram: b.wav was not evaluated.
  EXPECT_EQ(read_asc("out.asc").blocks, one.blocks);
}

// Every recording's outputs are checked before the first run (the message for an output naming
// the recording itself and for links: evaluation and output-path tests).
TEST_F(BatchTool, OutputsThatAreARecordingOrTheOtherOutputAreRefusedBeforeAnyRun) {
  make_wav("run.wav");
  make_wav("b.wav");
  const std::string b = file_bytes("b.wav");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--asc", "x.asc", "--bmp", "x.asc", "run.wav"},
       "Ausgabe Datei [BMP] 'x.asc' ist dieselbe Datei wie Ausgabe Datei [ASCII] 'x.asc'"},
      {{"--asc", "b.wav", "run.wav", "b.wav"},
       "Ausgabe Datei [ASCII] 'b.wav' ist dieselbe Datei wie WAV Datei 'b.wav'"}};
  for (const Case& c : cases) {
    Outcome o = batch(c.args);
    EXPECT_EQ(o.status, 2) << c.message;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_EQ(file_bytes("b.wav"), b);
    EXPECT_FALSE(std::filesystem::exists(path("x.asc")));
  }
}

TEST_F(BatchTool, ParameterFilesThenSetsInOrder) {
  make_wav("run.wav");
  make_cfg("zeit.cfg", 2, 6);  // time against speed: one curve, x in seconds
  ASSERT_EQ(batch({"--cfg", "zeit.cfg", "--asc", "cfg.asc", "run.wav"}).status, 0);
  AscFile a = read_asc("cfg.asc");
  EXPECT_EQ(a.blocks, 1);
  EXPECT_LT(*std::max_element(a.x.begin(), a.x.end()), 60);
  // A --set after the file wins: power/torque over time.
  ASSERT_EQ(batch({"--set", "popup_yaxis=Leistung[PS]/Drehm[Nm]", "--cfg", "zeit.cfg", "--asc",
                   "set.asc", "run.wav"})
                .status,
            0);
  AscFile b = read_asc("set.asc");
  EXPECT_EQ(b.blocks, 3);
  EXPECT_LT(*std::max_element(b.x.begin(), b.x.end()), 60);
  // The start-up file of the working folder is honoured.
  std::filesystem::copy_file(path("zeit.cfg"), path("zaror_arad_start.cfg"));
  ASSERT_EQ(batch({"--asc", "start.asc", "run.wav"}).status, 0);
  EXPECT_EQ(read_asc("start.asc").blocks, 1);
  // A parameter file that cannot be read fails the run.
  Outcome bad = batch({"--cfg", "nothing.cfg", "--asc", "bad.asc", "run.wav"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_FALSE(bad.err.empty());
  EXPECT_FALSE(std::filesystem::exists(path("bad.asc")));
}

TEST_F(BatchTool, ChannelChoicesFollowTheFirstChannelAsAClickWould) {
  make_wav("wheel.wav", SynthSignal::wheel, SynthSignal::off);
  // After wheel sensors on the left, the right list is Lichtmaschine, Radsensoren, Aus: "Aus" is
  // its third entry, and there is no fourth.
  Outcome o = batch(
      {"--set", "popup_sig_ch1=2", "--set", "popup_sig_ch2=Aus", "--asc", "w.asc", "wheel.wav"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read_asc("w.asc").blocks, 3);
  EXPECT_EQ(batch({"--set", "popup_sig_ch1=2", "--set", "popup_sig_ch2=4", "wheel.wav"}).status, 2);
}

}  // namespace
}  // namespace ziva::testing
