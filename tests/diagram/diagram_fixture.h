// A started program with helpers to draw evaluations into diagram windows and to inspect them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "diagram/plot_diag.h"
#include "platform/core/text.h"
#include "support/program_fixture.h"

namespace ziva::testing {

class DiagramTest : public ProgramTest {
 public:
  // The window of engine speed against power and torque.
  static constexpr const char* kPowerTorque = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";

 protected:
  // Starts the program with channel 2 off, so that no parameter summary joins the data tags: a
  // group's key is then the window name, the file name and the comment.
  void start_one_channel() {
    start();
    choose("popup_sig_ch2", 4);
  }
  // One evaluation of the file `wav` with comment `comment`, drawn as calc_diag would draw it.
  void draw(const Eigen::VectorXd& x, const Eigen::MatrixXd& y, const std::string& wav,
            const std::string& comment = "Kommentar", double vx = 1, double vy = 1, double k = 1) {
    type("wav_file", wav);
    type("comment_spect_diag", comment);
    Eigen::MatrixXd colour = g().get(ctl("set_sdiag_color"), "BackgroundColor").num();
    plot_diag(env(), x, y, colour, comment, vx, vy, k);
  }
  // A power/torque run of n points over 1000 … 1000 + 10·(n−1) 1/min.
  static Eigen::VectorXd rpm(int n) {
    return Eigen::VectorXd::LinSpaced(n, 1000, 1000 + 10.0 * (n - 1));
  }
  static Eigen::MatrixXd power_torque(int n, double scale = 1) {
    Eigen::MatrixXd y(n, 2);
    for (int i = 0; i < n; ++i) {
      double t = static_cast<double>(i) / std::max(n - 1, 1);
      y(i, 0) = scale * (5 + 40 * t);             // power rises to 45
      y(i, 1) = scale * (30 + 19 * t * (1 - t));  // torque with a hump
    }
    return y;
  }

  Handle window(const std::string& name) {
    auto found = g().findobj({{"Type", "figure"}, {"Name", name}});
    return found.empty() ? 0 : found.front();
  }
  Handle axes_of(const std::string& name) { return g().find_first("Tag", "DiagAxes" + name); }
  std::vector<Handle> tagged(const std::string& tag) { return g().findobj({{"Tag", tag}}); }
  // Controls of a window with the given style, oldest first.
  std::vector<Handle> controls(Handle fig, const std::string& style) {
    std::vector<Handle> out;
    for (Handle h : g().children(fig))
      if (g().type(h) == ObjType::Uicontrol && g().get_text(h, "Style") == style)
        out.insert(out.begin(), h);
    return out;
  }
  // The strings of a window's text controls, oldest first.
  std::vector<std::string> texts(Handle fig) {
    std::vector<std::string> out;
    for (Handle h : controls(fig, "text")) out.push_back(g().get_text(h, "String"));
    return out;
  }
  double bottom(Handle h) { return g().get_row(h, "Position")(1); }
  double height(Handle h) { return g().get_row(h, "Position")(3); }
};

}  // namespace ziva::testing
