// Builds a dispatch entry from a member function of TOVRHandleMigProf: the
// parameter types, by-reference flags and result type come from the member's
// signature, and the call converts each coerced argument to the type the
// member takes, so an entry names only its position, name and parameters.
#ifndef MIGPROF_COMPONENT_DISPATCH_BIND_H_
#define MIGPROF_COMPONENT_DISPATCH_BIND_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "migprof/dispatch.h"

namespace migprof::dispatch {

// The name of a parameter that may be omitted; an omitted argument is "", so
// only a String parameter can be optional.
struct Optional {
  const char* name;
};

namespace bind_detail {

// How a parameter of type T is described, and how its value is taken from
// an argument that CoerceArgument has already converted.
template <typename T>
struct Arg;

template <>
struct Arg<Integer> {
  static constexpr ParamType kType = ParamType::kInteger;
  static Integer From(const Variant& arg) { return arg.AsInteger(); }
};

// A Boolean arrives as its 16-bit value and is passed on unchanged, so a flag
// of 1 reaches the member as 1, which is not True.
template <>
struct Arg<Boolean> {
  static constexpr ParamType kType = ParamType::kBoolean;
  static Boolean From(const Variant& arg) { return Boolean(arg.AsInteger()); }
};

template <>
struct Arg<String> {
  static constexpr ParamType kType = ParamType::kString;
  static String From(const Variant& arg) { return arg.AsString(); }
};

template <>
struct Arg<Variant> {
  static constexpr ParamType kType = ParamType::kVariant;
  static Variant From(const Variant& arg) { return arg; }
};

// A connection argument can only be nothing: CoerceArgument refuses
// everything but Empty and Null.
template <>
struct Arg<std::shared_ptr<ado::Connection>> {
  static constexpr ParamType kType = ParamType::kConnection;
  static std::shared_ptr<ado::Connection> From(const Variant&) { return nullptr; }
};

// How a result of type T is described and handed back.
template <typename T>
struct Ret;

template <ResultType kResult>
struct ValueRet {
  static constexpr ResultType kType = kResult;
  template <typename T>
  static Result Wrap(T value) {
    return Result{Variant(std::move(value)), nullptr};
  }
};

template <>
struct Ret<void> {
  static constexpr ResultType kType = ResultType::kNone;
};
template <>
struct Ret<Boolean> : ValueRet<ResultType::kBoolean> {};
template <>
struct Ret<Double> : ValueRet<ResultType::kDouble> {};
template <>
struct Ret<String> : ValueRet<ResultType::kString> {};

template <>
struct Ret<std::shared_ptr<ado::Connection>> {
  static constexpr ResultType kType = ResultType::kConnection;
  static Result Wrap(std::shared_ptr<ado::Connection> connection) {
    return Result{Variant(), std::move(connection)};
  }
};

// A parameter the member takes by non-const reference is ByRef: the value it
// leaves there is written back into the argument.
template <typename P>
inline constexpr bool kByRef =
    std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>;

struct ParamName {
  ParamName(const char* given) : name(given) {}
  ParamName(Optional given) : name(given.name), optional(true) {}

  const char* name;
  bool optional = false;
};

template <typename P>
Param Describe(const ParamName& name) {
  return Param{name.name, Arg<std::remove_cvref_t<P>>::kType, kByRef<P>, name.optional};
}

template <typename P, typename V>
void WriteBack(Variant& arg, const V& value) {
  if constexpr (kByRef<P>) arg = Variant(value);
}

// Calls the member with the arguments converted to its parameter types, then
// writes back the by-reference ones (only when the member returns normally).
template <typename R, typename... Ps, typename Method, std::size_t... I>
Result Call(Method method, TOVRHandleMigProf& object, [[maybe_unused]] std::vector<Variant>& args,
            std::index_sequence<I...>) {
  // Each value in a variable of its own, which a by-reference parameter binds
  // to; a by-value one is moved into the call.
  std::tuple<std::remove_cvref_t<Ps>...> values{Arg<std::remove_cvref_t<Ps>>::From(args[I])...};
  if constexpr (std::is_void_v<R>) {
    std::invoke(method, object, std::forward<Ps>(std::get<I>(values))...);
    (WriteBack<Ps>(args[I], std::get<I>(values)), ...);
    return Result{};
  } else {
    R result = std::invoke(method, object, std::forward<Ps>(std::get<I>(values))...);
    (WriteBack<Ps>(args[I], std::get<I>(values)), ...);
    return Ret<R>::Wrap(std::move(result));
  }
}

template <typename P, typename Name>
inline constexpr bool kOptionalFits =
    !std::is_same_v<Name, Optional> || std::is_same_v<std::remove_cvref_t<P>, String>;

template <typename R, typename... Ps, typename Method, typename... Names>
Member Make(int position, const char* name, Method method, const Names&... names) {
  static_assert(sizeof...(Names) == sizeof...(Ps), "one name per parameter");
  static_assert((kOptionalFits<Ps, Names> && ...),
                "an omitted argument is \"\", so only a String parameter can be optional");
  return Member{position,
                name,
                {Describe<Ps>(ParamName(names))...},
                Ret<R>::kType,
                [method](TOVRHandleMigProf& object, std::vector<Variant>& args) {
                  return Call<R, Ps...>(method, object, args, std::index_sequence_for<Ps...>{});
                }};
}

}  // namespace bind_detail

// The entry of the member at this interface position, called by this name,
// with one name (or Optional name) per parameter in the member's order.
template <typename R, typename... Ps, typename... Names>
Member Bind(int position, const char* name, R (TOVRHandleMigProf::*method)(Ps...),
            const Names&... param_names) {
  return bind_detail::Make<R, Ps...>(position, name, method, param_names...);
}

template <typename R, typename... Ps, typename... Names>
Member Bind(int position, const char* name, R (TOVRHandleMigProf::*method)(Ps...) const,
            const Names&... param_names) {
  return bind_detail::Make<R, Ps...>(position, name, method, param_names...);
}

}  // namespace migprof::dispatch

#endif  // MIGPROF_COMPONENT_DISPATCH_BIND_H_
