// One late-bound call of a member of the component, answered as JSON.
#ifndef MIGPROF_COMMANDS_CALL_MEMBER_H_
#define MIGPROF_COMMANDS_CALL_MEMBER_H_

#include <vector>

#include "commands/json_values.h"
#include "migprof/dispatch.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::cli {

// Converts the JSON arguments of a call to the member's parameter types.
// Omitted optional arguments are "". Too many arguments, or too few for the
// parameters that are not optional, raise ComError 450 "Wrong number of
// arguments or invalid property assignment"; a value that does not convert
// raises the conversion's error (6 "Overflow", 13 "Type mismatch"). REQUIRES:
// args is an array.
std::vector<Variant> ConvertArguments(const dispatch::Member& member, const Json& args);

// Calls member on object with args (a JSON array) and answers
//   {"result": <value or null>, "ErrorNumber": <n>, "ErrDescription": "<text>"}
// with the object's error state after the call, plus
//   "byref": [...]  the by-reference arguments after the call, for a member
//                   that has any and was called (not when its arguments were
//                   refused);
//   "raised": {"number": n, "description": "..."}  when the call raised,
//                   including a refusal of its arguments;
//   "statements": [...]  with trace, the statement texts the call sent.
// Never throws ComError: whatever the member raises is answered.
Json CallMember(TOVRHandleMigProf& object, const dispatch::Member& member, const Json& args,
                bool trace);

// {"number": n, "description": "..."} for a raised failure.
Json RaisedJson(const ComError& error);

}  // namespace migprof::cli

#endif  // MIGPROF_COMMANDS_CALL_MEMBER_H_
