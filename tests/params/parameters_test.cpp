#include "params/parameters.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "params/mat_read.h"
#include "params/par_file.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::ProgramTest;

using GetPar = ProgramTest;

TEST_F(GetPar, DefaultsAndDecimalComma) {
  start();
  type("wheel_perim", "1,325");
  ParSet p = get_par(env());
  EXPECT_EQ(p.tyre_perimeter_m, 1.325);
  EXPECT_EQ(p.total_mass_kg, 200);
  EXPECT_EQ(p.roller_perimeter_m, 0.9321);
  EXPECT_EQ(p.air_pressure_mbar, 1013);
  EXPECT_EQ(p.title, "Rizid Ziva");
  EXPECT_TRUE(services_.errors.empty());
}

TEST_F(GetPar, FirstBadFieldOnlyWithExactGermanText) {
  start();
  auto message_for = [&](const char* tag, const char* text) {
    type(tag, text);
    services_.errors.clear();
    EXPECT_THROW(get_par(env()), ReportedError);
    EXPECT_EQ(services_.errors.size(), 1u);
    return services_.errors.empty() ? std::string() : services_.errors[0].message;
  };
  EXPECT_EQ(message_for("total_mass", "abc"),
            "Fehlerhaftes Zahlenformat von Gesamt Gewicht [kg]:abc");
  EXPECT_EQ(message_for("total_mass", ""), "Fehlerhaftes Zahlenformat von Gesamt Gewicht [kg]:");
  type("total_mass", "200");
  EXPECT_EQ(message_for("wheel_perim", "1,000.5"),
            "Fehlerhaftes Zahlenformat von Hinterreifen Umfang [m]:1.000.5");
  type("wheel_perim", "1.3");
  type("air_temp", "warm");
  EXPECT_EQ(message_for("cw_value", "x"), "Fehlerhaftes Zahlenformat von Cw Wert:x");
  type("cw_value", "0.5");
  EXPECT_EQ(message_for("air_pres", "hoch"),
            "Fehlerhaftes Zahlenformat von Luft Temperatur [°C]warm");
  type("air_temp", "20");
  EXPECT_EQ(message_for("air_pres", "hoch"), "Fehlerhaftes Zahlenformat von Luft Druck [mbar]hoch");
  type("air_pres", "1013");
  choose("popup_sig_ch1", 3);
  EXPECT_EQ(message_for("wheel_sens", "?"), "Fehlerhaftes Zahlenformat von Rad Sensoren:?");
  EXPECT_EQ(services_.errors[0].title, "");
}

using ParFile = ProgramTest;

TEST_F(ParFile, SaveAndLoadRoundTripWithChannelTwoAfterItsList) {
  start();
  type("total_mass", "250,5");
  type("cw_value", "0.9321");
  type("gear_ratio", "6.32");
  type("title_txt", "Lauf's Prüfung ä \U0001D11E");  // four UTF-8 bytes: two UTF-16 units
  choose("popup_sig_ch1", 2);
  adj_par(env());
  choose("popup_sig_ch2", 3);
  choose("popup_yaxis", 7);
  choose("add_wav_to_comment", 1);
  choose("cut_File", 0);
  services_.answer_file(path("p.cfg"));
  ASSERT_TRUE(program_->run("save_par"));

  // A second program loads it.
  ScriptedServices other;
  Program second(other);
  second.call("zaror_arad", 0);
  Env& e2 = second.env();
  other.answer_file(path("p.cfg"));
  ASSERT_TRUE(second.run("load_par"));
  auto s2 = [&](const char* tag) { return e2.g.get_text(control(e2, tag), "String"); };
  auto v2 = [&](const char* tag) { return e2.g.get_scalar(control(e2, tag), "Value"); };
  EXPECT_EQ(s2("total_mass"), "250.5");
  EXPECT_EQ(s2("cw_value"), "0.9321");
  EXPECT_EQ(s2("gear_ratio"), "6.32");
  EXPECT_EQ(s2("air_pres"), "1013");
  EXPECT_EQ(s2("title_txt"), "Lauf's Prüfung ä \U0001D11E");
  EXPECT_EQ(v2("popup_sig_ch1"), 2);
  EXPECT_EQ(v2("popup_sig_ch2"), 3);
  EXPECT_EQ(e2.g.get(control(e2, "popup_sig_ch2"), "String").rows().size(), 3u);
  EXPECT_EQ(v2("popup_yaxis"), 7);
  EXPECT_EQ(v2("add_wav_to_comment"), 1);
  EXPECT_EQ(v2("cut_File"), 1);  // not part of the file
}

// The method and print layout choices enter a parameter file only when they differ from their
// defaults, so that a file of default settings stays what it always was; a file without them loads
// the defaults.
TEST_F(ParFile, MethodChoicesWrittenOnlyWhenChosen) {
  start();
  services_.answer_file(path("default.cfg"));
  ASSERT_TRUE(program_->run("save_par"));
  const MatReader plain = MatReader::open(path("default.cfg"));
  EXPECT_FALSE(plain.find("autotrim"));
  EXPECT_FALSE(plain.find("estim"));
  EXPECT_FALSE(plain.find("print_layout"));

  choose("auto_trim", 1);
  choose("estimator", 2);
  choose("print_layout", 2);
  services_.answer_file(path("precise.cfg"));
  ASSERT_TRUE(program_->run("save_par"));
  const ParSet p = read_par_file(path("precise.cfg"));
  EXPECT_EQ(p.auto_trim, 1);
  EXPECT_EQ(p.estimator, 2);
  EXPECT_EQ(p.print_layout, 2);

  ASSERT_NO_THROW(load_par(env(), path("default.cfg")));
  EXPECT_EQ(val("auto_trim"), 0);
  EXPECT_EQ(val("estimator"), 1);
  EXPECT_EQ(val("print_layout"), 1);
}

TEST_F(ParFile, BadFieldOrCancelWritesNothing) {
  start();
  services_.answer_file("");
  EXPECT_TRUE(program_->run("save_par"));
  type("lima", "drei");
  services_.answer_file(path("p.cfg"));
  EXPECT_FALSE(program_->run("save_par"));
  EXPECT_FALSE(std::filesystem::exists(path("p.cfg")));
  EXPECT_EQ(services_.errors.back().message, "Fehlerhaftes Zahlenformat von LiMa Spulen:drei");
}

TEST_F(ParFile, MissingOrOutOfRangeFileChangesNoControl) {
  start();
  type("total_mass", "999");
  EXPECT_FALSE(program_->run("load_par('missing.cfg')"));
  EXPECT_EQ(str("total_mass"), "999");

  ParSet p;
  p.sig_ch1 = 9;  // not an entry of the channel list
  write_par_file(path("range.cfg"), p);
  EXPECT_FALSE(program_->run("load_par('range.cfg')"));
  EXPECT_EQ(str("total_mass"), "999");
  EXPECT_NE(services_.errors.back().message.find("sig1"), std::string::npos);
}

// The correction standard and humidity: in the file only when not at their defaults, so that
// files of default settings keep the first version's twenty variables; files without them load
// DIN 70020 and 0 %.
TEST_F(ParFile, AirCorrectionVariablesOnlyWhenNotDefault) {
  start();
  auto number = [&](const std::string& file, const char* name) -> std::optional<double> {
    auto v = MatReader::open(file).find(name);
    return v ? mat_scalar(*v) : std::nullopt;
  };
  write_par_file(path("default.cfg"), get_par(env()));
  EXPECT_EQ(number(path("default.cfg"), "air_humid"), std::nullopt);
  EXPECT_EQ(number(path("default.cfg"), "air_corr"), std::nullopt);
  EXPECT_EQ(number(path("default.cfg"), "P"), 1013);

  choose("air_corr", 3);
  type("air_humid", "42,5");
  write_par_file(path("iso.cfg"), get_par(env()));
  EXPECT_EQ(number(path("iso.cfg"), "air_humid"), 42.5);
  EXPECT_EQ(number(path("iso.cfg"), "air_corr"), 3);

  ASSERT_TRUE(program_->run("load_par('default.cfg')"));
  EXPECT_EQ(val("air_corr"), 1);
  EXPECT_EQ(str("air_humid"), "0");
  ASSERT_TRUE(program_->run("load_par('iso.cfg')"));
  EXPECT_EQ(val("air_corr"), 3);
  EXPECT_EQ(str("air_humid"), "42.5");

  ParSet bad;
  bad.air_correction = 5;
  write_par_file(path("corr.cfg"), bad);
  EXPECT_FALSE(program_->run("load_par('corr.cfg')"));
  EXPECT_NE(services_.errors.back().message.find("air_corr"), std::string::npos);
  EXPECT_EQ(val("air_corr"), 3);  // a refused file changes nothing
}
