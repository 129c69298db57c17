#include "app/tables.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "configmgt/tables.h"
#include "migprof/com_error.h"

namespace migprof::app {
namespace {

constexpr const char* kCreateTables[] = {
    "create table if not exists mpweb_user (usrn varchar(64) not null primary key, "
    "pwhs varchar(255) not null, role varchar(16) not null default 'maintainer', "
    "dsbl int not null default 0, crea bigint not null default 0)",
    "create table if not exists mpweb_session (sidh varchar(64) not null primary key, "
    "usrn varchar(64) not null, csrf varchar(64) not null, expi bigint not null, "
    "flsh varchar(2000) not null default '')",
    "create table if not exists mpweb_job (jobi varchar(64) not null primary key, "
    "usrn varchar(64) not null, smpr int not null, umpr int not null, vrc varchar(100) not null, "
    "tabs varchar(4000) not null, stat varchar(10) not null, done bigint not null, "
    "totl bigint not null, errn varchar(32) not null default '', "
    "errd varchar(4000) not null default '', updt bigint not null, "
    "chgs varchar(1000) not null default '')",
    "create table if not exists mpweb_apitoken (apid varchar(16) not null primary key, "
    "usrn varchar(64) not null, tkhs varchar(64) not null unique, crea bigint not null)",
    "create table if not exists mpweb_activity (actn integer primary key, tstm bigint not null, "
    "usrn varchar(64) not null, entr varchar(8) not null, oper varchar(64) not null, "
    "mprf int null, args varchar(4000) not null default '', otcm varchar(16) not null, "
    "errn varchar(32) not null default '', errd varchar(4000) not null default '', "
    "chgs varchar(1000) not null default '', rtot bigint not null default 0)",
    "create index if not exists mpweb_activity_tstm on mpweb_activity (tstm)",
    "create index if not exists mpweb_activity_mprf on mpweb_activity (mprf, tstm)",
    "create index if not exists mpweb_activity_usrn on mpweb_activity (usrn, tstm)",
};

// Columns added to mpweb_user after its first version: (column, definition).
constexpr const char* kUserColumns[][2] = {
    {"role", "role varchar(16) not null default 'maintainer'"},
    {"dsbl", "dsbl int not null default 0"},
    {"crea", "crea bigint not null default 0"},
};

// The rows a finished copy changed per table, added to mpweb_job after its
// first version.
constexpr const char* kJobRowsColumn =
    "alter table mpweb_job add chgs varchar(1000) not null default ''";

bool HasColumn(const Db& db, const char* table, const char* column) {
  try {
    db.Query(String("select ") + column + " from " + table + " where 1 = 0");
    return true;
  } catch (const ComError&) {
    return false;
  }
}

// Runs alter (which adds column to table) unless the column is there. Two
// processes opening an older file at once may both find it missing: the one
// whose alter fails because the other's came first goes on.
void AddColumnIfMissing(const Db& db, const char* table, const char* column, const String& alter) {
  if (HasColumn(db, table, column)) return;
  try {
    db.Execute(alter);
  } catch (const ComError&) {
    if (!HasColumn(db, table, column)) throw;
  }
}

// Runs the creating statements, which change nothing where their table or
// index is there. Processes opening a new file at the same moment create
// the tables together, and a writer that finds the schema changed under it
// is refused at once rather than waiting: it tries again a little later.
void CreateTables(const Db& db) {
  for (int attempt = 1;; ++attempt) {
    try {
      CreateTables(db);
      return;
    } catch (const ComError&) {
      if (attempt == 20) throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(50 * attempt));
    }
  }
}

}  // namespace

void EnsureTables(const Db& db) {
  // The revision-control tables too, so that no read later has to create
  // them.
  configmgt::EnsureTables(*OpenDataSource(db.source(), kInteractiveTimeouts));
  if (db.settings().Embedded()) {
    const bool had_users = HasColumn(db, "mpweb_user", "usrn");
    for (const char* statement : kCreateTables) db.Execute(statement);
    if (had_users && !HasColumn(db, "mpweb_user", "role")) {
      for (const auto& [column, definition] : kUserColumns) {
        AddColumnIfMissing(db, "mpweb_user", column,
                           String("alter table mpweb_user add column ") + definition);
      }
      // The accounts made before roles existed could all do everything.
      db.Execute("update mpweb_user set role = 'administrator'");
    }
    AddColumnIfMissing(db, "mpweb_job", "chgs", kJobRowsColumn);
    return;
  }
  // The first query tells a database that cannot be reached from one that
  // lacks the tables: only the latter is answered with the script's name.
  db.QueryNumber("select count(*) from qzmap100");
  const char* missing = nullptr;
  for (const char* table : {"mpweb_session", "mpweb_apitoken", "mpweb_job", "mpweb_activity"}) {
    if (!HasColumn(db, table, "*")) {
      missing = table;
      break;
    }
  }
  if (missing != nullptr) {
    throw std::runtime_error(String("the front end's table ") + missing +
                             " is missing on this database; run schema/web_mariadb.sql or "
                             "schema/web_sqlserver.sql there first (the statements of the tables "
                             "that are missing are enough)");
  }
  if (!HasColumn(db, "mpweb_user", "role")) {
    throw std::runtime_error(
        "the accounts table mpweb_user has no roles yet; run the statements under \"Accounts "
        "made before roles\" in schema/web_mariadb.sql or schema/web_sqlserver.sql there first");
  }
  if (!HasColumn(db, "mpweb_job", "chgs")) {
    throw std::runtime_error(String("the copy table mpweb_job has no column chgs yet; run \"") +
                             kJobRowsColumn + "\" there first");
  }
}

}  // namespace migprof::app
