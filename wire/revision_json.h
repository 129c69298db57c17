// The JSON forms of revision control's answers, as the tool prints them and
// the API answers them.
#ifndef MIGPROF_WIRE_REVISION_JSON_H_
#define MIGPROF_WIRE_REVISION_JSON_H_

#include <optional>
#include <vector>

#include "app/revisions.h"
#include "wire/json_values.h"

namespace migprof::wire {

// {"mprf": n, "vrc": "v_r_c", "function" | "table": name}.
Json ItemJson(const configmgt::Item& item);
// {"item": ..., "revisions": [{"revision", "user", "date", "action", "comment"}...]}.
Json HistoryJson(const configmgt::Item& item, const std::vector<configmgt::Revision>& revisions);
// {"item": ..., "from": n, "to": n | "current", "changes": [{"table", "row",
// "column", "before", "after", ["added"], ["removed"], ["lines"]}...]}.
Json DiffJson(const configmgt::Item& item, Long from, std::optional<Long> to,
              const std::vector<configmgt::Change>& changes);
// {"checkOuts": [{item..., "holder", "since", "ageSeconds", "recorded"}...]}.
Json CheckOutsJson(const std::vector<configmgt::CheckOutRecord>& open);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_REVISION_JSON_H_
