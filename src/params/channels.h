// The channel vocabulary: the four sources a channel of the recording can carry and the table of
// the thirteen channel combinations the evaluation knows (conversion, cut view, formula, summary).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/core/function_table.h"

namespace ziva {

enum class Source { Alternator, WheelSensors, Roller, Off };

// How the two channels become speed and engine-speed traces.
enum class Conversion {
  Alternator,        // engine speed from the tone; speed through gear ratio and tyre
  Pulses,            // speed from the wheel sensors; engine speed through the ratio
  Roller,            // speed from the roller tone
  AlternatorPulses,  // engine speed from the tone, speed from the wheel sensors
  AlternatorRoller,  // engine speed from the tone, speed from the roller tone
  None,              // both channels off
};

enum class CutView { None, Spectrogram, PulseSpeed };

// The layout of the parameter summary added to a curve's comment.
enum class Summary { None, Road, RoadSensors, RoadPulses, RollerSensors, RollerRoller };

struct ChannelRow {
  int ch1 = 0;  // entry of the left channel's pop-up
  int ch2 = 0;  // entry of the right channel's pop-up (its list depends on ch1)
  Source left = Source::Off;
  Source right = Source::Off;
  Conversion conversion = Conversion::None;
  int primary = 0;    // column of the tone (or pulses): 1, 2, or 0 for the whole recording
  int secondary = 0;  // column of the speed channel of a two-channel conversion
  CutView cut = CutView::None;
  int cut_channel = 0;           // column the cut view shows; 0: both (pulse view)
  bool cut_roller_tone = false;  // the spectrogram shows the roller's tone, not the alternator's
  bool roller = false;           // the roller formula applies
  Summary summary = Summary::None;
};

// The thirteen rows in the order of their pop-up entries (11, 12, 13, 14, 21, … 44).
const std::vector<ChannelRow>& channel_table();

// The row of the pop-up entries (ch1, ch2); none for a pair the table does not hold.
std::optional<ChannelRow> channel_row(double ch1, double ch2);

// The UI text field holding the right channel's list for the left channel's entry `ch1`.
const char* right_list_field(int ch1);

// The source of each pop-up entry: the left list, and the right list that follows the left entry.
std::optional<Source> left_source(double ch1);
std::optional<Source> right_source(double ch1, double ch2);

// True when one of the channels carries the inertia roller (entries outside the lists included,
// by the left channel alone).
bool is_roller_run(double sig_ch1, double sig_ch2);

// Keeps channel 2's list, the roller fields and the sensor caption consistent with the channels.
void adj_par(Env& env);

}  // namespace ziva
