#include "params/parameters.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "params/mat_read.h"
#include "params/par_file.h"
#include "support/program_fixture.h"

using namespace ziva;
using ziva::testing::ProgramTest;

using GetPar = ProgramTest;

// A decimal comma reads as a point; of several bad fields only the first is reported.
TEST_F(GetPar, DecimalCommaAndTheFirstBadFieldWithExactGermanText) {
  start();
  type("wheel_perim", "1,325");
  EXPECT_EQ(get_par(env()).tyre_perimeter_m, 1.325);
  EXPECT_TRUE(services_.errors.empty());
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

TEST_F(ParFile, BadFieldOrCancelWritesNothing) {
  start();
  services_.answer_file("");
  EXPECT_TRUE(program_->run("save_par"));
  type("lima", "drei");
  services_.answer_file(path("p.cfg"));
  EXPECT_FALSE(program_->run("save_par"));
  EXPECT_FALSE(std::filesystem::exists(path("p.cfg")));
  ASSERT_EQ(services_.errors.size(), 1u);  // reported once, by the parameter check
  EXPECT_EQ(services_.errors[0].message, "Fehlerhaftes Zahlenformat von LiMa Spulen:drei");
}

// A missing file and files with a choice out of range are refused and change no control.
TEST_F(ParFile, MissingOrOutOfRangeFileChangesNoControl) {
  start();
  type("total_mass", "999");
  EXPECT_FALSE(program_->run("load_par('missing.cfg')"));
  EXPECT_EQ(str("total_mass"), "999");
  ParSet channel, corr;
  channel.sig_ch1 = 9;  // not an entry of the channel list
  corr.air_correction = 5;
  for (const auto& [file, p, name] :
       {std::tuple{"range.cfg", channel, "sig1"}, std::tuple{"corr.cfg", corr, "air_corr"}}) {
    write_par_file(path(file), p);
    EXPECT_FALSE(program_->run(std::string("load_par('") + file + "')"));
    EXPECT_EQ(str("total_mass"), "999");
    EXPECT_EQ(val("air_corr"), 1);
    EXPECT_NE(services_.errors.back().message.find(name), std::string::npos);
  }
}

// The method, print layout, correction standard and humidity choices enter a parameter file only
// when they differ from their defaults, so that files of default settings keep the first version's
// twenty variables; files without them load the defaults.
TEST_F(ParFile, OptionalVariablesOnlyWhenNotDefault) {
  start();
  auto number = [&](const char* file, const char* name) -> std::optional<double> {
    auto v = MatReader::open(path(file)).find(name);
    return v ? mat_scalar(*v) : std::nullopt;
  };
  write_par_file(path("default.cfg"), get_par(env()));
  for (const char* name : {"autotrim", "estim", "print_layout", "air_humid", "air_corr"})
    EXPECT_EQ(number("default.cfg", name), std::nullopt) << name;
  EXPECT_EQ(number("default.cfg", "P"), 1013);

  choose("auto_trim", 1);
  choose("estimator", 2);
  choose("print_layout", 2);
  choose("air_corr", 3);
  type("air_humid", "42,5");
  services_.answer_file(path("chosen.cfg"));
  ASSERT_TRUE(program_->run("save_par"));
  const ParSet p = read_par_file(path("chosen.cfg"));
  EXPECT_EQ(p.auto_trim, 1);
  EXPECT_EQ(p.estimator, 2);
  EXPECT_EQ(p.print_layout, 2);
  EXPECT_EQ(number("chosen.cfg", "air_humid"), 42.5);
  EXPECT_EQ(number("chosen.cfg", "air_corr"), 3);

  ASSERT_TRUE(program_->run("load_par('default.cfg')"));
  for (const char* tag : {"auto_trim", "estimator", "print_layout", "air_corr"})
    EXPECT_EQ(val(tag), tag == std::string("auto_trim") ? 0 : 1) << tag;
  EXPECT_EQ(str("air_humid"), "0");
  ASSERT_TRUE(program_->run("load_par('chosen.cfg')"));
  EXPECT_EQ(val("air_corr"), 3);
  EXPECT_EQ(str("air_humid"), "42.5");
}
