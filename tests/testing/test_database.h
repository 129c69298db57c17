// A fresh profile database for each test, and small helpers to put rows in
// and read them back through the data-access layer.
#ifndef MIGPROF_TESTS_TESTING_TEST_DATABASE_H_
#define MIGPROF_TESTS_TESTING_TEST_DATABASE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::testing {

// A new embedded database file with the schema, removed again at the end.
class TestDatabase {
 public:
  TestDatabase();
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The data source name for DatabaseName ("sqlite:<path>").
  const std::string& dsn() const { return dsn_; }
  const std::string& path() const { return path_; }

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

 private:
  std::string path_;
  std::string dsn_;
};

// A fixture with a fresh database and a component object set up for it.
class ComponentTest : public ::testing::Test {
 protected:
  ComponentTest() {
    object_.DatabaseName(db_.dsn());
    object_.DatabaseUser("tester");
    object_.DatabasePassword("secret");
  }

  TestDatabase db_;
  TOVRHandleMigProf object_;
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_TESTING_TEST_DATABASE_H_
