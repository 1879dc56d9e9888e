// The channel step of an evaluation: the recording becomes raw speed and engine-speed traces by
// the row of the channel table its channel choices select, after a hand cut when one is asked for.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "base/progress.h"
#include "eval/hand_cut.h"
#include "params/parameters.h"

namespace ziva {

// The raw traces of a run, rows of equal length in the time order of the recording.
struct RawTraces {
  Eigen::RowVectorXd t;    // s
  Eigen::RowVectorXd v;    // m/s
  Eigen::RowVectorXd rpm;  // 1/min
};

// What the conversions need from their surroundings: a progress display per conversion, and the
// hand cut (none: the recording is used whole).
struct ConversionContext {
  ProgressFactory progress;
  HandCut* cut = nullptr;
};

// Linear interpolation of (knots, values) at the increasing times `at`; NaN outside the knots.
// The knots must increase.
Eigen::RowVectorXd interp_linear(const Eigen::VectorXd& knots, const Eigen::VectorXd& values,
                                 const Eigen::RowVectorXd& at);

// Converts the recording Y (one column per channel, rate FS) by the channel-table row of
// par.sig_ch1/sig_ch2. Speed samples whose interpolated engine speed is undefined are dropped.
// Nothing when both channels are off; throws for a pair not in the table and when the recording
// yields no speed sample.
std::optional<RawTraces> channel_traces(const ConversionContext& ctx, Eigen::MatrixXd Y, double FS,
                                        const ParSet& par);

// The same for the recording in `file`, read block by block without holding it whole, for the
// rows that allow it (every row without a hand cut). Nothing when the row or the
// recording does not allow it: channel_traces on the whole recording then does the work and
// reports the errors.
std::optional<RawTraces> streamed_channel_traces(const ConversionContext& ctx,
                                                 const std::string& file, const ParSet& par);

}  // namespace ziva
