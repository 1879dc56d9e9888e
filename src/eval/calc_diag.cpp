#include "eval/calc_diag.h"

#include <cmath>
#include <filesystem>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/strings.h"
#include "base/error.h"
#include "diagram/plot_diag.h"
#include "eval/dig2v.h"
#include "eval/hand_cut.h"
#include "eval/results.h"
#include "eval/wav2v.h"
#include "platform/core/text.h"
#include "wav/wav_read.h"

namespace ziva {

namespace {

constexpr const char* kSavedData = "Saved Data";
constexpr const char* kNoSamples = "The recording yields no speed samples.";

Eigen::RowVectorXd as_row(const Eigen::VectorXd& c) {
  return c.transpose();
}

// Column k (1-based) of the recording.
Eigen::Ref<const Eigen::MatrixXd> channel(const Eigen::MatrixXd& Y, int k) {
  if (k > Y.cols()) throw Error("Index exceeds matrix dimensions.");
  return Y.col(k - 1);
}

// Keeps the samples whose engine speed is defined.
void drop_undefined_rpm(RawTraces& r) {
  Eigen::Index kept = 0;
  for (Eigen::Index i = 0; i < r.t.size(); ++i) {
    if (std::isnan(r.rpm(i))) continue;
    r.t(kept) = r.t(i);
    r.v(kept) = r.v(i);
    r.rpm(kept) = r.rpm(i);
    ++kept;
  }
  r.t.conservativeResize(kept);
  r.v.conservativeResize(kept);
  r.rpm.conservativeResize(kept);
}

// Engine speed of a tone channel (1/s) at the times of a pulse trace, the last engine speed held
// up to the end of the pulse trace; ·60 for 1/min.
Eigen::RowVectorXd rpm_held_to_end(const SpeedTrace& tone, const Eigen::RowVectorXd& t) {
  Eigen::VectorXd knots = tone.t;
  Eigen::VectorXd values = tone.v;
  const Eigen::Index n = knots.size();
  if (n > 0 && t.size() > 0 && t(t.size() - 1) > knots(n - 1)) {
    knots.conservativeResize(n + 1);
    values.conservativeResize(n + 1);
    knots(n) = t(t.size() - 1);
    values(n) = values(n - 1);
  }
  return interp_linear(knots, values, t) * 60;
}

// A pulse-channel run: speed from dig2v, time from 0, engine speed through the ratio.
RawTraces pulse_only(const SpeedTrace& s, const ParSet& par) {
  if (s.t.size() == 0) throw Error(kNoSamples);
  RawTraces r;
  r.t = as_row(s.t).array() - s.t(0);
  r.v = as_row(s.v);
  r.rpm = r.v * 60 * par.r / par.u;
  return r;
}

// An alternator-only run: engine revolutions per second f.
RawTraces alternator_only(const SpeedTrace& s, const ParSet& par) {
  RawTraces r;
  r.t = as_row(s.t);
  r.rpm = as_row(s.v) * 60;
  r.v = as_row(s.v) * par.u / par.r;
  return r;
}

// A roller-only run: roller revolutions per second f.
RawTraces roller_only(const SpeedTrace& s, const ParSet& par) {
  RawTraces r;
  r.t = as_row(s.t);
  r.v = as_row(s.v) * par.ur;
  r.rpm = r.v * 60 / par.u * par.r;
  return r;
}

// Alternator on one channel and wheel sensors on the other. The pulse edges are found first, so
// that an alternator in column 1 can take over the recording's memory without a copy.
RawTraces alternator_with_pulses(Env& env, Eigen::MatrixXd& Y, double FS, const ParSet& par,
                                 const Record& st, int alt_ch, int pulse_ch, double L) {
  const std::vector<Eigen::Index> edges = pulse_edges(channel(Y, pulse_ch));
  Eigen::MatrixXd tone;
  if (alt_ch == 1) {
    Y.conservativeResize(Eigen::NoChange, 1);
    tone = std::move(Y);
  } else {
    tone = channel(Y, alt_ch);
  }
  const SpeedTrace n = wav2v(env, std::move(tone), FS, par.l, L, st);
  const SpeedTrace s = dig2v_from_edges(env, edges, FS, par.u, par.W, st);
  RawTraces r;
  r.t = as_row(s.t);
  r.v = as_row(s.v);
  r.rpm = rpm_held_to_end(n, r.t);
  drop_undefined_rpm(r);
  return r;
}

// Alternator on one channel and the inertia roller on the other.
RawTraces alternator_with_roller(Env& env, const Eigen::MatrixXd& Y, double FS, const ParSet& par,
                                 const Record& st, int alt_ch, int roller_ch, double L) {
  SpeedTrace n = wav2v(env, channel(Y, alt_ch), FS, par.l, L, st);
  n.v *= 60;
  const double L_roller = par.W / par.ur * par.u / par.r;
  const SpeedTrace f = wav2v(env, channel(Y, roller_ch), FS, par.W, L_roller, st);
  RawTraces r;
  r.t = as_row(f.t);
  r.v = as_row(f.v) * par.ur;
  r.rpm = interp_linear(n.t, n.v, r.t);
  drop_undefined_rpm(r);
  return r;
}

}  // namespace

std::string all_par_str(const ParSet& par) {
  return num2str(par.r) + num2str(par.u) + num2str(par.l) + num2str(par.ur) + num2str(par.W) +
         num2str(par.sig_ch1) + num2str(par.sig_ch2);
}

std::string saved_data_tag(const std::string& wavfile, const ParSet& par) {
  return kSavedData + wavfile + all_par_str(par);
}

Eigen::RowVectorXd interp_linear(const Eigen::VectorXd& knots, const Eigen::VectorXd& values,
                                 const Eigen::RowVectorXd& at) {
  Eigen::RowVectorXd out(at.size());
  const Eigen::Index n = knots.size();
  Eigen::Index j = 0;
  for (Eigen::Index i = 0; i < at.size(); ++i) {
    const double x = at(i);
    if (n == 0 || !(x >= knots(0) && x <= knots(n - 1))) {
      out(i) = std::nan("");
      continue;
    }
    if (j > 0 && x < knots(j)) j = 0;  // times that do not increase start the search again
    while (j + 1 < n && knots(j + 1) <= x) ++j;
    if (knots(j) == x || j + 1 == n) {
      out(i) = values(j);
    } else {
      const double s = (x - knots(j)) / (knots(j + 1) - knots(j));
      out(i) = values(j) + s * (values(j + 1) - values(j));
    }
  }
  return out;
}

std::optional<RawTraces> channel_traces(Env& env, Eigen::MatrixXd Y, double FS, const ParSet& par,
                                        const Record& st, bool cut) {
  const int c1 = static_cast<int>(par.sig_ch1);
  const int c2 = static_cast<int>(par.sig_ch2);
  double L = par.l;
  const double L_roller = par.W / par.ur * par.u / par.r;
  auto spect_cut = [&](int ch, double Lc) {
    if (cut) Y = hand_cut_spect(env, Y, FS, ch, Lc, st);
  };
  auto digi_cut = [&](std::optional<int> ch) {
    if (cut) Y = hand_cut_digi(env, Y, FS, par.u, par.W, st, ch);
  };
  RawTraces r;
  const bool whole = par.sig_ch1 == c1 && par.sig_ch2 == c2;
  const int row = whole ? c1 * 10 + c2 : 0;
  switch (row) {
    case 11:
      spect_cut(1, L);
      r = alternator_only(wav2v(env, std::move(Y), FS, par.l, L, st), par);
      break;
    case 12:
      spect_cut(1, L);
      r = alternator_with_pulses(env, Y, FS, par, st, 1, 2, L);
      break;
    case 13:
      spect_cut(1, L);
      r = alternator_with_roller(env, Y, FS, par, st, 1, 2, L);
      break;
    case 14:
      spect_cut(1, L);
      if (Y.cols() < 1) throw Error("Index exceeds matrix dimensions.");
      Y.conservativeResize(Eigen::NoChange, 1);  // channel 2 is not used: no copy of channel 1
      r = alternator_only(wav2v(env, std::move(Y), FS, par.l, L, st), par);
      break;
    case 21:
      spect_cut(2, L);
      r = alternator_with_pulses(env, Y, FS, par, st, 2, 1, L);
      break;
    case 22:
      digi_cut(std::nullopt);
      r = pulse_only(dig2v(env, Y, FS, par.u, par.W, st), par);
      break;
    case 23:
      digi_cut(1);
      r = pulse_only(dig2v(env, channel(Y, 1), FS, par.u, par.W, st), par);
      break;
    case 31:
      spect_cut(2, L);
      r = alternator_with_roller(env, Y, FS, par, st, 2, 1, L);
      break;
    case 32:
      L = L_roller;
      spect_cut(1, L);
      r = roller_only(wav2v(env, std::move(Y), FS, par.W, L, st), par);
      break;
    case 33:
      L = L_roller;
      spect_cut(1, L);
      if (Y.cols() < 1) throw Error("Index exceeds matrix dimensions.");
      Y.conservativeResize(Eigen::NoChange, 1);
      r = roller_only(wav2v(env, std::move(Y), FS, par.W, L, st), par);
      break;
    case 41:
      spect_cut(2, L);
      r = alternator_only(wav2v(env, channel(Y, 2), FS, par.l, L, st), par);
      break;
    case 42:
      digi_cut(2);
      r = pulse_only(dig2v(env, channel(Y, 2), FS, par.u, par.W, st), par);
      break;
    case 43:
      L = L_roller;
      spect_cut(2, L);
      r = roller_only(wav2v(env, channel(Y, 2), FS, par.W, L, st), par);
      break;
    case 44: {
      const std::string off = remove_blanks(st_row(st, "popup_sig", 4));
      env.s.error_dialog(
          st_text(st, "frame_ch1") + " " + off + " - " + st_text(st, "frame_ch2") + " " + off + "!",
          "");
      return std::nullopt;
    }
    default:
      throw Error("No conversion for the channel choices " + num2str(par.sig_ch1) + " and " +
                  num2str(par.sig_ch2) + ".");
  }
  if (r.t.size() == 0) throw Error(kNoSamples);
  return r;
}

std::optional<DiagInputs> calc_diag_inputs(Env& env) {
  Record st = strings();
  Handle wav_field = control(env, "wav_file");
  std::string wavfile = env.g.get_text(wav_field, "String");
  if (wavfile.empty()) {
    get_wav_filename(env);
    if (env.g.get_text(wav_field, "String").empty()) return std::nullopt;
    st = strings();
    wavfile = env.g.get_text(wav_field, "String");
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(wavfile, ec)) {
    env.s.error_dialog(st_text(st, "file_not_f") + "\n" + wavfile, st_text(st, "file_error"));
    return std::nullopt;
  }

  const ParSet par = get_par(env);
  std::string tag = saved_data_tag(wavfile, par);
  const Handle v_line = env.g.find_first("Tag", tag + "V");
  const Handle rpm_line = env.g.find_first("Tag", tag + "RPM");
  const Handle main = env.g.find_first("Tag", "Main Figure");

  RawTraces raw;
  const bool cached = v_line != 0 && rpm_line != 0;
  if (!cached) {
    WavReadResult wav = wavread(wavfile);
    const bool cut = env.g.get_scalar(control(env, "cut_File"), "Value") == 1;
    std::optional<RawTraces> traces = channel_traces(env, std::move(wav.y), wav.Fs, par, st, cut);
    if (!traces) return std::nullopt;
    raw = std::move(*traces);
  } else {
    raw.t = env.g.get_row(v_line, "XData");
    raw.v = env.g.get_row(v_line, "YData");
    raw.rpm = env.g.get_row(rpm_line, "YData");
  }

  // The cache is written only once the result computation has succeeded, so that a failing
  // evaluation leaves it as it was.
  const DiagData d = compute_results(raw.t, raw.v, raw.rpm, par);
  if (!cached) {
    wavfile = env.g.get_text(wav_field, "String");
    tag = saved_data_tag(wavfile, par);
    const Handle saved = env.g.find_first("Tag", kSavedData);
    if (saved == 0) throw Error("No axes tagged 'Saved Data'.");
    if (main != 0) env.g.set_current_axes(main, saved);
    env.g.line(saved, raw.t, raw.v, {{"Tag", tag + "V"}});
    env.g.line(saved, raw.t, raw.rpm, {{"Tag", tag + "RPM"}});
  }

  DiagInputs in;
  in.x = d.x;
  in.y = d.y;
  in.k = d.k;
  in.ccc = env.g.get(control(env, "set_sdiag_color"), "BackgroundColor").num();
  in.kkk = env.g.get_text(control(env, "comment_spect_diag"), "String");
  in.vx = par.xaxis;
  in.vy = par.yaxis;
  return in;
}

void calc_diag(Env& env) {
  std::optional<DiagInputs> in = calc_diag_inputs(env);
  if (!in) return;
  plot_diag(env, in->x, in->y, in->ccc, in->kkk, in->vx, in->vy, in->k);
}

}  // namespace ziva
