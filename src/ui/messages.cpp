#include "ui/messages.h"

#include <cmath>
#include <initializer_list>
#include <map>

#include "platform/core/text.h"
#include "ui/language.h"
#include "ui/strings.h"

namespace ziva::messages {

namespace {

using Table = std::map<std::string, std::string>;

// The message texts per language; {1}, {2}, … are filled in. German is complete; a text another
// language lacks shows in German.
const Table& german() {
  static const Table t = {
      {"positive", "{1} muss eine Zahl größer als 0 sein, nicht {2}."},
      {"finite", "{1} muss eine endliche Zahl sein, nicht {2}."},
      {"not_negative", "{1} muss eine endliche Zahl ab 0 sein, nicht {2}."},
      {"above_zero", "{1} muss über -273 °C liegen, nicht {2}."},
      {"no_samples", "Die WAV Datei {1} enthält keine Messwerte."},
      {"rate",
       "Die WAV Datei {1} hat eine Abtastrate von {2} Hz; ausgewertet werden Aufnahmen "
       "mit {3} Hz bis {4} Hz."},
      {"mono",
       "Die WAV Datei {1} hat nur einen Kanal; die Wahl bei „{2}“ braucht eine "
       "Stereo-Aufnahme. Bitte die Kanalwahl ändern."},
      {"channels",
       "Die WAV Datei {1} hat {2} Kanäle; beide Kanäle gemeinsam auswerten geht nur "
       "bei einer oder zwei."},
      {"invalid", "Die WAV Datei {1} enthält {2} ungültige Messwerte (NaN oder unendlich)."},
      {"silent", "Die WAV Datei {1} hat {2} kein Signal: alle Messwerte sind {3}."},
      {"in_both", "in beiden Kanälen"},
      {"in_left", "im linken Kanal"},
      {"in_right", "im rechten Kanal"},
      {"too_short",
       "Die WAV Datei {1} ist zu kurz: {2} Messwerte bei {3} Hz; gebraucht werden "
       "mindestens {4} s ({5} Messwerte)."},
      {"few_speeds",
       "Aus der WAV Datei {1} ergeben sich nur {2} Geschwindigkeitswerte; "
       "gebraucht werden mindestens {3}. Passen „{4}“ und „{5}“ zur Aufnahme?"},
      {"few_speeds_vmax",
       "Aus der WAV Datei {1} ergeben sich bis Vmax nur {2} "
       "Geschwindigkeitswerte; gebraucht werden mindestens {3}. Passen „{4}“ "
       "und „{5}“ zur Aufnahme?"},
      {"coast_no_speed",
       "„{1}“ braucht eine Geschwindigkeit, die beim Ausrollen weiterläuft: eine Lichtmaschine "
       "allein folgt dem Motor und kann kein Ausrollen zeigen. Bitte Radsensoren oder die "
       "Trägheitsrolle mit aufnehmen oder „{1}“ ausschalten."},
      {"coast_coupled",
       "Kein Ausrollen nach der Volllast gefunden: die Motordrehzahl folgt bis zum Ende der "
       "Aufnahme der Geschwindigkeit (eingekuppelt, Motorbremse). Für „{1}“ nach der Volllast "
       "auskuppeln und ausrollen lassen, oder „{1}“ ausschalten."},
      {"coast_none",
       "Kein Ausrollen nach der Volllast gefunden: die Geschwindigkeit fällt nach ihrem "
       "Höchstwert nicht. Für „{1}“ nach der Volllast auskuppeln und ausrollen lassen, oder "
       "„{1}“ ausschalten."},
      {"coast_short",
       "Das Ausrollen nach der Volllast dauert nur {1} s; für „{2}“ werden mindestens {3} s "
       "gebraucht (Gaswegnehmen mit eingelegtem Gang ist kein Ausrollen)."},
      {"coast_span",
       "Beim Ausrollen fällt die Geschwindigkeit nur von {1} auf {2} km/h; für „{3}“ muss sie "
       "um mindestens {4} % fallen. Bitte länger ausrollen lassen."},
      {"coast_rising",
       "Beim Ausrollen nach der Volllast nimmt die Geschwindigkeit nicht stetig ab; „{1}“ "
       "ergibt daraus keine Verluste."},
      {"coast_irregular",
       "Die Verzögerung beim Ausrollen folgt keinem gleichmäßigen Fahrwiderstand (Streuung {1} "
       "%, {2} % der Werte passen nicht); „{3}“ ergibt daraus keine verlässlichen Verluste."},
      {"coast_below",
       "Der Lauf reicht bis {1} km/h hinab, mehr als ein Drittel unter der kleinsten "
       "Geschwindigkeit des Ausrollens ({2} km/h): die Verluste darunter sind fortgesetzt, nicht "
       "gemessen."},
      {"same_file",
       "{1} {2} ist dieselbe Datei wie {3} {4} und würde sie überschreiben. Bitte "
       "einen anderen Dateinamen wählen."},
  };
  return t;
}

const Table& english() {
  static const Table t = {
      {"positive", "{1} must be a number greater than 0, not {2}."},
      {"finite", "{1} must be a finite number, not {2}."},
      {"not_negative", "{1} must be a finite number of at least 0, not {2}."},
      {"above_zero", "{1} must be above -273 °C, not {2}."},
      {"no_samples", "The WAV file {1} holds no samples."},
      {"rate",
       "The WAV file {1} has a sample rate of {2} Hz; recordings of {3} Hz to {4} Hz are "
       "evaluated."},
      {"mono",
       "The WAV file {1} has one channel only; the choice under “{2}” needs a stereo "
       "recording. Please change the channel choice."},
      {"channels",
       "The WAV file {1} has {2} channels; both channels together can be evaluated "
       "only with one or two."},
      {"invalid", "The WAV file {1} holds invalid samples (NaN or infinite) {2}."},
      {"silent", "The WAV file {1} has no signal {2}: every sample is {3}."},
      {"in_both", "in both channels"},
      {"in_left", "in the left channel"},
      {"in_right", "in the right channel"},
      {"too_short",
       "The WAV file {1} is too short: {2} samples at {3} Hz; at least {4} s ({5} "
       "samples) are needed."},
      {"few_speeds",
       "The WAV file {1} gives only {2} speed values; at least {3} are needed. Do "
       "“{4}” and “{5}” match the recording?"},
      {"few_speeds_vmax",
       "The WAV file {1} gives only {2} speed values up to Vmax; at least {3} "
       "are needed. Do “{4}” and “{5}” match the recording?"},
      {"coast_no_speed",
       "“{1}” needs a speed that keeps running in the coast: an alternator alone follows the "
       "engine and cannot show a coast. Please record the wheel sensors or the roller too, or "
       "switch off “{1}”."},
      {"coast_coupled",
       "No coast found after full load: the engine speed follows the road speed up to the end of "
       "the recording (clutch engaged, engine braking). For “{1}” disengage the clutch after full "
       "load and let the vehicle roll down, or switch off “{1}”."},
      {"coast_none",
       "No coast found after full load: the speed does not fall after its highest value. For "
       "“{1}” disengage the clutch after full load and let the vehicle roll down, or switch off "
       "“{1}”."},
      {"coast_short",
       "The coast after full load lasts only {1} s; “{2}” needs at least {3} s (closing the "
       "throttle in gear is no coast)."},
      {"coast_span",
       "In the coast the speed falls only from {1} to {2} km/h; for “{3}” it must fall by at "
       "least {4} %. Please let the vehicle roll down longer."},
      {"coast_rising",
       "In the coast after full load the speed does not fall steadily; “{1}” cannot measure the "
       "losses from it."},
      {"coast_irregular",
       "The deceleration in the coast follows no steady road load (scatter {1} %, {2} % of the "
       "values do not fit); “{3}” cannot measure reliable losses from it."},
      {"coast_below",
       "The run reaches down to {1} km/h, more than a third below the lowest speed of the coast "
       "({2} km/h): the losses there are continued, not measured."},
      {"same_file",
       "{1} {2} is the same file as {3} {4} and would replace it. Please choose "
       "another file name."},
  };
  return t;
}

// `pattern` with {1}, {2}, … replaced by `args`.
std::string fill(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::size_t close = pattern.find('}', i);
    if (pattern[i] == '{' && close != std::string::npos && close == i + 2) {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += *(args.begin() + n);
        i = close;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

// The text `key` in the chosen language with {1}, {2}, … replaced by `args`.
std::string text(const char* key, std::initializer_list<std::string> args = {}) {
  const Table& own = language() == Language::English ? english() : german();
  auto found = own.find(key);
  return fill(found != own.end() ? found->second : german().at(key), args);
}

// The UI text record's field `key` with {1}, {2}, … replaced by `args`.
std::string record_text(const char* key, std::initializer_list<std::string> args) {
  return fill(st_text(strings(), key), args);
}

std::string quoted(const std::string& file) {
  return "'" + file + "'";
}

std::string in_channel(int channel) {
  if (channel == 0) return text("in_both");
  return text(channel == 1 ? "in_left" : "in_right");
}

}  // namespace

std::string field(const std::string& key) {
  std::string caption = trim_blanks(st_text(strings(), key));
  if (!caption.empty() && caption.back() == ':') caption.pop_back();
  return trim_blanks(caption);
}

std::string cut_time_not_number(const std::string& key, const std::string& typed) {
  return record_text("cut_not_number", {field(key), trim_blanks(typed)});
}

std::string cut_time_outside(const std::string& key, double value, double duration) {
  return record_text("cut_outside", {field(key), num2str(value), num2str(duration)});
}

std::string cut_time_order(const std::string& key, double value, double other) {
  return record_text(key == "cut_end" ? "cut_end_early" : "cut_start_late",
                     {field(key), num2str(value), num2str(other)});
}

std::string must_be_positive(const std::string& key, double value) {
  return text("positive", {field(key), num2str(value)});
}

std::string must_be_finite(const std::string& key, double value) {
  return text("finite", {field(key), num2str(value)});
}

std::string must_not_be_negative(const std::string& key, double value) {
  return text("not_negative", {field(key), num2str(value)});
}

std::string air_pressure_positive(double value) {
  return must_be_positive("air_pres", value);
}

std::string air_temperature_above_zero(double value) {
  return text("above_zero", {field("air_temp"), num2str(value)});
}

std::string no_samples(const std::string& file) {
  return text("no_samples", {quoted(file)});
}

std::string rate_unusable(const std::string& file, double rate, double lowest, double highest) {
  return text("rate", {quoted(file), num2str(rate), num2str(lowest), num2str(highest)});
}

std::string mono_but_right_channel(const std::string& file) {
  return text("mono", {quoted(file), field("frame_ch2")});
}

std::string too_many_channels(const std::string& file, long channels) {
  return text("channels", {quoted(file), std::to_string(channels)});
}

std::string invalid_samples(const std::string& file, int channel) {
  return text("invalid", {quoted(file), in_channel(channel)});
}

std::string silent_channel(const std::string& file, int channel, double value) {
  return text("silent", {quoted(file), in_channel(channel), num2str(value)});
}

std::string too_short(const std::string& file, long samples, double rate, double seconds,
                      long needed) {
  return text("too_short", {quoted(file), std::to_string(samples), num2str(rate), num2str(seconds),
                            std::to_string(needed)});
}

std::string too_few_speeds(const std::string& file, long count, long needed, bool up_to_vmax) {
  return text(up_to_vmax ? "few_speeds_vmax" : "few_speeds",
              {quoted(file), std::to_string(count), std::to_string(needed), field("frame_ch1"),
               field("frame_ch2")});
}

std::string same_file(const std::string& key_a, const std::string& file_a, const std::string& key_b,
                      const std::string& file_b) {
  return text("same_file", {field(key_b), quoted(file_b), field(key_a), quoted(file_a)});
}

std::string coast_no_speed() {
  return text("coast_no_speed", {field("coast_loss")});
}

std::string coast_not_found(bool engine) {
  return text(engine ? "coast_coupled" : "coast_none", {field("coast_loss")});
}

std::string coast_too_short(double seconds, double needed) {
  return text("coast_short",
              {num2str(std::round(seconds * 10) / 10), field("coast_loss"), num2str(needed)});
}

std::string coast_span_too_small(double high, double low, double needed) {
  return text("coast_span", {num2str(high), num2str(low), field("coast_loss"),
                             num2str(std::round(needed * 100))});
}

std::string coast_not_decelerating() {
  return text("coast_rising", {field("coast_loss")});
}

std::string coast_irregular(double scatter, double rejected) {
  return text("coast_irregular", {num2str(std::round(scatter * 100)),
                                  num2str(std::round(rejected * 100)), field("coast_loss")});
}

std::string coast_below(double run, double coast) {
  return text("coast_below", {num2str(run), num2str(coast)});
}

std::string ascii_not_created(const std::string& file, const std::string& reason) {
  return "Invalid file identifier. Unable to create file " + quoted(file) + ": " + reason + ".";
}

}  // namespace ziva::messages
