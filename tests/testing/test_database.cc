#include "testing/test_database.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "schema/schema.h"

namespace migprof::testing {
namespace {

std::string TextOf(const Variant& value) {
  if (value.IsNull()) return "NULL";
  if (value.type() == Variant::Type::kBinary) {
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : value.AsBinary()) {
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
    return out;
  }
  return value.ToString();
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

const std::vector<std::string>& TestDatabase::Tables() {
  static const std::vector<std::string> tables = [] {
    std::vector<std::string> names;
    const std::string schema = schema::EmbeddedSchemaSql();
    const std::regex create(R"(CREATE TABLE (\w+))");
    for (auto it = std::sregex_iterator(schema.begin(), schema.end(), create);
         it != std::sregex_iterator(); ++it) {
      names.push_back((*it)[1]);
    }
    return names;
  }();
  return tables;
}

namespace {

// The statements of the schema script for the server behind a data source
// that create `tables` and their indexes. The scripts are read from the
// source tree the tests were built from.
std::vector<std::string> SchemaStatementsFor(const std::vector<std::string>& tables, bool mariadb) {
  const std::filesystem::path script = std::filesystem::path(MIGPROF_SOURCE_DIR) / "schema" /
                                       (mariadb ? "mariadb.sql" : "sqlserver.sql");
  std::ifstream in(script);
  if (!in) throw std::runtime_error("cannot read " + script.string());
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("--", 0) != 0) text += line + "\n";
  }
  // MariaDB's script creates some indexes through its procedure
  // migprof_create_index('<index>', '<table>', ...), which the script left
  // in the database.
  const std::regex target(
      R"((?:CREATE (?:TABLE|(?:UNIQUE )?INDEX \w+ ON) |CALL migprof_create_index\('\w+', ')(\w+))");
  std::vector<std::string> statements;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1) {
    const std::string statement = text.substr(start, end - start);
    std::smatch match;
    if (std::regex_search(statement, match, target) &&
        std::find(tables.begin(), tables.end(), match[1].str()) != tables.end()) {
      statements.push_back(statement);
    }
  }
  return statements;
}

}  // namespace

TestDatabase::TestDatabase() {
  if (std::string external = Environment("MIGPROF_TEST_DSN"); !external.empty()) {
    dsn_ = external;
    uid_ = Environment("MIGPROF_TEST_UID");
    pwd_ = Environment("MIGPROF_TEST_PWD");
    auto connection = Connect();
    // Tests share the data source: each starts with empty tables, and a
    // table an earlier test dropped is created again.
    std::vector<std::string> missing;
    ComError first_failure(0, "");
    for (const std::string& table : Tables()) {
      try {
        connection->Execute("delete from " + table);
      } catch (const ComError& error) {
        if (missing.empty()) first_failure = error;
        missing.push_back(table);
      }
    }
    if (missing.empty()) return;
    bool mariadb = true;
    try {
      connection->Execute("select version()");
    } catch (const ComError&) {
      mariadb = false;  // SQL Server has no version()
    }
    try {
      for (const std::string& statement : SchemaStatementsFor(missing, mariadb)) {
        connection->Execute(statement);
      }
    } catch (const ComError&) {
      throw first_failure;  // the table is there but cannot be emptied
    }
    return;
  }
  static std::atomic<int> counter{0};
  std::filesystem::path dir = std::filesystem::temp_directory_path();
  path_ = (dir /
           ("migprof_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".db"))
              .string();
  std::filesystem::remove(path_);
  schema::CreateEmbeddedDatabase(path_);
  dsn_ = "sqlite:" + path_;
}

TestDatabase::~TestDatabase() {
  if (!embedded()) return;
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
    std::filesystem::remove(path_ + suffix, ignored);
  }
}

std::shared_ptr<ado::Connection> TestDatabase::Connect() const {
  auto connection = ado::Connection::Create();
  connection->Open("DSN=" + dsn_ + ";uid=" + uid_ + ";pwd=" + pwd_ + ";");
  return connection;
}

void TestDatabase::Exec(const std::string& sql) const { Connect()->Execute(sql); }

std::vector<std::vector<std::string>> TestDatabase::Rows(const std::string& sql) const {
  std::vector<std::vector<std::string>> rows;
  auto rs = ado::Recordset::Create();
  rs->Open(sql, Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
  while (!rs->EndOfFile()) {
    std::vector<std::string> row;
    for (long i = 0; i < rs->Fields().Count(); ++i) {
      row.push_back(TextOf(rs->Fields().Item(static_cast<Integer>(i)).Value()));
    }
    rows.push_back(std::move(row));
    rs->MoveNext();
  }
  return rows;
}

std::string TestDatabase::Value(const std::string& sql) const {
  auto rows = Rows(sql);
  if (rows.size() != 1 || rows[0].size() != 1) {
    ADD_FAILURE() << "expected one value from: " << sql;
    return "";
  }
  return rows[0][0];
}

long TestDatabase::Count(const std::string& table) const {
  return std::stol(Value("select count(*) from " + table));
}

}  // namespace migprof::testing
