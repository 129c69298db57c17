// What CopyToCurrentVRC costs for one table with many field elements, next
// to two references measured in the same run:
// - raw SQLite: the very statements the copy ran (recorded from a traced
//   copy, in SQLite's dialect, with the values bound to them), replayed in
//   the same order by a plain C++ loop on kept-open connections (one per
//   connection the copy used), each statement prepared once, in autocommit,
//   WAL and synchronous FULL as the component has them: "raw_ratio";
// - a set-based copy of the same rows (one insert ... select per table in
//   one transaction), which the component's design cannot use: "ratio".
// Peak RSS (getrusage) is reported with each size.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/copy_fixture.h"
#include "component/sqlite/dialect.h"
#include "component/sqlite/sqlite_session.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "schema/schema.h"

namespace {

using migprof::ado::Connection;

// A database with source profile 1 holding the rules of table xy/uvw/123
// (bench/copy_fixture.h).
class CopyDatabase {
 public:
  explicit CopyDatabase(int elements) {
    path_ = (std::filesystem::temp_directory_path() /
             ("migprof_bench_maprules_" + std::to_string(::getpid()) + ".db"))
                .string();
    Remove();
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
    migprof::bench::FillCopySource(*object_.getNewConnection(), elements);
  }
  ~CopyDatabase() { Remove(); }

  migprof::TOVRHandleMigProf& object() { return object_; }
  const std::string& path() const { return path_; }

  // Removes what a copy wrote into profile 2.
  void ClearTarget() { migprof::bench::ClearCopyTarget(object_); }

  // The same rows as the component's copy, set-based: every source field
  // rule here belongs to an element of the dictionary.
  void SetBasedCopy() {
    const std::string target = "2, 'UV', 'UR', 'UC'";
    const std::string source =
        " where mprf = 1 and vers = 'SV' and rele = 'SR' and cust = 'SC' and tcpac = 'xy' and "
        "tcmod = 'uvw' and tflno = '123'";
    std::shared_ptr<Connection> c = object_.getNewConnection();
    c->BeginTrans();
    c->Execute(
        "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, logn, "
        "stat, lusr, comt, vari, stbl, isms, txtn, ldat) select " +
        target +
        ", tcpac, tcmod, tflno, ltrim(rtrim(prtx)), '', stat, 'bench', ltrim(rtrim(comt)), "
        "vari, stbl, isms, txtn, '" +
        migprof::DateTime::Now().ToString() + "' from qzmap120" + source);
    c->Execute(
        "insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, "
        "sflno, icod, qury, txtn) select " +
        target + ", tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury, txtn from qzmap130" +
        source);
    c->Execute(
        "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, "
        "mrul, type, stat, txtn) select " +
        target + ", 'xy', 'uvw', '123', fdnm, dnum, mrul, type, stat, txtn from qzmap140" + source);
    c->Execute("insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) select " +
               target + ", tcpac, tcmod, tflno, func from qzmap160" + source);
    c->CommitTrans();
  }

  long TargetFieldRules() { return migprof::bench::CopyTargetFieldRules(object_); }

 private:
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  }

  std::string path_;
  migprof::TOVRHandleMigProf object_;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool CopyRules(CopyDatabase& db) { return migprof::bench::CopyRules(db.object()); }

// The statements a copy ran natively, replayed by plain SQLite calls.
class RawReplay {
 public:
  // Records what one copy runs (the target is cleared before and after).
  explicit RawReplay(CopyDatabase& db) : path_(db.path()) {
    std::vector<migprof::sqlite::NativeStatement> trace;
    db.ClearTarget();
    {
      migprof::sqlite::ScopedNativeTrace recording(
          [&trace](const migprof::sqlite::NativeStatement& s) { trace.push_back(s); });
      CopyRules(db);
    }
    db.ClearTarget();
    std::map<const void*, sqlite3*> connections;
    std::map<std::pair<sqlite3*, std::string>, sqlite3_stmt*> prepared;
    for (migprof::sqlite::NativeStatement& s : trace) {
      sqlite3*& db_for = connections[s.handle];
      if (db_for == nullptr) db_for = Open();
      sqlite3_stmt*& stmt = prepared[{db_for, s.sql}];
      if (stmt == nullptr) {
        sqlite3_prepare_v2(db_for, s.sql.c_str(), static_cast<int>(s.sql.size()), &stmt, nullptr);
        statements_.push_back(stmt);
      }
      steps_.push_back({stmt, std::move(s.values)});
    }
  }
  ~RawReplay() {
    for (sqlite3_stmt* stmt : statements_) sqlite3_finalize(stmt);
    for (sqlite3* db : dbs_) sqlite3_close_v2(db);
  }
  RawReplay(const RawReplay&) = delete;
  RawReplay& operator=(const RawReplay&) = delete;

  std::size_t statements() const { return steps_.size(); }

  // Runs every recorded statement: binds, steps to the end reading each
  // column, resets. Returns false when SQLite refused one.
  bool Run() {
    std::size_t bytes = 0;
    for (const Step& step : steps_) {
      sqlite3_stmt* stmt = step.stmt;
      for (std::size_t i = 0; i < step.values.size(); ++i)
        Bind(stmt, static_cast<int>(i + 1), step.values[i]);
      int rc;
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
          bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
      }
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
      if (rc != SQLITE_DONE) return false;
    }
    benchmark::DoNotOptimize(bytes);
    return true;
  }

 private:
  struct Step {
    sqlite3_stmt* stmt;
    std::vector<migprof::Variant> values;
  };

  sqlite3* Open() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    dbs_.push_back(db);
    // The schema's collation and the translated statements' functions.
    migprof::sqlite_dialect::Register(db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr,
                 nullptr);
    sqlite3_busy_timeout(db, 10000);
    return db;
  }

  static void Bind(sqlite3_stmt* stmt, int index, const migprof::Variant& value) {
    using Type = migprof::Variant::Type;
    switch (value.type()) {
      case Type::kInteger:
        sqlite3_bind_int64(stmt, index, value.AsInteger());
        break;
      case Type::kLong:
        sqlite3_bind_int64(stmt, index, value.AsLong());
        break;
      case Type::kDouble:
        sqlite3_bind_double(stmt, index, value.AsDouble());
        break;
      case Type::kString:
        sqlite3_bind_text(stmt, index, value.AsString().data(),
                          static_cast<int>(value.AsString().size()), SQLITE_STATIC);
        break;
      case Type::kBinary:
        sqlite3_bind_blob(stmt, index, value.AsBinary().data(),
                          static_cast<int>(value.AsBinary().size()), SQLITE_STATIC);
        break;
      case Type::kDate: {
        std::string text = value.AsDate().ToString();
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        break;
      }
      default:
        sqlite3_bind_null(stmt, index);
    }
  }

  std::string path_;
  std::vector<sqlite3*> dbs_;
  std::vector<sqlite3_stmt*> statements_;
  std::vector<Step> steps_;
};

double PeakRssMegabytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The component's copy; each iteration also runs the raw-SQLite replay and
// the set-based copy outside the timed part, and the counters compare them.
void BM_CopyToCurrentVRC(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  CopyDatabase db(elements);
  RawReplay raw(db);
  double row_by_row = 0;
  double raw_sqlite = 0;
  double set_based = 0;
  for (auto _ : state) {
    state.PauseTiming();
    db.ClearTarget();
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    bool copied = CopyRules(db);
    row_by_row += SecondsSince(start);
    state.PauseTiming();
    if (!copied || db.TargetFieldRules() != elements) {
      state.SkipWithError(("copy failed: " + db.object().ErrDescription()).c_str());
      break;
    }
    db.ClearTarget();
    start = std::chrono::steady_clock::now();
    bool replayed = raw.Run();
    raw_sqlite += SecondsSince(start);
    if (!replayed || db.TargetFieldRules() != elements) {
      state.SkipWithError("the raw-SQLite replay failed");
      break;
    }
    db.ClearTarget();
    start = std::chrono::steady_clock::now();
    db.SetBasedCopy();
    set_based += SecondsSince(start);
    if (db.TargetFieldRules() != elements) {
      state.SkipWithError("set-based copy wrote other rows");
      break;
    }
    state.ResumeTiming();
  }
  if (set_based > 0 && raw_sqlite > 0) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["raw_ms"] = benchmark::Counter(raw_sqlite * 1000 / iterations);
    state.counters["raw_ratio"] = benchmark::Counter(row_by_row / raw_sqlite);
    state.counters["set_based_ms"] = benchmark::Counter(set_based * 1000 / iterations);
    state.counters["ratio"] = benchmark::Counter(row_by_row / set_based);
  }
  state.counters["elements"] = benchmark::Counter(elements);
  state.counters["statements"] = benchmark::Counter(static_cast<double>(raw.statements()));
  state.counters["peak_rss_mb"] = benchmark::Counter(PeakRssMegabytes());
}
BENCHMARK(BM_CopyToCurrentVRC)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
// 100,000 elements: one copy (minutes on a loaded machine), for the memory
// it needs.
BENCHMARK(BM_CopyToCurrentVRC)
    ->Name("BM_CopyToCurrentVRC_Large")
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The raw-SQLite replay alone.
void BM_RawSqliteReplay(benchmark::State& state) {
  CopyDatabase db(static_cast<int>(state.range(0)));
  RawReplay raw(db);
  for (auto _ : state) {
    state.PauseTiming();
    db.ClearTarget();
    state.ResumeTiming();
    if (!raw.Run()) state.SkipWithError("the raw-SQLite replay failed");
  }
  state.counters["statements"] = benchmark::Counter(static_cast<double>(raw.statements()));
}
BENCHMARK(BM_RawSqliteReplay)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The set-based copy alone.
void BM_SetBasedCopy(benchmark::State& state) {
  CopyDatabase db(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    db.ClearTarget();
    state.ResumeTiming();
    db.SetBasedCopy();
  }
}
BENCHMARK(BM_SetBasedCopy)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
