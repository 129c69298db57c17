// The JSON forms of member calls: the arguments of a call as a JSON array,
// and its answer
//   {"result": <value or null>, "ErrorNumber": <n>, "ErrDescription": "...",
//    "byref": [...],          the by-reference arguments after the call, for
//                             a member that has any
//    "rows": {"<table>": n},  rows changed, for a member that changes rows
//    "raised": {"number": n, "description": "..."}   when the call raised,
//    "unrecorded": "..."      when the change could not be written to the
//                             activity log, and why}
#ifndef MIGPROF_WIRE_MEMBER_JSON_H_
#define MIGPROF_WIRE_MEMBER_JSON_H_

#include <string_view>

#include "app/members.h"
#include "migprof/com_error.h"
#include "wire/json_values.h"

namespace migprof::wire {

// The call of member with args (a JSON array, values as ArgumentFromJson
// reads them). Raises app::NotFound for an unknown member and ComError 450,
// 6 or 13 for arguments of the wrong count or type.
app::MemberCall CallFromJson(std::string_view member, const Json& args);
app::MemberCall CallFromJson(const dispatch::Member& member, const Json& args);

Json OutcomeJson(const app::MemberOutcome& outcome);

// {"number": n, "description": "..."}.
Json RaisedJson(const ComError& error);

// {"<table>": n, ...}.
Json RowsJson(const app::RowCounts& rows);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_MEMBER_JSON_H_
