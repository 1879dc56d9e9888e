// A started program whose pauses play a script in the cut window: each pause runs the next step
// (zoom, press a button, ...), and once the steps are used up the done button is pressed.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/program_fixture.h"
#include "ui/strings.h"

namespace ziva::testing {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr const char* kCutName = "WAV Datei von Hand beschneiden";
inline constexpr const char* kCutAxes = "WAV Datei von Hand beschneidenAxes";

// A sine of `freq` Hz, `seconds` long at rate `fs`, amplitude 0.5, quantized to 16 bits so that
// a 16-bit file holds exactly these values.
inline Eigen::VectorXd tone(double freq, double fs, double seconds, double phase = 0) {
  const auto n = static_cast<Eigen::Index>(std::llround(seconds * fs));
  Eigen::VectorXd x(n);
  for (Eigen::Index i = 0; i < n; ++i)
    x(i) =
        std::round(16384 * std::sin(2 * kPi * freq * static_cast<double>(i) / fs + phase)) / 32768;
  return x;
}

// A pulse train: 0.5 for the first half of every period of `period` samples, -0.5 for the rest.
inline Eigen::VectorXd pulse_train(Eigen::Index period, Eigen::Index n) {
  Eigen::VectorXd x(n);
  for (Eigen::Index i = 0; i < n; ++i) x(i) = (i % period) < period / 2 ? 0.5 : -0.5;
  return x;
}

// Equal sizes and equal values, reported without printing the matrices.
inline ::testing::AssertionResult same(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols())
    return ::testing::AssertionFailure()
           << a.rows() << "x" << a.cols() << " against " << b.rows() << "x" << b.cols();
  for (Eigen::Index i = 0; i < a.size(); ++i)
    if (a.data()[i] != b.data()[i])
      return ::testing::AssertionFailure()
             << "element " << i << ": " << a.data()[i] << " against " << b.data()[i];
  return ::testing::AssertionSuccess();
}

class CutTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start();
  }

  // Plays `steps`, one per pause; after them every pause presses the done button.
  void script(std::vector<std::function<void()>> steps) {
    steps_ = std::move(steps);
    next_ = 0;
    services_.on_pause = [this](double seconds) {
      pause_seconds_.push_back(seconds);
      if (next_ < steps_.size()) {
        steps_[next_++]();
      } else {
        press("Fertig");
      }
    };
  }

  Handle cut_axes() { return g().find_first("Tag", kCutAxes); }
  Handle cut_figure() { return g().parent(cut_axes()); }

  // The push button of the cut window showing `caption`.
  Handle button(const std::string& caption) {
    for (Handle h : g().findobj({cut_figure()}, {{"Style", "pushbutton"}}))
      if (g().get_text(h, "String") == caption) return h;
    ADD_FAILURE() << "no button " << caption;
    return 0;
  }
  std::string callback(const std::string& caption) {
    return g().get_text(button(caption), "Callback");
  }
  // Runs the button's callback as the platform does; false when it failed.
  bool press(const std::string& caption) { return program_->run(callback(caption)); }

  void zoom(double a, double b) { g().set(cut_axes(), "XLim", Value::row({a, b})); }

  // The rows of Y whose time i/fs lies strictly between a and b, found one by one.
  static Eigen::MatrixXd rows_between(const Eigen::MatrixXd& Y, double fs, double a, double b) {
    std::vector<Eigen::Index> keep;
    for (Eigen::Index i = 0; i < Y.rows(); ++i)
      if (static_cast<double>(i) / fs > a && static_cast<double>(i) / fs < b) keep.push_back(i);
    return Y(keep, Eigen::all);
  }

  std::vector<std::function<void()>> steps_;
  std::size_t next_ = 0;
  std::vector<double> pause_seconds_;
};

}  // namespace ziva::testing
