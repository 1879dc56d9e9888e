#include "ui/strings.h"

#include "base/error.h"
#include "ui/text_tables.h"

namespace ziva {

Record german_strings() {
  Record st;
  st["frame_files"] = "Dateien";
  st["wav_files"] = "WAV Datei:";
  st["out_files"] = "Ausgabe Datei [ASCII]:";
  st["print_files"] = "Ausgabe Datei [BMP]:";
  st["frame_ch1"] = "Linker Kanal:";
  st["frame_ch2"] = "Rechter Kanal:";
  st["popup_sig"] = Value::list({"Lichtmaschine", "Radsensoren", "Trägheitsrolle", "Aus"}, 18);
  st["popup_sig2"] = Value::list({"Lichtmaschine", "Radsensoren", "Aus"}, 18);
  st["popup_sig3"] = Value::list({"Lichtmaschine", "Trägheitsrolle", "Aus"}, 18);
  st["total_mass"] = "Gesamt Gewicht [kg]:";
  st["cw_value"] = "Cw Wert:";
  st["frontalA"] = "Stirnfläche [m²]:";
  st["gear_ratio"] = "Getriebe Übersetzung:";
  st["wheel_perim"] = "Hinterreifen Umfang [m]:";
  st["lima"] = "LiMa Spulen:";
  st["wheel_sens"] = "Rad Sensoren:";
  st["roll_sens"] = "Rollen Sensoren:";
  st["add_par"] = "Parameter zum Kommentar hinzufügen";
  st["add_wav"] = "Wav Datei zum Kommentar hinzufügen";
  st["filt_length"] = "Filter Länge [s]:";
  st["cut_Vmax"] = "Diagramme nur bis Vmax zeigen";
  st["cut_File"] = "WAV Datei von Hand beschneiden";
  st["total_tork"] = "Trägheitsmoment Rolle [kgm²]:";
  st["cylin_perim"] = "Rollen Umfang [m]:";
  st["air_temp"] = "Luft Temperatur [°C]";
  st["air_pres"] = "Luft Druck [mbar]";
  st["frame_diag"] = "Diagramme";
  st["push_sdiag"] = "Berechne Diagramm >>";
  st["frame_xaxis"] = "X - Achse";
  st["popup_xaxis"] =
      Value::list({"RPM [1/min]", "Zeit [s]", "Strecke [m]", "Geschwindigkeit [km/h]"}, 22);
  st["frame_yaxis"] = "Y - Achse";
  st["popup_yaxis"] = Value::list(
      {"Leistung[PS]/Drehm[Nm]", "Leistung[kW]/Drehm[Nm]", "Leistung [PS]", "Leistung [kW]",
       "Drehmoment [Nm]", "Geschwindigkeit [km/h]", "Beschleunigung [m/s²]", "Zeit [s]",
       "Strecke [m]", "RPM [1/min]", "Getriebe Übersetzung [1/1]", "Verlustleistung [kW]"},
      26);
  st["fig_diag"] = "Diagramme";
  st["wb_sdiag"] = "Berechne Diagramm";
  st["set_color"] = "Farbe";
  st["comment"] = "Kommentar";
  st["title"] = "Rizid Ziva";
  st["wait"] = "Bitte warten";
  st["get_file"] = "...";
  st["file_not_f"] = "Datei nicht gefunden:";
  st["file_error"] = "Datei Fehler";
  st["file_overw"] = "Soll die Datei wirklich überschrieben werden?";
  st["error_num2s"] = "Fehlerhaftes Zahlenformat von ";
  st["yes"] = "ja";
  st["no"] = "nein";
  st["load"] = "Laden";
  st["save"] = "Speichern";
  st["bmp_file"] = "BMP Dateien (*.bmp)";
  st["wav_file"] = "WAV Dateien (*.wav)";
  st["asc_file"] = "ASCII Dateien (*.asc)";
  st["all_file"] = "Alle Dateien (*.*)";
  st["cfg_file"] = "CFG Dateien (*.cfg)";
  st["par_file"] = "Parameter Datei";
  st["cut_done"] = "Fertig";
  // Texts added since the first version follow its 54 fields.
  st["push_sdiag_tip"] = "Berechnet das Diagramm (F5 oder Strg+Eingabe)";
  st["error_title"] = "Fehler";
  st["warning_title"] = "Warnung";
  st["language"] = "Sprache";
  st["language_name"] = "Deutsch";
  st["language_later"] = "Die gewählte Sprache gilt ab dem nächsten Start des Programms.";
  st["auto_trim"] = "Volllast automatisch erkennen";
  st["estimator"] = "Auswertung:";
  st["popup_estimator"] = Value::list({"Standard", "Präzise"}, 8);
  st["print_layout"] = "Druck-Layout";
  st["popup_print_layout"] = Value::list({"wie bisher", "wie im Fenster"}, 14);
  st["warn_noise_only"] =
      "%s kein Signal erkennbar, nur Rauschen. Das Diagramm ist nicht verlässlich.";
  st["warn_noise_from"] =
      "%s das Signal ist ab %t s nicht sicher erkennbar (%p %% der Werte). Das Diagramm ist dort "
      "nicht verlässlich.";
  st["warn_jumps"] = "%s der Messwert springt (%p %% der Werte). Passt die Kanalwahl zum Signal?";
  st["no_full_load"] =
      "Keine Volllast in der Aufnahme gefunden: die Geschwindigkeit steigt nirgends stetig an. "
      "Bitte den Bereich von Hand schneiden oder \"Volllast automatisch erkennen\" ausschalten.";
  st["eval_ended"] = "Auswertung beendet: das Hauptfenster wurde geschlossen.";
  // Air correction standards.
  st["air_corr"] = "Normkorrektur";
  st["popup_corr"] = Value::list({"DIN 70020", "SAE J1349", "ISO 1585 / EWG 80/1269", "keine"}, 22);
  st["air_humid"] = "Luft Feuchte [%]";
  st["corr_short"] = Value::list({"DIN 70020", "SAE J1349", "ISO 1585", "keine"}, 9);
  st["humid_short"] = "  rF: ";
  st["humid_range"] = "Luft Feuchte [%] muss zwischen 0 und 100 liegen: ";
  st["corr_choice_bad"] = "Normkorrektur: unbekannte Auswahl ";
  st["corr_air_bad"] =
      "Normkorrektur nicht möglich: trockener Luftdruck %pd hPa bei %T °C (Luft Druck [mbar], "
      "Luft Temperatur [°C] und Luft Feuchte [%] prüfen)";
  st["corr_range_sae"] =
      "SAE J1349 gilt für 15 bis 35 °C und 900 bis 1050 hPa trockenen Luftdruck, hier %T °C und "
      "%pd hPa: die Leistung ist dennoch mit k = %k korrigiert.";
  st["corr_range_iso"] =
      "ISO 1585 / EWG 80/1269 gilt für k von 0.93 bis 1.07, hier k = %k: die Leistung ist "
      "dennoch mit diesem Faktor korrigiert.";
  // Report outputs: CSV tables, SVG and PDF prints.
  st["csv_curve"] = "Kurve";
  st["csv_written"] = "Geschrieben am";
  st["csv_k"] = "Korrekturfaktor k";
  st["csv_write_error"] = "Die CSV Datei kann nicht geschrieben werden: ";
  st["csv_file"] = "CSV Dateien (*.csv)";
  st["svg_file"] = "SVG Dateien (*.svg)";
  st["pdf_file"] = "PDF Dateien (*.pdf)";
  // Losses measured from the coast after the run.
  st["coast_loss"] = "Verluste aus dem Ausrollen";
  st["loss_note"] = Value::list({"Verluste: %a N + %b N·s/m·v + %c N·s²/m²·v², %p kW bei Pmax",
                                 "Verluste: %a W·s·ω + %b W·s²·ω² + %c W·s³·ω³, %p kW bei Pmax"});
  st["loss_model"] = "Verlustmodell";
  st["loss_models"] =
      Value::list({"F = c0 + c1·v + c2·v², v [m/s]", "P = a1·ω + a2·ω² + a3·ω³, ω [1/s]"});
  st["loss_coeffs"] =
      Value::list({"c0 [N]", "c1 [N·s/m]", "c2 [N·s²/m²]", "a1 [W·s]", "a2 [W·s²]", "a3 [W·s³]"});
  st["loss_range"] = Value::list({"Ausrollen von [km/h]", "Ausrollen bis [km/h]"});
  st["loss_at_peak"] = "Verlustleistung bei Höchstleistung [kW]";
  // Cut views: the chosen range in seconds, shown and typed.
  st["cut_start"] = "Anfang [s]:";
  st["cut_end"] = "Ende [s]:";
  st["cut_not_number"] = "{1}: „{2}“ ist keine Zahl. Bitte eine Zeit in Sekunden eingeben.";
  st["cut_outside"] = "{1}: {2} s liegt außerhalb der Aufnahme (0 bis {3} s).";
  st["cut_start_late"] = "{1}: {2} s liegt nicht vor dem Ende ({3} s).";
  st["cut_end_early"] = "{1}: {2} s liegt nicht nach dem Anfang ({3} s).";
  return st;
}

std::string st_text(const Record& st, const std::string& field) {
  return st.at(field).text();
}

std::string st_row(const Record& st, const std::string& field, int i) {
  return st.at(field).row_text(static_cast<std::size_t>(i - 1));
}

}  // namespace ziva
