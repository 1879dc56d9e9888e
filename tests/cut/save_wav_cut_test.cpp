#include "cut/save_wav_cut.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/functions.h"
#include "cut/cut_file_digi.h"
#include "cut/cut_file_spect.h"
#include "cut_fixture.h"
#include "wav/wav_read.h"
#include "wav/wav_write.h"

using namespace ziva;
using ziva::testing::CutTest;
using ziva::testing::file_bytes;
using ziva::testing::pulse_train;
using ziva::testing::same;
using ziva::testing::tone;

namespace fs = std::filesystem;

namespace {

constexpr double kFs = 4410;

class SaveCut : public CutTest {
 protected:
  void SetUp() override {
    CutTest::SetUp();
    Y_.resize(8820, 2);  // 2 s: exact 16-bit values
    Y_.col(0) = tone(300, kFs, 2);
    Y_.col(1) = tone(100, kFs, 2, 0.5);
    input_ = path("run.wav");
    wavwrite(Y_, kFs, 16, input_);
    type("wav_file", input_);
  }
  // Opens the spectrogram cut view of the input and plays `steps` in it.
  Eigen::MatrixXd view(std::vector<std::function<void()>> steps) {
    script(std::move(steps));
    return cut_file_spect(env(), Y_, kFs, 1, 3, strings());
  }
  void set_cut_name(const std::string& name) {
    g().set(g().find_first("Tag", "wav_cut_file"), "String", name);
  }
  // The file read back: 32-bit floats of format 3, at the input's rate.
  Eigen::MatrixXd read_cut(const std::string& file) {
    WavReadResult r = wavread(file);
    EXPECT_EQ(r.Fs, kFs);
    EXPECT_EQ(r.bits, 32);
    EXPECT_TRUE(r.opt_ck.fmt && r.opt_ck.fmt->wFormatTag == 3);
    return r.y;
  }
  std::vector<std::string> files_in(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  Eigen::MatrixXd Y_;
  std::string input_;
};

}  // namespace

// Saving under the input's own name asks first (title: the file name): "nein" and a question
// closed without an answer leave the file as it was; "ja" replaces the recording with the range
// shown, written as 32-bit floats that read back bit-identical; the temporary file is gone.
TEST_F(SaveCut, OwnNameAsksThenOverwrites) {
  const std::string before = file_bytes(input_);
  services_.answer_question("nein");
  services_.answer_question(std::nullopt);
  services_.answer_question("ja");
  std::string after_refusals;
  bool saved = false;
  view({[&] { zoom(0.5, 1.5); },
        [&] {
          EXPECT_TRUE(press("Speichern"));
          EXPECT_TRUE(press("Speichern"));
          after_refusals = file_bytes(input_);
          saved = press("Speichern");
        }});
  EXPECT_EQ(after_refusals, before);
  EXPECT_TRUE(saved);
  ASSERT_EQ(services_.questions_asked.size(), 3u);
  EXPECT_EQ(services_.questions_asked[0], "Soll die Datei wirklich überschrieben werden?");
  EXPECT_EQ(services_.dialogs.back().title, input_);
  EXPECT_TRUE(same(read_cut(input_), rows_between(Y_, kFs, 0.5, 1.5)));
  EXPECT_EQ(str("wav_file"), input_);
  EXPECT_EQ(files_in(dir_), std::vector<std::string>{"run.wav"});
}

// The question's buttons are "ja" and "nein", "nein" being the default.
using SaveCutQuestion = ziva::testing::WorkDirTest;

TEST_F(SaveCutQuestion, ButtonsYesAndNoWithNoAsDefault) {
  struct Asking : ScriptedServices {
    std::optional<std::string> question(const std::string& q, const std::string& title,
                                        const std::string& b1, const std::string& b2,
                                        const std::string& def) override {
      buttons = {b1, b2, def};
      return ScriptedServices::question(q, title, b1, b2, def);
    }
    std::vector<std::string> buttons;
  } services;
  const std::string input = path("in.wav");
  wavwrite(Eigen::MatrixXd::Zero(10, 1), 8000, 16, input);
  Program program(services);
  Graphics& g = program.graphics();
  g.uicontrol(g.figure(), {{"Style", "edit"}, {"Tag", "wav_file"}, {"String", input}});
  const Handle fig = g.figure();
  g.axes(fig, {{"Tag", std::string(ziva::testing::kCutAxes)}});
  g.uicontrol(fig, {{"Style", "edit"}, {"Tag", "wav_cut_file"}, {"String", input}});
  save_wav_cut(program.env(), input);
  EXPECT_EQ(services.buttons, (std::vector<std::string>{"ja", "nein", "nein"}));
}

// The browse button of the spectrogram view opens the save dialog in the folder of the current
// file, puts the name into both fields and saves there without a question; the input stays.
TEST_F(SaveCut, NewNameFromTheDialogIsWrittenAndBecomesTheWavFile) {
  fs::create_directories(dir_ / "rec");
  fs::create_directories(dir_ / "out");
  const std::string input = path("rec/run.wav");
  fs::rename(input_, input);
  type("wav_file", input);
  const std::string before = file_bytes(input);
  const std::string target = path("out/cut1.wav");
  services_.answer_file(target);
  bool saved = false;
  script({[&] { zoom(0.25, 1.75); }, [&] { saved = press("..."); }});
  cut_file_spect(env(), Y_, kFs, 1, 3, strings());
  EXPECT_TRUE(saved);
  ASSERT_EQ(services_.dialogs.size(), 1u);
  const auto& d = services_.dialogs[0];
  EXPECT_EQ(d.kind, "put_file");
  EXPECT_EQ(d.title, "WAV Datei:");
  EXPECT_EQ(fs::path(d.cwd), dir_ / "rec");
  ASSERT_EQ(d.filters.size(), 2u);
  EXPECT_EQ(d.filters[0].pattern, "*.wav");
  EXPECT_EQ(d.filters[0].description, "WAV Dateien (*.wav)");
  EXPECT_EQ(d.filters[1].pattern, "*.*");
  EXPECT_EQ(d.filters[1].description, "Alle Dateien (*.*)");
  EXPECT_EQ(fs::current_path(), dir_);
  EXPECT_TRUE(services_.questions_asked.empty());
  EXPECT_EQ(str("wav_file"), target);
  EXPECT_TRUE(same(read_cut(target), rows_between(Y_, kFs, 0.25, 1.75)));
  EXPECT_EQ(file_bytes(input), before);
}

// The browse button of the pulse-speed view only names the file; a cancelled dialog changes no
// field.
TEST_F(SaveCut, PulseViewBrowseNamesWithoutWriting) {
  Eigen::MatrixXd P(8820, 1);
  P.col(0) = pulse_train(441, 8820);
  services_.answer_file("");
  services_.answer_file(path("later.wav"));
  std::string cut_field_after_cancel;
  script({[&] { EXPECT_TRUE(press("...")); },
          [&] {
            cut_field_after_cancel = g().get_text(g().find_first("Tag", "wav_cut_file"), "String");
          },
          [&] { EXPECT_TRUE(press("...")); },
          [&] {
            EXPECT_EQ(g().get_text(g().find_first("Tag", "wav_cut_file"), "String"),
                      path("later.wav"));
          }});
  cut_file_digi(env(), P, kFs, 1.325, 1, strings(), Eigen::MatrixXd::Constant(1, 1, 1));
  EXPECT_EQ(cut_field_after_cancel, input_);
  EXPECT_EQ(str("wav_file"), path("later.wav"));
  EXPECT_FALSE(fs::exists(path("later.wav")));
}

// Each save writes the range shown at that moment; the view returns the range shown at closing.
// Saving twice over the input takes both ranges from the recording as it was at first.
TEST_F(SaveCut, EachSaveWritesItsOwnRange) {
  services_.answer_question("ja");
  services_.answer_question("ja");
  const Eigen::MatrixXd out =
      view({[&] { zoom(0.5, 1.5); }, [&] { EXPECT_TRUE(press("Speichern")); },
            [&] {
              set_cut_name(path("first.wav"));
              EXPECT_TRUE(press("Speichern"));
              set_cut_name(input_);
              zoom(1, 1.8);
            },
            [&] { EXPECT_TRUE(press("Speichern")); }, [&] { zoom(0.2, 0.3); }});
  EXPECT_EQ(services_.questions_asked.size(), 2u);
  EXPECT_TRUE(same(read_cut(path("first.wav")), rows_between(Y_, kFs, 0.5, 1.5)));
  EXPECT_TRUE(same(read_cut(input_), rows_between(Y_, kFs, 1, 1.8)));
  EXPECT_TRUE(same(out, rows_between(Y_, kFs, 0.2, 0.3)));
}

// Another spelling of the input file is still the input file and asks; a name without any "."
// is written with ".wav", and the main window names the file written. A range between two samples
// writes a valid file without samples; a file that cannot be written ends the callback with an
// error and changes no field.
TEST_F(SaveCut, OtherSpellingNameWithoutDotEmptyRangeAndFailedWrite) {
  const std::string before = file_bytes(input_);
  services_.answer_question("nein");
  bool written = true;
  view({[&] {
    zoom(0.5, 1);
    set_cut_name("./run.wav");
    EXPECT_TRUE(press("Speichern"));
    set_cut_name(path("short"));
    EXPECT_TRUE(press("Speichern"));
    EXPECT_EQ(str("wav_file"), path("short.wav"));
    zoom(0.10001, 0.10002);
    set_cut_name(path("empty.wav"));
    EXPECT_TRUE(press("Speichern"));
    set_cut_name(path("missing/x.wav"));
    written = press("Speichern");
  }});
  EXPECT_EQ(services_.questions_asked.size(), 1u);
  EXPECT_EQ(file_bytes(input_), before);
  EXPECT_TRUE(same(read_cut(path("short.wav")), rows_between(Y_, kFs, 0.5, 1)));
  EXPECT_EQ(fs::file_size(path("empty.wav")), 44u);
  EXPECT_EQ(read_cut(path("empty.wav")).rows(), 0);
  EXPECT_FALSE(written);
  EXPECT_EQ(services_.errors.size(), 1u);
  EXPECT_EQ(str("wav_file"), path("empty.wav"));
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"empty.wav", "run.wav", "short.wav"}));
}
