#include "eval/air_correction.h"

#include <cmath>

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

namespace {

// Limits of validity: SAE J1349 for air temperature and dry pressure, ISO 1585 for the factor.
constexpr double kSaeTmin = 15, kSaeTmax = 35;
constexpr double kSaePdMin = 900, kSaePdMax = 1050;
constexpr double kIsoKmin = 0.93, kIsoKmax = 1.07;

std::string fill(std::string text, double T, double pd, double k) {
  text = replace_all(std::move(text), "%T", num2str(T));
  text = replace_all(std::move(text), "%pd", num2str(pd));
  return replace_all(std::move(text), "%k", num2str(k));
}

}  // namespace

AirStandard air_standard(double choice, const Record& st) {
  if (choice == 1 || choice == 2 || choice == 3 || choice == 4)
    return static_cast<AirStandard>(static_cast<int>(choice));
  throw Error(st.at("corr_choice_bad").text() + num2str(choice));
}

double saturation_pressure(double T) {
  return 6.1078 * std::pow(10.0, 7.5 * T / (237.3 + T));
}

double dry_pressure(double T, double p, double RH) {
  return p - (RH / 100) * saturation_pressure(T);
}

double air_factor(AirStandard s, double T, double p, double RH) {
  switch (s) {
    case AirStandard::din70020:
      return (1013 / p) * std::sqrt((273 + T) / 293);
    case AirStandard::sae_j1349:
      return 1.176 * (990 / dry_pressure(T, p, RH)) * std::sqrt((T + 273.15) / 298) - 0.176;
    case AirStandard::iso1585:
      return std::pow(990 / dry_pressure(T, p, RH), 1.2) * std::pow((T + 273.15) / 298, 0.6);
    case AirStandard::none:
      return 1;
  }
  return 1;
}

AirCorrection correct_air(AirStandard s, double T, double p, double RH, const Record& st) {
  if (!(RH >= 0 && RH <= 100)) throw Error(st.at("humid_range").text() + num2str(RH));
  AirCorrection c;
  c.standard = s;
  c.k = air_factor(s, T, p, RH);
  if (s != AirStandard::sae_j1349 && s != AirStandard::iso1585) return c;
  const double pd = dry_pressure(T, p, RH);
  if (!(pd > 0) || !std::isfinite(c.k) || !std::isfinite(T))
    throw Error(fill(st.at("corr_air_bad").text(), T, pd, c.k));
  if (s == AirStandard::sae_j1349 &&
      (T < kSaeTmin || T > kSaeTmax || pd < kSaePdMin || pd > kSaePdMax))
    c.warning = fill(st.at("corr_range_sae").text(), T, pd, c.k);
  if (s == AirStandard::iso1585 && (c.k < kIsoKmin || c.k > kIsoKmax))
    c.warning = fill(st.at("corr_range_iso").text(), T, pd, c.k);
  return c;
}

}  // namespace ziva
