// Late-bound calls of the component's members by name, as the dispatch half
// of the dual interface offers them to scripting hosts.
#ifndef MIGPROF_DISPATCH_H_
#define MIGPROF_DISPATCH_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "migprof/ado.h"
#include "migprof/automation.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::dispatch {

enum class ParamType { kInteger, kBoolean, kString, kVariant, kConnection };
enum class ResultType { kNone, kBoolean, kDouble, kString, kConnection };

struct Param {
  std::string name;
  ParamType type;
  bool by_ref = false;
  // An omitted optional argument is "".
  bool optional = false;
};

// What a member returned: a value, or for kConnection an object.
struct Result {
  Variant value;
  std::shared_ptr<ado::Connection> object;
};

struct Member {
  int position;  // 1-based interface position
  std::string name;
  std::vector<Param> params;
  ResultType result;
  // Calls the member. args holds one value per parameter, already coerced to
  // the parameter's type (CoerceArgument); by-reference arguments are written
  // back into args. A failure the member raises passes through as ComError.
  std::function<Result(TOVRHandleMigProf&, std::vector<Variant>&)> invoke;
};

// Every member, in interface order.
const std::vector<Member>& Members();
// The member of this name, ignoring letter case; nullptr if there is none.
const Member* FindMember(std::string_view name);

// Converts a value to a parameter's type as the Automation runtime does:
// Integer from numbers and numeric text (6 "Overflow" out of range, 13 "Type
// mismatch" otherwise), Boolean kept as its 16-bit value (so 1 stays 1),
// String from any non-Null value. A Connection parameter accepts only Empty
// or Null (nothing). Raises ComError.
Variant CoerceArgument(const Variant& value, ParamType type);

}  // namespace migprof::dispatch

#endif  // MIGPROF_DISPATCH_H_
