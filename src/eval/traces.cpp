#include "eval/traces.h"

#include <cmath>

#include "base/error.h"
#include "base/warning.h"
#include "eval/dig2v.h"
#include "eval/input_checks.h"
#include "eval/trace_quality.h"
#include "eval/wav2v.h"
#include "eval/wav_stream.h"
#include "params/channels.h"
#include "platform/core/text.h"
#include "ui/strings.h"

namespace ziva {

namespace {

constexpr const char* kNoSamples = "The recording yields no speed samples.";
constexpr const char* kNoColumn = "Index exceeds matrix dimensions.";

Eigen::RowVectorXd as_row(const Eigen::VectorXd& c) {
  return c.transpose();
}

// Column k (1-based) of the recording.
Eigen::Ref<const Eigen::MatrixXd> channel(const Eigen::MatrixXd& Y, int k) {
  if (k > Y.cols()) throw Error(kNoColumn);
  return Y.col(k - 1);
}

// The recording (k = 0) or its column k as a matrix of its own; column 1 takes over the
// recording's memory.
Eigen::MatrixXd take_channel(Eigen::MatrixXd& Y, int k) {
  if (k == 0) return std::move(Y);
  if (k == 1) {
    if (Y.cols() < 1) throw Error(kNoColumn);
    Y.conservativeResize(Eigen::NoChange, 1);
    return std::move(Y);
  }
  return channel(Y, k);
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

// Alternator engine speed held to the end of the pulse trace s, undefined samples dropped.
RawTraces alternator_with_pulses(const SpeedTrace& n, const SpeedTrace& s) {
  RawTraces r;
  r.t = as_row(s.t);
  r.v = as_row(s.v);
  r.rpm = rpm_held_to_end(n, r.t);
  drop_undefined_rpm(r);
  return r;
}

// The raw traces of the single-channel conversions and the alternator with the roller.
RawTraces from_alternator(const SpeedTrace& s, const ParSet& par) {
  RawTraces r;
  r.t = as_row(s.t);
  r.rpm = as_row(s.v) * 60;
  r.v = as_row(s.v) * par.tyre_perimeter_m / par.gear_ratio;
  return r;
}

RawTraces from_roller(const SpeedTrace& s, const ParSet& par) {
  RawTraces r;
  r.t = as_row(s.t);
  r.v = as_row(s.v) * par.roller_perimeter_m;
  r.rpm = r.v * 60 / par.tyre_perimeter_m * par.gear_ratio;
  return r;
}

RawTraces from_pulses(const SpeedTrace& s, const ParSet& par) {
  if (s.t.size() == 0) throw Error(kNoSamples);
  RawTraces r;
  r.t = as_row(s.t).array() - s.t(0);
  r.v = as_row(s.v);
  r.rpm = r.v * 60 * par.gear_ratio / par.tyre_perimeter_m;
  return r;
}

// Engine speed n (revolutions per second) at the times of the roller trace f.
RawTraces alternator_with_roller(SpeedTrace n, const SpeedTrace& f, const ParSet& par) {
  n.v *= 60;
  RawTraces r;
  r.t = as_row(f.t);
  r.v = as_row(f.v) * par.roller_perimeter_m;
  r.rpm = interp_linear(n.t, n.v, r.t);
  drop_undefined_rpm(r);
  return r;
}

// Warns through the warning channel when the conversion of column `ch` (1 left, 2 right) cannot be
// trusted, in every mode; the trace is handed on unchanged.
SpeedTrace checked(SpeedTrace s, int ch) {
  const TraceVerdict verdict = judge(s.quality);
  if (verdict == TraceVerdict::reliable) return s;
  const Record& st = strings();
  const char* key = verdict == TraceVerdict::noise_only     ? "warn_noise_only"
                    : verdict == TraceVerdict::partly_noise ? "warn_noise_from"
                                                            : "warn_jumps";
  const double share =
      verdict == TraceVerdict::jumping ? s.quality.jump_share : s.quality.weak_share;
  std::string text = st_text(st, key);
  text = replace_all(text, "%s", st_text(st, ch == 2 ? "frame_ch2" : "frame_ch1"));
  text = replace_all(text, "%t", num2str(std::round(s.quality.weak_from * 10) / 10));
  text = replace_all(text, "%p", num2str(std::round(share * 100)));
  text = replace_all(text, "%%", "%");
  warning(text);
  return s;
}

class Converter {
 public:
  Converter(const ConversionContext& ctx, double FS, const ParSet& par)
      : ctx_(ctx), FS_(FS), par_(par), est_(estimator_of(par)) {}

  // Engine revolutions per second from the alternator tone in column `ch` (0: the recording).
  SpeedTrace alternator(Eigen::MatrixXd Y, int ch) {
    return checked(tone(std::move(Y), par_.coils, par_.coils), ch);
  }
  // Roller revolutions per second from the roller tone.
  SpeedTrace roller(Eigen::MatrixXd Y, int ch) {
    return checked(tone(std::move(Y), par_.sensors, roller_L()), ch);
  }
  SpeedTrace pulses(const Eigen::Ref<const Eigen::MatrixXd>& Y, int ch) {
    auto p = open();
    return checked(dig2v(*p, Y, FS_, par_.tyre_perimeter_m, par_.sensors, est_), ch);
  }
  // The speeds of the edges found beforehand in column `ch` of Y (refined there for the precise
  // estimator).
  SpeedTrace pulses(const std::vector<Eigen::Index>& edges, const std::vector<double>& refined,
                    int ch) {
    auto p = open();
    return checked(dig2v_from_edges(*p, edges, FS_, par_.tyre_perimeter_m, par_.sensors, refined),
                   ch);
  }
  bool precise() const { return est_ == Estimator::precise; }
  // Tone periods per roller revolution, seen as periods per engine revolution.
  double roller_L() const {
    return par_.sensors / par_.roller_perimeter_m * par_.tyre_perimeter_m / par_.gear_ratio;
  }

 private:
  SpeedTrace tone(Eigen::MatrixXd Y, double l, double L) {
    auto p = open();
    return wav2v(*p, std::move(Y), FS_, l, L, est_);
  }
  std::unique_ptr<Progress> open() const {
    if (ctx_.progress) return ctx_.progress();
    return std::make_unique<NullProgress>();
  }

  const ConversionContext& ctx_;
  double FS_;
  const ParSet& par_;
  Estimator est_;
  // The quality warnings come with the new methods: the standard evaluation of the whole recording
  // reports exactly what it always did.
};

}  // namespace

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

std::optional<RawTraces> channel_traces(const ConversionContext& ctx, Eigen::MatrixXd Y, double FS,
                                        const ParSet& par) {
  const std::optional<ChannelRow> found = channel_row(par.sig_ch1, par.sig_ch2);
  if (!found)
    throw Error("No conversion for the channel choices " + num2str(par.sig_ch1) + " and " +
                num2str(par.sig_ch2) + ".");
  const ChannelRow& row = *found;
  if (row.conversion == Conversion::None) return std::nullopt;
  Converter conv(ctx, FS, par);

  if (ctx.cut != nullptr) {
    if (row.cut == CutView::Spectrogram) {
      const double L = row.cut_roller_tone ? conv.roller_L() : par.coils;
      Y = ctx.cut->on_spectrogram(Y, FS, row.cut_channel, L);
    } else if (row.cut == CutView::PulseSpeed) {
      std::optional<int> ch;
      if (row.cut_channel != 0) ch = row.cut_channel;
      Y = ctx.cut->on_pulse_speed(Y, FS, par.tyre_perimeter_m, par.sensors, ch);
    }
  }

  RawTraces r;
  switch (row.conversion) {
    case Conversion::Alternator:
      r = from_alternator(conv.alternator(take_channel(Y, row.primary), row.primary), par);
      break;
    case Conversion::Roller:
      r = from_roller(conv.roller(take_channel(Y, row.primary), row.primary), par);
      break;
    case Conversion::Pulses:
      r = from_pulses(
          row.primary == 0 ? conv.pulses(Y, 0) : conv.pulses(channel(Y, row.primary), row.primary),
          par);
      break;
    case Conversion::AlternatorPulses: {
      // The pulse edges are found first, so that an alternator in column 1 can take over the
      // recording's memory without a copy.
      const std::vector<Eigen::Index> edges = pulse_edges(channel(Y, row.secondary));
      std::vector<double> refined;
      if (conv.precise()) refined = refine_edges(channel(Y, row.secondary), edges);
      const SpeedTrace n = conv.alternator(take_channel(Y, row.primary), row.primary);
      const SpeedTrace s = conv.pulses(edges, refined, row.secondary);
      r = alternator_with_pulses(n, s);
      break;
    }
    case Conversion::AlternatorRoller: {
      const SpeedTrace n = conv.alternator(channel(Y, row.primary), row.primary);
      r = alternator_with_roller(n, conv.roller(channel(Y, row.secondary), row.secondary), par);
      break;
    }
    case Conversion::None:
      break;
  }
  if (r.t.size() == 0) throw Error(kNoSamples);
  return r;
}

std::optional<RawTraces> streamed_channel_traces(const ConversionContext& ctx,
                                                 const std::string& file, const ParSet& par) {
  const std::optional<ChannelRow> found = channel_row(par.sig_ch1, par.sig_ch2);
  if (!found || ctx.cut != nullptr) return std::nullopt;
  const ChannelRow& row = *found;
  if (row.conversion == Conversion::None) return std::nullopt;
  // The precise estimator places the edges between samples, from the samples around them.
  const bool refine = estimator_of(par) == Estimator::precise;
  std::vector<StreamedChannel> wanted;
  switch (row.conversion) {
    case Conversion::Alternator:
    case Conversion::Roller:
      wanted = {{row.primary, true}};
      break;
    case Conversion::Pulses:
      wanted = {{row.primary, false, refine}};
      break;
    case Conversion::AlternatorPulses:
      wanted = {{row.primary, true}, {row.secondary, false, refine}};
      break;
    case Conversion::AlternatorRoller:
      wanted = {{row.primary, true}, {row.secondary, true}};
      break;
    case Conversion::None:
      break;
  }
  // The spectra's transforms are built while the recording is read.
  std::vector<double> tone_L;
  if (row.conversion == Conversion::Roller) {
    tone_L.push_back(Converter(ctx, 0, par).roller_L());
  } else if (row.conversion != Conversion::Pulses) {
    tone_L.push_back(par.coils);
    if (row.conversion == Conversion::AlternatorRoller)
      tone_L.push_back(Converter(ctx, 0, par).roller_L());
  }
  std::optional<StreamedRecording> c = read_streamed(file, wanted, 2, [&] {
    for (const double L : tone_L) prepare_tone_spectrum(L);
  });
  if (!c) return std::nullopt;
  check_recording(c->summary, par);
  // The tones arrive resampled to the analysis rate already.
  Converter tone(ctx, kAnalysisRate, par);
  Converter conv(ctx, c->FS, par);
  RawTraces r;
  switch (row.conversion) {
    case Conversion::Alternator:
      r = from_alternator(tone.alternator(std::move(c->tones[0]), row.primary), par);
      break;
    case Conversion::Roller:
      r = from_roller(tone.roller(std::move(c->tones[0]), row.primary), par);
      break;
    case Conversion::Pulses:
      r = from_pulses(conv.pulses(c->edges[0], c->refined[0], row.primary), par);
      break;
    case Conversion::AlternatorPulses: {
      const SpeedTrace n = tone.alternator(std::move(c->tones[0]), row.primary);
      r = alternator_with_pulses(n, conv.pulses(c->edges[0], c->refined[0], row.secondary));
      break;
    }
    case Conversion::AlternatorRoller: {
      const SpeedTrace n = tone.alternator(std::move(c->tones[0]), row.primary);
      r = alternator_with_roller(n, tone.roller(std::move(c->tones[1]), row.secondary), par);
      break;
    }
    case Conversion::None:
      break;
  }
  if (r.t.size() == 0) throw Error(kNoSamples);
  return r;
}

}  // namespace ziva
