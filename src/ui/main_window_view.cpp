#include "ui/main_window_view.h"

#include "base/error.h"

namespace ziva {

Handle control(const Env& env, const std::string& tag) {
  Handle h = env.g.find_first("Tag", tag);
  if (h == 0) throw Error("No control tagged '" + tag + "'.");
  return h;
}

std::string MainWindowView::xaxis_label(int entry) const {
  return env_.g.get(control(env_, tag::xaxis), "String")
      .row_text(static_cast<std::size_t>(entry) - 1);
}

std::string MainWindowView::yaxis_label(int entry) const {
  return env_.g.get(control(env_, tag::yaxis), "String")
      .row_text(static_cast<std::size_t>(entry) - 1);
}

Eigen::MatrixXd MainWindowView::curve_colour() const {
  return env_.g.get(control(env_, tag::curve_colour), "BackgroundColor").num();
}

std::string MainWindowView::text(const char* tag) const {
  return env_.g.get_text(control(env_, tag), "String");
}

void MainWindowView::set_text(const char* tag, const std::string& s) const {
  env_.g.set(control(env_, tag), "String", s);
}

double MainWindowView::value(const char* tag) const {
  return env_.g.get_scalar(control(env_, tag), "Value");
}

void MainWindowView::set_value(const char* tag, double v) const {
  env_.g.set(control(env_, tag), "Value", v);
}

}  // namespace ziva
