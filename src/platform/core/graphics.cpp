#include "platform/core/graphics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

// Properties by lower-case key: (name as first given, value).
using PropMap = std::map<std::string, std::pair<std::string, Value>, std::less<>>;

struct Graphics::Object {
  Handle h = 0;
  ObjType type = ObjType::Root;
  Handle parent = 0;
  std::vector<Handle> children;  // newest first
  PropMap props;
  Handle title = 0, xlabel = 0, ylabel = 0;  // axes only
  bool is_label = false;
};

namespace {

using Defaults = std::vector<std::pair<std::string, Value>>;

Value rgb(double r, double g, double b) {
  return Value::row({r, g, b});
}

const Defaults& factory_defaults(ObjType t) {
  static const Defaults common = {{"Tag", ""},
                                  {"Visible", "on"},
                                  {"UserData", Value::empty_matrix()},
                                  {"HandleVisibility", "on"},
                                  {"BusyAction", "queue"},
                                  {"Interruptible", "on"},
                                  {"CreateFcn", ""},
                                  {"DeleteFcn", ""},
                                  {"ButtonDownFcn", ""},
                                  {"Selected", "off"}};
  static const std::map<ObjType, Defaults> table = [] {
    std::map<ObjType, Defaults> m;
    m[ObjType::Root] = {{"CurrentFigure", Value::empty_matrix()},
                        {"ScreenSize", Value::row({1, 1, 1920, 1080})},
                        {"ScreenPixelsPerInch", 96.0},
                        {"Units", "pixels"},
                        {"FactoryAxesFontSize", 10.0},
                        {"ShowHiddenHandles", "off"}};
    m[ObjType::Figure] = {{"Name", ""},
                          {"NumberTitle", "on"},
                          {"Units", "pixels"},
                          {"Position", Value::row({100, 100, 560, 420})},
                          {"Color", rgb(0.8, 0.8, 0.8)},
                          {"CurrentAxes", Value::empty_matrix()},
                          {"PaperType", "usletter"},
                          {"PaperUnits", "inches"},
                          {"PaperPosition", Value::row({0.25, 2.5, 8, 6})},
                          {"MenuBar", "figure"},
                          {"Resize", "on"},
                          {"CloseRequestFcn", "closereq"},
                          {"IntegerHandle", "on"},
                          {"Colormap", Value::empty_matrix()},
                          {"WindowStyle", "normal"},
                          {"Pointer", "arrow"}};
    m[ObjType::Axes] = {{"Units", "normalized"},
                        {"Position", Value::row({0.13, 0.11, 0.775, 0.815})},
                        {"XLim", Value::row({0, 1})},
                        {"YLim", Value::row({0, 1})},
                        {"XLimMode", "auto"},
                        {"YLimMode", "auto"},
                        {"XTick", Value::empty_matrix()},
                        {"YTick", Value::empty_matrix()},
                        {"XTickMode", "auto"},
                        {"YTickMode", "auto"},
                        {"XTickLabel", ""},
                        {"YTickLabel", ""},
                        {"XTickLabelMode", "auto"},
                        {"YTickLabelMode", "auto"},
                        {"XGrid", "off"},
                        {"YGrid", "off"},
                        {"XMinorGrid", "off"},
                        {"YMinorGrid", "off"},
                        {"XMinorTick", "off"},
                        {"YMinorTick", "off"},
                        {"Box", "off"},
                        {"NextPlot", "replace"},
                        {"FontSize", 10.0},
                        {"FontName", "Helvetica"},
                        {"FontAngle", "normal"},
                        {"FontWeight", "normal"},
                        {"XColor", rgb(0, 0, 0)},
                        {"YColor", rgb(0, 0, 0)},
                        {"Color", rgb(1, 1, 1)},
                        {"XDir", "normal"},
                        {"YDir", "normal"},
                        {"CLim", Value::row({0, 1})},
                        {"CLimMode", "auto"},
                        {"Layer", "bottom"}};
    m[ObjType::Line] = {{"XData", Value::empty_matrix()},
                        {"YData", Value::empty_matrix()},
                        {"Color", rgb(0, 0, 1)},
                        {"LineStyle", "-"},
                        {"LineWidth", 0.5},
                        {"Marker", "none"},
                        {"MarkerSize", 6.0},
                        {"MarkerEdgeColor", "auto"},
                        {"MarkerFaceColor", "none"},
                        {"EraseMode", "normal"}};
    m[ObjType::Patch] = {{"XData", Value::empty_matrix()},
                         {"YData", Value::empty_matrix()},
                         {"FaceColor", rgb(0, 0, 0)},
                         {"EdgeColor", rgb(0, 0, 0)},
                         {"LineWidth", 0.5},
                         {"EraseMode", "normal"}};
    m[ObjType::Text] = {{"Position", Value::row({0, 0, 0})},
                        {"String", ""},
                        {"Units", "data"},
                        {"FontSize", 10.0},
                        {"FontName", "Helvetica"},
                        {"FontAngle", "normal"},
                        {"FontWeight", "normal"},
                        {"HorizontalAlignment", "left"},
                        {"VerticalAlignment", "middle"},
                        {"Rotation", 0.0},
                        {"Color", rgb(0, 0, 0)},
                        {"EraseMode", "normal"},
                        {"Interpreter", "none"}};
    m[ObjType::Image] = {{"CData", Value::empty_matrix()},
                         {"XData", Value::row({1, 1})},
                         {"YData", Value::row({1, 1})},
                         {"CDataMapping", "direct"},
                         {"EraseMode", "normal"}};
    m[ObjType::Uicontrol] = {{"Style", "pushbutton"},
                             {"String", ""},
                             {"Value", 0.0},
                             {"Min", 0.0},
                             {"Max", 1.0},
                             {"Units", "pixels"},
                             {"Position", Value::row({20, 20, 60, 20})},
                             {"Callback", ""},
                             {"Enable", "on"},
                             {"BackgroundColor", rgb(0.94, 0.94, 0.94)},
                             {"ForegroundColor", rgb(0, 0, 0)},
                             {"HorizontalAlignment", "center"},
                             {"FontSize", 9.0},
                             {"FontName", "Helvetica"},
                             {"FontWeight", "normal"},
                             {"FontAngle", "normal"},
                             {"TooltipString", ""}};
    for (auto& [type, defs] : m) defs.insert(defs.end(), common.begin(), common.end());
    return m;
  }();
  return table.at(t);
}

// The factory defaults of each type by lower-case key, built once: every object starts from them.
const PropMap& factory_props(ObjType t) {
  static const std::vector<PropMap> maps = [] {
    std::vector<PropMap> m(static_cast<std::size_t>(ObjType::Uicontrol) + 1);
    for (ObjType type : {ObjType::Root, ObjType::Figure, ObjType::Axes, ObjType::Line,
                         ObjType::Patch, ObjType::Text, ObjType::Image, ObjType::Uicontrol}) {
      PropMap& p = m[static_cast<std::size_t>(type)];
      for (const auto& [name, value] : factory_defaults(type)) p[to_lower(name)] = {name, value};
    }
    return m;
  }();
  return maps[static_cast<std::size_t>(t)];
}

// Properties every object answers but nobody stores.
bool is_computed(const std::string& key) {
  return key == "type" || key == "parent" || key == "children";
}

bool is_color_key(const std::string& key) {
  return key.find("color") != std::string::npos && key != "colormap";
}

double points_per_unit(const std::string& units) {
  std::string u = to_lower(units);
  if (u == "points") return 1.0;
  if (u == "centimeters") return 72.0 / 2.54;
  if (u == "inches") return 72.0;
  if (u == "characters") return 5.0;
  return 72.0 / 96.0;  // pixels
}

double nice_step(double range, int max_intervals) {
  if (!(range > 0) || !std::isfinite(range)) return 1.0;
  double raw = range / std::max(1, max_intervals);
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * p >= raw * (1 - 1e-9)) return m * p;
  }
  return 10 * p;
}

}  // namespace

std::string type_name(ObjType t) {
  switch (t) {
    case ObjType::Root:
      return "root";
    case ObjType::Figure:
      return "figure";
    case ObjType::Axes:
      return "axes";
    case ObjType::Line:
      return "line";
    case ObjType::Patch:
      return "patch";
    case ObjType::Text:
      return "text";
    case ObjType::Image:
      return "image";
    case ObjType::Uicontrol:
      return "uicontrol";
  }
  return "";
}

Eigen::RowVector3d to_rgb(const Value& v) {
  if (v.is_number() && v.num().size() == 3) {
    const auto& m = v.num();
    return Eigen::RowVector3d(m(0), m(1), m(2));
  }
  if (v.is_text()) {
    static const std::map<std::string, Eigen::RowVector3d> names = {
        {"y", {1, 1, 0}}, {"yellow", {1, 1, 0}}, {"m", {1, 0, 1}}, {"magenta", {1, 0, 1}},
        {"c", {0, 1, 1}}, {"cyan", {0, 1, 1}},   {"r", {1, 0, 0}}, {"red", {1, 0, 0}},
        {"g", {0, 1, 0}}, {"green", {0, 1, 0}},  {"b", {0, 0, 1}}, {"blue", {0, 0, 1}},
        {"w", {1, 1, 1}}, {"white", {1, 1, 1}},  {"k", {0, 0, 0}}, {"black", {0, 0, 0}}};
    auto it = names.find(to_lower(trim_blanks(v.text())));
    if (it != names.end()) return it->second;
  }
  throw Error("Bad value for color property.");
}

Graphics::Graphics() {
  create(ObjType::Root, -1, {}, kRoot);
}
Graphics::~Graphics() = default;

Graphics::Object& Graphics::obj(Handle h) {
  auto it = objects_.find(h);
  if (it == objects_.end()) throw Error("Invalid handle object.");
  return *it->second;
}

const Graphics::Object& Graphics::obj(Handle h) const {
  auto it = objects_.find(h);
  if (it == objects_.end()) throw Error("Invalid handle object.");
  return *it->second;
}

bool Graphics::exists(Handle h) const {
  return objects_.count(h) > 0;
}
ObjType Graphics::type(Handle h) const {
  return obj(h).type;
}
Handle Graphics::parent(Handle h) const {
  return obj(h).parent;
}
std::vector<Handle> Graphics::children(Handle h) const {
  return obj(h).children;
}

void Graphics::apply_defaults(Object& o) {
  o.props = factory_props(o.type);
  if (o.type == ObjType::Root) return;
  std::string prefix = "default" + type_name(o.type);
  for (const auto& [key, entry] : obj(kRoot).props) {
    if (key.rfind(prefix, 0) == 0 && key.size() > prefix.size()) {
      std::string prop = key.substr(prefix.size());
      auto it = o.props.find(prop);
      std::string name = it != o.props.end() ? it->second.first : entry.first.substr(prefix.size());
      o.props[prop] = {name, normalise(o, prop, entry.second)};
    }
  }
}

Handle Graphics::create(ObjType type, Handle parent, const Props& props, Handle handle) {
  if (handle < 0) {
    next_hidden_ += 1;
    handle = 1000000.0 + next_hidden_ + 0.25;
  }
  auto o = std::make_unique<Object>();
  o->h = handle;
  o->type = type;
  o->parent = parent;
  Object& ref = *o;
  objects_[handle] = std::move(o);
  apply_defaults(ref);
  try {
    for (const auto& [name, value] : props) store(ref, name, value, false);
  } catch (...) {
    objects_.erase(handle);
    throw;
  }
  if (type != ObjType::Root && !ref.is_label) {
    auto& siblings = obj(parent).children;
    siblings.insert(siblings.begin(), handle);
  }
  if (type == ObjType::Axes) {
    for (Handle* label : {&ref.title, &ref.xlabel, &ref.ylabel}) {
      next_hidden_ += 1;
      Handle lh = 1000000.0 + next_hidden_ + 0.25;
      auto l = std::make_unique<Object>();
      l->h = lh;
      l->type = ObjType::Text;
      l->parent = handle;
      l->is_label = true;
      Object& lref = *l;
      objects_[lh] = std::move(l);
      apply_defaults(lref);
      lref.props["horizontalalignment"] = {"HorizontalAlignment", "center"};
      *label = lh;
    }
  }
  if (type != ObjType::Root) {
    for (auto* ob : observers_) ob->created(handle);
  }
  return handle;
}

Handle Graphics::figure(const Props& props) {
  bool integer = true;
  bool has_position = false;
  for (const auto& [name, value] : props) {
    if (iequals(name, "IntegerHandle") && value.is_text() && iequals(value.text(), "off"))
      integer = false;
    if (iequals(name, "Position")) has_position = true;
  }
  Handle h = -1;
  if (integer) {
    h = 1;
    while (objects_.count(h)) h += 1;
  }
  h = create(ObjType::Figure, kRoot, props, h);
  Object& f = obj(h);
  if (!has_position) {
    double k = points_per_unit("pixels") / points_per_unit(f.props["units"].second.text());
    Eigen::MatrixXd pos(1, 4);
    pos << 100 * k, 100 * k, 560 * k, 420 * k;
    f.props["position"].second = Value(pos);
    notify_changed(h, "position");
  }
  make_current(h);
  return h;
}

Handle Graphics::axes(Handle fig, const Props& props) {
  if (type(fig) != ObjType::Figure) throw Error("Axes must be children of a figure.");
  Handle h = create(ObjType::Axes, fig, props);
  set_current_axes(fig, h);
  return h;
}

void Graphics::prepare_plot(Handle ax) {
  Object& a = obj(ax);
  if (a.props["nextplot"].second.is_text() && iequals(a.props["nextplot"].second.text(), "add"))
    return;
  for (Handle c : std::vector<Handle>(a.children)) remove(c);
  for (const char* key : {"xlimmode", "ylimmode", "xtickmode", "ytickmode", "climmode"}) {
    store(obj(ax), key, "auto", true);
  }
}

Handle Graphics::line(Handle ax, const Eigen::RowVectorXd& x, const Eigen::RowVectorXd& y,
                      const Props& props) {
  if (type(ax) != ObjType::Axes) throw Error("Lines must be children of axes.");
  if (x.size() != y.size()) throw Error("Vectors must be the same lengths.");
  prepare_plot(ax);
  Props all = {{"XData", Value(x)}, {"YData", Value(y)}};
  all.insert(all.end(), props.begin(), props.end());
  return create(ObjType::Line, ax, all);
}

Handle Graphics::patch(Handle ax, const Eigen::RowVectorXd& x, const Eigen::RowVectorXd& y,
                       const Props& props) {
  Props all = {{"XData", Value(x)}, {"YData", Value(y)}};
  all.insert(all.end(), props.begin(), props.end());
  return create(ObjType::Patch, ax, all);
}

Handle Graphics::text(Handle ax, double x, double y, const std::string& s, const Props& props) {
  Props all = {{"Position", Value::row({x, y, 0})}, {"String", s}};
  all.insert(all.end(), props.begin(), props.end());
  return create(ObjType::Text, ax, all);
}

Handle Graphics::image(Handle ax, const Eigen::MatrixXd& c, const Props& props) {
  prepare_plot(ax);
  Props all = {{"CData", Value(c)},
               {"XData", Value::row({1, static_cast<double>(c.cols())})},
               {"YData", Value::row({1, static_cast<double>(c.rows())})}};
  all.insert(all.end(), props.begin(), props.end());
  return create(ObjType::Image, ax, all);
}

Handle Graphics::uicontrol(Handle fig, const Props& props) {
  if (type(fig) != ObjType::Figure) throw Error("Controls must be children of a figure.");
  return create(ObjType::Uicontrol, fig, props);
}

Value Graphics::normalise(const Object& o, const std::string& key, const Value& v) const {
  if (is_color_key(key)) {
    if (v.is_text()) {
      std::string t = to_lower(trim_blanks(v.text()));
      if (t == "none" || t == "auto" || t == "flat" || t == "interp") return Value(t);
    }
    Eigen::RowVector3d c = to_rgb(v);
    return Value(Eigen::RowVectorXd(c));
  }
  (void)o;
  return v;
}

void Graphics::store(Object& o, const std::string& prop, const Value& v, bool notify) {
  std::string key = to_lower(prop);
  if (is_computed(key)) throw Error("Attempt to modify a read-only property: '" + prop + "'.");
  auto it = o.props.find(key);
  bool known = it != o.props.end();
  if (!known) {
    bool root_default = o.type == ObjType::Root && key.rfind("default", 0) == 0;
    bool axes_label =
        o.type == ObjType::Axes && (key == "title" || key == "xlabel" || key == "ylabel");
    if (axes_label) throw Error("Attempt to modify a read-only property: '" + prop + "'.");
    if (!root_default) {
      throw Error("There is no '" + prop + "' property in the '" + type_name(o.type) + "' class.");
    }
  }
  Value value = normalise(o, key, v);
  if (o.type == ObjType::Axes) {
    if (key == "xlim" || key == "ylim" || key == "clim") {
      if (!value.is_number() || value.num().size() != 2 || !(value.num()(0) < value.num()(1)))
        throw Error("Bad limit value: the lower limit must be smaller than the upper limit.");
      std::string mode = key.substr(0, 4) + "mode";
      o.props[mode].second = Value("manual");
    }
    if (key == "xtick" || key == "ytick") o.props[key.substr(0, 5) + "mode"].second = "manual";
  }
  std::string name = known ? it->second.first : prop;
  o.props[key] = {name, value};
  if (notify) notify_changed(o.h, key);
}

void Graphics::notify_changed(Handle h, const std::string& prop) {
  for (auto* ob : observers_) ob->changed(h, prop);
}

void Graphics::set(Handle h, const std::string& prop, const Value& v) {
  store(obj(h), prop, v, true);
}

void Graphics::set(Handle h, const Props& props) {
  for (const auto& [name, value] : props) set(h, name, value);
}

Value Graphics::get(Handle h, const std::string& prop) const {
  const Object& o = obj(h);
  std::string key = to_lower(prop);
  if (key == "type") return Value(type_name(o.type));
  if (key == "parent") return o.type == ObjType::Root ? Value::empty_matrix() : Value(o.parent);
  if (key == "children") {
    Eigen::MatrixXd c(static_cast<Eigen::Index>(o.children.size()), 1);
    for (std::size_t i = 0; i < o.children.size(); ++i)
      c(static_cast<Eigen::Index>(i), 0) = o.children[i];
    return o.children.empty() ? Value::empty_matrix() : Value(c);
  }
  if (o.type == ObjType::Axes) {
    if (key == "title") return Value(o.title);
    if (key == "xlabel") return Value(o.xlabel);
    if (key == "ylabel") return Value(o.ylabel);
    if ((key == "xlim" || key == "ylim") &&
        o.props.at(key.substr(0, 4) + "mode").second.text() == "auto")
      return Value(Eigen::RowVectorXd(auto_limits(h, key[0])));
    if ((key == "xtick" || key == "ytick") && o.props.at(key + "mode").second.text() == "auto")
      return Value(auto_ticks(h, key[0]));
  }
  if (o.type == ObjType::Text && key == "extent") {
    double fs = o.props.at("fontsize").second.scalar();
    double w = 0.55 * fs *
               static_cast<double>(char_count(o.props.at("string").second.is_text()
                                                  ? o.props.at("string").second.text()
                                                  : std::string()));
    return Value::row({0, 0, w, 1.3 * fs});
  }
  auto it = o.props.find(key);
  if (it == o.props.end())
    throw Error("There is no '" + prop + "' property in the '" + type_name(o.type) + "' class.");
  return it->second.second;
}

std::string Graphics::get_text(Handle h, const std::string& prop) const {
  Value v = get(h, prop);
  if (v.is_text()) return v.text();
  if (v.is_list()) {
    auto r = v.rows();
    return r.empty() ? std::string() : r.front();
  }
  if (v.empty()) return {};
  throw Error("Property '" + prop + "' is not a text.");
}

double Graphics::get_scalar(Handle h, const std::string& prop) const {
  return get(h, prop).scalar();
}

Eigen::RowVectorXd Graphics::get_row(Handle h, const std::string& prop) const {
  Value v = get(h, prop);
  if (v.empty()) return Eigen::RowVectorXd(0);
  const auto& m = v.num();
  return Eigen::Map<const Eigen::RowVectorXd>(m.data(), m.size());
}

bool Graphics::is_on(Handle h, const std::string& prop) const {
  Value v = get(h, prop);
  return v.is_text() && iequals(v.text(), "on");
}

bool Graphics::matches(Handle h, const Props& criteria) const {
  for (const auto& [name, value] : criteria) {
    Value actual;
    try {
      actual = get(h, name);
    } catch (const Error&) {
      return false;
    }
    if (value.is_text() && actual.is_text()) {
      std::string key = to_lower(name);
      // Enumerated properties compare without regard to case; texts such as tags exactly.
      bool enumerated = key == "type" || key == "visible" || key == "style";
      if (enumerated ? !iequals(actual.text(), value.text()) : actual.text() != value.text())
        return false;
    } else if (!(actual == value)) {
      return false;
    }
  }
  return true;
}

void Graphics::collect(Handle h, const Props& criteria, std::vector<Handle>& out) const {
  const Object& o = obj(h);
  if (o.type != ObjType::Root) {
    auto it = o.props.find("handlevisibility");
    if (it != o.props.end() && it->second.second.is_text() &&
        iequals(it->second.second.text(), "off"))
      return;
  }
  if (matches(h, criteria)) out.push_back(h);
  for (Handle c : o.children) collect(c, criteria, out);
}

std::vector<Handle> Graphics::findobj(const Props& criteria) const {
  std::vector<Handle> out;
  collect(kRoot, criteria, out);
  return out;
}

std::vector<Handle> Graphics::findobj(const std::vector<Handle>& start,
                                      const Props& criteria) const {
  std::vector<Handle> out;
  for (Handle h : start)
    if (exists(h)) collect(h, criteria, out);
  return out;
}

Handle Graphics::find_first(const std::string& prop, const Value& v) const {
  // Controls are looked up by their tag all the time: a direct walk in the order and with the
  // visibility rule of findobj, without its general matching.
  if (v.is_text() && to_lower(prop) == "tag") return find_tag(kRoot, v);
  auto found = findobj({{prop, v}});
  return found.empty() ? 0 : found.front();
}

Handle Graphics::find_tag(Handle h, const Value& tag) const {
  const Object& o = obj(h);
  auto it = o.props.find("tag");
  const bool tagged =
      it != o.props.end() && (it->second.second.is_text() ? it->second.second.text() == tag.text()
                                                          : it->second.second == tag);
  // Most objects are controls without children: their visibility matters only when they match.
  if (!tagged && o.children.empty()) return 0;
  if (o.type != ObjType::Root) {
    auto v = o.props.find("handlevisibility");
    if (v != o.props.end() && v->second.second.is_text() && iequals(v->second.second.text(), "off"))
      return 0;
  }
  if (tagged) return h;
  for (Handle c : o.children)
    if (Handle found = find_tag(c, tag); found != 0) return found;
  return 0;
}

std::vector<Handle> Graphics::all_figures() const {
  return obj(kRoot).children;
}

Handle Graphics::current_figure() const {
  Value v = obj(kRoot).props.at("currentfigure").second;
  if (v.empty()) return 0;
  Handle h = v.scalar();
  return exists(h) ? h : 0;
}

void Graphics::make_current(Handle fig) {
  if (type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  store(obj(kRoot), "CurrentFigure", Value(fig), true);
  auto& kids = obj(kRoot).children;
  kids.erase(std::find(kids.begin(), kids.end(), fig));
  kids.insert(kids.begin(), fig);
}

Handle Graphics::gcf() {
  Handle f = current_figure();
  return f != 0 ? f : figure();
}

Handle Graphics::gca() {
  Handle f = gcf();
  Value v = obj(f).props.at("currentaxes").second;
  if (!v.empty() && exists(v.scalar())) return v.scalar();
  return axes(f);
}

void Graphics::set_current_axes(Handle fig, Handle ax) {
  store(obj(fig), "CurrentAxes", ax == 0 ? Value::empty_matrix() : Value(ax), true);
}

void Graphics::hold(Handle ax, bool on) {
  set(ax, "NextPlot", on ? "add" : "replace");
}

void Graphics::remove(Handle h) {
  if (h == kRoot || !exists(h)) return;
  Object& o = obj(h);
  for (Handle c : std::vector<Handle>(o.children)) remove(c);
  for (Handle l : {o.title, o.xlabel, o.ylabel})
    if (l != 0) objects_.erase(l);
  ObjType t = o.type;
  Handle parent = o.parent;
  if (exists(parent)) {
    auto& sib = obj(parent).children;
    sib.erase(std::remove(sib.begin(), sib.end(), h), sib.end());
    if (t == ObjType::Axes) {
      Value cur = obj(parent).props.at("currentaxes").second;
      if (!cur.empty() && cur.scalar() == h) {
        Handle next = 0;
        for (Handle c : sib)
          if (obj(c).type == ObjType::Axes) {
            next = c;
            break;
          }
        set_current_axes(parent, next);
      }
    }
  }
  objects_.erase(h);
  if (t == ObjType::Figure) {
    Value cur = obj(kRoot).props.at("currentfigure").second;
    if (!cur.empty() && cur.scalar() == h) {
      const auto& kids = obj(kRoot).children;
      store(obj(kRoot), "CurrentFigure", kids.empty() ? Value::empty_matrix() : Value(kids.front()),
            true);
    }
  }
  for (auto* ob : observers_) ob->deleted(h, t);
}

void Graphics::close(Handle fig) {
  if (!exists(fig) || type(fig) != ObjType::Figure) throw Error("Invalid figure handle.");
  remove(fig);
}

void Graphics::close_all() {
  for (Handle f : all_figures()) {
    const auto& vis = obj(f).props.at("handlevisibility").second;
    if (vis.is_text() && iequals(vis.text(), "off")) continue;
    remove(f);
  }
}

void Graphics::clf(Handle fig) {
  for (Handle c : children(fig)) remove(c);
}

Handle Graphics::label_of(Handle ax, const std::string& which) const {
  const Object& o = obj(ax);
  std::string w = to_lower(which);
  if (w == "title") return o.title;
  if (w == "xlabel") return o.xlabel;
  if (w == "ylabel") return o.ylabel;
  throw Error("Unknown axes label '" + which + "'.");
}

void Graphics::add_observer(GraphicsObserver* o) {
  observers_.push_back(o);
}
void Graphics::remove_observer(GraphicsObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

Eigen::RowVector2d Graphics::figure_size_points(Handle fig) const {
  const Object& f = obj(fig);
  Eigen::RowVectorXd pos = get_row(fig, "Position");
  std::string units = f.props.at("units").second.text();
  if (iequals(units, "normalized")) {
    Eigen::RowVectorXd screen = get_row(kRoot, "ScreenSize");
    return {pos(2) * screen(2) * 0.75, pos(3) * screen(3) * 0.75};
  }
  double k = points_per_unit(units);
  return {pos(2) * k, pos(3) * k};
}

Eigen::RowVector2d Graphics::auto_limits(Handle ax, char axis) const {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  const char* key = axis == 'x' ? "xdata" : "ydata";
  for (Handle c : obj(ax).children) {
    const Object& o = obj(c);
    if (o.type != ObjType::Line && o.type != ObjType::Patch && o.type != ObjType::Image) continue;
    const Value& d = o.props.at(key).second;
    if (!d.is_number()) continue;
    const auto& m = d.num();
    if (o.type == ObjType::Image && m.size() >= 1) {
      const auto& cd = o.props.at("cdata").second;
      Eigen::Index n = cd.is_number() ? (axis == 'x' ? cd.num().cols() : cd.num().rows()) : 1;
      double a = m(0), b = m(m.size() - 1);
      double half = n > 1 ? (b - a) / static_cast<double>(n - 1) / 2 : 0.5;
      lo = std::min(lo, std::min(a, b) - std::abs(half));
      hi = std::max(hi, std::max(a, b) + std::abs(half));
      continue;
    }
    for (Eigen::Index i = 0; i < m.size(); ++i) {
      double x = m.data()[i];
      if (!std::isfinite(x)) continue;
      lo = std::min(lo, x);
      hi = std::max(hi, x);
    }
  }
  if (!(lo <= hi)) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  bool has_image = false;
  for (Handle c : obj(ax).children) has_image |= obj(c).type == ObjType::Image;
  if (has_image) return {lo, hi};
  double step = nice_step(hi - lo, 6);
  return {std::floor(lo / step + 1e-9) * step, std::ceil(hi / step - 1e-9) * step};
}

Eigen::RowVectorXd Graphics::auto_ticks(Handle ax, char axis) const {
  Eigen::RowVectorXd lim = get_row(ax, axis == 'x' ? "XLim" : "YLim");
  double lo = lim(0), hi = lim(1);
  Handle fig = obj(ax).parent;
  Eigen::RowVector2d size = figure_size_points(fig);
  Eigen::RowVectorXd pos = get_row(ax, "Position");
  double length_pt = axis == 'x' ? size(0) * pos(2) : size(1) * pos(3);
  if (!iequals(obj(ax).props.at("units").second.text(), "normalized"))
    length_pt = axis == 'x' ? pos(2) : pos(3);
  int max_intervals = std::clamp(static_cast<int>(length_pt / (axis == 'x' ? 60.0 : 36.0)), 2, 10);
  double step = nice_step(hi - lo, max_intervals);
  double first = std::ceil(lo / step - 1e-9);
  double last = std::floor(hi / step + 1e-9);
  int n = static_cast<int>(last - first) + 1;
  if (n <= 0 || n > 1000) return Eigen::RowVectorXd(0);
  Eigen::RowVectorXd t(n);
  for (int i = 0; i < n; ++i) {
    double v = (first + i) * step;
    t(i) = std::abs(v) < step * 1e-9 ? 0.0 : v;
  }
  return t;
}

}  // namespace ziva
