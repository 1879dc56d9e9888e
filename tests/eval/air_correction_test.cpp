#include "eval/air_correction.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "support/error_of.h"
#include "ui/strings.h"

using namespace ziva;

namespace {

struct FactorCase {
  const char* name;
  AirStandard s;
  double T, p, RH, k, tol;
};

// The check value 30 °C, 970 mbar, 50 % (k to 5 decimals as published; DIN ignores the humidity),
// and SAE and ISO at their own reference conditions, 298 K / 990 hPa dry.
const FactorCase kFactorCases[] = {
    {"DinCheck", AirStandard::din70020, 30, 970, 50, 1.06200, 5e-6},
    {"SaeCheck", AirStandard::sae_j1349, 30, 970, 50, 1.06164, 5e-6},
    {"IsoCheck", AirStandard::iso1585, 30, 970, 50, 1.06322, 5e-6},
    {"NoneCheck", AirStandard::none, 30, 970, 50, 1, 0},
    {"SaeReference", AirStandard::sae_j1349, 24.85, 990, 0, 1, 1e-12},
    {"IsoReference", AirStandard::iso1585, 24.85, 990, 0, 1, 1e-12},
    // 25 °C is 298.15 K: the factors sit 0.03 % above 1 there.
    {"SaeAt25", AirStandard::sae_j1349, 25, 990, 0, 1.000296, 1e-6},
    {"IsoAt25", AirStandard::iso1585, 25, 990, 0, 1.000302, 1e-6},
};

class Factor : public ::testing::TestWithParam<FactorCase> {};

TEST_P(Factor, MatchesPublishedValue) {
  const FactorCase& c = GetParam();
  EXPECT_NEAR(air_factor(c.s, c.T, c.p, c.RH), c.k, c.tol);
  const AirCorrection a = correct_air(c.s, c.T, c.p, c.RH, strings());
  EXPECT_EQ(a.k, air_factor(c.s, c.T, c.p, c.RH));
}

INSTANTIATE_TEST_SUITE_P(AirCorrection, Factor, ::testing::ValuesIn(kFactorCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

TEST(AirCorrection, DryPressureFromMagnusSaturation) {
  // Saturation pressure of water from steam tables: 20 °C 23.39 hPa, 30 °C 42.47 hPa,
  // 0 °C 6.112 hPa; Magnus stays within 0.2 % there.
  EXPECT_NEAR(saturation_pressure(20), 23.39, 23.39 * 2e-3);
  EXPECT_NEAR(saturation_pressure(30), 42.47, 42.47 * 2e-3);
  EXPECT_NEAR(saturation_pressure(0), 6.112, 6.112 * 2e-3);
  EXPECT_NEAR(dry_pressure(30, 970, 50), 948.787, 1e-3);
  EXPECT_EQ(dry_pressure(30, 970, 0), 970);
  // Humid air corrects like dry air at its dry pressure.
  for (AirStandard s : {AirStandard::sae_j1349, AirStandard::iso1585})
    EXPECT_NEAR(air_factor(s, 30, 970, 50), air_factor(s, 30, 948.78682602599, 0), 1e-12);
}

struct RangeCase {
  const char* name;
  AirStandard s;
  double T, p, RH;
  const char* warning_part;  // empty: no warning
};

const RangeCase kRangeCases[] = {
    {"SaeAtLimits", AirStandard::sae_j1349, 15, 900, 0, ""},
    {"SaeTooCold", AirStandard::sae_j1349, 10, 1000, 0, "hier 10 °C und 1000 hPa"},
    {"SaeDryPressureLow", AirStandard::sae_j1349, 30, 920, 60, "und 894.5442 hPa"},
    {"SaeDryPressureHigh", AirStandard::sae_j1349, 20, 1051, 0, "1051 hPa"},
    {"IsoInside", AirStandard::iso1585, 30, 970, 50, ""},
    {"IsoFactorHigh", AirStandard::iso1585, 30, 900, 0, "hier k = 1.1328"},
    {"IsoFactorLow", AirStandard::iso1585, -20, 1040, 0, "hier k = 0.8547"},
    {"DinNeverWarns", AirStandard::din70020, -20, 700, 0, ""},
};

class Range : public ::testing::TestWithParam<RangeCase> {};

TEST_P(Range, WarnsOutsideTheStandardsValidity) {
  const RangeCase& c = GetParam();
  const AirCorrection a = correct_air(c.s, c.T, c.p, c.RH, strings());
  if (std::string(c.warning_part).empty()) {
    EXPECT_EQ(a.warning, "");
  } else {
    EXPECT_NE(a.warning.find(c.warning_part), std::string::npos) << a.warning;
    const char* name = c.s == AirStandard::sae_j1349 ? "SAE J1349" : "ISO 1585 / EWG 80/1269";
    EXPECT_NE(a.warning.find(name), std::string::npos) << a.warning;
  }
}

INSTANTIATE_TEST_SUITE_P(AirCorrection, Range, ::testing::ValuesIn(kRangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AirCorrection, ImpossibleConditionsAreErrorsNamingTheField) {
  const Record st = strings();
  auto error = [&](AirStandard s, double T, double p, double RH) {
    return ziva::testing::error_of([&] { correct_air(s, T, p, RH, st); });
  };
  EXPECT_EQ(error(AirStandard::din70020, 20, 1013, 101),
            "Luft Feuchte [%] muss zwischen 0 und 100 liegen: 101");
  EXPECT_EQ(error(AirStandard::iso1585, 20, 1013, NAN),
            "Luft Feuchte [%] muss zwischen 0 und 100 liegen: NaN");
  // 80 °C saturated air at 300 mbar: the vapour pressure exceeds the total pressure.
  EXPECT_NE(error(AirStandard::sae_j1349, 80, 300, 100).find("trockener Luftdruck -"),
            std::string::npos);
  // DIN keeps the first version's unchecked factor, even for a pressure of zero.
  EXPECT_EQ(error(AirStandard::din70020, 20, 0, 0), "");
}
