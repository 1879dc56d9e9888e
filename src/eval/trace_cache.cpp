#include "eval/trace_cache.h"

#include "base/error.h"
#include "eval/estimator.h"
#include "platform/core/text.h"

namespace ziva {

namespace {

constexpr const char* kSavedData = "Saved Data";

}  // namespace

std::string all_par_str(const ParSet& par) {
  std::string key = num2str(par.gear_ratio) + num2str(par.tyre_perimeter_m) + num2str(par.coils) +
                    num2str(par.roller_perimeter_m) + num2str(par.sensors) + num2str(par.sig_ch1) +
                    num2str(par.sig_ch2);
  // The precise estimator converts differently; the standard one keeps the first version's key.
  // The full-load detection works on the whole traces kept here, so it is no part of the key.
  if (estimator_of(par) != Estimator::standard) key += "E" + num2str(par.estimator);
  return key;
}

std::string saved_data_tag(const std::string& wavfile, const ParSet& par) {
  return kSavedData + wavfile + all_par_str(par);
}

std::optional<RawTraces> cached_traces(const Graphics& g, const std::string& wavfile,
                                       const ParSet& par) {
  const std::string tag = saved_data_tag(wavfile, par);
  const Handle v_line = g.find_first("Tag", tag + "V");
  const Handle rpm_line = g.find_first("Tag", tag + "RPM");
  if (v_line == 0 || rpm_line == 0) return std::nullopt;
  RawTraces raw;
  raw.t = g.get_row(v_line, "XData");
  raw.v = g.get_row(v_line, "YData");
  raw.rpm = g.get_row(rpm_line, "YData");
  return raw;
}

void cache_traces(Graphics& g, const std::string& wavfile, const ParSet& par,
                  const RawTraces& raw) {
  const std::string tag = saved_data_tag(wavfile, par);
  const Handle main = g.find_first("Tag", "Main Figure");
  const Handle saved = g.find_first("Tag", kSavedData);
  if (saved == 0) throw Error("No axes tagged 'Saved Data'.");
  if (main != 0) g.set_current_axes(main, saved);
  g.line(saved, raw.t, raw.v, {{"Tag", tag + "V"}});
  g.line(saved, raw.t, raw.rpm, {{"Tag", tag + "RPM"}});
}

}  // namespace ziva
