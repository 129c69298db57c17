#include "testing/test_database.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

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

}  // namespace

TestDatabase::TestDatabase() {
  static std::atomic<int> counter{0};
  std::filesystem::path dir = std::filesystem::temp_directory_path();
  path_ = (dir / ("migprof_test_" + std::to_string(::getpid()) + "_" +
                  std::to_string(counter++) + ".db"))
              .string();
  std::filesystem::remove(path_);
  schema::CreateEmbeddedDatabase(path_);
  dsn_ = "sqlite:" + path_;
}

TestDatabase::~TestDatabase() {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::remove(path_ + suffix, ignored);
  }
}

std::shared_ptr<ado::Connection> TestDatabase::Connect() const {
  auto connection = ado::Connection::Create();
  connection->Open("DSN=" + dsn_ + ";uid=;pwd=;");
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
