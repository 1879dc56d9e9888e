#include "app/functions.h"

#include <cmath>
#include <cstdio>

#include "app/calc_diag.h"
#include "app/fft_wisdom.h"
#include "app/main_window.h"
#include "app/signal_functions.h"
#include "base/error.h"
#include "base/warning.h"
#include "cut/cut_file_digi.h"
#include "cut/cut_file_spect.h"
#include "cut/save_wav_cut.h"
#include "diagram/ax_lims.h"
#include "diagram/curve_callbacks.h"
#include "diagram/plot_diag.h"
#include "eval/dig2v.h"
#include "eval/wav2v.h"
#include "params/channels.h"
#include "params/par_file.h"
#include "params/parameters.h"
#include "platform/core/adapter.h"
#include "platform/core/callback.h"
#include "plot/figure_helpers.h"
#include "plot/labels.h"
#include "plot/waitbar.h"
#include "ui/file_dialogs.h"
#include "ui/strings.h"

namespace ziva {

namespace {

Values get_par_entry(Env& env, int nargout, const Values&) {
  Values all = par_values(get_par(env));
  all.resize(static_cast<std::size_t>(std::max(nargout, 1)));
  return all;
}

// wav2v and dig2v by name: (Y, FS, l or u, L or W, st) → t, v as columns, with the progress
// window shown while they run. wav2v declares a third output that is never set.
std::tuple<Eigen::MatrixXd, Eigen::MatrixXd> wav2v_call(Env& env, Eigen::MatrixXd Y, double FS,
                                                        double l, double L, Record st) {
  ProgressWindow progress(env, st);
  SpeedTrace s = wav2v(progress, std::move(Y), FS, l, L);
  return {Eigen::MatrixXd(s.t), Eigen::MatrixXd(s.v)};
}

std::tuple<Eigen::MatrixXd, Eigen::MatrixXd> dig2v_call(Env& env, Eigen::MatrixXd Y, double FS,
                                                        double u, double W, Record st) {
  if (Y.rows() == 1 && Y.cols() > 2) Y.transposeInPlace();
  ProgressWindow progress(env, st);
  SpeedTrace s = dig2v(progress, Y, FS, u, W);
  return {Eigen::MatrixXd(s.t), Eigen::MatrixXd(s.v)};
}

void uicontrols_main_v(Env& env, double fig) {
  uicontrols_main(env, fig);
}
Record strings_v() {
  return strings();
}

// The rows in their fixed order; a name without a function is left out.
const char* const kOrder[] = {"zaror_arad",
                              "get_wav_filename",
                              "get_out_filename",
                              "get_print_filename",
                              "calc_diag",
                              "wav2v",
                              "plot_diag",
                              "load_par",
                              "save_par",
                              "set_sdiag_color",
                              "adj_par",
                              "dig2v",
                              "cut_file_spect",
                              "cut_file_digi",
                              "save_wav_cut",
                              "put_wav_filename",
                              "toggle_vis",
                              "ax_lims",
                              "ch_color",
                              "isodd",
                              "uicontrols_main",
                              "isdir",
                              "strings",
                              "butter",
                              "filtfilt",
                              "get_par",
                              "wavread",
                              "resample",
                              "specgram",
                              "waitbar",
                              "title",
                              "xlabel",
                              "clf",
                              "imagesc",
                              "ylabel",
                              "wavwrite",
                              "bilinear",
                              "buttap",
                              "signal/private/iirchk",
                              "lp2bp",
                              "lp2bs",
                              "lp2hp",
                              "lp2lp",
                              "firls",
                              "kaiser",
                              "upfirdn",
                              "czt",
                              "hanning",
                              "signal/private/firchk",
                              "sinc",
                              "signal/private/check_order"};

FunctionTable ordered(const FunctionTable& all) {
  FunctionTable t;
  for (const char* name : kOrder)
    if (const FunctionRow* r = all.find(name)) t.add(*r);
  return t;
}

FunctionTable build_table() {
  FunctionTable t;
  // Each module adds its rows here.
  add_signal_functions(t);
  t.add(row<&zaror_arad>("zaror_arad", 0, 0));
  t.add(row<&get_wav_filename>("get_wav_filename", 0, 0));
  t.add(row<&get_out_filename>("get_out_filename", 0, 0));
  t.add(row<&get_print_filename>("get_print_filename", 0, 0));
  t.add(row<&isdir>("isdir", 1, 1));
  t.add(row<&load_par>("load_par", 1, 0));
  t.add(row<&save_par>("save_par", 0, 0));
  t.add(row<&adj_par>("adj_par", 0, 0));
  t.add(row<&isodd>("isodd", 1, 1));
  t.add(row<&uicontrols_main_v>("uicontrols_main", 1, 0));
  t.add(row<&strings_v>("strings", 0, 1));
  t.add(FunctionRow{"get_par", 0, 20, &get_par_entry});
  t.add(row<&cut_file_spect>("cut_file_spect", 5, 1));
  t.add(row<&cut_file_digi>("cut_file_digi", 6, 1));
  t.add(row<&save_wav_cut>("save_wav_cut", 1, 0));
  t.add(row<&put_wav_filename>("put_wav_filename", 0, 0));
  t.add(row<&calc_diag>("calc_diag", 0, 0));
  t.add(row<&wav2v_call>("wav2v", 5, 3));
  t.add(row<&dig2v_call>("dig2v", 5, 2));
  t.add(FunctionRow{"waitbar", -3, 1, &waitbar_entry});
  t.add(row<&plot_diag>("plot_diag", 7, 0));
  t.add(row<&ax_lims_v>("ax_lims", 4, 3));
  t.add(row<&toggle_vis>("toggle_vis", 1, 0));
  t.add(row<&ch_color>("ch_color", 1, 0));
  t.add(row<&set_sdiag_color>("set_sdiag_color", 0, 0));
  t.add(FunctionRow{"title", -2, 1, &title_entry});
  t.add(FunctionRow{"xlabel", -2, 1, &xlabel_entry});
  t.add(FunctionRow{"ylabel", -2, 1, &ylabel_entry});
  t.add(FunctionRow{"clf", -1, 1, &clf_entry});
  t.add(FunctionRow{"imagesc", -1, 1, &imagesc_entry});
  return ordered(t);
}

}  // namespace

bool isodd(double x) {
  return std::fmod(x, 2.0) == 1.0 || std::fmod(x, 2.0) == -1.0;
}

const FunctionTable& function_table() {
  static const FunctionTable table = build_table();
  return table;
}

Program::Program(Services& services) : env_{graphics_, services, function_table()} {
  static const bool loaded = (load_fft_wisdom(), true);
  (void)loaded;
}

Program::~Program() {
  save_fft_wisdom();
}

bool Program::run(const std::string& callback) {
  ScopedWarningSink sink([this](const std::string& text) { env_.s.show_warning(text); });
  try {
    run_callback(env_, callback);
    return true;
  } catch (const ReportedError& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    env_.s.error_dialog(e.what(), "");
  }
  return false;
}

Values Program::call(const std::string& name, int nargout, Values args) {
  ScopedWarningSink sink([this](const std::string& text) { env_.s.show_warning(text); });
  return env_.f.call(env_, name, nargout, std::move(args));
}

}  // namespace ziva
