// The evaluation driver behind "Berechne Diagramm >>": the WAV file of the main window becomes
// raw speed and engine-speed traces (kept in the trace cache of the "Saved Data" axes), then the
// diagram data handed to plot_diag.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "params/parameters.h"
#include "platform/core/function_table.h"

namespace ziva {

// The raw traces of a run, rows of equal length in the time order of the recording.
struct RawTraces {
  Eigen::RowVectorXd t;    // s
  Eigen::RowVectorXd v;    // m/s
  Eigen::RowVectorXd rpm;  // 1/min
};

// The seven inputs of plot_diag.
struct DiagInputs {
  Eigen::RowVectorXd x;
  Eigen::MatrixXd y;
  Eigen::MatrixXd ccc;  // curve colour, RGB row
  std::string kkk;      // comment text
  double vx = 1;
  double vy = 1;
  double k = 1;
};

// The cache key of the trace-shaping parameters: r, u, l, ur, W, sig_ch1, sig_ch2 as num2str
// texts, joined without separators.
std::string all_par_str(const ParSet& par);
// "Saved Data" + wavfile + all_par_str; the cache lines add "V" and "RPM".
std::string saved_data_tag(const std::string& wavfile, const ParSet& par);

// Linear interpolation of (knots, values) at the increasing times `at`; NaN outside the knots.
// The knots must increase.
Eigen::RowVectorXd interp_linear(const Eigen::VectorXd& knots, const Eigen::VectorXd& values,
                                 const Eigen::RowVectorXd& at);

// The channel step: converts the recording Y (one column per channel) by the row of the channel
// table that matches par.sig_ch1/sig_ch2, after the hand cut when `cut` is set. Speed samples
// whose interpolated engine speed is undefined are dropped. Nothing when both channels are off
// (after the dialog "Linker Kanal: Aus - Rechter Kanal: Aus!"); throws for a pair not in the
// table and when the recording yields no speed sample.
std::optional<RawTraces> channel_traces(Env& env, Eigen::MatrixXd Y, double FS, const ParSet& par,
                                        const Record& st, bool cut);

// Steps 1 to 8 of an evaluation: file name (an empty one opens the file dialog and the evaluation
// starts once more), parameters, the trace cache or the conversions, the result computation.
// Fresh traces enter the cache only after the result computation succeeded: an error leaves the
// cache as it was. Nothing when the run ended early (no file, missing file, both channels off).
std::optional<DiagInputs> calc_diag_inputs(Env& env);

// The whole evaluation: calc_diag_inputs, then plot_diag.
void calc_diag(Env& env);

}  // namespace ziva
