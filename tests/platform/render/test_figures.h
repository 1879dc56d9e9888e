// A power/torque diagram with two curve groups (blue "Serie", red "Tuning"), drawn by the program
// itself: started with scripted services, both runs handed to plot_diag.
#pragma once

#include <cmath>
#include <memory>
#include <string>

#include "app/functions.h"
#include "app/main_window.h"
#include "support/printing_services.h"

namespace ziva::testing {

inline const char* kDiagName = "Diagramme: RPM [1/min] - Leistung[PS]/Drehm[Nm] ";

// One run: engine speed 2500..9500 1/min, a power curve in PS and a torque curve in Nm.
struct TestRun {
  Eigen::RowVectorXd rpm, ps, nm;
};

inline TestRun make_run(double scale, int n = 180) {
  TestRun r;
  r.rpm = Eigen::RowVectorXd::LinSpaced(n, 2500, 9500);
  r.nm.resize(n);
  r.ps.resize(n);
  for (int i = 0; i < n; ++i) {
    double u = (r.rpm(i) - 2500) / 7000;
    r.nm(i) = scale * (62 + 40 * std::sin(3.14159 * (0.2 + 0.7 * u)));
    r.ps(i) = r.nm(i) * r.rpm(i) * 2 * 3.14159 / 60 / 735.5;
  }
  return r;
}

// A started program whose prints are real (PrintingServices).
class DiagramProgram {
 public:
  DiagramProgram() : program_(std::make_unique<Program>(services_)) {
    services_.attach(program_->graphics());
    program_->call("zaror_arad", 0);
  }
  Graphics& g() { return program_->graphics(); }
  Program& program() { return *program_; }
  PrintingServices& services() { return services_; }
  void type(const std::string& tag, const std::string& text) {
    g().set(control(program_->env(), tag), "String", text);
  }
  // One evaluation's result of the file `wav` handed to plot_diag: power [PS] and torque [Nm].
  void plot(const std::string& wav, const TestRun& r, Eigen::RowVector3d colour,
            const std::string& comment) {
    type("wav_file", wav);
    Eigen::MatrixXd y(r.rpm.size(), 2);
    y.col(0) = r.ps.transpose();
    y.col(1) = r.nm.transpose();
    program_->call(
        "plot_diag", 0,
        {Value(Eigen::MatrixXd(r.rpm.transpose())), Value(y), Value(Eigen::MatrixXd(colour)),
         Value(comment), Value(1.0), Value(1.0), Value(1.0123)});
  }
  // Draws both groups; returns the diagram window.
  Handle two_groups() {
    plot("serie.wav", make_run(1.0), {0, 0, 1}, "Serie");
    plot("tuning.wav", make_run(1.15), {1, 0, 0}, "Tuning");
    return g().findobj({{"Type", "figure"}, {"Name", kDiagName}}).at(0);
  }

 private:
  PrintingServices services_;
  std::unique_ptr<Program> program_;
};

}  // namespace ziva::testing
