#include "params/parameters.h"

#include "app/main_window.h"
#include "app/strings.h"
#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

ParSet get_par(Env& env) {
  Record st = strings();
  auto number = [&](const char* tag, const char* caption) {
    std::string text = replace_all(env.g.get_text(control(env, tag), "String"), ",", ".");
    auto x = str2num(text);
    if (!x) {
      std::string msg = st_text(st, "error_num2s") + st_text(st, caption) + text;
      env.s.error_dialog(msg, "");
      throw ReportedError(msg);
    }
    return *x;
  };
  auto choice = [&](const char* tag) { return env.g.get_scalar(control(env, tag), "Value"); };

  ParSet p;
  p.m = number("total_mass", "total_mass");
  p.cw = number("cw_value", "cw_value");
  p.r = number("gear_ratio", "gear_ratio");
  p.u = number("wheel_perim", "wheel_perim");
  p.l = number("lima", "lima");
  p.fl = number("filt_length", "filt_length");
  p.J = number("total_tork", "total_tork");
  p.ur = number("cylin_perim", "cylin_perim");
  p.komment = choice("add_par_to_comment");
  p.wav_kom = choice("add_wav_to_comment");
  p.cutvmax = choice("cut_Vmax");
  p.sig_ch1 = choice("popup_sig_ch1");
  p.sig_ch2 = choice("popup_sig_ch2");
  p.xaxis = choice("popup_xaxis");
  p.yaxis = choice("popup_yaxis");
  p.A = number("frontal_area", "frontalA");
  p.W = number("wheel_sens", "wheel_sens");
  p.T = number("air_temp", "air_temp");
  p.P = number("air_pres", "air_pres");
  p.tit = env.g.get_text(control(env, "title_txt"), "String");
  return p;
}

Values par_values(const ParSet& p) {
  return {p.m,     p.cw,    p.r,       p.u,       p.l,       p.fl,        p.J,
          p.ur,    p.A,     p.W,       p.komment, p.cutvmax, p.sig_ch1,   p.sig_ch2,
          p.xaxis, p.yaxis, p.wav_kom, p.T,       p.P,       Value(p.tit)};
}

}  // namespace ziva
