// Checks of an evaluation's inputs before the conversions: the parameters the channel choice
// uses, the recording's rate, channels and samples, and the number of speed samples the
// conversions gave. Each throws ziva::Error with a German text that names the field or the file
// and what is wrong.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "params/parameters.h"
#include "wav/sample_rates.h"

namespace ziva {

// Speed samples the result computation needs (its zero-phase filter needs more than nine).
inline constexpr Eigen::Index kFewestSpeeds = 10;

// What the checks need to know of a recording.
struct RecordingSummary {
  std::string file;
  double rate = 0;
  Eigen::Index samples = 0;
  Eigen::Index channels = 0;
  // Per column, and as the last element for the mean of the first two columns (when there are
  // two or more): every sample finite; every sample equal, and to which value.
  std::vector<bool> finite, constant;
  std::vector<double> first;
};

RecordingSummary summarize_recording(const std::string& file, const Eigen::MatrixXd& Y, double FS);

// The same summary of a recording that arrives in blocks of frames (one column per channel).
// `judged` names the entries (columns, then the mean) that are looked at, all when empty; the
// others are given as finite and varying. With `finite`, the samples are known to be finite
// (as those of integer formats are): only whether they vary is looked at, up to the first one
// that differs.
class RecordingSummarizer {
 public:
  RecordingSummarizer(std::string file, double FS, Eigen::Index channels,
                      std::vector<bool> judged = {}, bool finite = false);
  void feed(const Eigen::Ref<const Eigen::MatrixXd>& block);
  // Takes over the summary of the frames that follow those fed here (a summarizer of the same
  // file and channels that was fed them).
  void append(const RecordingSummarizer& next);
  RecordingSummary finish() const;

 private:
  RecordingSummary r_;
  std::vector<unsigned> bad_, differs_;  // a sample not finite, a sample unlike the first
  std::vector<bool> judged_;
  bool finite_ = false;
};

// The parameters the channel choice par.sig_ch1/sig_ch2 uses.
void check_parameters(const ParSet& par);
// The recording against the channel choice: samples, rate, channels, valid and varying samples,
// at least one analysis window for a tone channel.
void check_recording(const RecordingSummary& rec, const ParSet& par);
// Throws check_parameters' and check_recording's errors.
void check_inputs(const RecordingSummary& rec, const ParSet& par);
// Enough speed samples (up to the highest speed with the Vmax cut) for the result computation.
void check_speed_samples(const std::string& file, const Eigen::RowVectorXd& v, const ParSet& par);

}  // namespace ziva
