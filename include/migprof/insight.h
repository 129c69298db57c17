// Insight into a profile database without changing it: what a changing
// member would do (preview), how the rules of two profiles differ (compare),
// where a profile, table or function is used, and a profile moved between
// databases as one JSON document (export, import).
//
// Every function reads the database through the data-access layer, with the
// settings of a DataSource, and raises ComError when the database fails.
// Answers are typed; an exported profile is a JSON document with keys in a
// fixed order, so that a diff reads two exports the same way every time.
#ifndef MIGPROF_INSIGHT_H_
#define MIGPROF_INSIGHT_H_

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "migprof/automation.h"
#include "migprof/data_source.h"

namespace migprof::insight {

using migprof::DataSource;

// ---------------------------------------------------------------- preview

// A profile and a VRC, as the rule tables name them.
struct Scope {
  long long mprf = 0;
  String vers, rele, cust;
  auto operator<=>(const Scope&) const = default;
};

// A row's values in its table's column order.
using Values = std::vector<Variant>;

// One row a change kept but changed: before and after, and the names of the
// columns whose values differ.
struct RowChange {
  Values before, after;
  std::vector<String> columns;
};

// What a change did to one table.
struct TableChanges {
  String table;
  std::vector<String> columns;
  std::vector<Values> added;
  std::vector<RowChange> changed;
  std::vector<Values> removed;
};

// Runs the work under preview against the snapshot data source.
using SnapshotRun = std::function<void(const DataSource& snapshot)>;

// Runs run on a snapshot of source and answers what it changed there, a
// table only when its rows changed, rows in the order the database keeps
// them. source itself is never written; the snapshot is removed before
// Preview returns.
//
// The snapshot is an embedded database file of its own, in memory
// (/dev/shm) where the system has it. A file rather than a private memory
// database, because every query of a member opens a connection of its own,
// by file name, and must see what the member wrote before; a shared-cache
// memory database would lock whole tables where a member reads on one
// connection while it writes on another. The profiles, levels, development
// VRCs, users, owner links and the data dictionary are copied whole and the
// rules and functions of profiles only, so a preview costs what the profiles
// hold, not what the estate holds (an embedded source is read in one
// transaction: one consistent state even while others write); the embedded
// database answers as SQL Server does, so the member behaves the same.
// Components the member creates by ProgID (UpdateMap100's configuration
// management) get the snapshot's settings; state they keep outside the
// database is not part of the snapshot.
std::vector<TableChanges> Preview(const DataSource& source, const std::vector<Integer>& profiles,
                                  const SnapshotRun& run);

// ---------------------------------------------------------------- compare

// A profile and a VRC; without a VRC, the profile's own (qzmap100).
struct RuleSet {
  Integer mprf = 0;
  std::optional<std::vector<String>> vrc;  // vers, rele, cust
};

enum class RuleStatus { kSame, kChanged, kOnlyLeft, kOnlyRight };
// How a rule of a derived profile stands to its parent's: taken over
// unchanged, changed, or its own. kUnknown when the right side is not the
// left's parent.
enum class RuleLineage { kUnknown, kInherited, kOverridden, kLocal };

struct ColumnDifference {
  String column;
  Variant left, right;
};

struct RuleComparison {
  std::vector<std::pair<String, Variant>> key;  // the table's rule key columns
  RuleStatus status = RuleStatus::kSame;
  std::vector<ColumnDifference> changes;  // for kChanged
  RuleLineage lineage = RuleLineage::kUnknown;
};

struct TableComparison {
  String table;
  std::vector<RuleComparison> rules;
};

struct Comparison {
  Scope left, right;
  bool right_is_parent = false;         // by the parent VRC of left's qzmap100 row
  std::vector<TableComparison> tables;  // tables with rules on either side
  long long same = 0, changed = 0, only_left = 0, only_right = 0;
};

// Compares the mapping rules and library functions of left and right, table
// by table, rule by rule (a rule is found by its table's rule key). Who
// changed a rule last and when (lusr, lurn, ldat) are not compared: a copy
// stamps them. A profile that does not exist raises
// ComError(kInsightRefused).
Comparison Compare(const DataSource& source, const RuleSet& left, const RuleSet& right);

// "same", "changed", "only_left", "only_right".
const char* RuleStatusName(RuleStatus status);
// "", "inherited", "overridden", "local".
const char* RuleLineageName(RuleLineage lineage);

// -------------------------------------------------------------- where used

struct Ancestor {
  Variant level;    // levl
  Variant profile;  // pprf
  String vers, rele, cust;
};

// A profile derived from another, with the profiles derived from it.
struct Derived {
  Scope scope;
  bool known = true;  // false: a level names a profile that has no qzmap100 row
  std::vector<Derived> derived;
};

struct ProfileLineage {
  Scope profile;
  std::vector<Ancestor> ancestors;  // nearest first
  std::vector<Derived> derived;
};

// The lineage of profile mprf: its ancestors (qzmap101 levels above 1) and
// the tree of every profile whose levels name it as an ancestor. A profile
// that does not exist raises ComError(kInsightRefused).
ProfileLineage Lineage(const DataSource& source, Integer mprf);

// A profile and VRC, and the tables (or rule tables) where it uses a thing.
struct Use {
  Scope scope;
  std::vector<String> tables;
};

struct TableUsage {
  String tcpac, tcmod, tflno;
  std::vector<Use> used_by;  // the rule tables naming it, per profile and VRC
};

// Every profile and VRC with rules for the table tcpac/tcmod/tflno, also
// counting the table as a further source table (qzmap130) and as base or
// child of a table link (qzmap170/175).
TableUsage TableUse(const DataSource& source, const String& tcpac, const String& tcmod,
                    const String& tflno);

struct FunctionHolder {
  Scope scope;
  String status;
};

struct FunctionUsage {
  String name;
  std::vector<FunctionHolder> holds;  // qzlib100 rows of that name
  std::vector<Use> calls;             // qzmap160 rows calling it, by table code
};

FunctionUsage FunctionUse(const DataSource& source, const String& name);

// ------------------------------------------------- where used, a page at a time

// The clause a server puts after "order by ..." to keep count rows from
// offset ("limit ... offset ..." or "offset ... rows fetch next ...").
using PageClause = std::function<String(long offset, long count)>;

// One page of a where-used list, and how long the whole list is.
template <typename Item>
struct UsagePage {
  long long total = 0;
  // The list goes on past total: the count stopped there.
  bool more = false;
  std::vector<Item> items;
};

// TableUse's list from offset, count scopes long, ordered by profile and
// VRC, cut by the server. A table every profile uses names tens of
// thousands of scopes (ten times that in field rules): the list is counted
// only up to kUsesCountedAhead scopes past offset, and a page costs what
// the scopes before it cost to pass over.
inline constexpr long kUsesCountedAhead = 1000;
UsagePage<Use> TableUsePage(const DataSource& source, const String& tcpac, const String& tcmod,
                            const String& tflno, long offset, long count,
                            const PageClause& page_clause);
// FunctionUse's holders and callers, a page of each.
UsagePage<FunctionHolder> FunctionHoldersPage(const DataSource& source, const String& name,
                                              long offset, long count,
                                              const PageClause& page_clause);
UsagePage<Use> FunctionCallsPage(const DataSource& source, const String& name, long offset,
                                 long count, const PageClause& page_clause);

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
// no profile. Answers the profile and the rows written per table.
struct ImportResult {
  Integer mprf = 0;
  std::vector<std::pair<String, long long>> rows;
};
ImportResult ImportProfile(const DataSource& target, const std::string& document);

// The error number of a refusal of Compare, Lineage or ExportProfile (a
// profile that does not exist).
inline constexpr Long kInsightRefused = 1001;

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_H_
