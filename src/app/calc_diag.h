// The evaluation driver behind "Berechne Diagramm >>": the WAV file of the main window becomes
// raw speed and engine-speed traces (kept in the trace cache), then the diagram data handed to
// plot_diag.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

#include "diagram/export.h"
#include "eval/traces.h"
#include "platform/core/function_table.h"

namespace ziva {

// The inputs of plot_diag.
struct DiagInputs {
  Eigen::RowVectorXd x;
  Eigen::MatrixXd y;
  Eigen::MatrixXd ccc;  // curve colour, RGB row
  std::string kkk;      // comment text
  double vx = 1;
  double vy = 1;
  double k = 1;
  std::optional<LossNote> loss;  // the load measured from the coast (par.coast_loss)
};

// The channel step on the desktop: channel_traces with progress windows and, when `cut`, the
// hand-cut views; the dialog "Linker Kanal: Aus - Rechter Kanal: Aus!" when both channels are
// off (then nothing).
std::optional<RawTraces> channel_traces(Env& env, Eigen::MatrixXd Y, double FS, const ParSet& par,
                                        const Record& st, bool cut);

// Steps 1 to 8 of an evaluation: file name (an empty one opens the file dialog and the evaluation
// starts once more), parameters, the trace cache or the conversions, the result computation.
// Fresh traces enter the cache only after the result computation succeeded: an error leaves the
// cache as it was. Nothing when the run ended early (no file, missing file, both channels off)
// or when the cut window of a running evaluation waits (that window becomes the current one).
std::optional<DiagInputs> calc_diag_inputs(Env& env);

// The whole evaluation: calc_diag_inputs, then plot_diag.
void calc_diag(Env& env);

}  // namespace ziva
