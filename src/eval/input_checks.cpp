#include "eval/input_checks.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/error.h"
#include "eval/sample_pairs.h"
#include "eval/wav2v.h"
#include "params/channels.h"
#include "ui/messages.h"

namespace ziva {

namespace {

constexpr double kAnalysisWindow = 1764;  // samples at the analysis rate

// What the two channels carry by the channel table: which columns are read (0 for all columns
// together, 1, 2) and whether a tone (alternator, roller) or pulses are converted.
struct ChannelUse {
  std::vector<int> columns;
  bool alternator = false, pulses = false, roller = false;
  bool known = false;
};

// Nothing known for both channels off and for pairs the conversion reports itself.
ChannelUse channel_use(const ParSet& par) {
  ChannelUse use;
  const std::optional<ChannelRow> row = channel_row(par.sig_ch1, par.sig_ch2);
  if (!row || row->conversion == Conversion::None) return use;
  use.known = true;
  use.columns.push_back(row->primary);
  switch (row->conversion) {
    case Conversion::Alternator:
      use.alternator = true;
      break;
    case Conversion::Pulses:
      use.pulses = true;
      break;
    case Conversion::Roller:
      use.roller = true;
      break;
    case Conversion::AlternatorPulses:
      use.alternator = use.pulses = true;
      use.columns.push_back(row->secondary);
      break;
    case Conversion::AlternatorRoller:
      use.alternator = use.roller = true;
      use.columns.push_back(row->secondary);
      break;
    case Conversion::None:
      break;
  }
  return use;
}

void positive(const char* key, double x) {
  if (!(x > 0) || !std::isfinite(x)) throw Error(messages::must_be_positive(key, x));
}

// Masses, areas and drag coefficients: 0 leaves their term out, a negative value has no meaning.
void not_negative(const char* key, double x) {
  if (!(x >= 0) || !std::isfinite(x)) throw Error(messages::must_not_be_negative(key, x));
}

void finite(const char* key, double x) {
  if (!std::isfinite(x)) throw Error(messages::must_be_finite(key, x));
}

// Whether any of the n samples x[0 … n − 1] is not finite (x − x is 0 exactly for the finite
// ones and NaN for the others, and NaN stays in a sum), and any differs from `first`.
void scan(const double* x, Eigen::Index n, double first, unsigned& bad, unsigned& differs) {
  const Pair f{first, first};
  Pair sum0{0, 0}, sum1{0, 0};
  PairMask d0{0, 0}, d1{0, 0};
  Eigen::Index i = 0;
  for (; i + 4 <= n; i += 4) {
    const Pair v0 = load_pair(x + i), v1 = load_pair(x + i + 2);
    sum0 += v0 - v0;
    sum1 += v1 - v1;
    d0 |= v0 != f;
    d1 |= v1 != f;
  }
  const Pair sum = sum0 + sum1;
  const PairMask d = d0 | d1;
  unsigned tail_bad = !(sum[0] == 0 && sum[1] == 0), tail_differs = d[0] != 0 || d[1] != 0;
  for (; i < n; ++i) {
    tail_bad |= static_cast<unsigned>(!std::isfinite(x[i]));
    tail_differs |= static_cast<unsigned>(x[i] != first);
  }
  bad |= tail_bad;
  differs |= tail_differs;
}

}  // namespace

RecordingSummary summarize_recording(const std::string& file, const Eigen::MatrixXd& Y, double FS) {
  RecordingSummarizer s(file, FS, Y.cols());
  s.feed(Y);
  return s.finish();
}

RecordingSummarizer::RecordingSummarizer(std::string file, double FS, Eigen::Index channels,
                                         std::vector<bool> judged, bool finite)
    : judged_(std::move(judged)), finite_(finite) {
  r_.file = std::move(file);
  r_.rate = FS;
  r_.channels = channels;
  // Per column, and the mean of the first two columns last.
  const auto columns = static_cast<std::size_t>(channels + (channels >= 2 ? 1 : 0));
  bad_.assign(columns, 0);
  differs_.assign(columns, 0);
  r_.first.assign(columns, 0.0);
  judged_.resize(columns, judged_.empty());
}

void RecordingSummarizer::feed(const Eigen::Ref<const Eigen::MatrixXd>& block) {
  const Eigen::Index n = block.rows();
  if (n == 0) return;
  const bool start = r_.samples == 0;
  for (Eigen::Index k = 0; k < r_.channels; ++k) {
    const auto c = static_cast<std::size_t>(k);
    if (!judged_[c]) continue;
    const double* x = block.col(k).data();
    if (start) r_.first[c] = x[0];
    if (!finite_) {
      scan(x, n, r_.first[c], bad_[c], differs_[c]);
    } else if (!differs_[c]) {
      // Known finite samples: only up to the first that differs.
      const double first = r_.first[c];
      differs_[c] = std::find_if(x, x + n, [first](double v) { return v != first; }) != x + n;
    }
  }
  if (r_.channels >= 2 && judged_[static_cast<std::size_t>(r_.channels)]) {
    const auto c = static_cast<std::size_t>(r_.channels);
    const double* a = block.col(0).data();
    const double* b = block.col(1).data();
    if (start) r_.first[c] = (a[0] + b[0]) / 2;
    if (!finite_) {
      // The mean a piece at a time: a whole recording needs no copy of its length.
      constexpr Eigen::Index kPiece = 4096;
      double mean[kPiece];
      for (Eigen::Index from = 0; from < n; from += kPiece) {
        const Eigen::Index m = std::min(kPiece, n - from);
        for (Eigen::Index i = 0; i < m; ++i) mean[i] = (a[from + i] + b[from + i]) / 2;
        scan(mean, m, r_.first[c], bad_[c], differs_[c]);
      }
    } else {
      for (Eigen::Index i = 0; i < n && !differs_[c]; ++i)
        differs_[c] = (a[i] + b[i]) / 2 != r_.first[c];
    }
  }
  r_.samples += n;
}

void RecordingSummarizer::append(const RecordingSummarizer& next) {
  if (next.r_.samples == 0) return;
  if (r_.samples == 0) {
    *this = next;
    return;
  }
  for (std::size_t c = 0; c < bad_.size(); ++c) {
    bad_[c] |= next.bad_[c];
    // The later frames differ from this first sample when any of them differs from their own
    // first one, or that one from this (a sample that is not a number differs from every value).
    differs_[c] |= next.differs_[c] | static_cast<unsigned>(next.r_.first[c] != r_.first[c]);
  }
  r_.samples += next.r_.samples;
}

RecordingSummary RecordingSummarizer::finish() const {
  RecordingSummary r = r_;
  r.finite.clear();
  r.constant.clear();
  for (std::size_t c = 0; c < bad_.size(); ++c) {
    r.finite.push_back(bad_[c] == 0);
    r.constant.push_back(judged_[c] && differs_[c] == 0 && std::isfinite(r.first[c]));
  }
  return r;
}

void check_parameters(const ParSet& par) {
  const ChannelUse use = channel_use(par);
  if (!use.known) return;
  positive("gear_ratio", par.gear_ratio);
  positive("wheel_perim", par.tyre_perimeter_m);
  if (use.alternator) positive("lima", par.coils);
  if (use.pulses) positive("wheel_sens", par.sensors);
  if (use.roller) {
    positive("roll_sens", par.sensors);
    positive("cylin_perim", par.roller_perimeter_m);
  }
  positive("filt_length", par.filter_length_s);
  if (is_roller_run(par.sig_ch1, par.sig_ch2)) {
    not_negative("total_tork", par.roller_inertia_kgm2);
  } else {
    not_negative("total_mass", par.total_mass_kg);
    not_negative("frontalA", par.frontal_area_m2);
  }
  not_negative("cw_value", par.cw);
  finite("air_temp", par.air_temp_c);
  if (!(par.air_temp_c > -273)) throw Error(messages::air_temperature_above_zero(par.air_temp_c));
  if (!(par.air_pressure_mbar > 0) || !std::isfinite(par.air_pressure_mbar))
    throw Error(messages::air_pressure_positive(par.air_pressure_mbar));
}

void check_recording(const RecordingSummary& rec, const ParSet& par) {
  const ChannelUse use = channel_use(par);
  if (!use.known) return;
  if (rec.samples == 0 || rec.channels == 0) throw Error(messages::no_samples(rec.file));
  if (!(rec.rate >= kLowestRate && rec.rate <= kHighestRate))
    throw Error(messages::rate_unusable(rec.file, rec.rate, kLowestRate, kHighestRate));
  for (int column : use.columns) {
    if (column == 2 && rec.channels < 2) throw Error(messages::mono_but_right_channel(rec.file));
    if (column == 0 && rec.channels > 2)
      throw Error(messages::too_many_channels(rec.file, static_cast<long>(rec.channels)));
  }
  // A tone channel needs one window of the analysis.
  const double window = kAnalysisWindow / kAnalysisRate;
  const double needed = std::ceil(kAnalysisWindow * rec.rate / kAnalysisRate);
  if ((use.alternator || use.roller) && static_cast<double>(rec.samples) < needed) {
    throw Error(messages::too_short(rec.file, static_cast<long>(rec.samples), rec.rate, window,
                                    static_cast<long>(needed)));
  }
  for (int column : use.columns) {
    if (column == 0 && rec.channels == 2) {
      // Both columns are averaged: each must hold valid numbers, their mean must vary.
      for (int c : {1, 2})
        if (!rec.finite[static_cast<std::size_t>(c - 1)])
          throw Error(messages::invalid_samples(rec.file, c));
      if (rec.constant[2]) throw Error(messages::silent_channel(rec.file, 0, rec.first[2]));
      continue;
    }
    const int named = column == 0 ? 1 : column;
    const auto k = static_cast<std::size_t>(named - 1);
    if (!rec.finite[k]) throw Error(messages::invalid_samples(rec.file, named));
    if (rec.constant[k]) throw Error(messages::silent_channel(rec.file, named, rec.first[k]));
  }
}

void check_inputs(const RecordingSummary& rec, const ParSet& par) {
  check_parameters(par);
  check_recording(rec, par);
}

void check_speed_samples(const std::string& file, const Eigen::RowVectorXd& v, const ParSet& par) {
  Eigen::Index n = v.size();
  if (par.cut_vmax != 0 && n > 0) {
    // The Vmax cut of the result computation: up to the first highest speed, at most n − 1.
    Eigen::Index best = 0;
    bool found = false;
    for (Eigen::Index i = 0; i < v.size(); ++i) {
      if (std::isnan(v(i))) continue;
      if (!found || v(i) > v(best)) best = i, found = true;
    }
    n = std::min(best + 1, n - 1);
  }
  if (n < kFewestSpeeds) {
    throw Error(messages::too_few_speeds(file, static_cast<long>(n),
                                         static_cast<long>(kFewestSpeeds), par.cut_vmax != 0));
  }
}

}  // namespace ziva
