// The main window as the program folders see it: the tags of its controls and a typed view of
// the fields and choices an evaluation reads and writes.
#pragma once

#include <Eigen/Dense>
#include <string>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

inline constexpr const char* kTitle = "Rizid Ziva V0.1.9";
inline constexpr const char* kStartupFile = "zaror_arad_start.cfg";

// Tags of the main window's controls (and of the cut window's file field).
namespace tag {
inline constexpr const char* main_figure = "Main Figure";
inline constexpr const char* wav_file = "wav_file";
inline constexpr const char* out_file = "out_file";
inline constexpr const char* print_file = "print_file";
inline constexpr const char* sig_ch1 = "popup_sig_ch1";
inline constexpr const char* sig_ch2 = "popup_sig_ch2";
inline constexpr const char* xaxis = "popup_xaxis";
inline constexpr const char* yaxis = "popup_yaxis";
inline constexpr const char* curve_colour = "set_sdiag_color";
inline constexpr const char* comment = "comment_spect_diag";
inline constexpr const char* title = "title_txt";
inline constexpr const char* cut_file = "cut_File";
inline constexpr const char* wheel_sens_caption = "wheel_sens_txt";
inline constexpr const char* wav_cut_file = "wav_cut_file";
}  // namespace tag

// The control tagged `tag` (throws when there is none).
Handle control(const Env& env, const std::string& tag);

// A typed view of the main window's controls; it holds no state of its own.
class MainWindowView {
 public:
  explicit MainWindowView(const Env& env) : env_(env) {}

  std::string wav_file() const { return text(tag::wav_file); }
  void set_wav_file(const std::string& name) const { set_text(tag::wav_file, name); }
  std::string out_file() const { return text(tag::out_file); }
  std::string print_file() const { return text(tag::print_file); }
  std::string comment() const { return text(tag::comment); }
  std::string title() const { return text(tag::title); }
  // The chosen entries of the axis pop-ups (1-based) and their texts.
  int xaxis() const { return static_cast<int>(value(tag::xaxis)); }
  int yaxis() const { return static_cast<int>(value(tag::yaxis)); }
  std::string xaxis_label(int entry) const;
  std::string yaxis_label(int entry) const;
  // The curve colour of the next evaluation, an RGB row.
  Eigen::MatrixXd curve_colour() const;
  bool cut_by_hand() const { return value(tag::cut_file) == 1; }

  std::string text(const char* tag) const;
  void set_text(const char* tag, const std::string& s) const;
  double value(const char* tag) const;
  void set_value(const char* tag, double v) const;

 private:
  const Env& env_;
};

}  // namespace ziva
