// The application layer's own access to the profile database: its settings
// (the data source, its login and how the server pages lists), and plain
// queries over new connections, one per statement.
#ifndef MIGPROF_APP_DB_H_
#define MIGPROF_APP_DB_H_

#include <optional>
#include <string>
#include <vector>

#include "migprof/automation.h"
#include "migprof/data_source.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::app {

// How a server limits the rows of a query.
enum class Paging { kLimitOffset, kOffsetFetch };

struct Settings {
  DataSource source;
  Paging paging = Paging::kLimitOffset;

  bool Embedded() const { return source.Embedded(); }
};

// Hands the data source and its login to a component object.
void ApplyTo(const DataSource& source, TOVRHandleMigProf& object);

// A row with every column as text; a database null reads as "".
using Row = std::vector<String>;

class Db {
 public:
  explicit Db(Settings settings) : settings_(std::move(settings)) {}

  const Settings& settings() const { return settings_; }
  const DataSource& source() const { return settings_.source; }

  // Runs a query and returns its rows. Raises ComError on any failure.
  std::vector<Row> Query(const String& sql) const;
  // The first row of a query, if any.
  std::optional<Row> QueryOne(const String& sql) const;
  // A single number (count(*) and the like); 0 without a row.
  long long QueryNumber(const String& sql) const;
  // Runs a statement that changes rows and returns how many it changed.
  long Execute(const String& sql) const;
  // The clause that ends an ordered query to return rows [offset,
  // offset+count).
  String PageClause(long offset, long count) const;
  // The clause that ends an unordered query to return no more than count of
  // its rows, whichever come first, so that the database can stop there.
  String FirstRowsClause(long count) const;

 private:
  Settings settings_;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_DB_H_
