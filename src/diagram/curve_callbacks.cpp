#include "diagram/curve_callbacks.h"

#include <vector>

#include "ui/main_window_view.h"

namespace ziva {

namespace {

void toggle_set(Env& env, const std::string& tag) {
  std::vector<Handle> found = env.g.findobj({{"Tag", tag}});
  if (found.empty()) return;
  bool all_on = true;
  for (Handle h : found) all_on = all_on && env.g.is_on(h, "Visible");
  for (Handle h : found) env.g.set(h, "Visible", all_on ? "off" : "on");
}

}  // namespace

void toggle_vis(Env& env, const std::string& tag) {
  toggle_set(env, tag);
  toggle_set(env, "2" + tag);
}

void ch_color(Env& env, const std::string& group) {
  std::vector<Handle> buttons = env.g.findobj({{"Tag", "PushColor" + group}});
  std::vector<Handle> curves = env.g.findobj({{"Tag", "Diag" + group}});
  std::vector<Handle> second = env.g.findobj({{"Tag", "2Diag" + group}});
  Eigen::RowVector3d preset(0, 0, 0);
  if (!buttons.empty())
    preset = to_rgb(env.g.get(buttons.front(), "BackgroundColor"));
  else if (!curves.empty())
    preset = to_rgb(env.g.get(curves.front(), "Color"));
  std::optional<Eigen::RowVector3d> chosen = env.s.choose_color(preset);
  if (!chosen) return;
  const Value colour{Eigen::RowVectorXd(*chosen)};
  for (Handle h : buttons) env.g.set(h, "BackgroundColor", colour);
  for (Handle h : curves) env.g.set(h, "Color", colour);
  for (Handle h : second) env.g.set(h, "Color", colour);
}

void set_sdiag_color(Env& env) {
  Handle button = control(env, tag::curve_colour);
  std::optional<Eigen::RowVector3d> chosen =
      env.s.choose_color(to_rgb(env.g.get(button, "BackgroundColor")));
  if (chosen) env.g.set(button, "BackgroundColor", Value{Eigen::RowVectorXd(*chosen)});
}

}  // namespace ziva
