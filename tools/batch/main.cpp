// ziva-batch: the main job without a window. Starts the program headless, takes the settings of
// the main window from a parameter file and the command line, and evaluates each recording as
// "Berechne Diagramm >>" does, overlaying the runs in one diagram.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/functions.h"
#include "app/main_window.h"
#include "base/error.h"
#include "diagram/export.h"
#include "params/par_file.h"
#include "platform/core/scripted_services.h"
#include "platform/core/text.h"
#include "ui/language.h"
#include "ui/strings.h"

namespace ziva {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct Options {
  std::vector<std::string> cfgs;
  std::vector<std::pair<std::string, std::string>> sets;  // tag, value in command-line order
  std::optional<std::string> asc, bmp;
  std::vector<std::string> wavs;
  Language lang = Language::German;
  bool help = false;
};

struct UsageError {
  std::string text;
};

const char* const kUsageLine =
    "Usage: ziva-batch [--lang CODE] [--cfg FILE] [--set TAG=VALUE]... [--asc FILE] [--bmp FILE] "
    "WAV...";

std::string language_codes() {
  std::string all;
  for (Language l : languages()) all += (all.empty() ? "" : ", ") + language_code(l);
  return all;
}

Options parse(int argc, char** argv) {
  Options o;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty()) throw UsageError{"an empty WAV file name"};
      o.wavs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    std::string name = arg, value;
    bool inline_value = false;
    if (std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    if (name != "--cfg" && name != "--set" && name != "--asc" && name != "--bmp" &&
        name != "--lang")
      throw UsageError{"unknown option '" + arg + "'"};
    if (!inline_value) {
      if (i + 1 >= argc) throw UsageError{"option '" + name + "' needs a value"};
      value = argv[++i];
    }
    if (name == "--cfg") {
      if (value.empty()) throw UsageError{"--cfg needs a file name"};
      o.cfgs.push_back(value);
    } else if (name == "--set") {
      std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0)
        throw UsageError{"--set needs TAG=VALUE, not '" + value + "'"};
      o.sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (name == "--lang") {
      std::optional<Language> lang = language_of_code(value);
      if (!lang) throw UsageError{"unknown language '" + value + "' (" + language_codes() + ")"};
      o.lang = *lang;
    } else if (name == "--asc") {
      o.asc = value;
    } else {
      o.bmp = value;
    }
  }
  return o;
}

// ---- services -----------------------------------------------------------------------------

using PrintEntry = int (*)(const Graphics*, double, const char*, const char*, int, char*,
                           std::size_t);

// The printer module's entry, loaded beside this executable on first use.
PrintEntry printer() {
  static void* module = nullptr;
  if (module == nullptr) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string path = (self.parent_path() / ZIVA_BATCH_PRINT_MODULE).string();
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* why = dlerror();
      throw Error("Cannot load the bitmap printer " + path + ": " + (why ? why : "unknown error"));
    }
  }
  auto entry = reinterpret_cast<PrintEntry>(dlsym(module, "ziva_batch_print"));
  if (entry == nullptr) throw Error("The bitmap printer has no entry ziva_batch_print.");
  return entry;
}

// The tool's platform: every dialog is cancelled, dialog texts and warnings go to standard
// error, and prints are drawn by the printer module.
class ToolServices : public ScriptedServices {
 public:
  void attach(const Graphics& g) { graphics_ = &g; }
  void error_dialog(const std::string& message, const std::string& title) override {
    ScriptedServices::error_dialog(message, title);
    if (title.empty()) {
      std::fprintf(stderr, "%s\n", message.c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    }
  }
  void show_warning(const std::string& text) override {
    ScriptedServices::show_warning(text);
    std::fprintf(stderr, "Warning: %s\n", text.c_str());
  }
  void print(Handle figure, const std::string& device, const std::string& file,
             const PrintOptions& options) override {
    ScriptedServices::print(figure, device, file, options);
    char error[1024] = "";
    if (printer()(graphics_, figure, device.c_str(), file.c_str(), options.window_layout ? 1 : 0,
                  error, sizeof error) != 0)
      throw Error(error);
  }

 private:
  const Graphics* graphics_ = nullptr;
};

// ---- the main window's controls -----------------------------------------------------------

struct ControlInfo {
  Handle h;
  std::string tag, style, caption;
};

// The tagged controls of the main window that --set can change, in creation order, each with
// the caption the window shows for it: the text control just before it, or its own text.
std::vector<ControlInfo> settable_controls(const Graphics& g, Handle main_fig) {
  std::vector<Handle> kids = g.children(main_fig);
  std::vector<ControlInfo> out;
  Handle previous = 0;
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    Handle h = *it;
    if (g.type(h) != ObjType::Uicontrol) continue;
    std::string tag = g.get_text(h, "Tag");
    std::string style = to_lower(g.get_text(h, "Style"));
    bool settable = style == "edit" || style == "popupmenu" || style == "checkbox" ||
                    (style == "pushbutton" && tag == "set_sdiag_color");
    if (!tag.empty() && settable) {
      std::string caption;
      if (style == "checkbox" || style == "pushbutton") {
        caption = g.get_text(h, "String");
      } else if (previous != 0 && to_lower(g.get_text(previous, "Style")) == "text") {
        caption = g.get_text(previous, "String");
      }
      out.push_back({h, tag, style, trim_trailing_blanks(caption)});
    }
    previous = h;
  }
  return out;
}

std::string padded(const std::string& s, std::size_t width) {
  return char_count(s) >= width ? s + " " : pad_to(s, width);
}

void print_help(std::FILE* out) {
  // The window's controls as the program builds them, without loading any parameter file.
  ScriptedServices quiet;
  Program program(quiet);
  Graphics& g = program.graphics();
  g.set(kRoot, "DefaultUIcontrolUnits", "normalized");
  Handle fig = g.figure();
  uicontrols_main(program.env(), fig);
  adj_par(program.env());

  std::fprintf(out,
               "%s\n\n"
               "Evaluates each WAV recording as \"%s\" does in the main window\n"
               "of %s, without windows. Several recordings overlay in one diagram.\n\n"
               "Options:\n"
               "  --lang CODE       language of captions, entries and messages: %s\n"
               "                    (de is the default); files are the same in every language\n"
               "  --cfg FILE        load a parameter file (.cfg); applied before every --set\n"
               "  --set TAG=VALUE   set a control of the main window, in the order given:\n"
               "                    an edit field's text, a pop-up's entry (its number or\n"
               "                    its text), a check box (0 or 1), the curve colour\n"
               "                    (a colour letter such as r, g, b, k or three numbers 0..1)\n"
               "  --asc FILE        write the visible curves as an ASCII table (out_file);\n"
               "                    a name ending in .csv writes a CSV table with the\n"
               "                    conditions of every curve\n"
               "  --bmp FILE        print the diagram as a 24-bit BMP (print_file);\n"
               "                    a name ending in .png writes PNG, .svg SVG, .pdf PDF\n"
               "  -h, --help        show this text\n\n"
               "A pop-up's entries are those it shows at that moment: popup_sig_ch2's list\n"
               "follows popup_sig_ch1 (set that first).\n"
               "%s in the working directory is loaded at start when it exists.\n"
               "Cutting by hand (cut_File) is always off. Error messages go to standard error.\n"
               "Exit status: 0 every evaluation ran; 1 one failed (the rest were not run);\n"
               "2 usage error, unknown tag, or an output that is a recording or the other\n"
               "output.\n\n"
               "Tags of the main-window controls:\n",
               kUsageLine, st_text(strings(), "push_sdiag").c_str(), kTitle,
               language_codes().c_str(), kStartupFile);
  const std::size_t indent = 2 + 20 + 36, width = 100;
  for (const ControlInfo& c : settable_controls(g, fig)) {
    std::vector<std::string> what;
    if (c.style == "edit") {
      what.push_back("text, now \"" + g.get_text(c.h, "String") + "\"");
    } else if (c.style == "checkbox") {
      what.push_back("0 or 1, now " + num2str(g.get_scalar(c.h, "Value")));
      if (c.tag == "cut_File") what.back() = "always 0 here";
    } else if (c.style == "popupmenu") {
      std::vector<std::string> rows = g.get(c.h, "String").rows();
      for (std::size_t i = 0; i < rows.size(); ++i)
        what.push_back(std::to_string(i + 1) + " " + trim_trailing_blanks(rows[i]) +
                       (i + 1 < rows.size() ? "," : ""));
    } else {
      what.push_back("colour");
    }
    std::string line = "  " + padded(c.tag, 20) + padded(c.caption, 36);
    std::size_t used = indent;
    for (std::size_t i = 0; i < what.size(); ++i) {
      std::size_t n = char_count(what[i]);
      if (i > 0 && used + 1 + n > width) {
        line += "\n" + std::string(indent, ' ');
        used = indent;
      } else if (i > 0) {
        line += " ";
        used += 1;
      }
      line += what[i];
      used += n;
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
}

// ---- applying settings --------------------------------------------------------------------

std::optional<double> entry_number(const std::string& value, std::size_t count) {
  if (auto n = str2num(value)) {
    if (*n >= 1 && *n <= static_cast<double>(count) && *n == static_cast<int>(*n)) return *n;
  }
  return std::nullopt;
}

// Applies one --set; a tag that is not a settable control or a value that does not fit throws
// UsageError.
void apply_set(Env& env, const std::vector<ControlInfo>& controls, const std::string& tag,
               const std::string& value) {
  const ControlInfo* c = nullptr;
  for (const auto& info : controls)
    if (info.tag == tag) c = &info;
  if (c == nullptr) throw UsageError{"unknown tag '" + tag + "' (see --help for the tags)"};
  Graphics& g = env.g;
  if (c->style == "edit") {
    g.set(c->h, "String", value);
  } else if (c->style == "checkbox") {
    std::string v = to_lower(trim_blanks(value));
    if (v == "1" || v == "on") {
      g.set(c->h, "Value", 1.0);
    } else if (v == "0" || v == "off") {
      g.set(c->h, "Value", 0.0);
    } else {
      throw UsageError{"check box '" + tag + "' takes 0 or 1, not '" + value + "'"};
    }
  } else if (c->style == "popupmenu") {
    std::vector<std::string> rows = g.get(c->h, "String").rows();
    std::optional<double> n = entry_number(value, rows.size());
    for (std::size_t i = 0; i < rows.size() && !n; ++i) {
      if (iequals(trim_blanks(rows[i]), trim_blanks(value))) n = static_cast<double>(i + 1);
    }
    if (!n) {
      std::string entries;
      for (std::size_t i = 0; i < rows.size(); ++i)
        entries += (i ? ", " : "") + std::to_string(i + 1) + " " + trim_trailing_blanks(rows[i]);
      throw UsageError{"pop-up '" + tag + "' has no entry '" + value + "' (" + entries + ")"};
    }
    g.set(c->h, "Value", *n);
    if (tag == "popup_sig_ch1" || tag == "popup_sig_ch2") adj_par(env);
  } else {
    Value colour;
    std::vector<double> parts;
    std::string rest = value;
    for (char& ch : rest)
      if (ch == ',') ch = ' ';
    std::size_t pos = 0;
    while (pos < rest.size()) {
      std::size_t next = rest.find(' ', pos);
      std::string piece = rest.substr(pos, next == std::string::npos ? next : next - pos);
      if (!piece.empty()) {
        auto x = str2num(piece);
        parts.push_back(x && *x >= 0 && *x <= 1 ? *x : -1);
      }
      if (next == std::string::npos) break;
      pos = next + 1;
    }
    try {
      if (parts.size() == 3 && parts[0] >= 0 && parts[1] >= 0 && parts[2] >= 0) {
        colour = Value::row({parts[0], parts[1], parts[2]});
      } else {
        colour = Value(Eigen::RowVectorXd(to_rgb(Value(value))));
      }
    } catch (const Error&) {
      throw UsageError{"'" + tag + "' takes a colour (r, g, b, c, m, y, k, w or three numbers " +
                       "0..1), not '" + value + "'"};
    }
    g.set(c->h, "BackgroundColor", colour);
  }
}

// Runs one step of the program. False when it failed: it threw, or it showed an error dialog
// (whose text the services have already written to standard error).
bool step(ToolServices& services, const std::function<void()>& f) {
  std::size_t before = services.errors.size();
  try {
    f();
  } catch (const ReportedError&) {
    if (services.errors.size() == before) std::fprintf(stderr, "Error.\n");
    return false;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
  return services.errors.size() == before;
}

int run(const Options& o) {
  // An output that is one of the recordings would replace it before its turn comes.
  try {
    for (const std::string& wav : o.wavs)
      check_outputs(wav, o.asc.value_or(""), o.bmp.value_or(""));
  } catch (const Error& e) {
    std::fprintf(stderr, "ziva-batch: %s\n", e.what());
    return kUsage;
  }
  ToolServices services;
  Program program(services);
  services.attach(program.graphics());
  Env& env = program.env();
  Graphics& g = program.graphics();

  if (!step(services, [&] { program.call("zaror_arad", 0); })) return kFailed;
  for (const std::string& cfg : o.cfgs) {
    if (!step(services, [&] { program.call("load_par", 0, {Value(cfg)}); })) return kFailed;
  }
  Handle main_fig = g.find_first("Tag", "Main Figure");
  if (main_fig == 0) {
    std::fprintf(stderr, "ziva-batch: the main window was not built.\n");
    return kFailed;
  }
  std::vector<ControlInfo> controls = settable_controls(g, main_fig);
  try {
    for (const auto& [tag, value] : o.sets) apply_set(env, controls, tag, value);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "ziva-batch: %s\n", e.text.c_str());
    return kUsage;
  }
  // Nobody is there to cut a recording by hand.
  g.set(control(env, tag::cut_file), "Value", 0.0);
  if (o.asc) g.set(control(env, tag::out_file), "String", *o.asc);
  if (o.bmp) g.set(control(env, tag::print_file), "String", *o.bmp);

  for (const std::string& wav : o.wavs) {
    g.set(control(env, tag::wav_file), "String", wav);
    if (!step(services, [&] { program.call("calc_diag", 0); })) {
      std::fprintf(stderr, "ziva-batch: the evaluation of '%s' failed.\n", wav.c_str());
      return kFailed;
    }
  }
  return kOk;
}

}  // namespace
}  // namespace ziva

int main(int argc, char** argv) {
  using namespace ziva;
  Options o;
  try {
    o = parse(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "ziva-batch: %s\n%s\nTry 'ziva-batch --help'.\n", e.text.c_str(),
                 kUsageLine);
    return kUsage;
  }
  set_language(o.lang);
  if (o.help) {
    print_help(stdout);
    return kOk;
  }
  if (o.wavs.empty()) {
    std::fprintf(stderr, "ziva-batch: no WAV file given\n%s\nTry 'ziva-batch --help'.\n",
                 kUsageLine);
    return kUsage;
  }
  try {
    return run(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ziva-batch: %s\n", e.what());
    return kFailed;
  }
}
