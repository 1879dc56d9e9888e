#include "cut/cut_file_spect.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "cut_fixture.h"
#include "platform/core/text.h"

using namespace ziva;
using ziva::testing::CutTest;
using ziva::testing::kCutAxes;
using ziva::testing::kCutName;
using ziva::testing::same;
using ziva::testing::tone;

namespace {

class CutSpect : public CutTest {
 protected:
  // 5 s at 4410 Hz: 300 Hz on the left, 150 Hz on the right.
  static Eigen::MatrixXd two_tones() {
    Eigen::MatrixXd Y(22050, 2);
    Y.col(0) = tone(300, 4410, 5);
    Y.col(1) = tone(150, 4410, 5, 1.0);
    return Y;
  }
  Eigen::RowVectorXd track() {
    for (Handle h : g().children(cut_axes()))
      if (g().type(h) == ObjType::Line) return g().get_row(h, "YData");
    ADD_FAILURE() << "no peak track";
    return {};
  }
};

}  // namespace

// The window as the user sees it: controls, callback strings (the quote in the file name doubled),
// the image of the spectrum with its black peak track and the axes settings.
TEST_F(CutSpect, WindowImageTrackAndAxes) {
  type("wav_file", "data/Bob's run.wav");
  const Eigen::MatrixXd Y = two_tones();
  int inspected = 0;
  script({[&] {
    ++inspected;
    const Handle fig = cut_figure();
    expect_props(fig, {{"Name", kCutName}, {"NumberTitle", "off"}});
    EXPECT_TRUE(g().get(fig, "Colormap").empty());  // the platform's perceptual default map
    const std::string save = "save_wav_cut('data/Bob''s run.wav');";
    EXPECT_EQ(callback("Speichern"), save);
    EXPECT_EQ(callback("..."), "put_wav_filename; " + save);
    EXPECT_EQ(callback("Fertig"), "close(" + num2str(fig) + ");");
    const Handle field = g().find_first("Tag", "wav_cut_file");
    EXPECT_EQ(g().parent(field), fig);
    expect_props(field, {{"Style", "edit"}, {"String", "data/Bob's run.wav"}});
    const auto labels = g().findobj({fig}, {{"Style", "text"}});
    ASSERT_EQ(labels.size(), 3u);  // the file name's and the range fields' captions
    EXPECT_EQ(g().get_text(labels.back(), "String"), "WAV Datei:");

    const Handle ax = cut_axes();
    expect_props(ax, {{"YDir", "normal"}, {"YLim", Value::row({25, 800})}});
    EXPECT_EQ(g().get_text(g().label_of(ax, "XLabel"), "String"), "[s]");
    EXPECT_EQ(g().get_text(g().label_of(ax, "YLabel"), "String"), "[Hz]");
    // 22050 samples, windows of 1764 overlapping by 1587: 115 slices 177 samples apart, centred
    // 0.2 s after their start; 1551 frequencies from 500 to 16000 rpm at 3 periods per revolution.
    const double t_end = 0.2 + 114 * 177 / 4410.0;
    const Eigen::RowVectorXd xlim = g().get_row(ax, "XLim");
    EXPECT_NEAR(xlim(0), 0.2, 1e-12);
    EXPECT_NEAR(xlim(1), t_end, 1e-12);
    const auto images = g().findobj({ax}, {{"Type", "image"}});
    ASSERT_EQ(images.size(), 1u);
    const Eigen::MatrixXd c = g().get(images[0], "CData").num();
    EXPECT_EQ(c.rows(), 1551);
    EXPECT_EQ(c.cols(), 115);
    EXPECT_GE(c.minCoeff(), 0);  // magnitudes
    EXPECT_EQ(g().get_text(images[0], "CDataMapping"), "scaled");
    const Eigen::RowVectorXd xd = g().get_row(images[0], "XData");
    EXPECT_NEAR(xd(0), 0.2, 1e-12);
    EXPECT_NEAR(xd(xd.size() - 1), t_end, 1e-12);
    // The left channel's 300 Hz tone (6000 rpm) lies on the grid: the track follows it.
    const Eigen::RowVectorXd tr = track();
    ASSERT_EQ(tr.size(), 115);
    EXPECT_LE((tr.array() - 300).abs().maxCoeff(), 0.5);  // one grid step of 0.5 Hz
    for (Handle h : g().children(ax))
      if (g().type(h) == ObjType::Line)
        expect_props(h, {{"Color", Value::row({1, 0, 0})}, {"LineWidth", 1.5}});
  }});
  const Eigen::MatrixXd out = cut_file_spect(env(), Y, 4410, 1, 3, strings());
  EXPECT_EQ(inspected, 1);
  ASSERT_EQ(services_.zooms.size(), 1u);
  EXPECT_TRUE(services_.zooms[0].second);
  EXPECT_EQ(services_.zoom_drags[0], ZoomDrag::Time);
  for (double s : pause_seconds_) EXPECT_EQ(s, 0.1);
  EXPECT_EQ(cut_axes(), 0);  // the window is closed
  EXPECT_GT(out.rows(), 0);
}

// Without zooming the result is every row strictly between the first and the last slice centre,
// about 0.2 s less at each end, with both channels.
TEST_F(CutSpect, WithoutZoomBetweenFirstAndLastSliceCentre) {
  const Eigen::MatrixXd Y = two_tones();
  Eigen::RowVectorXd shown;
  script({[&] { shown = g().get_row(cut_axes(), "XLim"); }});
  const Eigen::MatrixXd out = cut_file_spect(env(), Y, 4410, 1, 3, strings());
  ASSERT_EQ(shown.size(), 2);
  EXPECT_TRUE(same(out, rows_between(Y, 4410, shown(0), shown(1))));
  // The slice centres lie on samples 882 and 21060: about 20177 rows remain.
  EXPECT_NEAR(static_cast<double>(out.rows()), 20177, 1);
  EXPECT_EQ(out.cols(), 2);
}

// Samples exactly at the limits are left out; the range shown at closing counts, also when the
// zoom happened in the same moment as the closing.
TEST_F(CutSpect, StrictLimitsAndTheLastRangeShown) {
  const Eigen::MatrixXd Y = two_tones();
  script({[&] { zoom(0.5, 4); }, [&] { zoom(1, 2); }});
  Eigen::MatrixXd out = cut_file_spect(env(), Y, 4410, 1, 3, strings());
  // 1 s and 2 s are the samples 4410 and 8820 themselves: rows 4411 … 8819.
  ASSERT_EQ(out.rows(), 4409);
  EXPECT_EQ(out.row(0), Y.row(4411));
  EXPECT_EQ(out.row(4408), Y.row(8819));

  script({[&] {
    zoom(2, 3);
    zoom(2.5, 3);
    EXPECT_TRUE(press("Fertig"));
  }});
  out = cut_file_spect(env(), Y, 4410, 1, 3, strings());
  EXPECT_TRUE(same(out, rows_between(Y, 4410, 2.5, 3)));
  EXPECT_EQ(out.rows(), 2204);
}

// A 48 kHz recording is shown at 4410 Hz but cut at its own rate, all channels kept.
TEST_F(CutSpect, HigherRateIsCutAtItsOwnRate) {
  const double fs = 48000;
  Eigen::MatrixXd Y(144000, 2);
  Y.col(0) = tone(300, fs, 3);
  Y.col(1) = tone(1000, fs, 3);
  Eigen::RowVectorXd shown;
  Eigen::Index slices = 0;
  Eigen::RowVectorXd tr;
  script(
      {[&] {
         shown = g().get_row(cut_axes(), "XLim");
         slices = g().get(g().findobj({cut_axes()}, {{"Type", "image"}})[0], "CData").num().cols();
         tr = track();
       },
       [&] { zoom(0.5, 1); }});
  const Eigen::MatrixXd out = cut_file_spect(env(), Y, fs, 1, 3, strings());
  // 3 s at 4410 Hz are 13230 samples: 65 slices 177 samples apart.
  EXPECT_EQ(slices, 65);
  EXPECT_NEAR(shown(1), 0.2 + 64 * 177 / 4410.0, 1e-12);
  EXPECT_LE((tr.array() - 300).abs().maxCoeff(), 0.5);
  // 0.5 s and 1 s are the samples 24000 and 48000: rows 24001 … 47999.
  ASSERT_EQ(out.rows(), 23999);
  ASSERT_EQ(out.cols(), 2);
  EXPECT_EQ(out.row(0), Y.row(24001));
  EXPECT_EQ(out.bottomRows(1), Y.row(47999));
}

// Through the function table, as the evaluation calls it: channel 2 (150 Hz) is the one shown,
// both channels are returned. A channel the recording does not have and a recording too short
// for two slices fail without leaving a window.
TEST_F(CutSpect, SecondChannelByNameAndFailures) {
  Eigen::MatrixXd Y = two_tones();
  Eigen::RowVectorXd tr;
  script({[&] { tr = track(); }, [&] { zoom(1, 1.5); }});
  Values r = program_->call("cut_file_spect", 1, {Value(Y), 4410.0, 2.0, 3.0, Value(strings())});
  EXPECT_LE((tr.array() - 150).abs().maxCoeff(), 0.5);
  EXPECT_TRUE(same(r.at(0).num(), rows_between(Y, 4410, 1, 1.5)));

  const int pauses = services_.pause_count;
  EXPECT_THROW(cut_file_spect(env(), Y.leftCols(1), 4410, 2, 3, strings()), Error);
  EXPECT_EQ(cut_axes(), 0);
  EXPECT_THROW(cut_file_spect(env(), Y.topRows(1800), 4410, 1, 3, strings()), Error);
  EXPECT_EQ(cut_axes(), 0);
  EXPECT_EQ(services_.pause_count, pauses);
}

// Times typed into the start and end fields (after a zoom to 1 s … 4 s of the 5 s recording): a
// number (a decimal comma too) moves that end of the range; anything else is refused with a
// message naming the field, and the fields and the range keep their values.
struct Typed {
  const char* field;
  const char* text;
  double lo, hi;        // the range afterwards
  const char* message;  // empty when accepted
};

class CutSpectTyped : public CutSpect, public ::testing::WithParamInterface<Typed> {};

TEST_P(CutSpectTyped, MovesTheRangeOrIsRefused) {
  const Typed& c = GetParam();
  const Eigen::MatrixXd Y = two_tones();
  Eigen::RowVectorXd shown;
  std::string start, end;
  script({[&] { zoom(1, 4); },
          [&] {
            g().set(g().find_first("Tag", c.field), "String", c.text);
            shown = g().get_row(cut_axes(), "XLim");
            start = g().get_text(g().find_first("Tag", "cut_start"), "String");
            end = g().get_text(g().find_first("Tag", "cut_end"), "String");
          }});
  const Eigen::MatrixXd out = cut_file_spect(env(), Y, 4410, 1, 3, strings());
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown(0), c.lo);
  EXPECT_EQ(shown(1), c.hi);
  EXPECT_EQ(start, num2str(c.lo));
  EXPECT_EQ(end, num2str(c.hi));
  EXPECT_TRUE(same(out, rows_between(Y, 4410, c.lo, c.hi)));
  if (std::string(c.message).empty()) {
    EXPECT_TRUE(services_.errors.empty());
  } else {
    ASSERT_EQ(services_.errors.size(), 1u);
    EXPECT_EQ(services_.errors[0].message, c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CutSpectTyped,
    ::testing::Values(
        Typed{"cut_start", "2.5", 2.5, 4, ""}, Typed{"cut_end", " 3,25 ", 1, 3.25, ""},
        Typed{"cut_start", "abc", 1, 4,
              "Anfang [s]: „abc“ ist keine Zahl. Bitte eine Zeit in Sekunden eingeben."},
        Typed{"cut_end", "7", 1, 4, "Ende [s]: 7 s liegt außerhalb der Aufnahme (0 bis 5 s)."},
        Typed{"cut_start", "-1", 1, 4,
              "Anfang [s]: -1 s liegt außerhalb der Aufnahme (0 bis 5 s)."},
        Typed{"cut_start", "4", 1, 4, "Anfang [s]: 4 s liegt nicht vor dem Ende (4 s)."},
        Typed{"cut_end", "0.5", 1, 4, "Ende [s]: 0.5 s liegt nicht nach dem Anfang (1 s)."}));
