// The retained graphics object model: root, figures, axes, lines, patches, texts, images and
// controls with handles and case-insensitive properties. Front ends observe it; it never draws.
#pragma once

#include <Eigen/Dense>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/value.h"

namespace ziva {

using Handle = double;
inline constexpr Handle kRoot = 0;

enum class ObjType { Root, Figure, Axes, Line, Patch, Text, Image, Uicontrol };
std::string type_name(ObjType t);  // "root", "figure", "axes", "line", ...

using Props = std::vector<std::pair<std::string, Value>>;

// Told of every creation, property change and deletion (after it happened).
class GraphicsObserver {
 public:
  virtual ~GraphicsObserver() = default;
  virtual void created(Handle h) = 0;
  virtual void changed(Handle h, const std::string& property) = 0;
  virtual void deleted(Handle h, ObjType type) = 0;
};

class Graphics {
 public:
  Graphics();
  ~Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // --- creation -------------------------------------------------------------------------
  // A new figure (handle 1, 2, ... the smallest free one; non-integer with "IntegerHandle"
  // "off"), made the current figure.
  Handle figure(const Props& props = {});
  // New axes in `fig`, made its current axes.
  Handle axes(Handle fig, const Props& props = {});
  // A line in `ax`. Unless the axes hold ("NextPlot" "add"), earlier plots are cleared first.
  Handle line(Handle ax, const Eigen::RowVectorXd& x, const Eigen::RowVectorXd& y,
              const Props& props = {});
  Handle patch(Handle ax, const Eigen::RowVectorXd& x, const Eigen::RowVectorXd& y,
               const Props& props = {});
  Handle text(Handle ax, double x, double y, const std::string& s, const Props& props = {});
  Handle image(Handle ax, const Eigen::MatrixXd& c, const Props& props = {});
  Handle uicontrol(Handle fig, const Props& props = {});

  // --- properties -----------------------------------------------------------------------
  bool exists(Handle h) const;
  ObjType type(Handle h) const;
  Handle parent(Handle h) const;
  std::vector<Handle> children(Handle h) const;  // newest first
  Value get(Handle h, const std::string& prop) const;
  void set(Handle h, const std::string& prop, const Value& v);
  void set(Handle h, const Props& props);
  // Convenience readers.
  std::string get_text(Handle h, const std::string& prop) const;
  double get_scalar(Handle h, const std::string& prop) const;
  Eigen::RowVectorXd get_row(Handle h, const std::string& prop) const;
  bool is_on(Handle h, const std::string& prop) const;  // a property that reads "on"

  // --- lookup ---------------------------------------------------------------------------
  // Objects (root included) whose properties equal every given value, depth first from the root,
  // children newest first. Hidden-handle objects ("HandleVisibility" "off") are skipped.
  std::vector<Handle> findobj(const Props& criteria) const;
  // The same among `start` objects and their descendants.
  std::vector<Handle> findobj(const std::vector<Handle>& start, const Props& criteria) const;
  Handle find_first(const std::string& prop, const Value& v) const;  // 0 when none
  // Every child of the root, hidden ones included, newest first.
  std::vector<Handle> all_figures() const;

  // --- current objects, hold, deletion --------------------------------------------------
  Handle current_figure() const;  // 0 when there is no figure
  Handle gcf();                   // creates a figure when there is none
  Handle gca();                   // current axes of the current figure; created when missing
  void make_current(Handle fig);
  void set_current_axes(Handle fig, Handle ax);
  void hold(Handle ax, bool on);
  void remove(Handle h);  // deletes an object and all its descendants
  void close(Handle fig);
  void close_all();
  void clf(Handle fig);  // deletes the figure's children

  // Axes labels: the text objects owned by an axes ("Title", "XLabel", "YLabel").
  Handle label_of(Handle ax, const std::string& which) const;

  void add_observer(GraphicsObserver* o);
  void remove_observer(GraphicsObserver* o);

  // Automatic limits and ticks (also what "XLim"/"YTick" read in automatic mode).
  Eigen::RowVector2d auto_limits(Handle ax, char axis) const;
  Eigen::RowVectorXd auto_ticks(Handle ax, char axis) const;
  // Size of a figure in points (from its "Position" and "Units").
  Eigen::RowVector2d figure_size_points(Handle fig) const;

 private:
  struct Object;
  Object& obj(Handle h);
  const Object& obj(Handle h) const;
  Handle create(ObjType type, Handle parent, const Props& props, Handle handle = -1);
  void apply_defaults(Object& o);
  void store(Object& o, const std::string& prop, const Value& v, bool notify);
  Value normalise(const Object& o, const std::string& key, const Value& v) const;
  void notify_changed(Handle h, const std::string& prop);
  void prepare_plot(Handle ax);
  void collect(Handle h, const Props& criteria, std::vector<Handle>& out) const;
  bool matches(Handle h, const Props& criteria) const;
  Handle find_tag(Handle h, const Value& tag) const;  // the first below h tagged `tag`, or 0

  std::map<Handle, std::unique_ptr<Object>> objects_;
  std::vector<GraphicsObserver*> observers_;
  double next_hidden_ = 0;
};

// Texts of an axes whose tag begins with this prefix make a second scale right of it: an upright
// one stands at a y tick of the axes and labels it with the tick's value times the number in its
// "UserData"; a rotated one names the scale's unit. The window layout draws such a scale afresh.
inline constexpr const char* kSecondScaleTag = "YTicks2";

// An RGB triple from a colour value: a 1x3 matrix or a colour letter/name ("w", "k", "red", ...).
// Throws ziva::Error for anything else.
Eigen::RowVector3d to_rgb(const Value& v);

}  // namespace ziva
