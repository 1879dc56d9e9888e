#include "app/main_window.h"

#include <filesystem>

#include "base/error.h"
#include "params/par_file.h"
#include "params/parameters.h"
#include "platform/core/text.h"
#include "ui/strings.h"

namespace ziva {

namespace {

struct ControlSpec {
  const char* style;
  const char* tag;      // "" for none
  const char* caption;  // UI text field, or a literal default with a leading '='
  double pos[4];
  const char* align;  // "" for the platform's default
  const char* callback;
};

// The controls in creation order.
const ControlSpec kControls[] = {
    {"frame", "", "", {0.03, 0.53, 0.43, 0.42}, "", ""},
    {"frame", "", "", {0.03, 0.9, 0.43, 0.05}, "", ""},
    {"text", "", "frame_files", {0.04, 0.91, 0.28, 0.03}, "left", ""},
    {"text", "", "wav_files", {0.035, 0.86, 0.33, 0.03}, "left", ""},
    {"edit", "wav_file", "=", {0.035, 0.8, 0.365, 0.05}, "right", ""},
    {"pushbutton", "", "get_file", {0.41, 0.8, 0.04, 0.05}, "", "get_wav_filename;"},
    {"text", "", "out_files", {0.035, 0.76, 0.33, 0.03}, "left", ""},
    {"edit", "out_file", "=", {0.035, 0.7, 0.365, 0.05}, "right", ""},
    {"pushbutton", "", "get_file", {0.41, 0.7, 0.04, 0.05}, "", "get_out_filename;"},
    {"text", "", "print_files", {0.035, 0.66, 0.33, 0.03}, "left", ""},
    {"edit", "print_file", "=", {0.035, 0.6, 0.365, 0.05}, "right", ""},
    {"pushbutton", "", "get_file", {0.41, 0.6, 0.04, 0.05}, "", "get_print_filename;"},
    {"frame", "", "", {0.03, 0.04, 0.94, 0.48}, "", ""},
    {"frame", "", "", {0.03, 0.46, 0.94, 0.07}, "", ""},
    {"text", "", "frame_ch1", {0.04, 0.48, 0.15, 0.03}, "right", ""},
    {"popupmenu", "popup_sig_ch1", "popup_sig", {0.2, 0.47, 0.28, 0.05}, "left", "adj_par"},
    {"text", "", "frame_ch2", {0.5, 0.48, 0.15, 0.03}, "right", ""},
    {"popupmenu", "popup_sig_ch2", "popup_sig", {0.66, 0.47, 0.3, 0.05}, "left", "adj_par"},
    {"text", "total_mass_txt", "total_mass", {0.04, 0.41, 0.29, 0.03}, "right", ""},
    {"edit", "total_mass", "=", {0.35, 0.4, 0.105, 0.05}, "center", ""},
    {"text", "cw_value_txt", "cw_value", {0.04, 0.36, 0.29, 0.03}, "right", ""},
    {"edit", "cw_value", "=", {0.35, 0.35, 0.105, 0.05}, "center", ""},
    {"text", "frontal_area_txt", "frontalA", {0.04, 0.31, 0.29, 0.03}, "right", ""},
    {"edit", "frontal_area", "=", {0.35, 0.3, 0.105, 0.05}, "center", ""},
    {"text", "", "gear_ratio", {0.04, 0.26, 0.29, 0.03}, "right", ""},
    {"edit", "gear_ratio", "=", {0.35, 0.25, 0.105, 0.05}, "center", ""},
    {"text", "", "wheel_perim", {0.04, 0.21, 0.29, 0.03}, "right", ""},
    {"edit", "wheel_perim", "=", {0.35, 0.2, 0.105, 0.05}, "center", ""},
    {"text", "", "filt_length", {0.04, 0.16, 0.29, 0.03}, "right", ""},
    {"edit", "filt_length", "=", {0.35, 0.15, 0.105, 0.05}, "center", ""},
    {"text", "lima_txt", "lima", {0.04, 0.11, 0.29, 0.03}, "right", ""},
    {"edit", "lima", "=", {0.35, 0.1, 0.105, 0.05}, "center", ""},
    {"text", "wheel_sens_txt", "wheel_sens", {0.04, 0.06, 0.29, 0.03}, "right", ""},
    {"edit", "wheel_sens", "=", {0.35, 0.05, 0.105, 0.05}, "center", ""},
    {"text", "air_temp_txt", "air_temp", {0.54, 0.41, 0.29, 0.03}, "right", ""},
    {"edit", "air_temp", "=", {0.85, 0.4, 0.105, 0.05}, "center", ""},
    {"text", "air_pres_txt", "air_pres", {0.54, 0.36, 0.29, 0.03}, "right", ""},
    {"edit", "air_pres", "=", {0.85, 0.35, 0.105, 0.05}, "center", ""},
    {"text", "total_tork_txt", "total_tork", {0.54, 0.31, 0.29, 0.03}, "right", ""},
    {"edit", "total_tork", "=", {0.85, 0.3, 0.105, 0.05}, "center", ""},
    {"text", "cylin_perim_txt", "cylin_perim", {0.54, 0.26, 0.29, 0.03}, "right", ""},
    {"edit", "cylin_perim", "=", {0.85, 0.25, 0.105, 0.05}, "center", ""},
    {"checkbox", "add_wav_to_comment", "add_wav", {0.54, 0.15, 0.415, 0.05}, "", ""},
    {"checkbox", "add_par_to_comment", "add_par", {0.54, 0.1, 0.415, 0.05}, "", ""},
    {"pushbutton", "", "load", {0.54, 0.05, 0.2025, 0.05}, "", "load_par"},
    {"pushbutton", "", "save", {0.7525, 0.05, 0.2025, 0.05}, "", "save_par"},
    {"frame", "", "", {0.5, 0.53, 0.47, 0.42}, "", ""},
    {"frame", "", "", {0.5, 0.9, 0.47, 0.05}, "", ""},
    {"text", "", "frame_diag", {0.51, 0.91, 0.28, 0.03}, "left", ""},
    {"pushbutton", "", "push_sdiag", {0.505, 0.85, 0.375, 0.05}, "", "calc_diag"},
    {"pushbutton", "set_sdiag_color", "set_color", {0.89, 0.85, 0.07, 0.05}, "", "set_sdiag_color"},
    {"edit", "comment_spect_diag", "comment", {0.505, 0.8, 0.455, 0.05}, "left", ""},
    {"edit", "title_txt", "title", {0.505, 0.75, 0.455, 0.05}, "left", ""},
    {"frame", "", "", {0.505, 0.64, 0.1865, 0.1}, "", ""},
    {"text", "", "frame_xaxis", {0.51, 0.7, 0.1765, 0.03}, "left", ""},
    {"popupmenu", "popup_xaxis", "popup_xaxis", {0.51, 0.65, 0.1765, 0.05}, "left", ""},
    {"frame", "", "", {0.7, 0.64, 0.2665, 0.1}, "", ""},
    {"text", "", "frame_yaxis", {0.705, 0.7, 0.2565, 0.03}, "left", ""},
    {"popupmenu", "popup_yaxis", "popup_yaxis", {0.705, 0.65, 0.2565, 0.05}, "left", ""},
    {"checkbox", "cut_Vmax", "cut_Vmax", {0.51, 0.59, 0.45, 0.05}, "", ""},
    {"checkbox", "cut_File", "cut_File", {0.51, 0.54, 0.45, 0.05}, "", ""},
};

}  // namespace

void uicontrols_main(Env& env, double fig) {
  const Record& st = strings();
  for (const auto& c : kControls) {
    Props p = {{"Style", c.style},
               {"Position", Value::row({c.pos[0], c.pos[1], c.pos[2], c.pos[3]})}};
    std::string caption = c.caption;
    std::string tag = c.tag;
    const ParamSpec* par = find_param(tag);
    if (*c.align) p.emplace_back("HorizontalAlignment", c.align);
    if (!tag.empty()) p.emplace_back("Tag", tag);
    if (par != nullptr && par->kind == ParamKind::Number) {
      p.emplace_back("String", par->default_text);
    } else if (!caption.empty()) {
      p.emplace_back("String", caption[0] == '=' ? Value(caption.substr(1)) : st.at(caption));
    }
    if (std::string(c.style) == "checkbox") {
      p.emplace_back("Value", par != nullptr ? par->default_value : 1.0);
    }
    if (std::string(c.style) == "popupmenu") p.emplace_back("Value", 1.0);
    if (*c.callback) p.emplace_back("Callback", c.callback);
    if (caption == "push_sdiag") p.emplace_back("TooltipString", st.at("push_sdiag_tip"));
    if (tag == tag::curve_colour) {
      p.emplace_back("BackgroundColor", Value::row({0, 0, 1}));
      p.emplace_back("ForegroundColor", Value::row({1, 1, 1}));
    }
    env.g.uicontrol(fig, p);
  }
  // Parameters added since the first version: a caption and the control, where the table puts
  // them.
  for (const ParamSpec& par : param_table()) {
    if (!par.placement) continue;
    const auto& cp = par.placement->caption;
    const auto& pp = par.placement->control;
    const bool check = par.kind == ParamKind::CheckBox;
    if (!check) {
      env.g.uicontrol(fig, {{"Style", "text"},
                            {"Position", Value::row({cp[0], cp[1], cp[2], cp[3]})},
                            {"HorizontalAlignment", "right"},
                            {"Tag", std::string(par.tag) + "_txt"},
                            {"String", st.at(par.caption)}});
    }
    Props p = {{"Position", Value::row({pp[0], pp[1], pp[2], pp[3]})}, {"Tag", par.tag}};
    switch (par.kind) {
      case ParamKind::Number:
      case ParamKind::Text:
        p.insert(
            p.end(),
            {{"Style", "edit"}, {"HorizontalAlignment", "center"}, {"String", par.default_text}});
        break;
      case ParamKind::PopUp:
        p.insert(p.end(), {{"Style", "popupmenu"},
                           {"HorizontalAlignment", "left"},
                           {"String", st.at(par.choices)},
                           {"Value", par.default_value}});
        break;
      case ParamKind::CheckBox:
        p.insert(
            p.end(),
            {{"Style", "checkbox"}, {"String", st.at(par.caption)}, {"Value", par.default_value}});
        break;
    }
    env.g.uicontrol(fig, p);
  }
}

void zaror_arad(Env& env) {
  const std::string title = kTitle;
  env.g.set(kRoot, "DefaultFigurePaperType", "A4");
  env.g.set(kRoot, "DefaultFigureUnits", "centimeters");
  env.g.set(kRoot, "DefaultFigurePaperUnits", "centimeters");
  env.g.close_all();
  Handle fig = env.g.figure({{"NumberTitle", "off"}, {"Name", title}, {"Tag", "Main Figure"}});
  env.g.set(kRoot, "DefaultUIcontrolUnits", "normalized");
  uicontrols_main(env, fig);
  Handle saved =
      env.g.axes(fig, {{"Position", Value::row({-10, -10, 0.1, 0.1})}, {"Tag", "Saved Data"}});
  env.g.hold(saved, true);
  adj_par(env);
  std::error_code ec;
  if (std::filesystem::is_regular_file(kStartupFile, ec)) load_par(env, std::string(kStartupFile));
}

}  // namespace ziva
