#include "ui/text_tables.h"

namespace ziva {

// Lists keep the number and order of the German entries (the program chooses by position), and
// the channel lists keep one first letter per entry.
Record english_strings() {
  Record st;
  st["frame_files"] = "Files";
  st["wav_files"] = "WAV file:";
  st["out_files"] = "Output file [ASCII]:";
  st["print_files"] = "Output file [BMP]:";
  st["frame_ch1"] = "Left channel:";
  st["frame_ch2"] = "Right channel:";
  st["popup_sig"] = Value::list({"Alternator", "Wheel sensors", "Roller", "Off"}, 18);
  st["popup_sig2"] = Value::list({"Alternator", "Wheel sensors", "Off"}, 18);
  st["popup_sig3"] = Value::list({"Alternator", "Roller", "Off"}, 18);
  st["total_mass"] = "Total mass [kg]:";
  st["cw_value"] = "Cw value:";
  st["frontalA"] = "Frontal area [m²]:";
  st["gear_ratio"] = "Gear ratio:";
  st["wheel_perim"] = "Rear tyre perimeter [m]:";
  st["lima"] = "Alternator coils:";
  st["wheel_sens"] = "Wheel sensors:";
  st["roll_sens"] = "Roller sensors:";
  st["add_par"] = "Add parameters to the comment";
  st["add_wav"] = "Add WAV file to the comment";
  st["filt_length"] = "Filter length [s]:";
  st["cut_Vmax"] = "Show diagrams only up to Vmax";
  st["cut_File"] = "Cut WAV file by hand";
  st["total_tork"] = "Roller inertia [kgm²]:";
  st["cylin_perim"] = "Roller perimeter [m]:";
  st["air_temp"] = "Air temperature [°C]";
  st["air_pres"] = "Air pressure [mbar]";
  st["frame_diag"] = "Diagrams";
  st["push_sdiag"] = "Compute diagram >>";
  st["push_sdiag_tip"] = "Computes the diagram (F5 or Ctrl+Return)";
  st["frame_xaxis"] = "X axis";
  st["popup_xaxis"] = Value::list({"RPM [1/min]", "Time [s]", "Distance [m]", "Speed [km/h]"}, 22);
  st["frame_yaxis"] = "Y axis";
  st["popup_yaxis"] =
      Value::list({"Power[PS]/Torque[Nm]", "Power[kW]/Torque[Nm]", "Power [PS]", "Power [kW]",
                   "Torque [Nm]", "Speed [km/h]", "Acceleration [m/s²]", "Time [s]", "Distance [m]",
                   "RPM [1/min]", "Gear ratio [1/1]", "Loss power [kW]"},
                  26);
  st["fig_diag"] = "Diagrams";
  st["wb_sdiag"] = "Computing diagram";
  st["set_color"] = "Colour";
  st["comment"] = "Comment";
  st["title"] = "Rizid Ziva";
  st["wait"] = "Please wait";
  st["get_file"] = "...";
  st["file_not_f"] = "File not found:";
  st["file_error"] = "File error";
  st["error_title"] = "Error";
  st["warning_title"] = "Warning";
  st["language"] = "Language";
  st["language_name"] = "English";
  st["language_later"] = "The chosen language applies from the next start of the program.";
  st["file_overw"] = "Do you really want to overwrite the file?";
  st["error_num2s"] = "Invalid number format of ";
  st["yes"] = "yes";
  st["no"] = "no";
  st["load"] = "Load";
  st["save"] = "Save";
  st["bmp_file"] = "BMP files (*.bmp)";
  st["wav_file"] = "WAV files (*.wav)";
  st["asc_file"] = "ASCII files (*.asc)";
  st["all_file"] = "All files (*.*)";
  st["cfg_file"] = "CFG files (*.cfg)";
  st["par_file"] = "Parameter file";
  st["cut_done"] = "Done";
  st["auto_trim"] = "Detect full load automatically";
  st["estimator"] = "Evaluation:";
  st["popup_estimator"] = Value::list({"Standard", "Precise"}, 8);
  st["print_layout"] = "Print layout";
  st["popup_print_layout"] = Value::list({"as before", "as in the window"}, 16);
  st["warn_noise_only"] = "%s no signal found, only noise. The diagram is not reliable.";
  st["warn_noise_from"] =
      "%s the signal cannot be made out reliably from %t s on (%p %% of the values). The diagram "
      "is not reliable there.";
  st["warn_jumps"] =
      "%s the measured value jumps (%p %% of the values). Does the channel choice fit the signal?";
  st["no_full_load"] =
      "No full load found in the recording: the speed nowhere rises steadily. Please cut the range "
      "by hand or switch off \"Detect full load automatically\".";
  st["eval_ended"] = "Evaluation ended: the main window was closed.";
  st["air_corr"] = "Correction standard";
  st["popup_corr"] = Value::list({"DIN 70020", "SAE J1349", "ISO 1585 / EEC 80/1269", "none"}, 22);
  st["air_humid"] = "Air humidity [%]";
  st["corr_short"] = Value::list({"DIN 70020", "SAE J1349", "ISO 1585", "none"}, 9);
  st["humid_short"] = "  RH: ";
  st["humid_range"] = "Air humidity [%] must lie between 0 and 100: ";
  st["corr_choice_bad"] = "Correction standard: unknown choice ";
  st["corr_air_bad"] =
      "Correction not possible: dry air pressure %pd hPa at %T °C (check Air pressure [mbar], "
      "Air temperature [°C] and Air humidity [%])";
  st["corr_range_sae"] =
      "SAE J1349 applies from 15 to 35 °C and 900 to 1050 hPa dry air pressure, here %T °C and "
      "%pd hPa: the power is corrected with k = %k all the same.";
  st["corr_range_iso"] =
      "ISO 1585 / EEC 80/1269 applies to k from 0.93 to 1.07, here k = %k: the power is "
      "corrected with this factor all the same.";
  st["csv_curve"] = "Curve";
  st["csv_written"] = "Written on";
  st["csv_k"] = "Correction factor k";
  st["csv_write_error"] = "The CSV file cannot be written: ";
  st["csv_file"] = "CSV files (*.csv)";
  st["svg_file"] = "SVG files (*.svg)";
  st["pdf_file"] = "PDF files (*.pdf)";
  st["coast_loss"] = "Losses from the coast-down";
  st["loss_note"] = Value::list({"Losses: %a N + %b N·s/m·v + %c N·s²/m²·v², %p kW at Pmax",
                                 "Losses: %a W·s·ω + %b W·s²·ω² + %c W·s³·ω³, %p kW at Pmax"});
  st["loss_model"] = "Loss model";
  st["loss_models"] =
      Value::list({"F = c0 + c1·v + c2·v², v [m/s]", "P = a1·ω + a2·ω² + a3·ω³, ω [1/s]"});
  st["loss_coeffs"] =
      Value::list({"c0 [N]", "c1 [N·s/m]", "c2 [N·s²/m²]", "a1 [W·s]", "a2 [W·s²]", "a3 [W·s³]"});
  st["loss_range"] = Value::list({"Coast from [km/h]", "Coast to [km/h]"});
  st["loss_at_peak"] = "Loss power at peak power [kW]";
  st["cut_start"] = "Start [s]:";
  st["cut_end"] = "End [s]:";
  st["cut_not_number"] = "{1}: “{2}” is not a number. Please enter a time in seconds.";
  st["cut_outside"] = "{1}: {2} s lies outside the recording (0 to {3} s).";
  st["cut_start_late"] = "{1}: {2} s does not lie before the end ({3} s).";
  st["cut_end_early"] = "{1}: {2} s does not lie after the start ({3} s).";
  return st;
}

}  // namespace ziva
