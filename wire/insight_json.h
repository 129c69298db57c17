// The JSON forms of the insight answers (preview, compare, where used,
// import), as the tool prints them and the API answers them. Keys are in a
// fixed order so that two answers compare as text.
#ifndef MIGPROF_WIRE_INSIGHT_JSON_H_
#define MIGPROF_WIRE_INSIGHT_JSON_H_

#include <vector>

#include "migprof/insight.h"
#include "wire/json_values.h"

namespace migprof::wire {

// {"<table>": {"added": [row...], "changed": [{"old": row, "new": row,
// "columns": [name...]}...], "removed": [row...]}...}, a row as
// {"column": value} in the table's column order.
Json ChangesJson(const std::vector<insight::TableChanges>& changes);

// {"left": {"mprf", "vers", "rele", "cust"}, "right": {...},
//  "right_is_parent": bool,
//  "tables": {"<table>": [{"key": {...}, "status": "same" | "changed" |
//      "only_left" | "only_right", "changes": {"<column>": {"left": v,
//      "right": v}}, "lineage": "inherited" | "overridden" | "local"}...]},
//  "summary": {"same": n, "changed": n, "only_left": n, "only_right": n}}
// "changes" for changed rules; "lineage" when right is left's parent.
Json ComparisonJson(const insight::Comparison& comparison);

// {"profile": {...}, "ancestors": [{"levl", "mprf", "vers", "rele",
// "cust"}...], "derived": [{"mprf", "vers", "rele", "cust", "derived":
// [...]}...]}.
Json LineageJson(const insight::ProfileLineage& lineage);

// {"table": {"tcpac", "tcmod", "tflno"}, "used_by": [{"mprf", "vers",
// "rele", "cust", "tables": [...]}...]}.
Json TableUsageJson(const insight::TableUsage& usage);

// {"function": name, "holds": [{"mprf", "vers", "rele", "cust",
// "stat"}...], "calls": [{"mprf", "vers", "rele", "cust", "tables":
// ["<pac><mod><flno>"]}...]}.
Json FunctionUsageJson(const insight::FunctionUsage& usage);

// {"mprf": n, "rows": {"<table>": count...}}.
Json ImportJson(const insight::ImportResult& result);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_INSIGHT_JSON_H_
