#include "app/calc_diag.h"

#include <filesystem>

#include "base/warning.h"
#include "cut/cut_views.h"
#include "cut/cut_window.h"
#include "diagram/export.h"
#include "diagram/plot_diag.h"
#include "eval/full_load.h"
#include "eval/input_checks.h"
#include "eval/results.h"
#include "eval/trace_cache.h"
#include "platform/core/text.h"
#include "plot/waitbar.h"
#include "ui/file_dialogs.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"
#include "wav/wav_read.h"

namespace ziva {

std::optional<RawTraces> channel_traces(Env& env, Eigen::MatrixXd Y, double FS, const ParSet& par,
                                        const Record& st, bool cut) {
  CutViews views(env, st, par.auto_trim != 0);
  ConversionContext ctx{progress_windows(env, st), cut ? &views : nullptr};
  std::optional<RawTraces> r = ziva::channel_traces(ctx, std::move(Y), FS, par);
  if (!r) {
    const std::string off = remove_blanks(st_row(st, "popup_sig", 4));
    env.s.error_dialog(
        st_text(st, "frame_ch1") + " " + off + " - " + st_text(st, "frame_ch2") + " " + off + "!",
        "");
  }
  return r;
}

std::optional<DiagInputs> calc_diag_inputs(Env& env) {
  Record st = strings();
  // While a cut window waits for its range, its evaluation is still running: a second one
  // would stack another cut window on it. The waiting window comes to the front instead.
  if (const Handle cut_ax = env.g.find_first("Tag", cut_axes_tag(st)); cut_ax != 0) {
    env.g.make_current(env.g.parent(cut_ax));
    return std::nullopt;
  }
  const MainWindowView w(env);
  std::string wavfile = w.wav_file();
  if (wavfile.empty()) {
    get_wav_filename(env);
    if (w.wav_file().empty()) return std::nullopt;
    st = strings();
    wavfile = w.wav_file();
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(wavfile, ec)) {
    env.s.error_dialog(st_text(st, "file_not_f") + "\n" + wavfile, st_text(st, "file_error"));
    return std::nullopt;
  }

  const ParSet par = get_par(env);
  check_outputs(wavfile, w.out_file(), w.print_file());
  check_parameters(par);
  std::optional<RawTraces> raw = cached_traces(env.g, wavfile, par);
  const bool cached = raw.has_value();
  if (!cached && !w.cut_by_hand()) {
    // Without the whole recording in memory where the channels allow it.
    const ConversionContext ctx{progress_windows(env, st), nullptr};
    raw = streamed_channel_traces(ctx, wavfile, par);
  }
  if (!cached && !raw) {
    WavReadResult wav = wavread(wavfile);
    check_recording(summarize_recording(wavfile, wav.y, wav.Fs), par);
    raw = channel_traces(env, std::move(wav.y), wav.Fs, par, st, w.cut_by_hand());
    if (!raw) return std::nullopt;
  }

  // The cache keeps the whole traces; the full-load detection picks its part for each evaluation.
  const IndexRange range = full_load_range(*raw, par);
  check_speed_samples(wavfile, raw->v.segment(range.first, range.last - range.first + 1), par);
  // The cache is written only once the result computation has succeeded, so that a failing
  // evaluation leaves it as it was. A hand cut may have named a new file meanwhile.
  const DiagData d = evaluate_range(*raw, par, range);
  if (!d.air_warning.empty()) warning(d.air_warning);
  if (!cached) cache_traces(env.g, w.wav_file(), par, *raw);

  DiagInputs in;
  in.x = d.x;
  in.y = d.y;
  in.k = d.k;
  in.ccc = w.curve_colour();
  in.kkk = w.comment();
  in.vx = par.xaxis;
  in.vy = par.yaxis;
  if (d.load) {
    LossNote& l = in.loss.emplace();
    l.roller = d.load->roller;
    l.coefficients = d.load_coefficients;
    l.from_kmh = d.load->high * 3.6;
    l.to_kmh = d.load->low * 3.6;
    l.at_peak_kw = d.loss_at_peak_kw;
  }
  return in;
}

void calc_diag(Env& env) {
  std::optional<DiagInputs> in = calc_diag_inputs(env);
  if (!in) return;
  plot_diag_with_loss(env, in->x, in->y, in->ccc, in->kkk, in->vx, in->vy, in->k, in->loss);
}

}  // namespace ziva
