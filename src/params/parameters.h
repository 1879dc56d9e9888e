// The parameter set: the twenty evaluation settings read and validated from the main window.
#pragma once

#include <string>

#include "platform/core/function_table.h"

namespace ziva {

struct ParSet {
  double m = 0, cw = 0, r = 0, u = 0, l = 0, fl = 0, J = 0, ur = 0, A = 0, W = 0;
  double komment = 0, cutvmax = 0, sig_ch1 = 1, sig_ch2 = 1, xaxis = 1, yaxis = 1, wav_kom = 0;
  double T = 0, P = 0;
  std::string tit;
};

// Reads the set from the controls. A text field that does not convert shows the German error
// dialog for the first such field in reading order and raises ReportedError.
ParSet get_par(Env& env);

// The twenty values in output order, for calls by name.
Values par_values(const ParSet& p);

}  // namespace ziva
