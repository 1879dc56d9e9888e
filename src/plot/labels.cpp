#include "plot/labels.h"

#include "base/error.h"

namespace ziva {

namespace {

Handle set_label(Env& env, Handle ax, const char* which, const Value& text, const Props& extra) {
  if (!env.g.exists(ax) || env.g.type(ax) != ObjType::Axes) throw Error("Invalid axes handle.");
  Handle label = env.g.label_of(ax, which);
  for (const char* font : {"FontAngle", "FontName", "FontSize", "FontWeight"})
    env.g.set(label, font, env.g.get(ax, font));
  if (std::string(which) == "Title") env.g.set(label, "Rotation", 0.0);
  env.g.set(label, "String", text);
  env.g.set(label, extra);
  return label;
}

// An optional axes handle, the text, then property/value pairs.
Values label_entry(Env& env, const char* which, const Values& args) {
  std::size_t first = 0;
  Handle ax = 0;
  if (!args.empty() && args[0].is_number() && args[0].num().size() == 1 && args.size() > 1 &&
      args[1].is_chars()) {
    ax = args[0].scalar();
    first = 1;
  }
  if (args.size() <= first) throw Error("Incorrect number of input arguments");
  if ((args.size() - first - 1) % 2 != 0) throw Error("Incorrect number of input arguments");
  Props extra;
  for (std::size_t i = first + 1; i < args.size(); i += 2) {
    if (!args[i].is_text()) throw Error("Invalid property name.");
    extra.emplace_back(args[i].text(), args[i + 1]);
  }
  Value text = args[first];
  if (!text.is_chars()) {
    if (!text.empty()) throw Error("Label text must be a string.");
    text = Value("");
  }
  if (ax == 0) ax = env.g.gca();
  return {Value(set_label(env, ax, which, text, extra))};
}

}  // namespace

Handle title(Env& env, Handle ax, const std::string& text, const Props& extra) {
  return set_label(env, ax, "Title", text, extra);
}
Handle xlabel(Env& env, Handle ax, const std::string& text, const Props& extra) {
  return set_label(env, ax, "XLabel", text, extra);
}
Handle ylabel(Env& env, Handle ax, const std::string& text, const Props& extra) {
  return set_label(env, ax, "YLabel", text, extra);
}

Handle title(Env& env, const std::string& text, const Props& extra) {
  return title(env, env.g.gca(), text, extra);
}
Handle xlabel(Env& env, const std::string& text, const Props& extra) {
  return xlabel(env, env.g.gca(), text, extra);
}
Handle ylabel(Env& env, const std::string& text, const Props& extra) {
  return ylabel(env, env.g.gca(), text, extra);
}

Values title_entry(Env& env, int, const Values& args) {
  return label_entry(env, "Title", args);
}
Values xlabel_entry(Env& env, int, const Values& args) {
  return label_entry(env, "XLabel", args);
}
Values ylabel_entry(Env& env, int, const Values& args) {
  return label_entry(env, "YLabel", args);
}

}  // namespace ziva
