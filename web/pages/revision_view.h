// What the revision screens show, kept apart from the routes: how an item is
// named in a request, which edited values changed, how a change is labelled
// and turned round, and how old a check-out is.
#ifndef MIGPROF_WEB_PAGES_REVISION_VIEW_H_
#define MIGPROF_WEB_PAGES_REVISION_VIEW_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/revisions.h"
#include "migprof/automation.h"

namespace migprof::web {

// The item a request names: kind "function" with the function's name, or
// kind "rule" with the table code (package, module, table number: at least
// six characters). nullopt for any other kind, an empty name or a short
// table code.
std::optional<configmgt::Item> ParseItem(Integer mprf, const configmgt::Vrc& vrc,
                                         const std::string& kind, const std::string& name);

// "function" or "rule", as ParseItem takes it.
std::string KindWord(configmgt::ItemKind kind);

// The query string naming the item on the revision pages:
// "?vers=..&rele=..&cust=..&kind=..&name=..", values URL-encoded.
std::string ItemQuery(const configmgt::Item& item);

// The (column, value) pairs of `submitted` whose value differs from the
// column's value in `current`; a column `current` lacks is left out.
std::vector<std::pair<String, String>> ChangedValues(
    const std::vector<std::pair<String, String>>& current,
    const std::vector<std::pair<String, String>>& submitted);

// How a changed row is named for people: "Function", "Table rule" or
// "Field rule <fdnm>"; other tables by their name and row.
std::string RowLabel(const configmgt::Change& change);

// The changes the other way round (what turns `after` back into `before`):
// before and after swapped, added and removed swapped, and in a line diff
// "+ " and "- " swapped.
std::vector<configmgt::Change> Reversed(std::vector<configmgt::Change> changes);

// text with every "\r\n" and lone "\r" turned into "\n": browsers send a
// textarea's lines with "\r\n", the database keeps "\n".
std::string UnixLines(const std::string& text);

// How long ago a stored "YYYY-MM-DD hh:mm:ss" was at `now`: "just now",
// "12 min", "5 h" or "3 days"; "" when the text is not such a date.
std::string AgeText(const String& since, const DateTime& now);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_REVISION_VIEW_H_
