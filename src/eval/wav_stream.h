// A recording read piece by piece: each channel asked for becomes its pulse edges or its tone
// resampled to the analysis rate, without holding the recording in memory.
#pragma once

#include <Eigen/Dense>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "eval/input_checks.h"

namespace ziva {

// What one channel is read for.
struct StreamedChannel {
  int column = 1;       // counted from 1; 0 for the mean of columns 1 and 2
  bool tone = false;    // the tone at kAnalysisRate; otherwise the pulse edges
  bool refine = false;  // pulse edges also refined between samples (refine_edges)
};

struct StreamedRecording {
  std::vector<Eigen::MatrixXd> tones;            // the tone channels in the order asked, one column
  std::vector<std::vector<Eigen::Index>> edges;  // pulse_edges of the pulse channels in order
  std::vector<std::vector<double>> refined;      // their refine_edges where asked, else empty
  RecordingSummary summary;                      // summarize_recording of the whole recording
  double FS = 0;                                 // the recording's sampling rate
};

// Reads `file` as wavread does, a piece of frames at a time. Returns nothing when the recording
// does not suit this way (fewer channels than named, a mean of columns that are not exactly two,
// no samples, a sampling rate the evaluation refuses, more than one data chunk): reading it whole
// then gives the errors of the usual way. Throws the errors of wavread. With two `threads` the
// pieces are shared between two threads, one of which first runs `alongside` (the caller's own
// work, done while the recording is read); the result does not depend on the number of threads.
// `alongside` runs only when the recording is read this way.
std::optional<StreamedRecording> read_streamed(const std::string& file,
                                               const std::vector<StreamedChannel>& wanted,
                                               int threads = 2,
                                               const std::function<void()>& alongside = {});

}  // namespace ziva
