// A two-channel run read block by block: the edges of the wheel-sensor channel and the tone
// channel resampled to the analysis rate, without holding the recording in memory.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>
#include <vector>

namespace ziva {

struct TonePulseChannels {
  std::vector<Eigen::Index> edges;  // pulse_edges of the pulse channel
  Eigen::MatrixXd tone;             // the tone channel at kAnalysisRate, as one column
  double FS = 0;                    // the recording's sampling rate
};

// Reads `file` as wavread does, in blocks of frames. Channels count from 1. Returns nothing when
// the recording does not suit this way (fewer channels than named, no samples, a sampling rate
// the evaluation refuses): reading it whole then gives the errors of the usual way. Throws the
// errors of wavread.
std::optional<TonePulseChannels> read_tone_and_pulses(const std::string& file, int tone_ch,
                                                      int pulse_ch);

}  // namespace ziva
