// The JSON forms of the activity log and of accounts and tokens.
#ifndef MIGPROF_WIRE_ACTIVITY_JSON_H_
#define MIGPROF_WIRE_ACTIVITY_JSON_H_

#include <vector>

#include "app/accounts.h"
#include "app/activity.h"
#include "wire/json_values.h"

namespace migprof::wire {

// {"id", "when" (UTC, "YYYY-MM-DDThh:mm:ssZ"), "user", "entry", "operation",
// "mprf" (or null), "arguments": {...}, "outcome", "errorNumber", "message",
// "rows": {"<table>": n}, "totalRows"}.
Json ActivityJson(const app::ActivityEntry& entry);
// {"name", "role", "disabled", "sessions", "tokens"}.
Json AccountJson(const app::Account& account);
// {"id", "user", "created"}.
Json TokenJson(const app::ApiToken& token);

// Seconds since 1970 as "YYYY-MM-DDThh:mm:ssZ".
String UtcText(long long seconds);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_ACTIVITY_JSON_H_
