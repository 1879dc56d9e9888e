#include "eval/input_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "base/error.h"
#include "support/error_of.h"
#include "support/eval_params.h"
#include "ui/language.h"

using namespace ziva;
using ziva::testing::error_of;
using ziva::testing::startup_par;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct BadParameter {
  double ParSet::*field;
  double value;
  double c1, c2;
  std::string message;
};

void PrintTo(const BadParameter& b, std::ostream* os) {
  *os << (b.message.empty() ? "not checked for these channels" : b.message);
}

class ParameterCheck : public ::testing::TestWithParam<BadParameter> {};

}  // namespace

TEST_P(ParameterCheck, NamesTheFieldAndTheValue) {
  const BadParameter& b = GetParam();
  ParSet p = startup_par(b.c1, b.c2);
  EXPECT_EQ(error_of([&] { check_parameters(p); }), "");
  p.*b.field = b.value;
  EXPECT_EQ(error_of([&] { check_parameters(p); }), b.message);
}

namespace {

// The message forms of the checks, each with the field's caption and the value.
std::string positive(const std::string& field, const std::string& value) {
  return field + " muss eine Zahl größer als 0 sein, nicht " + value + ".";
}
std::string at_least_0(const std::string& field, const std::string& value) {
  return field + " muss eine endliche Zahl ab 0 sein, nicht " + value + ".";
}
std::string finite_number(const std::string& field, const std::string& value) {
  return field + " muss eine endliche Zahl sein, nicht " + value + ".";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Fields, ParameterCheck,
    ::testing::Values(
        BadParameter{&ParSet::gear_ratio, 0, 1, 2, positive("Getriebe Übersetzung", "0")},
        BadParameter{&ParSet::tyre_perimeter_m, kInf, 1, 1,
                     positive("Hinterreifen Umfang [m]", "Inf")},
        BadParameter{&ParSet::coils, 0, 4, 1, positive("LiMa Spulen", "0")},
        BadParameter{&ParSet::filter_length_s, kNaN, 2, 3, positive("Filter Länge [s]", "NaN")},
        BadParameter{&ParSet::sensors, 0, 4, 2, positive("Rad Sensoren", "0")},
        BadParameter{&ParSet::sensors, -1, 3, 3, positive("Rollen Sensoren", "-1")},
        BadParameter{&ParSet::roller_perimeter_m, kInf, 1, 3, positive("Rollen Umfang [m]", "Inf")},
        BadParameter{&ParSet::total_mass_kg, kInf, 1, 2, at_least_0("Gesamt Gewicht [kg]", "Inf")},
        BadParameter{&ParSet::total_mass_kg, -5, 2, 3, at_least_0("Gesamt Gewicht [kg]", "-5")},
        BadParameter{&ParSet::frontal_area_m2, -0.75, 1, 2,
                     at_least_0("Stirnfläche [m²]", "-0.75")},
        BadParameter{&ParSet::roller_inertia_kgm2, kNaN, 3, 2,
                     at_least_0("Trägheitsmoment Rolle [kgm²]", "NaN")},
        BadParameter{&ParSet::cw, -0.5, 3, 2, at_least_0("Cw Wert", "-0.5")},
        BadParameter{&ParSet::air_temp_c, kInf, 1, 2, finite_number("Luft Temperatur [°C]", "Inf")},
        BadParameter{&ParSet::air_pressure_mbar, 0, 1, 2, positive("Luft Druck [mbar]", "0")},
        BadParameter{&ParSet::air_temp_c, -300, 1, 2,
                     "Luft Temperatur [°C] muss über -273 °C liegen, nicht -300."},
        // Fields the channels do not use are not checked: wheel sensors only need no coils,
        // roller or inertia, the roller no mass and area.
        BadParameter{&ParSet::coils, 0, 2, 3, ""},
        BadParameter{&ParSet::roller_perimeter_m, 0, 2, 3, ""},
        BadParameter{&ParSet::roller_inertia_kgm2, kNaN, 2, 3, ""},
        BadParameter{&ParSet::total_mass_kg, kInf, 3, 3, ""},
        BadParameter{&ParSet::frontal_area_m2, kNaN, 3, 3, ""}));

namespace {

struct BadRecording {
  const char* name;
  std::function<Eigen::MatrixXd()> samples;
  double rate, c1, c2;
  std::string message;
};

void PrintTo(const BadRecording& b, std::ostream* os) {
  *os << b.name;
}

// A varying stereo recording of 1 s.
Eigen::MatrixXd stereo(double rate = 8000) {
  const auto n = static_cast<Eigen::Index>(rate);
  Eigen::MatrixXd y(n, 2);
  for (Eigen::Index i = 0; i < n; ++i) y(i, 0) = y(i, 1) = std::sin(0.1 * static_cast<double>(i));
  return y;
}

Eigen::MatrixXd silent_right() {
  Eigen::MatrixXd y = stereo(4000);
  y.col(1).setZero();
  return y;
}

class RecordingCheck : public ::testing::TestWithParam<BadRecording> {};

}  // namespace

TEST_P(RecordingCheck, NamesTheFileAndWhatIsWrong) {
  const BadRecording& b = GetParam();
  const RecordingSummary rec = summarize_recording("lauf.wav", b.samples(), b.rate);
  EXPECT_EQ(error_of([&] { check_recording(rec, startup_par(b.c1, b.c2)); }), b.message);
}

const std::string kFile = "Die WAV Datei 'lauf.wav' ";
const std::string kRates = "Hz; ausgewertet werden Aufnahmen mit 4000 Hz bis 768000 Hz.";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, RecordingCheck,
    ::testing::Values(
        BadRecording{"Empty", [] { return Eigen::MatrixXd(0, 2); }, 44100, 1, 2,
            kFile + "enthält keine Messwerte."},
        BadRecording{"RateOne", [] { return stereo(); }, 1, 2, 2,
            kFile + "hat eine Abtastrate von 1 " + kRates},
        BadRecording{"RateHuge", [] { return stereo(); }, 4294967295.0, 1, 1,
            kFile + "hat eine Abtastrate von 4294967295 " + kRates},
        BadRecording{"MonoRight", [] { return Eigen::MatrixXd(stereo().col(0)); }, 8000, 1, 2,
            kFile + "hat nur einen Kanal; die Wahl bei „Rechter Kanal“ braucht eine "
                    "Stereo-Aufnahme. Bitte die Kanalwahl ändern."},
        BadRecording{"ThreeChannelsTogether",
            [] { return Eigen::MatrixXd(Eigen::MatrixXd::Random(8000, 3)); }, 8000, 2, 2,
            kFile + "hat 3 Kanäle; beide Kanäle gemeinsam auswerten geht nur bei einer oder zwei."},
        BadRecording{"TwoSamples", [] { return Eigen::MatrixXd(Eigen::MatrixXd::Random(2, 2)); },
            44100, 1, 4,
            kFile + "ist zu kurz: 2 Messwerte bei 44100 Hz; gebraucht werden mindestens 0.4 s "
                    "(17640 Messwerte)."},
        BadRecording{"NaNLeft", [] { Eigen::MatrixXd y = stereo(); y(5, 0) = kNaN; return y; },
            8000, 1, 1,
            kFile + "enthält im linken Kanal ungültige Messwerte (NaN oder unendlich)."},
        BadRecording{"AllZeroRight",
            [] { Eigen::MatrixXd y = stereo(); y.col(1).setZero(); return y; }, 8000, 4, 2,
            kFile + "hat im rechten Kanal kein Signal: alle Messwerte sind 0."},
        // in antiphase: the mean is silent
        BadRecording{"ConstantMean",
            [] { Eigen::MatrixXd y = stereo(); y.col(1) = -y.col(0); return y; }, 8000, 3, 2,
            kFile + "hat in beiden Kanälen kein Signal: alle Messwerte sind 0."},
        // Usable: mono with the left channel or both together, the rate limits, a silent unused
        // channel.
        BadRecording{"MonoBoth", [] { return Eigen::MatrixXd(stereo(4000).col(0)); }, 4000, 2, 2, ""},
        BadRecording{"SilentRightUnused", [] { return silent_right(); }, 4000, 1, 4, ""},
        BadRecording{"SilentRightWheel", [] { return silent_right(); }, 4000, 2, 3, ""},
        BadRecording{"SilentRightBoth", [] { return silent_right(); }, 4000, 1, 1, ""},
        BadRecording{"HighestRate", [] { return stereo(768000); }, 768000, 1, 2, ""}),
    [](const ::testing::TestParamInfo<BadRecording>& info) { return info.param.name; });
// clang-format on

// A recording summarised in parts, one summarizer each, appended in order: the whole one's
// summary, also where each part is constant on its own or a part starts with a bad sample; for
// finite samples also when they are known to be finite.
TEST(RecordingSummary, PartsAppendedGiveTheWhole) {
  const Eigen::Index n = 12;
  auto steps = [&](double a, double b) {
    Eigen::MatrixXd y(n, 2);
    y.topRows(n / 2).setConstant(a);
    y.bottomRows(n / 2).setConstant(b);
    return y;
  };
  const double inf = std::numeric_limits<double>::infinity();
  Eigen::MatrixXd antiphase = stereo().topRows(n);
  antiphase.col(1) = -antiphase.col(0);  // the mean is silent
  const Eigen::MatrixXd cases[] = {steps(0.5, 0.5),   steps(0.5, -0.5),  steps(0.0, -0.0),
                                   steps(kNaN, kNaN), steps(0.25, kNaN), steps(kNaN, 0.25),
                                   steps(inf, inf),   steps(0.1, inf),   stereo().topRows(n)};
  for (std::size_t c = 0; c < std::size(cases); ++c) {
    const Eigen::MatrixXd& y = cases[c];
    const RecordingSummary whole = summarize_recording("a.wav", y, 8000);
    for (const bool finite : {false, true}) {
      if (finite && !y.allFinite()) continue;
      for (const Eigen::Index part : {Eigen::Index{1}, Eigen::Index{5}, n / 2, n}) {
        RecordingSummarizer all("a.wav", 8000, 2, {}, finite);
        for (Eigen::Index first = 0; first < n; first += part) {
          RecordingSummarizer later("a.wav", 8000, 2, {}, finite);
          later.feed(y.middleRows(first, std::min(part, n - first)));
          all.append(later);
        }
        const RecordingSummary parts = all.finish();
        EXPECT_EQ(parts.samples, whole.samples);
        EXPECT_EQ(parts.finite, whole.finite) << c << " " << part << " " << finite;
        EXPECT_EQ(parts.constant, whole.constant) << c << " " << part << " " << finite;
      }
    }
  }
}

TEST(SpeedSamples, TenNeededUpToVmaxWhenCut) {
  ParSet p = startup_par();
  Eigen::RowVectorXd v = Eigen::RowVectorXd::LinSpaced(11, 1, 11);
  EXPECT_EQ(error_of([&] { check_speed_samples("a.wav", v, p); }), "");
  p.cut_vmax = 1;  // the cut keeps at most n − 1 samples: 10
  EXPECT_EQ(error_of([&] { check_speed_samples("a.wav", v, p); }), "");
  v(3) = 20;  // the highest speed comes early: 4 samples remain
  EXPECT_EQ(error_of([&] { check_speed_samples("a.wav", v, p); }),
            "Aus der WAV Datei 'a.wav' ergeben sich bis Vmax nur 4 Geschwindigkeitswerte; "
            "gebraucht werden mindestens 10. Passen „Linker Kanal“ und „Rechter Kanal“ zur "
            "Aufnahme?");
  p.cut_vmax = 0;
  EXPECT_EQ(error_of([&] { check_speed_samples("a.wav", v.head(9), p); }),
            "Aus der WAV Datei 'a.wav' ergeben sich nur 9 Geschwindigkeitswerte; gebraucht "
            "werden mindestens 10. Passen „Linker Kanal“ und „Rechter Kanal“ zur Aufnahme?");
}

TEST(Messages, InTheLanguageChosen) {
  set_language(Language::English);
  const std::string positive = error_of([] {
    ParSet p = startup_par();
    p.gear_ratio = 0;
    check_parameters(p);
  });
  const std::string speeds =
      error_of([] { check_speed_samples("a.wav", Eigen::RowVectorXd::Zero(3), startup_par()); });
  set_language(Language::German);
  EXPECT_EQ(positive, "Gear ratio must be a number greater than 0, not 0.");
  EXPECT_EQ(speeds,
            "The WAV file 'a.wav' gives only 3 speed values; at least 10 are needed. Do “Left "
            "channel” and “Right channel” match the recording?");
}
