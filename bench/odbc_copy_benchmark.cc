// CopyToCurrentVRC over ODBC against a MariaDB server, next to the server's
// own client library (libmariadb) running the same statements in the same
// run. Registered only when MIGPROF_TEST_DSN names a data source
// (MIGPROF_TEST_UID / MIGPROF_TEST_PWD for its login), as .ci/odbc_suite.sh
// sets them; the benchmark writes profiles 1 and 2 of that database.
//
// The reference is recorded at run time: one copy runs with a trace of the
// statements the ODBC sessions hand to the driver (the text after the
// dialect translation, with the values bound to it); the client library then
// runs exactly these statements in the same order on ONE kept connection in
// autocommit, set up as a new ODBC session sets itself up (the statements a
// new session ran, traced as well), text without values as plain queries,
// text with values as prepared statements (prepared once, before timing),
// reading every column of every row. Counters: ref_ms (wall time of the
// reference), ref_cpu_ms (this process's CPU time during it), ratio (copy
// over reference, each copy paired with a reference run right after it).
#include <benchmark/benchmark.h>
#include <mysql.h>
#include <odbcinst.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/copy_fixture.h"
#include "component/ado/native_trace.h"
#include "component/odbc/caller_statement.h"
#include "component/odbc/mariadb_dialect.h"
#include "component/odbc/odbc_session.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"

namespace {

using migprof::Variant;
using migprof::ado::detail::NativeStatement;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A key of the data source's entry in odbc.ini, as the driver reads it.
std::string DataSourceKey(const std::string& dsn, const char* key) {
  char value[1024] = {};
  SQLGetPrivateProfileString(dsn.c_str(), key, "", value, sizeof value, "odbc.ini");
  return value;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The copy's rows in the data source: profiles 1 and 2 and the dictionary
// of application UAPP, removed before and after.
class OdbcCopyDatabase {
 public:
  explicit OdbcCopyDatabase(int elements) {
    object_.DatabaseName(Environment("MIGPROF_TEST_DSN"));
    object_.DatabaseUser(Environment("MIGPROF_TEST_UID"));
    object_.DatabasePassword(Environment("MIGPROF_TEST_PWD"));
    RemoveRows();
    migprof::bench::FillCopySource(*object_.getNewConnection(), elements);
  }
  ~OdbcCopyDatabase() {
    try {
      RemoveRows();
    } catch (...) {
    }
  }
  OdbcCopyDatabase(const OdbcCopyDatabase&) = delete;
  OdbcCopyDatabase& operator=(const OdbcCopyDatabase&) = delete;

  migprof::TOVRHandleMigProf& object() { return object_; }

 private:
  void RemoveRows() {
    std::shared_ptr<migprof::ado::Connection> c = object_.getNewConnection();
    for (const char* table : {"qzmap100", "qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
      c->Execute(std::string("delete from ") + table + " where mprf in (1, 2)");
    }
    c->Execute("delete from qzddi150 where appl = 'UAPP'");
  }

  migprof::TOVRHandleMigProf object_;
};

// The traced statements, run by the MariaDB client library on one
// connection.
class ClientLibraryReplay {
 public:
  ClientLibraryReplay(const std::vector<NativeStatement>& setup,
                      std::vector<NativeStatement> statements) {
    const std::string dsn = Environment("MIGPROF_TEST_DSN");
    std::string host = DataSourceKey(dsn, "SERVER");
    const std::string port = DataSourceKey(dsn, "PORT");
    const std::string socket = DataSourceKey(dsn, "SOCKET");
    std::string database = DataSourceKey(dsn, "DATABASE");
    if (database.empty()) database = DataSourceKey(dsn, "DB");
    mysql_ = mysql_init(nullptr);
    mysql_optionsv(mysql_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(mysql_, host.empty() ? nullptr : host.c_str(),
                            Environment("MIGPROF_TEST_UID").c_str(),
                            Environment("MIGPROF_TEST_PWD").c_str(), database.c_str(),
                            port.empty() ? 0 : static_cast<unsigned>(std::stoul(port)),
                            socket.empty() ? nullptr : socket.c_str(), 0)) {
      error_ = std::string("connect: ") + mysql_error(mysql_);
      return;
    }
    mysql_autocommit(mysql_, 1);
    for (const NativeStatement& s : setup) {
      if (!RunText(s.sql)) return;
    }
    for (NativeStatement& s : statements) {
      MYSQL_STMT* prepared = nullptr;
      if (!s.values.empty()) {
        MYSQL_STMT*& cached = prepared_[s.sql];
        if (cached == nullptr) {
          cached = mysql_stmt_init(mysql_);
          if (mysql_stmt_prepare(cached, s.sql.data(), s.sql.size()) != 0) {
            error_ = "prepare: " + std::string(mysql_stmt_error(cached)) + ": " + s.sql;
            return;
          }
        }
        prepared = cached;
      }
      steps_.push_back({std::move(s.sql), prepared, std::move(s.values)});
    }
  }
  ~ClientLibraryReplay() {
    for (auto& entry : prepared_) mysql_stmt_close(entry.second);
    if (mysql_) mysql_close(mysql_);
  }
  ClientLibraryReplay(const ClientLibraryReplay&) = delete;
  ClientLibraryReplay& operator=(const ClientLibraryReplay&) = delete;

  std::size_t statements() const { return steps_.size(); }
  std::size_t prepared() const { return prepared_.size(); }
  const std::string& error() const { return error_; }

  // Runs every statement, reading every column of every row. False when the
  // server refused one (error() says which).
  bool Run() {
    if (!error_.empty()) return false;
    for (const Step& step : steps_) {
      if (!(step.prepared ? RunPrepared(step) : RunText(step.sql))) return false;
    }
    benchmark::DoNotOptimize(bytes_);
    return true;
  }

 private:
  struct Step {
    std::string sql;
    MYSQL_STMT* prepared;
    std::vector<Variant> values;
  };

  bool Fail(const std::string& what, const std::string& sql) {
    error_ = what + ": " + sql;
    return false;
  }

  bool RunText(const std::string& sql) {
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) {
      return Fail(mysql_error(mysql_), sql);
    }
    if (mysql_field_count(mysql_) == 0) return true;
    MYSQL_RES* result = mysql_store_result(mysql_);
    if (result == nullptr) return Fail(mysql_error(mysql_), sql);
    const unsigned columns = mysql_num_fields(result);
    while (mysql_fetch_row(result) != nullptr) {
      const unsigned long* lengths = mysql_fetch_lengths(result);
      for (unsigned c = 0; c < columns; ++c) bytes_ += lengths[c];
    }
    mysql_free_result(result);
    return true;
  }

  // Binds the values as the ODBC layer binds them (integers, doubles, text,
  // binary, date-times, nulls), executes and reads the rows whole.
  bool RunPrepared(const Step& step) {
    const std::size_t n = step.values.size();
    std::vector<MYSQL_BIND> binds(n);
    std::vector<long long> numbers(n);
    std::vector<double> reals(n);
    std::vector<MYSQL_TIME> times(n);
    std::vector<unsigned long> lengths(n);
    for (std::size_t i = 0; i < n; ++i) {
      const Variant& value = step.values[i];
      MYSQL_BIND& bind = binds[i];
      switch (value.type()) {
        case Variant::Type::kInteger:
        case Variant::Type::kLong:
          numbers[i] = value.type() == Variant::Type::kLong ? value.AsLong() : value.AsInteger();
          bind.buffer_type = MYSQL_TYPE_LONGLONG;
          bind.buffer = &numbers[i];
          break;
        case Variant::Type::kDouble:
          reals[i] = value.AsDouble();
          bind.buffer_type = MYSQL_TYPE_DOUBLE;
          bind.buffer = &reals[i];
          break;
        case Variant::Type::kString:
        case Variant::Type::kBinary: {
          const bool text = value.type() == Variant::Type::kString;
          const void* data = text ? static_cast<const void*>(value.AsString().data())
                                  : static_cast<const void*>(value.AsBinary().data());
          lengths[i] = text ? value.AsString().size() : value.AsBinary().size();
          bind.buffer_type = text ? MYSQL_TYPE_STRING : MYSQL_TYPE_BLOB;
          bind.buffer = const_cast<void*>(data);
          bind.buffer_length = lengths[i];
          bind.length = &lengths[i];
          break;
        }
        case Variant::Type::kDate: {
          const migprof::DateTime& date = value.AsDate();
          MYSQL_TIME& time = times[i];
          time.year = static_cast<unsigned>(date.year);
          time.month = static_cast<unsigned>(date.month);
          time.day = static_cast<unsigned>(date.day);
          time.hour = static_cast<unsigned>(date.hour);
          time.minute = static_cast<unsigned>(date.minute);
          time.second = static_cast<unsigned>(date.second);
          time.time_type = MYSQL_TIMESTAMP_DATETIME;
          bind.buffer_type = MYSQL_TYPE_DATETIME;
          bind.buffer = &time;
          break;
        }
        default:
          bind.buffer_type = MYSQL_TYPE_NULL;
      }
    }
    MYSQL_STMT* stmt = step.prepared;
    if (mysql_stmt_bind_param(stmt, binds.data()) != 0 || mysql_stmt_execute(stmt) != 0) {
      return Fail(mysql_stmt_error(stmt), step.sql);
    }
    const unsigned columns = mysql_stmt_field_count(stmt);
    if (columns == 0) return true;
    std::vector<MYSQL_BIND> out(columns);
    std::vector<char> buffers(columns * kColumnBuffer);
    std::vector<unsigned long> out_lengths(columns);
    for (unsigned c = 0; c < columns; ++c) {
      out[c].buffer_type = MYSQL_TYPE_STRING;
      out[c].buffer = &buffers[c * kColumnBuffer];
      out[c].buffer_length = kColumnBuffer;
      out[c].length = &out_lengths[c];
    }
    if (mysql_stmt_bind_result(stmt, out.data()) != 0 || mysql_stmt_store_result(stmt) != 0) {
      return Fail(mysql_stmt_error(stmt), step.sql);
    }
    int rc;
    while ((rc = mysql_stmt_fetch(stmt)) == 0 || rc == MYSQL_DATA_TRUNCATED) {
      for (unsigned c = 0; c < columns; ++c) bytes_ += out_lengths[c];
    }
    mysql_stmt_free_result(stmt);
    return rc == MYSQL_NO_DATA ? true : Fail(mysql_stmt_error(stmt), step.sql);
  }

  static constexpr std::size_t kColumnBuffer = 512;

  MYSQL* mysql_ = nullptr;
  std::map<std::string, MYSQL_STMT*> prepared_;
  std::vector<Step> steps_;
  std::string error_;
  std::size_t bytes_ = 0;
};

std::vector<NativeStatement> Traced(const std::function<void()>& work) {
  std::vector<NativeStatement> trace;
  migprof::ado::detail::ScopedNativeTrace recording(
      [&trace](const NativeStatement& s) { trace.push_back(s); });
  work();
  return trace;
}

void BM_CopyToCurrentVRC_Odbc(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  OdbcCopyDatabase db(elements);
  migprof::TOVRHandleMigProf& object = db.object();
  // What a new session runs to set itself up, then the statements of a copy
  // that runs as the timed ones do (after a first copy that left its
  // connections for reuse).
  migprof::ado::CloseIdleConnections();
  std::vector<NativeStatement> setup = Traced([&object] { object.getNewConnection(); });
  migprof::bench::ClearCopyTarget(object);
  if (!migprof::bench::CopyRules(object)) {
    state.SkipWithError(("copy failed: " + object.ErrDescription()).c_str());
    return;
  }
  migprof::bench::ClearCopyTarget(object);
  std::vector<NativeStatement> copy = Traced([&object] { migprof::bench::CopyRules(object); });
  std::map<const void*, int> connections;
  for (const NativeStatement& s : copy) connections.emplace(s.handle, 0);
  ClientLibraryReplay reference(setup, std::move(copy));
  migprof::bench::ClearCopyTarget(object);

  double copy_seconds = 0;
  double ref_seconds = 0;
  double ref_cpu_seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    migprof::bench::ClearCopyTarget(object);
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    const bool copied = migprof::bench::CopyRules(object);
    copy_seconds += Seconds(start);
    state.PauseTiming();
    if (!copied || migprof::bench::CopyTargetFieldRules(object) != elements) {
      state.SkipWithError(("copy failed: " + object.ErrDescription()).c_str());
      break;
    }
    migprof::bench::ClearCopyTarget(object);
    const double cpu = ProcessCpuSeconds();
    start = std::chrono::steady_clock::now();
    const bool replayed = reference.Run();
    ref_seconds += Seconds(start);
    ref_cpu_seconds += ProcessCpuSeconds() - cpu;
    if (!replayed || migprof::bench::CopyTargetFieldRules(object) != elements) {
      state.SkipWithError(("the client-library replay failed: " + reference.error()).c_str());
      break;
    }
    state.ResumeTiming();
  }
  migprof::bench::ClearCopyTarget(object);
  if (ref_seconds > 0) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ref_ms"] = benchmark::Counter(ref_seconds * 1000 / iterations);
    state.counters["ref_cpu_ms"] = benchmark::Counter(ref_cpu_seconds * 1000 / iterations);
    state.counters["ratio"] = benchmark::Counter(copy_seconds / ref_seconds);
  }
  state.counters["elements"] = benchmark::Counter(elements);
  state.counters["statements"] = benchmark::Counter(static_cast<double>(reference.statements()));
  state.counters["prepared"] = benchmark::Counter(static_cast<double>(reference.prepared()));
  state.counters["connections"] = benchmark::Counter(static_cast<double>(connections.size()));
}

// The layer's own reading of the copy's element queries, one per element
// (the text the copy opens, without the row key it appends), as a MariaDB
// session reads each text it runs: /0 reads every text anew (what it may
// leave behind, then its translation), /1 through the table kept per text
// with its literals taken out. Needs no data source.
void BM_OdbcCallerText(benchmark::State& state) {
  std::vector<std::string> texts;
  for (int i = 0; i < 1000; ++i) {
    texts.push_back(
        "select * from qzmap140 where mprf =1 and vers ='V1' and rele = 'R1' and cust ='C1' and "
        "tcpac ='qz' and tcmod ='tbl' and tflno ='UTAB' and fdnm = 'F" +
        std::to_string(i) + "'");
  }
  const migprof::odbc::MariaDbTextType text_type;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& sql : texts) {
      if (state.range(0) == 0) {
        benchmark::DoNotOptimize(migprof::odbc::ReadCallerStatement(sql));
        bytes += migprof::odbc::TranslateForMariaDb(sql, text_type).size();
      } else {
        const migprof::odbc::MariaDbCallerText text(sql);
        benchmark::DoNotOptimize(text.Caller());
        bytes += text.Translate(text_type).size();
      }
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["per_text_us"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1000,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OdbcCallerText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool registered = [] {
  if (Environment("MIGPROF_TEST_DSN").empty()) return false;
  benchmark::RegisterBenchmark("BM_CopyToCurrentVRC_Odbc", BM_CopyToCurrentVRC_Odbc)
      ->Arg(1000)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
  return true;
}();

}  // namespace
