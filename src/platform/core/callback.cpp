#include "platform/core/callback.h"

#include <cctype>
#include <cstdlib>

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

namespace {

// Calls nested deeper than this are refused: the parser and the evaluation recurse once per level,
// and the program's own callbacks nest two deep.
constexpr int kMaxNesting = 100;

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  std::vector<CallExpr> statements() {
    std::vector<CallExpr> out;
    skip();
    while (pos_ < s_.size()) {
      if (s_[pos_] == ';' || s_[pos_] == ',') {
        ++pos_;
        skip();
        continue;
      }
      out.push_back(call());
      skip();
      if (pos_ < s_.size() && s_[pos_] != ';' && s_[pos_] != ',') fail();
    }
    return out;
  }

 private:
  void skip() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  [[noreturn]] void fail() const {
    throw Error("Error in callback string: unexpected text at column " + std::to_string(pos_ + 1) +
                " of \"" + s_ + "\".");
  }
  static bool name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
  }

  CallExpr call() {
    if (++depth_ > kMaxNesting) {
      throw Error("Error in callback string: calls nested more than " +
                  std::to_string(kMaxNesting) + " deep at column " + std::to_string(pos_ + 1) +
                  ".");
    }
    CallExpr c = call_body();
    --depth_;
    return c;
  }

  CallExpr call_body() {
    CallExpr c;
    std::size_t start = pos_;
    if (pos_ >= s_.size() || !(std::isalpha(static_cast<unsigned char>(s_[pos_])))) fail();
    while (pos_ < s_.size() && name_char(s_[pos_])) ++pos_;
    c.name = s_.substr(start, pos_ - start);
    skip();
    if (pos_ < s_.size() && s_[pos_] == '(') {
      ++pos_;
      skip();
      if (pos_ < s_.size() && s_[pos_] == ')') {
        ++pos_;
        return c;
      }
      for (;;) {
        c.args.push_back(argument());
        skip();
        if (pos_ >= s_.size()) fail();
        if (s_[pos_] == ',') {
          ++pos_;
          skip();
          continue;
        }
        if (s_[pos_] == ')') {
          ++pos_;
          break;
        }
        fail();
      }
    }
    return c;
  }

  CallArg argument() {
    if (pos_ >= s_.size()) fail();
    char ch = s_[pos_];
    if (ch == '\'') return quoted();
    if (std::isdigit(static_cast<unsigned char>(ch)) || ch == '-' || ch == '+' || ch == '.')
      return number();
    return call();
  }

  std::string quoted() {
    ++pos_;
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) fail();
      if (s_[pos_] == '\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
          out += '\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        return out;
      }
      out += s_[pos_++];
    }
  }

  double number() {
    const char* begin = s_.c_str() + pos_;
    char* end = nullptr;
    double v = std::strtod(begin, &end);
    if (end == begin) fail();
    pos_ += static_cast<std::size_t>(end - begin);
    return v;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

Value arg_value(Env& env, const CallArg& a) {
  if (const auto* s = std::get_if<std::string>(&a)) return Value(*s);
  if (const auto* d = std::get_if<double>(&a)) return Value(*d);
  Values out = eval_call(env, std::get<CallExpr>(a), 1);
  if (out.empty()) throw Error("Error: '" + std::get<CallExpr>(a).name + "' returns no value.");
  return out.front();
}

Values builtin_findobj(Env& env, const Values& args) {
  if (args.size() % 2 != 0)
    throw Error("Invalid findobj arguments: property/value pairs expected.");
  Props criteria;
  for (std::size_t i = 0; i < args.size(); i += 2)
    criteria.emplace_back(args[i].is_text() ? args[i].text() : std::string(), args[i + 1]);
  auto found = env.g.findobj(criteria);
  if (found.empty()) return {Value::empty_matrix()};
  Eigen::MatrixXd h(static_cast<Eigen::Index>(found.size()), 1);
  for (std::size_t i = 0; i < found.size(); ++i) h(static_cast<Eigen::Index>(i), 0) = found[i];
  return {Value(h)};
}

}  // namespace

std::vector<CallExpr> parse_callback(const std::string& text) {
  return Parser(text).statements();
}

Values eval_call(Env& env, const CallExpr& call, int nargout) {
  Values args;
  for (const auto& a : call.args) args.push_back(arg_value(env, a));
  if (call.name == "close") {
    if (args.empty()) {
      Handle f = env.g.current_figure();
      if (f != 0) env.g.close(f);
    } else if (args[0].is_text() && iequals(args[0].text(), "all")) {
      env.g.close_all();
    } else {
      for (const auto& a : args)
        if (!a.empty())
          for (Eigen::Index i = 0; i < a.num().size(); ++i) env.g.close(a.num().data()[i]);
    }
    return {};
  }
  if (call.name == "findobj") return builtin_findobj(env, args);
  return env.f.call(env, call.name, nargout, std::move(args));
}

void run_callback(Env& env, const std::string& text) {
  for (const auto& statement : parse_callback(text)) eval_call(env, statement, 0);
}

}  // namespace ziva
