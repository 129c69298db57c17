// The activity log: one row per change asked for through any entry point,
// with who asked, through which entry point, what with which arguments, how
// it ended and how many rows of which tables it changed. Refusals and
// changes the principal was not allowed to make are recorded too.
#ifndef MIGPROF_APP_ACTIVITY_H_
#define MIGPROF_APP_ACTIVITY_H_

#include <atomic>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "app/db.h"
#include "app/principal.h"

namespace migprof::app {

// How a change ended.
enum class Outcome {
  kDone,       // it ran to its end and reported success
  kRefused,    // the component (or the application) declined it
  kFailed,     // it raised a failure, or the database failed
  kForbidden,  // the principal was not allowed to ask for it
};
const char* OutcomeName(Outcome outcome);
std::optional<Outcome> ParseOutcome(std::string_view text);

using Arguments = std::vector<std::pair<String, String>>;
using RowCounts = std::map<String, long long>;

struct ActivityEntry {
  long long id = 0;
  long long when = 0;  // seconds since 1970
  String user;
  EntryPoint entry = EntryPoint::kCli;
  String operation;  // a member's name, or an operation of the application
  std::optional<Integer> mprf;
  Arguments arguments;
  Outcome outcome = Outcome::kDone;
  String error_number;
  String message;
  RowCounts rows;

  long long TotalRows() const;
};

struct ActivityFilter {
  std::optional<Integer> mprf;
  String user;
  std::optional<long long> since;   // seconds since 1970, inclusive
  std::optional<long long> before;  // exclusive
};

class ActivityLog {
 public:
  explicit ActivityLog(const Db& db) : db_(db) {}

  // Entries older than days are removed once a day, as entries are
  // recorded; 0 (the default) keeps every entry.
  void SetRetention(long days) { retention_days_ = days; }

  // Writes entry (its id and, when 0, its time are set here). A failure to
  // write raises: a change that cannot be recorded is reported, not hidden.
  void Record(ActivityEntry entry);
  long long Count(const ActivityFilter& filter) const;
  // Newest first.
  std::vector<ActivityEntry> List(const ActivityFilter& filter, long offset, long count) const;
  // Removes the entries older than days; returns how many.
  long Prune(long days);

 private:
  const Db& db_;
  std::atomic<long> retention_days_{0};
  std::atomic<long long> last_prune_{0};
};

// The stored forms of arguments and row counts, one "name=value" per line
// (a line break or backslash in a value is written \n or \\) and
// "table=rows,table=rows".
String EncodeArguments(const Arguments& arguments);
Arguments DecodeArguments(const String& text);
String EncodeRowCounts(const RowCounts& rows);
RowCounts DecodeRowCounts(const String& text);

// "YYYY-MM-DD" (UTC) as seconds since 1970; nullopt for any other text.
std::optional<long long> DayStart(const std::string& text);

}  // namespace migprof::app

#endif  // MIGPROF_APP_ACTIVITY_H_
