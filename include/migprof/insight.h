// Insight into a profile database without changing it: what a changing
// member would do (preview), how the rules of two profiles differ (compare),
// where a profile, table or function is used, and a profile moved between
// databases as one JSON document (export, import).
//
// Every function reads the database through the data-access layer, with the
// settings of a DataSource, and raises ComError when the database fails.
// Answers are JSON with keys in a fixed order, so a front end and a diff
// read them the same way every time.
#ifndef MIGPROF_INSIGHT_H_
#define MIGPROF_INSIGHT_H_

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "migprof/automation.h"

namespace migprof::insight {

using Json = nlohmann::ordered_json;

// The settings a component object connects with: DatabaseName,
// DatabaseUser, DatabasePassword.
struct DataSource {
  String name;
  String user;
  String password;
};

// ---------------------------------------------------------------- preview

// Runs the work under preview against the snapshot data source and answers
// what it answered (for a member: its result and error state).
using PreviewRun = std::function<Json(const DataSource& snapshot)>;

// Runs run on a snapshot of source and answers
//   {"outcome": <run's answer>,
//    "changes": {"<table>": {"added": [row...],
//                            "changed": [{"old": row, "new": row,
//                                         "columns": [name...]}...],
//                            "removed": [row...]}...}}
// with a table only when its rows changed, rows as {"column": value} in the
// table's column order. source itself is never written; the snapshot is
// removed before Preview returns.
//
// The snapshot is an embedded database file of its own, in memory
// (/dev/shm) where the system has it. A file rather than a private memory
// database, because every query of a member opens a connection of its own,
// by file name, and must see what the member wrote before; a shared-cache
// memory database would lock whole tables where a member reads on one
// connection while it writes on another. An embedded source is copied whole
// with SQLite's backup API (pages, so row ids and indexes come along, and
// one consistent state even while others write). Over ODBC the profiles,
// levels, development VRCs, users, owner links and the data dictionary are
// read whole and the rules and functions of profiles only; the embedded
// database answers as SQL Server does, so the member behaves the same.
// Components the member creates by ProgID (UpdateMap100's configuration
// management) get the snapshot's settings; state they keep outside the
// database is not part of the snapshot.
Json Preview(const DataSource& source, const std::vector<Integer>& profiles, const PreviewRun& run);

// ---------------------------------------------------------------- compare

// A profile and a VRC; without a VRC, the profile's own (qzmap100).
struct RuleSet {
  Integer mprf = 0;
  std::optional<std::vector<String>> vrc;  // vers, rele, cust
};

// Compares the mapping rules and library functions of left and right, table
// by table, rule by rule (a rule is found by its table's rule key):
//   {"left": {"mprf", "vers", "rele", "cust"}, "right": {...},
//    "right_is_parent": bool,
//    "tables": {"<table>": [{"key": {...}, "status": "same" | "changed" |
//        "only_left" | "only_right", "changes": {"<column>": {"left": v,
//        "right": v}}, "lineage": "inherited" | "overridden" | "local"}...]},
//    "summary": {"same": n, "changed": n, "only_left": n, "only_right": n}}
// Who changed a rule last and when (lusr, lurn, ldat) are not compared: a
// copy stamps them. "changes" is present for changed rules; "lineage" for the rules of left
// when right is left's parent (by the parent VRC of left's qzmap100 row).
// A profile that does not exist raises ComError(kInsightRefused).
Json Compare(const DataSource& source, const RuleSet& left, const RuleSet& right);

// -------------------------------------------------------------- where used

// The lineage of profile mprf: {"profile": {...}, "ancestors": [{"levl",
// "mprf", "vers", "rele", "cust"}...] nearest first, "derived": [{"mprf",
// "vers", "rele", "cust", "derived": [...]}...]}, the tree of every profile
// whose levels (qzmap101) name mprf as an ancestor.
Json Lineage(const DataSource& source, Integer mprf);

// Every profile and VRC with rules for the table tcpac/tcmod/tflno:
// {"table": {...}, "used_by": [{"mprf", "vers", "rele", "cust", "tables":
// ["<rule table>"...]}...]}, also counting the table as a further source
// table (qzmap130) and as base or child of a table link (qzmap170/175).
Json TableUse(const DataSource& source, const String& tcpac, const String& tcmod,
              const String& tflno);

// Every profile and VRC that holds the library function name (qzlib100) or
// whose rules call it (qzmap160): {"function": name, "holds": [{"mprf",
// "vers", "rele", "cust", "stat"}...],
// "calls": [{"mprf", "vers", "rele", "cust", "tables": ["<pac><mod><flno>"]}]}.
Json FunctionUse(const DataSource& source, const String& name);

// ----------------------------------------------------------- export/import

// Profile mprf as one JSON document: its qzmap100 row, levels, owner links,
// development VRC, the rows of every mapping-rule table and its function
// library, under all its VRCs. Keys in a fixed order, each row on a line of
// its own and rows sorted, so equal profiles give equal documents. A profile
// that does not exist raises ComError(kInsightRefused).
std::string ExportProfile(const DataSource& source, Integer mprf);

// Why an import was refused; nothing was written.
class ImportRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the profile of an exported document into target, in one
// transaction. Refuses (ImportRefused, nothing written) when the document is
// malformed, the profile number or its VRC is taken, or its parent VRC names
// no profile. Answers {"mprf": n, "rows": {"<table>": count...}}.
Json ImportProfile(const DataSource& target, const std::string& document);

// The error number of a refusal of Compare, Lineage or ExportProfile (a
// profile that does not exist).
inline constexpr Long kInsightRefused = 1001;

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_H_
