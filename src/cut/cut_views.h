// The hand cut as the evaluation asks for it: the spectrogram and pulse-speed cut views.
#pragma once

#include "eval/hand_cut.h"
#include "platform/core/function_table.h"

namespace ziva {

class CutViews : public HandCut {
 public:
  // `show_full_load`: the views mark the full-load part the automatic detection finds.
  CutViews(Env& env, const Record& st, bool show_full_load = false)
      : env_(env), st_(st), show_full_load_(show_full_load) {}
  Eigen::MatrixXd on_spectrogram(const Eigen::MatrixXd& Y, double FS, int ch, double L) override;
  Eigen::MatrixXd on_pulse_speed(const Eigen::MatrixXd& Y, double FS, double u, double W,
                                 std::optional<int> ch) override;

 private:
  Env& env_;
  const Record& st_;
  bool show_full_load_;
};

}  // namespace ziva
