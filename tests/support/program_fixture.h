// A started program with scripted services, run in a fresh working directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/functions.h"
#include "app/main_window.h"
#include "platform/core/scripted_services.h"
#include "support/work_dir.h"
#include "ui/language.h"

namespace ziva::testing {

// Every property named in `want` has the value given there.
inline void expect_props(const Graphics& g, Handle h, const Props& want) {
  for (const auto& [name, value] : want) EXPECT_EQ(g.get(h, name), value) << name;
}

class ProgramTest : public WorkDirTest {
 protected:
  // Starts the program (zaror_arad) with the scripted services.
  void start() {
    program_ = std::make_unique<Program>(services_);
    program_->call("zaror_arad", 0);
  }
  Env& env() { return program_->env(); }
  Graphics& g() { return program_->graphics(); }
  double ctl(const std::string& tag) { return control(env(), tag); }
  std::string str(const std::string& tag) { return g().get_text(ctl(tag), "String"); }
  double val(const std::string& tag) { return g().get_scalar(ctl(tag), "Value"); }
  void type(const std::string& tag, const std::string& text) { g().set(ctl(tag), "String", text); }
  void choose(const std::string& tag, double v) { g().set(ctl(tag), "Value", v); }
  void expect_props(Handle h, const Props& want) { testing::expect_props(g(), h, want); }
  void channels(double c1, double c2) {
    choose("popup_sig_ch1", c1);
    choose("popup_sig_ch2", c2);
  }
  // The lines of the trace cache (tagged "Saved Data<file><parameters>V" or "...RPM").
  std::vector<Handle> cache_lines() {
    std::vector<Handle> out;
    for (Handle h : g().children(g().find_first("Tag", "Saved Data")))
      if (g().get_text(h, "Tag").rfind("Saved Data", 0) == 0) out.push_back(h);
    return out;
  }

  ScriptedServices services_;
  std::unique_ptr<Program> program_;
};

// A program with scripted services that was not started: no main window, no working directory.
class BareProgramTest : public ::testing::Test {
 protected:
  BareProgramTest() : program_(services_) {}
  Graphics& g() { return program_.graphics(); }
  Env& env() { return program_.env(); }
  ScriptedServices services_;
  Program program_;
};

// Chooses a language of the UI texts for a scope; German again afterwards.
struct InLanguage {
  explicit InLanguage(Language lang) { set_language(lang); }
  ~InLanguage() { set_language(Language::German); }
};

}  // namespace ziva::testing
