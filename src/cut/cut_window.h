// The cut window shared by the spectrogram and the pulse-speed view: its axes and controls, the
// wait for the user's choice of a time range, and the rows of a recording inside that range.
#pragma once

#include <Eigen/Dense>
#include <string>

#include "platform/core/function_table.h"
#include "platform/core/graphics.h"

namespace ziva {

// The objects of an open cut window.
struct CutWindow {
  Handle fig = 0;
  Handle ax = 0;
  Handle start = 0;  // the fields of the range's start and end in seconds
  Handle end = 0;
};

// The Tag of the cut axes: the record's `cut_File` text followed by "Axes".
std::string cut_axes_tag(const Record& st);

// The axes position the views set after drawing.
Value cut_axes_position();

// Opens a new, cleared cut window named by the record's `cut_File` text with the cut axes (hold
// on, current) and the controls: the cut file name field (tag "wav_cut_file") holding the main
// window's WAV file name, the browse, save and done buttons. The save button runs
// save_wav_cut with that name; the browse button runs put_wav_filename and, when `browse_saves`,
// the save command after it; the done button closes the window. Above the axes the fields tagged
// "cut_start" and "cut_end" show the range in seconds while wait_for_range runs.
CutWindow open_cut_window(Env& env, const Record& st, bool browse_saves);

// Sets the x limits of the cut axes to [t(1), t(end)]. Throws ziva::Error when t holds fewer than
// two increasing times, as no range could be shown.
void set_time_limits(Graphics& g, Handle ax, const Eigen::VectorXd& t);

// Waits until the cut axes are gone (the window closed by its done button or its frame), pausing
// 0.1 s between looks so that the window's callbacks run meanwhile. Returns the axes' last "XLim":
// the range shown when the window was closed. Meanwhile the start and end fields show that range,
// and a time typed into one of them (a number from 0 to `duration`, the recording's length in
// seconds, keeping start before end) becomes its new start or end; other input is refused with
// an error dialog naming the field, and the fields and the range keep their values. When the main
// window is closed meanwhile, the wait ends with a ReportedError (the user closed it: no dialog
// follows).
Eigen::RowVector2d wait_for_range(Env& env, const CutWindow& w, double duration);

// The rows of Y (samples × channels at rate FS, row i at time i/FS counting from 0) whose time
// lies strictly inside (tt(0), tt(1)), all channels, in order.
// Marks where the automatic full-load detection finds the full-load part of the trace (t, v) shown
// in the cut axes: two dashed red lines from y0 to y1 at its start and end, nothing when it finds
// none. `resolution` as for find_full_load.
void mark_full_load(Graphics& g, Handle ax, const Eigen::VectorXd& t, const Eigen::VectorXd& v,
                    double resolution, double y0, double y1);

Eigen::MatrixXd rows_inside(const Eigen::MatrixXd& Y, double FS, const Eigen::RowVectorXd& tt);

// Closes the cut window, when its axes still exist, on the way out of a scope: a view that fails
// leaves no window behind.
class CutWindowGuard {
 public:
  CutWindowGuard(Graphics& g, Handle ax) : g_(g), ax_(ax) {}
  ~CutWindowGuard();
  CutWindowGuard(const CutWindowGuard&) = delete;
  CutWindowGuard& operator=(const CutWindowGuard&) = delete;

 private:
  Graphics& g_;
  Handle ax_;
};

}  // namespace ziva
