// A fresh profile database for each test, and small helpers to put rows in
// and read them back through the data-access layer.
//
// By default each TestDatabase is a new embedded database file. When the
// environment names an ODBC data source (MIGPROF_TEST_DSN, with
// MIGPROF_TEST_UID and MIGPROF_TEST_PWD for its login), every TestDatabase
// uses that data source instead and empties its tables first, so the same
// tests run against a real server. Tests that need the embedded file itself
// skip when embedded() is false.
#ifndef MIGPROF_TESTS_TESTING_TEST_DATABASE_H_
#define MIGPROF_TESTS_TESTING_TEST_DATABASE_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::testing {

class TestDatabase {
 public:
  TestDatabase();
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The data source name for DatabaseName: "sqlite:<path>", or the
  // MIGPROF_TEST_DSN data source.
  const std::string& dsn() const { return dsn_; }
  // The embedded database file; empty under MIGPROF_TEST_DSN.
  const std::string& path() const { return path_; }
  // True for an embedded database file, false under MIGPROF_TEST_DSN.
  bool embedded() const { return !path_.empty(); }
  // The login for DatabaseUser / DatabasePassword ("tester" / "secret" for
  // the embedded database, which ignores them).
  const std::string& uid() const { return uid_; }
  const std::string& pwd() const { return pwd_; }

  // Points a component object's settings at this database.
  void Configure(TOVRHandleMigProf& object) const {
    object.DatabaseName(dsn_);
    object.DatabaseUser(uid_);
    object.DatabasePassword(pwd_);
  }
  // A new open connection to the database.
  std::shared_ptr<ado::Connection> Connect() const;
  // Runs statements (SQL Server dialect, as the component writes them).
  void Exec(const std::string& sql) const;
  // The rows of a query, each value in its text form ("NULL" for a null,
  // hex digits for binary values).
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const;
  // The single value of a query that yields one row of one column.
  std::string Value(const std::string& sql) const;
  // The number of rows of a table.
  long Count(const std::string& table) const;
  // An ORDER BY clause (with its leading blank) that reads rows in the order
  // they were added: by rowid in the embedded database. A server has no row
  // id and answers in the order of the index it reads (rows of equal key in
  // the order added), so the clause is empty there and tests that use it
  // add rows in their key order.
  std::string AddedOrder() const { return embedded() ? " order by rowid" : ""; }
  // The tables of the schema, in the order it creates them.
  static const std::vector<std::string>& Tables();

 private:
  std::string path_;
  std::string dsn_;
  std::string uid_ = "tester";
  std::string pwd_ = "secret";
};

// The failure `body` raises; a failed expectation (and ComError(0, "")) when
// it raises nothing.
inline ComError RaisedBy(const std::function<void()>& body) {
  try {
    body();
  } catch (const ComError& error) {
    return error;
  }
  ADD_FAILURE() << "nothing was raised";
  return ComError(0, "");
}

// A fixture with a fresh database and a component object set up for it.
class ComponentTest : public ::testing::Test {
 protected:
  ComponentTest() { db_.Configure(object_); }

  TestDatabase db_;
  TOVRHandleMigProf object_;
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_TESTING_TEST_DATABASE_H_
