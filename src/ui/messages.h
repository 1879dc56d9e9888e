// The texts of the input checks and of outputs that cannot be written, in the language chosen
// (German unless another was chosen; a text without translation shows in German): naming the
// field or the file and what to change. Field captions come from the UI text record (strings()).
#pragma once

#include <string>

namespace ziva::messages {

// Field names: the caption of a field of the UI text record without its trailing colon.
std::string field(const std::string& key);

// Parameters.
std::string must_be_positive(const std::string& key, double value);
std::string must_be_finite(const std::string& key, double value);
// Not below 0 and finite (masses, areas, drag coefficients).
std::string must_not_be_negative(const std::string& key, double value);
std::string air_pressure_positive(double value);
std::string air_temperature_above_zero(double value);

// The recording.
std::string no_samples(const std::string& file);
std::string rate_unusable(const std::string& file, double rate, double lowest, double highest);
std::string mono_but_right_channel(const std::string& file);
std::string too_many_channels(const std::string& file, long channels);
// `channel` is 1 (left), 2 (right) or 0 (both averaged).
std::string invalid_samples(const std::string& file, int channel);
std::string silent_channel(const std::string& file, int channel, double value);
// A tone channel needs `seconds`, that is `needed` samples at `rate`.
std::string too_short(const std::string& file, long samples, double rate, double seconds,
                      long needed);
std::string too_few_speeds(const std::string& file, long count, long needed, bool up_to_vmax);

// The coast after the run, for the losses measured from it (the field "coast_loss").
// The channels follow the engine only.
std::string coast_no_speed();
// No coast after full load: with an engine channel (`engine`) the engine stays coupled; with a
// speed channel alone the speed does not fall after its highest value.
std::string coast_not_found(bool engine);
std::string coast_too_short(double seconds, double needed);
// The speed falls only from `high` to `low` km/h, less than the share `needed`.
std::string coast_span_too_small(double high, double low, double needed);
std::string coast_not_decelerating();
// The deceleration scatters by the share `scatter` of the force; the share `rejected` of the
// samples fits no smooth load.
std::string coast_irregular(double scatter, double rejected);
// Warning: the run reaches down to `run` km/h, more than a third below the coast's lowest speed
// `coast` km/h.
std::string coast_below(double run, double coast);
// Times typed into a cut view's start or end field (keys "cut_start", "cut_end"): not a number,
// outside the recording of `duration` seconds, or not before the end (start) / after the start
// (end) at `other`.
std::string cut_time_not_number(const std::string& key, const std::string& typed);
std::string cut_time_outside(const std::string& key, double value, double duration);
std::string cut_time_order(const std::string& key, double value, double other);

// Outputs.
// An output field names the same file as another field; keys "wav_files", "out_files",
// "print_files".
std::string same_file(const std::string& key_a, const std::string& file_a, const std::string& key_b,
                      const std::string& file_b);
// The ASCII table cannot be created: the platform's text, then the file and the reason.
std::string ascii_not_created(const std::string& file, const std::string& reason);

}  // namespace ziva::messages
