// The diagram's CSV table against its ASCII table, and the air correction in the comment block.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "diagram/csv_reader.h"
#include "diagram/diagram_fixture.h"

using namespace ziva;
using ziva::testing::DiagramTest;
using ziva::testing::file_bytes;
using ziva::testing::parse_csv;
using ziva::testing::Records;

namespace {

// The ASCII table's curves: blocks that each start with the line "0 0".
std::vector<std::vector<std::pair<double, double>>> ascii_blocks(const std::string& text) {
  std::vector<std::vector<std::pair<double, double>>> out;
  std::istringstream in(text);
  double x = 0, y = 0;
  while (in >> x >> y) {
    if (x == 0 && y == 0)
      out.emplace_back();
    else
      out.back().emplace_back(x, y);
  }
  return out;
}

// The numbers as the ASCII table prints them.
double as_printed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return std::strtod(buf, nullptr);
}

class CsvExport : public DiagramTest {
 protected:
  // Two power/torque evaluations into one window, then the table under `name`.
  std::string two_groups(const std::string& name) {
    type("out_file", name);
    draw(rpm(40), power_torque(40), "/runs/serie.wav", "Serie, \"alt\"", 1, 1, 1.0123);
    choose("air_corr", 2);
    type("air_humid", "50");
    draw(rpm(45), power_torque(45, 1.2), "/runs/tuning.wav", "Tuning", 1, 1, 1.0616405346222970);
    return file_bytes(name);
  }
};

}  // namespace

TEST_F(CsvExport, SameCurvesAsTheAsciiTableAtFullPrecision) {
  start_one_channel();
  const std::string ascii = two_groups("result.asc");
  start_one_channel();
  const Records recs = parse_csv(two_groups("result.CSV"));

  std::size_t header = 0;
  while (header < recs.size() && recs[header][0].rfind('#', 0) == 0) ++header;
  ASSERT_LT(header, recs.size());
  EXPECT_EQ(recs[0][0], "# Rizid Ziva V0.1.9");
  EXPECT_EQ(recs[header],
            (std::vector<std::string>{"Kurve", "RPM [1/min]", "Leistung[PS]", "Drehm[Nm]"}));

  // ASCII blocks, newest first: markers, torque (half scale), power of each group.
  const auto blocks = ascii_blocks(ascii);
  ASSERT_EQ(blocks.size(), 6u);
  std::size_t r = header + 1;
  for (int curve = 1; curve <= 2; ++curve) {
    const auto& torque = blocks[3 * (curve - 1) + 1];
    const auto& power = blocks[3 * (curve - 1) + 2];
    ASSERT_EQ(torque.size(), power.size());
    const Eigen::MatrixXd drawn = curve == 1 ? power_torque(45, 1.2) : power_torque(40);
    for (std::size_t i = 0; i < power.size(); ++i, ++r) {
      ASSERT_LT(r, recs.size());
      ASSERT_EQ(recs[r].size(), 4u);
      EXPECT_EQ(recs[r][0], std::to_string(curve));
      const double x = std::stod(recs[r][1]), p = std::stod(recs[r][2]), m = std::stod(recs[r][3]);
      EXPECT_EQ(as_printed(x, 0), power[i].first);
      EXPECT_EQ(as_printed(p, 5), power[i].second);
      EXPECT_EQ(as_printed(m / 2, 5), torque[i].second);
      // Full precision: the numbers read back are the drawn doubles themselves.
      EXPECT_EQ(p, drawn(static_cast<Eigen::Index>(i), 0));
      EXPECT_EQ(m, drawn(static_cast<Eigen::Index>(i), 1));
    }
  }
  EXPECT_EQ(r, recs.size());
  // Each group carries its own conditions, k in full precision.
  auto meta = [&](const std::string& key, int nth) {
    int seen = 0;
    for (std::size_t i = 0; i < header; ++i)
      if (recs[i][0] == "# " + key && ++seen == nth) return recs[i].size() > 1 ? recs[i][1] : "";
    return std::string("(missing)");
  };
  EXPECT_EQ(meta("Kurve", 1), "1");
  EXPECT_EQ(meta("Kommentar", 1), "Tuning");
  EXPECT_EQ(meta("Kommentar", 2), "Serie, \"alt\"");
  EXPECT_EQ(meta("WAV Datei", 1), "/runs/tuning.wav");
  EXPECT_EQ(meta("Normkorrektur", 1), "SAE J1349");
  EXPECT_EQ(meta("Normkorrektur", 2), "DIN 70020");
  EXPECT_EQ(meta("Korrekturfaktor k", 1), "1.061640534622297");
  EXPECT_EQ(meta("Luft Feuchte [%]", 1), "50");
  EXPECT_EQ(meta("Luft Druck [mbar]", 2), "1013");
  EXPECT_EQ(meta("Gesamt Gewicht [kg]", 2), "200");
  EXPECT_EQ(meta("Linker Kanal", 1), "Lichtmaschine");
}

TEST_F(CsvExport, OneYColumnForSingleQuantities) {
  start_one_channel();
  type("out_file", "speed.csv");
  draw(rpm(5), power_torque(5).col(0), "a.wav", "Kommentar", 2, 6);
  const Records recs = parse_csv(file_bytes("speed.csv"));
  EXPECT_EQ(recs[recs.size() - 6],
            (std::vector<std::string>{"Kurve", "Zeit [s]", "Geschwindigkeit [km/h]"}));
  EXPECT_EQ(recs.back(), (std::vector<std::string>{"1", "1040", "45"}));
}

TEST_F(CsvExport, StandardBesideKOnlyWhenNotDin) {
  start();
  choose("add_par_to_comment", 1);
  draw(rpm(40), power_torque(40), "a.wav", "Serie", 1, 1, 1.0123);
  choose("air_corr", 3);
  type("air_humid", "50");
  draw(rpm(40), power_torque(40), "a.wav", "Serie", 1, 1, 1.0632236873224103);
  std::vector<std::string> k_texts, comments;
  for (const std::string& t : texts(window(kPowerTorque)))
    if (t.rfind("k: ", 0) == 0) k_texts.push_back(t);
  for (Handle h : controls(window(kPowerTorque), "edit"))
    comments.push_back(g().get_text(h, "String"));
  EXPECT_EQ(k_texts, (std::vector<std::string>{"k: 1.0123", "k: 1.0632 ISO 1585"}));
  ASSERT_EQ(comments.size(), 2u);
  EXPECT_NE(comments[0].find("  k: 1.0123 ]"), std::string::npos) << comments[0];
  EXPECT_NE(comments[1].find("  k: 1.0632 ISO 1585  rF: 50% ]"), std::string::npos) << comments[1];
}

TEST_F(CsvExport, AnotherStandardIsAnotherGroupAlsoWithoutSummary) {
  start_one_channel();  // no parameter summary joins the group's key
  draw(rpm(40), power_torque(40), "a.wav", "Serie", 1, 1, 1);
  choose("air_corr", 4);
  draw(rpm(40), power_torque(40), "a.wav", "Serie", 1, 1, 1);
  choose("air_corr", 1);
  draw(rpm(40), power_torque(40), "a.wav", "Serie", 1, 1, 1);  // the first group again
  EXPECT_EQ(controls(window(kPowerTorque), "edit").size(), 2u);
}
