// A started program with scripted services, run in a fresh working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/functions.h"
#include "app/main_window.h"
#include "platform/core/scripted_services.h"

namespace ziva::testing {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("ziva_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir_);
  }
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
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  ScriptedServices services_;
  std::unique_ptr<Program> program_;
  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

}  // namespace ziva::testing
