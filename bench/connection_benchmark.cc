// What a query costs the component: each query opens a new connection, so
// the price of getNewConnection decides how fast every member runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "migprof/handle_mig_prof.h"
#include "schema/schema.h"

namespace {

class Database {
 public:
  Database() {
    path_ = (std::filesystem::temp_directory_path() /
             ("migprof_bench_" + std::to_string(::getpid()) + ".db"))
                .string();
    std::filesystem::remove(path_);
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
    auto connection = object_.getNewConnection();
    for (int i = 1; i <= 200; ++i) {
      connection->Execute("insert into qzmap100 (mprf,vers,rele,cust,deph) values (" +
                          std::to_string(i) + ",'V" + std::to_string(i) + "','R','C',1)");
    }
  }
  ~Database() {
    for (const char* suffix : {"", "-wal", "-shm", "-lock"})
      std::filesystem::remove(path_ + suffix);
  }
  migprof::TOVRHandleMigProf& object() { return object_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  migprof::TOVRHandleMigProf object_;
};

Database& Shared() {
  static Database database;
  return database;
}

constexpr const char* kPointQuery = "select deph from qzmap100 where mprf = 100";

// The component's pattern: a new connection and a new recordset per query.
void BM_QueryOnNewConnection(benchmark::State& state) {
  auto& object = Shared().object();
  for (auto _ : state) {
    auto rs = migprof::ado::Recordset::Create();
    rs->Open(kPointQuery, object.getNewConnection(), 2, 3, -1);
    benchmark::DoNotOptimize(rs->Fields().Item(migprof::Integer{0}).Value());
    rs->Close();
  }
}
BENCHMARK(BM_QueryOnNewConnection);

// The same query on a connection kept open.
void BM_QueryOnKeptConnection(benchmark::State& state) {
  auto connection = Shared().object().getNewConnection();
  for (auto _ : state) {
    auto rs = migprof::ado::Recordset::Create();
    rs->Open(kPointQuery, connection, 2, 3, -1);
    benchmark::DoNotOptimize(rs->Fields().Item(migprof::Integer{0}).Value());
    rs->Close();
  }
}
BENCHMARK(BM_QueryOnKeptConnection);

// What a new connection would cost without the pool: open the file, read the
// schema, prepare and run the query, close.
void BM_QueryOnFreshNativeOpen(benchmark::State& state) {
  const std::string& path = Shared().path();
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* stmt = nullptr;
    // Plain SQL: the native open cannot read the columns' collation otherwise.
    sqlite3_prepare_v2(db, "select deph from qzmap100 where mprf = 100", -1, &stmt, nullptr);
    if (stmt) {
      sqlite3_step(stmt);
      benchmark::DoNotOptimize(sqlite3_column_int(stmt, 0));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
}
BENCHMARK(BM_QueryOnFreshNativeOpen);

// The same two patterns against an ODBC data source, when MIGPROF_TEST_DSN
// names one (MIGPROF_TEST_UID / MIGPROF_TEST_PWD for its login), as
// .ci/odbc_suite.sh sets them. The benchmark empties and refills qzmap100.
// Each new connection is a login to the server unless the driver manager
// pools connections (odbcinst.ini: Pooling = Yes, and CPTimeout for the
// driver).
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

migprof::TOVRHandleMigProf* OdbcObject() {
  static migprof::TOVRHandleMigProf* object = [] {
    auto* made = new migprof::TOVRHandleMigProf;
    made->DatabaseName(Environment("MIGPROF_TEST_DSN"));
    made->DatabaseUser(Environment("MIGPROF_TEST_UID"));
    made->DatabasePassword(Environment("MIGPROF_TEST_PWD"));
    auto connection = made->getNewConnection();
    connection->Execute("delete from qzmap100");
    for (int i = 1; i <= 200; ++i) {
      connection->Execute("insert into qzmap100 (mprf,vers,rele,cust,deph) values (" +
                          std::to_string(i) + ",'V" + std::to_string(i) + "','R','C',1)");
    }
    return made;
  }();
  return object;
}

void BM_OdbcQueryOnNewConnection(benchmark::State& state) {
  auto& object = *OdbcObject();
  for (auto _ : state) {
    auto rs = migprof::ado::Recordset::Create();
    rs->Open(kPointQuery, object.getNewConnection(), 2, 3, -1);
    benchmark::DoNotOptimize(rs->Fields().Item(migprof::Integer{0}).Value());
    rs->Close();
  }
}

void BM_OdbcQueryOnKeptConnection(benchmark::State& state) {
  auto connection = OdbcObject()->getNewConnection();
  for (auto _ : state) {
    auto rs = migprof::ado::Recordset::Create();
    rs->Open(kPointQuery, connection, 2, 3, -1);
    benchmark::DoNotOptimize(rs->Fields().Item(migprof::Integer{0}).Value());
    rs->Close();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!Environment("MIGPROF_TEST_DSN").empty()) {
    benchmark::RegisterBenchmark("BM_OdbcQueryOnNewConnection", BM_OdbcQueryOnNewConnection);
    benchmark::RegisterBenchmark("BM_OdbcQueryOnKeptConnection", BM_OdbcQueryOnKeptConnection);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
