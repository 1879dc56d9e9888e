#include "cut/cut_views.h"

#include "cut/cut_file_digi.h"
#include "cut/cut_file_spect.h"

namespace ziva {

Eigen::MatrixXd CutViews::on_spectrogram(const Eigen::MatrixXd& Y, double FS, int ch, double L) {
  return cut_on_spectrogram(env_, Y, FS, ch, L, st_, show_full_load_);
}

Eigen::MatrixXd CutViews::on_pulse_speed(const Eigen::MatrixXd& Y, double FS, double u, double W,
                                         std::optional<int> ch) {
  std::optional<Eigen::MatrixXd> columns;
  if (ch) columns = Eigen::MatrixXd::Constant(1, 1, *ch);
  return cut_on_pulse_speed(env_, Y, FS, u, W, st_, columns, show_full_load_);
}

}  // namespace ziva
