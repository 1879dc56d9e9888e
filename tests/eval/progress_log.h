// Watches the object model for progress windows: how many were opened and are still open, their
// window names and every fill percentage their bars showed.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/core/graphics.h"

namespace ziva {

class ProgressLog : public GraphicsObserver {
 public:
  explicit ProgressLog(Graphics& g) : g_(g) { g_.add_observer(this); }
  ~ProgressLog() override { g_.remove_observer(this); }
  ProgressLog(const ProgressLog&) = delete;
  ProgressLog& operator=(const ProgressLog&) = delete;

  void created(Handle h) override {
    if (g_.type(h) == ObjType::Figure && g_.get_text(h, "Tag") == "TMWWaitbar") {
      windows_.insert(h);
      ++opened;
      ++open;
    }
    if (g_.type(h) == ObjType::Patch) record(h);
  }
  void changed(Handle h, const std::string& property) override {
    if (g_.type(h) == ObjType::Figure && property == "name" && windows_.count(h))
      names.push_back(g_.get_text(h, "Name"));
    if (g_.type(h) == ObjType::Patch && property == "xdata") record(h);
  }
  void deleted(Handle h, ObjType type) override {
    if (type == ObjType::Figure && windows_.erase(h)) --open;
  }

  int opened = 0;
  int open = 0;
  std::vector<std::string> names;
  std::vector<double> marks;

 private:
  void record(Handle patch) {
    Handle fig = g_.parent(g_.parent(patch));
    if (windows_.count(fig)) marks.push_back(g_.get_row(patch, "XData")(1));
  }
  Graphics& g_;
  std::set<Handle> windows_;
};

}  // namespace ziva
