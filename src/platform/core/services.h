// The interactive operations of the platform behind one interface: dialogs, colour chooser,
// pause, drawing flush, printing, zoom and warnings. Qt implements it for the desktop; the
// scripted implementation serves tests and the batch tool.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/graphics.h"
#include "platform/core/print_options.h"

namespace ziva {

struct FileFilter {
  std::string pattern;      // "*.wav"
  std::string description;  // "WAV Dateien (*.wav)"
};

// A file dialog's answer: the name and the directory ending with its separator, or cancelled.
struct FileChoice {
  bool cancelled = true;
  std::string name;
  std::string dir;
  std::string path() const { return dir + name; }
};

// What a dragged rectangle zooms: both axes (a flat drag one of them), or the time (x) axis only,
// both axes when Shift is held.
enum class ZoomDrag { Box, Time };

class Services {
 public:
  virtual ~Services() = default;
  // Open dialog in the working directory.
  virtual FileChoice get_file(const std::vector<FileFilter>& filters, const std::string& title) = 0;
  // Save dialog in the working directory; accepts names that do not exist yet.
  virtual FileChoice put_file(const std::vector<FileFilter>& filters, const std::string& title) = 0;
  // Modal question with two buttons; the pressed button's text, nothing when closed otherwise.
  virtual std::optional<std::string> question(const std::string& question, const std::string& title,
                                              const std::string& button1,
                                              const std::string& button2,
                                              const std::string& default_button) = 0;
  // Non-blocking error dialog; an empty title means the platform's default title.
  virtual void error_dialog(const std::string& message, const std::string& title) = 0;
  // Modal colour chooser preset with `preset`; nothing when cancelled.
  virtual std::optional<Eigen::RowVector3d> choose_color(const Eigen::RowVector3d& preset) = 0;
  // Waits about `seconds`, running pending events and callbacks meanwhile.
  virtual void pause(double seconds) = 0;
  // Paints pending changes now.
  virtual void drawnow() = 0;
  // Prints a figure to a bitmap file ("-dbmp"; a name ending in .png writes PNG) laid out as
  // `options` say.
  virtual void print(Handle figure, const std::string& device, const std::string& file,
                     const PrintOptions& options) = 0;
  // Switches interactive zoom of a figure's axes on or off.
  virtual void zoom(Handle figure, bool on, ZoomDrag drag) = 0;
  // Shows a warning (numerics and file formats report through the warning channel).
  virtual void show_warning(const std::string& text) = 0;
};

}  // namespace ziva
