// The trace cache: the raw traces of each evaluated recording, kept as hidden lines of the main
// window's "Saved Data" axes under a tag made of the file name and the trace-shaping parameters.
#pragma once

#include <optional>
#include <string>

#include "eval/traces.h"
#include "platform/core/graphics.h"

namespace ziva {

// The cache key of the trace-shaping parameters: r, u, l, ur, W, sig_ch1, sig_ch2 as num2str
// texts, joined without separators, and "E2" for the precise estimator.
std::string all_par_str(const ParSet& par);
// "Saved Data" + wavfile + all_par_str; the cache lines add "V" and "RPM".
std::string saved_data_tag(const std::string& wavfile, const ParSet& par);

// The cached traces of `wavfile` under `par`; none when they were not evaluated before.
std::optional<RawTraces> cached_traces(const Graphics& g, const std::string& wavfile,
                                       const ParSet& par);
// Keeps the traces in the cache (the "Saved Data" axes become the main window's current axes).
// Throws when the main window has no "Saved Data" axes.
void cache_traces(Graphics& g, const std::string& wavfile, const ParSet& par, const RawTraces& raw);

}  // namespace ziva
