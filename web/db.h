// The front end's own access to the profile database: the same data source
// and login the component objects get, one new connection per statement.
#ifndef MIGPROF_WEB_DB_H_
#define MIGPROF_WEB_DB_H_

#include <optional>
#include <string>
#include <vector>

#include "migprof/automation.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::web {

// How a server limits the rows of a query.
enum class Paging { kLimitOffset, kOffsetFetch };

// The data source and the server's login to it.
struct DbSettings {
  String database;  // "sqlite:<path>" or an ODBC data source name
  String user;
  String password;
  Paging paging = Paging::kLimitOffset;

  bool Embedded() const { return database.rfind("sqlite:", 0) == 0; }
  // Hands the settings to a component object.
  void ApplyTo(TOVRHandleMigProf& object) const;
};

// A row with every column as text; a database null reads as "".
using Row = std::vector<String>;

class Db {
 public:
  explicit Db(DbSettings settings) : settings_(std::move(settings)) {}

  const DbSettings& settings() const { return settings_; }

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

 private:
  DbSettings settings_;
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_DB_H_
