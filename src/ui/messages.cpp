#include "ui/messages.h"

#include "platform/core/text.h"
#include "ui/strings.h"

namespace ziva::messages {

namespace {

std::string quoted(const std::string& file) {
  return "'" + file + "'";
}

// "im linken Kanal" and so on.
std::string in_channel(int channel) {
  if (channel == 0) return "in beiden Kanälen";
  return channel == 1 ? "im linken Kanal" : "im rechten Kanal";
}

}  // namespace

std::string field(const std::string& key) {
  std::string caption = trim_blanks(st_text(strings(), key));
  if (!caption.empty() && caption.back() == ':') caption.pop_back();
  return trim_blanks(caption);
}

std::string must_be_positive(const std::string& key, double value) {
  return field(key) + " muss eine Zahl größer als 0 sein, nicht " + num2str(value) + ".";
}

std::string must_be_finite(const std::string& key, double value) {
  return field(key) + " muss eine endliche Zahl sein, nicht " + num2str(value) + ".";
}

std::string air_pressure_positive(double value) {
  return must_be_positive("air_pres", value);
}

std::string air_temperature_above_zero(double value) {
  return field("air_temp") + " muss über -273 °C liegen, nicht " + num2str(value) + ".";
}

std::string no_samples(const std::string& file) {
  return "Die WAV Datei " + quoted(file) + " enthält keine Messwerte.";
}

std::string rate_unusable(const std::string& file, double rate, double lowest, double highest) {
  return "Die WAV Datei " + quoted(file) + " hat eine Abtastrate von " + num2str(rate) +
         " Hz; ausgewertet werden Aufnahmen mit " + num2str(lowest) + " Hz bis " +
         num2str(highest) + " Hz.";
}

std::string mono_but_right_channel(const std::string& file) {
  return "Die WAV Datei " + quoted(file) + " hat nur einen Kanal; die Wahl bei „" +
         field("frame_ch2") + "“ braucht eine Stereo-Aufnahme. Bitte die Kanalwahl ändern.";
}

std::string too_many_channels(const std::string& file, long channels) {
  return "Die WAV Datei " + quoted(file) + " hat " + std::to_string(channels) +
         " Kanäle; beide Kanäle gemeinsam auswerten geht nur bei einer oder zwei.";
}

std::string invalid_samples(const std::string& file, int channel) {
  return "Die WAV Datei " + quoted(file) + " enthält " + in_channel(channel) +
         " ungültige Messwerte (NaN oder unendlich).";
}

std::string silent_channel(const std::string& file, int channel, double value) {
  return "Die WAV Datei " + quoted(file) + " hat " + in_channel(channel) +
         " kein Signal: alle Messwerte sind " + num2str(value) + ".";
}

std::string too_short(const std::string& file, long samples, double rate, double seconds,
                      long needed) {
  return "Die WAV Datei " + quoted(file) + " ist zu kurz: " + std::to_string(samples) +
         " Messwerte bei " + num2str(rate) + " Hz; gebraucht werden mindestens " +
         num2str(seconds) + " s (" + std::to_string(needed) + " Messwerte).";
}

std::string too_few_speeds(const std::string& file, long count, long needed, bool up_to_vmax) {
  return "Aus der WAV Datei " + quoted(file) + " ergeben sich " + (up_to_vmax ? "bis Vmax " : "") +
         "nur " + std::to_string(count) + " Geschwindigkeitswerte; gebraucht werden mindestens " +
         std::to_string(needed) + ". Passen „" + field("frame_ch1") + "“ und „" +
         field("frame_ch2") + "“ zur Aufnahme?";
}

std::string same_file(const std::string& key_a, const std::string& file_a, const std::string& key_b,
                      const std::string& file_b) {
  return field(key_b) + " " + quoted(file_b) + " ist dieselbe Datei wie " + field(key_a) + " " +
         quoted(file_a) + " und würde sie überschreiben. Bitte einen anderen Dateinamen wählen.";
}

std::string ascii_not_created(const std::string& file, const std::string& reason) {
  return "Invalid file identifier. Unable to create file " + quoted(file) + ": " + reason + ".";
}

}  // namespace ziva::messages
