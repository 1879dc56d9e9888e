// Correction of engine power to standard air: the factor k of each supported standard, the dry
// air pressure, and the check of a standard's range of validity.
#pragma once

#include <string>

#include "platform/core/value.h"

namespace ziva {

// The standards in the order of the "Normkorrektur" pop-up (its "Value" 1 … 4).
enum class AirStandard { din70020 = 1, sae_j1349 = 2, iso1585 = 3, none = 4 };

// The standard of a pop-up value; throws ziva::Error naming the field for any other value.
AirStandard air_standard(double choice, const Record& st);

// Saturation vapour pressure of water over a flat surface (Magnus), hPa, at T °C.
double saturation_pressure(double T);

// Dry-air part of the pressure p (hPa) at T °C and relative humidity RH (%).
double dry_pressure(double T, double p, double RH);

// The factor k of the standard at T °C, pressure p (mbar = hPa) and RH %. DIN 70020 uses the
// total pressure and ignores RH; the result is not checked (see correct_air).
double air_factor(AirStandard s, double T, double p, double RH);

// What one evaluation applies: the factor and, when the conditions lie outside the standard's
// range of validity, the warning to show once (empty otherwise).
struct AirCorrection {
  AirStandard standard = AirStandard::din70020;
  double k = 1;
  std::string warning;
};

// air_factor with the checks a sheet handed to a customer needs: throws ziva::Error naming the
// field for RH outside 0 … 100 % and, for the standards that use the dry pressure, for a dry
// pressure that is not positive or a factor that is not finite. DIN 70020 keeps its factor
// unchecked. Texts come from the UI text record st.
AirCorrection correct_air(AirStandard s, double T, double p, double RH, const Record& st);

}  // namespace ziva
