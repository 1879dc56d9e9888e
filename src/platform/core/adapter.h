// The one generic adapter between typed C++ functions and calls by name: converts the inputs
// from Value, passes Env and the number of outputs where a function asks for them, and turns the
// results back into Values.
#pragma once

#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/error.h"
#include "platform/core/function_table.h"

namespace ziva {

// A parameter of this type receives the number of outputs the caller asked for.
struct Nargout {
  int n = 1;
};

// Raised for an input that a function reads but the caller did not give.
inline Error undefined_input(const std::string& function, std::size_t index) {
  return Error("Run-time Error: File: " + function + " Line: 1 Column: 1 Input argument #" +
               std::to_string(index + 1) + " is undefined.");
}

template <class T>
struct FromValue;

template <>
struct FromValue<Value> {
  static Value get(const Value& v) { return v; }
};
template <>
struct FromValue<double> {
  static double get(const Value& v) { return v.scalar(); }
};
template <>
struct FromValue<int> {
  static int get(const Value& v) { return static_cast<int>(v.scalar()); }
};
template <>
struct FromValue<std::string> {
  static std::string get(const Value& v) {
    if (v.is_number() && v.num().size() == 0) return {};
    if (v.is_list()) {
      auto r = v.rows();
      return r.empty() ? std::string() : r.front();
    }
    return v.text();
  }
};
template <>
struct FromValue<Eigen::MatrixXd> {
  static Eigen::MatrixXd get(const Value& v) { return v.num(); }
};
template <>
struct FromValue<Eigen::MatrixXcd> {
  static Eigen::MatrixXcd get(const Value& v) { return v.cnum(); }
};
template <>
struct FromValue<Record> {
  static Record get(const Value& v) { return v.rec(); }
};
template <class T>
struct FromValue<std::optional<T>> {
  static std::optional<T> get(const Value& v) {
    if (v.absent()) return std::nullopt;
    return FromValue<T>::get(v);
  }
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
Values to_values(T&& r) {
  return Values{Value(std::forward<T>(r))};
}
template <class... Ts>
Values to_values(std::tuple<Ts...>&& t) {
  Values out;
  std::apply([&](auto&&... xs) { (out.emplace_back(Value(std::move(xs))), ...); }, std::move(t));
  return out;
}
inline Values to_values(Values&& v) {
  return std::move(v);
}

namespace detail {

template <class P>
constexpr bool is_input() {
  using D = std::remove_cvref_t<P>;
  return !std::is_same_v<D, Env> && !std::is_same_v<D, Nargout>;
}

template <class... P, std::size_t... I>
constexpr std::array<std::size_t, sizeof...(P)> input_indices(std::index_sequence<I...>) {
  std::array<std::size_t, sizeof...(P)> idx{};
  std::size_t k = 0;
  ((idx[I] = is_input<P>() ? k++ : 0), ...);
  return idx;
}

template <class P>
decltype(auto) make_arg(Env& env, int nargout, const Values& args, std::size_t k,
                        const std::string& name) {
  using D = std::remove_cvref_t<P>;
  if constexpr (std::is_same_v<D, Env>) {
    return static_cast<Env&>(env);
  } else if constexpr (std::is_same_v<D, Nargout>) {
    return Nargout{nargout};
  } else {
    const Value empty_absent;
    const Value& v = k < args.size() ? args[k] : empty_absent;
    if constexpr (!IsOptional<D>::value && !std::is_same_v<D, Value>) {
      if (v.absent()) throw undefined_input(name, k);
    }
    return FromValue<D>::get(v);
  }
}

template <auto F, class Sig>
struct Adapter;

template <auto F, class R, class... P>
struct Adapter<F, R (*)(P...)> {
  template <std::size_t... I>
  static Values run(Env& env, int nargout, const Values& args, const std::string& name,
                    std::index_sequence<I...> seq) {
    constexpr auto idx = input_indices<P...>(std::index_sequence_for<P...>{});
    (void)seq;
    (void)idx;
    if constexpr (std::is_void_v<R>) {
      F(make_arg<P>(env, nargout, args, idx[I], name)...);
      return {};
    } else {
      return to_values(F(make_arg<P>(env, nargout, args, idx[I], name)...));
    }
  }
};

}  // namespace detail

// A table row for the typed function F.
template <auto F>
FunctionRow row(const std::string& name, int nin, int nout) {
  Entry e = [name](Env& env, int nargout, const Values& args) {
    using A = detail::Adapter<F, decltype(F)>;
    return [&]<class R, class... P>(R (*)(P...)) {
      return A::run(env, nargout, args, name, std::index_sequence_for<P...>{});
    }(F);
  };
  return FunctionRow{name, nin, nout, std::move(e)};
}

}  // namespace ziva
