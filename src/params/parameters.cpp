#include "params/parameters.h"

#include "base/error.h"
#include "params/channels.h"
#include "platform/core/text.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

using K = ParamKind;

const std::vector<ParamSpec> kParams = {
    {"total_mass",
     "total_mass",
     "m",
     &ParSet::total_mass_kg,
     K::Number,
     "",
     0,
     "200.0",
     0,
     true,
     {}},
    {"cw_value", "cw_value", "cw", &ParSet::cw, K::Number, "", 0, "0.5", 0, true, {}},
    {"gear_ratio", "gear_ratio", "r", &ParSet::gear_ratio, K::Number, "", 0, "6.32", 0, true, {}},
    {"wheel_perim",
     "wheel_perim",
     "u",
     &ParSet::tyre_perimeter_m,
     K::Number,
     "",
     0,
     "1.325",
     0,
     true,
     {}},
    {"lima", "lima", "l", &ParSet::coils, K::Number, "", 0, "3", 0, true, {}},
    {"filt_length",
     "filt_length",
     "fl",
     &ParSet::filter_length_s,
     K::Number,
     "",
     0,
     "1",
     0,
     true,
     {}},
    {"total_tork",
     "total_tork",
     "J",
     &ParSet::roller_inertia_kgm2,
     K::Number,
     "",
     0,
     "1.08",
     0,
     true,
     {}},
    {"cylin_perim",
     "cylin_perim",
     "ur",
     &ParSet::roller_perimeter_m,
     K::Number,
     "",
     0,
     "0.9321",
     0,
     true,
     {}},
    {"frontal_area",
     "frontalA",
     "A",
     &ParSet::frontal_area_m2,
     K::Number,
     "",
     0,
     "0.75",
     0,
     true,
     {}},
    {"wheel_sens", "wheel_sens", "W", &ParSet::sensors, K::Number, "", 0, "1", 0, true, {}},
    {"add_par_to_comment",
     "add_par",
     "komment",
     &ParSet::add_par_to_comment,
     K::CheckBox,
     "",
     0,
     "",
     0,
     true,
     {}},
    {"cut_Vmax", "cut_Vmax", "cutvmax", &ParSet::cut_vmax, K::CheckBox, "", 0, "", 1, true, {}},
    {"popup_sig_ch1",
     "frame_ch1",
     "sig1",
     &ParSet::sig_ch1,
     K::PopUp,
     "popup_sig",
     4,
     "",
     1,
     true,
     {}},
    {"popup_sig_ch2",
     "frame_ch2",
     "sig2",
     &ParSet::sig_ch2,
     K::PopUp,
     "popup_sig",
     4,
     "",
     1,
     true,
     {}},
    {"popup_xaxis",
     "frame_xaxis",
     "xaxis",
     &ParSet::xaxis,
     K::PopUp,
     "popup_xaxis",
     4,
     "",
     1,
     true,
     {}},
    {"popup_yaxis",
     "frame_yaxis",
     "yaxis",
     &ParSet::yaxis,
     K::PopUp,
     "popup_yaxis",
     12,
     "",
     1,
     true,
     {}},
    {"add_wav_to_comment",
     "add_wav",
     "wav_kom",
     &ParSet::add_wav_to_comment,
     K::CheckBox,
     "",
     0,
     "",
     0,
     true,
     {}},
    {"air_temp", "air_temp", "T", &ParSet::air_temp_c, K::Number, "", 0, "20", 0, true, {}},
    {"air_pres",
     "air_pres",
     "P",
     &ParSet::air_pressure_mbar,
     K::Number,
     "",
     0,
     "1013",
     0,
     true,
     {}},
    // Beyond the first version, in free room of the main window: the humidity below the air and
    // roller rows, the correction standard below the output files.
    {"air_humid", "air_humid", "air_humid", &ParSet::air_humidity_pct, K::Number, "", 0, "0", 0,
     false, ParamPlacement{{0.54, 0.21, 0.29, 0.03}, {0.85, 0.2, 0.105, 0.05}}},
    {"air_corr", "air_corr", "air_corr", &ParSet::air_correction, K::PopUp, "popup_corr", 4, "", 1,
     false, ParamPlacement{{0.035, 0.555, 0.15, 0.03}, {0.19, 0.545, 0.26, 0.05}}},
    {"title_txt", "title", "tit", nullptr, K::Text, "", 0, "Rizid Ziva", 0, true, {}},
    {"auto_trim", "auto_trim", "autotrim", &ParSet::auto_trim, K::CheckBox, "", 0, "", 0, false,
     ParamPlacement{{0, 0, 0, 0}, {0.505, 0.955, 0.23, 0.04}}},
    {"estimator", "estimator", "estim", &ParSet::estimator, K::PopUp, "popup_estimator", 2, "", 1,
     false, ParamPlacement{{0.74, 0.96, 0.09, 0.03}, {0.835, 0.955, 0.125, 0.04}}},
    {"coast_loss", "coast_loss", "coastloss", &ParSet::coast_loss, K::CheckBox, "", 0, "", 0, false,
     ParamPlacement{{0, 0, 0, 0}, {0.035, 0.955, 0.36, 0.04}}},
    {"print_layout", "print_layout", "print_layout", &ParSet::print_layout, K::PopUp,
     "popup_print_layout", 2, "", 1, false,
     ParamPlacement{{0.54, 0.26, 0.2, 0.03}, {0.75, 0.25, 0.205, 0.05}}},
};

}  // namespace

const std::vector<ParamSpec>& param_table() {
  return kParams;
}

const ParamSpec* find_param(const std::string& tag) {
  for (const ParamSpec& s : kParams)
    if (tag == s.tag) return &s;
  return nullptr;
}

ParSet get_par(Env& env) {
  const Record& st = strings();
  const MainWindowView w(env);
  ParSet p;
  for (const ParamSpec& s : kParams) {
    switch (s.kind) {
      case K::Number: {
        std::string text = replace_all(w.text(s.tag), ",", ".");
        auto x = str2num(text);
        if (!x) {
          std::string msg = st_text(st, "error_num2s") + st_text(st, s.caption) + text;
          env.s.error_dialog(msg, "");
          throw ReportedError(msg);
        }
        p.*(s.field) = *x;
        break;
      }
      case K::PopUp:
      case K::CheckBox:
        p.*(s.field) = w.value(s.tag);
        break;
      case K::Text:
        p.title = w.text(s.tag);
        break;
    }
  }
  return p;
}

void set_par(Env& env, const ParSet& p) {
  const MainWindowView w(env);
  for (const ParamSpec& s : kParams) {
    switch (s.kind) {
      case K::Number:
        w.set_text(s.tag, shortest_text(p.*(s.field)));
        break;
      case K::PopUp:
      case K::CheckBox:
        w.set_value(s.tag, p.*(s.field));
        // The right channel's list follows the left channel's entry.
        if (std::string(s.tag) == tag::sig_ch1) adj_par(env);
        break;
      case K::Text:
        w.set_text(s.tag, p.title);
        break;
    }
  }
}

Values par_values(const ParSet& p) {
  Values out;
  for (const ParamSpec& s : kParams) {
    if (s.kind == K::Text) {
      out.emplace_back(p.title);
    } else {
      out.emplace_back(p.*(s.field));
    }
  }
  return out;
}

}  // namespace ziva
