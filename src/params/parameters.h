// The parameter set: the evaluation settings of the main window, declared once in the parameter
// table, which drives reading them from the controls, the parameter files, the start-up defaults
// and the batch tool's help.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/function_table.h"

namespace ziva {

struct ParSet {
  double total_mass_kg = 0;
  double cw = 0;
  double gear_ratio = 0;        // engine revolutions per wheel revolution
  double tyre_perimeter_m = 0;  // rolling circumference of the measured wheel
  double coils = 0;             // alternator tone periods per engine revolution
  double filter_length_s = 0;
  double roller_inertia_kgm2 = 0;
  double roller_perimeter_m = 0;
  double frontal_area_m2 = 0;
  double sensors = 0;  // pulses (or roller tone periods) per revolution
  double add_par_to_comment = 0;
  double cut_vmax = 0;
  double sig_ch1 = 1, sig_ch2 = 1;  // pop-up entries of the channels
  double xaxis = 1, yaxis = 1;      // pop-up entries of the axes
  double add_wav_to_comment = 0;
  double air_temp_c = 0;
  double air_pressure_mbar = 0;
  double air_humidity_pct = 0;  // relative humidity of the air
  double air_correction = 1;    // pop-up entry of the correction standard (1: DIN 70020)
  std::string title;
  double auto_trim = 0;     // 1: only the automatically found full-load part is evaluated
  double estimator = 1;     // pop-up entry: 1 the standard estimators, 2 the precise ones
  double coast_loss = 0;    // 1: the road load measured from the coast after the run replaces the
                            // assumed loss term of the power formulas
  double print_layout = 1;  // pop-up entry: 1 prints keep their own layout, 2 the window's
};

enum class ParamKind { Number, PopUp, CheckBox, Text };

// Where the control of a parameter added after the first version sits in the main window
// (normalised positions of its caption and of the control itself).
struct ParamPlacement {
  std::array<double, 4> caption;
  std::array<double, 4> control;
};

// One parameter: its control, its caption, its variable in parameter files and its field.
struct ParamSpec {
  const char* tag;        // tag of the main window's control
  const char* caption;    // UI text field of its caption (named in error messages)
  const char* file_var;   // variable name in parameter files
  double ParSet::*field;  // the field of a number, pop-up or check box; none for the title
  ParamKind kind;
  const char* choices;       // UI text field of a pop-up's entries
  int entries;               // a pop-up's number of entries (the file check)
  const char* default_text;  // start-up text of a number field or of the title
  double default_value;      // start-up entry of a pop-up or state of a check box
  bool in_every_file;        // written since the first version: a file without it is refused
  std::optional<ParamPlacement> placement;  // none: part of the fixed first-version layout
};

// Every parameter, in the order of the parameter file's variables.
const std::vector<ParamSpec>& param_table();
// The row of the control tagged `tag`; null when it is no parameter.
const ParamSpec* find_param(const std::string& tag);

// Reads the set from the controls. A text field that does not convert shows the German error
// dialog for the first such field in table order and raises ReportedError.
ParSet get_par(Env& env);

// Puts the set into the controls (numbers in their shortest exact form), the channel lists kept
// consistent in between.
void set_par(Env& env, const ParSet& p);

// The values in parameter-file order, for calls by name.
Values par_values(const ParSet& p);

}  // namespace ziva
