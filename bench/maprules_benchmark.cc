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
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/copy_fixture.h"
#include "component/ado/native_trace.h"
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
    // MIGPROF_BENCH_DIR puts the database elsewhere (/dev/shm: the flushes
    // cost nothing, which leaves the processor's part of the copy).
    const char* dir = std::getenv("MIGPROF_BENCH_DIR");
    path_ = ((dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path()) /
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
    for (const char* suffix : {"", "-wal", "-shm", "-lock"})
      std::filesystem::remove(path_ + suffix);
  }

  std::string path_;
  migprof::TOVRHandleMigProf object_;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process (user and system), in seconds.
double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// User-mode processor time of the process, in seconds (the rest of
// ProcessCpuSeconds is the kernel's, mostly the flushes).
double UserCpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
}

// Processor time of the calling thread, in seconds.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A statement's kind for the replay's per-kind figures: its verb and the
// table it works on ("select_qzmap140", "insert_qzmap140").
std::string KindOf(const std::string& sql) {
  std::string lower(sql);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::istringstream words(lower);
  std::string verb, word, previous;
  words >> verb;
  while (words >> word) {
    if (previous == "from" || previous == "into" || verb == "update") {
      word = word.substr(0, word.find('('));
      word.erase(std::remove(word.begin(), word.end(), '"'), word.end());
      return verb + "_" + word;
    }
    previous = word;
  }
  return verb;
}

bool CopyRules(CopyDatabase& db) { return migprof::bench::CopyRules(db.object()); }

// The statements a copy ran natively, replayed by plain SQLite calls.
class RawReplay {
 public:
  // Records what one copy runs (the target is cleared before and after).
  explicit RawReplay(CopyDatabase& db) : path_(db.path()) {
    std::vector<migprof::ado::detail::NativeStatement> trace;
    db.ClearTarget();
    {
      migprof::ado::detail::ScopedNativeTrace recording(
          [&trace](const migprof::ado::detail::NativeStatement& s) { trace.push_back(s); });
      CopyRules(db);
    }
    db.ClearTarget();
    std::map<const void*, sqlite3*> connections;
    std::map<std::pair<sqlite3*, std::string>, sqlite3_stmt*> prepared;
    for (migprof::ado::detail::NativeStatement& s : trace) {
      sqlite3*& db_for = connections[s.handle];
      if (db_for == nullptr) db_for = Open();
      sqlite3_stmt*& stmt = prepared[{db_for, s.sql}];
      if (stmt == nullptr) {
        sqlite3_prepare_v2(db_for, s.sql.c_str(), static_cast<int>(s.sql.size()), &stmt, nullptr);
        statements_.push_back(stmt);
        if (std::getenv("MIGPROF_BENCH_EXPLAIN")) Explain(db_for, s.sql);
      }
      steps_.push_back({stmt, std::move(s.values), KindIndex(KindOf(s.sql))});
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
  // column, resets. Returns false when SQLite refused one. With per_kind,
  // the wall and processor time of each statement is added to its kind's.
  bool Run(bool per_kind = false) {
    std::size_t bytes = 0;
    for (const Step& step : steps_) {
      const auto start =
          per_kind ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
      const double cpu = per_kind ? ThreadCpuSeconds() : 0;
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
      if (per_kind) {
        kinds_[step.kind].seconds += SecondsSince(start);
        kinds_[step.kind].cpu_seconds += ThreadCpuSeconds() - cpu;
        ++kinds_[step.kind].count;
      }
    }
    benchmark::DoNotOptimize(bytes);
    return true;
  }

  // Mean wall and processor microseconds per statement of each kind that ran at least
  // `at_least` times in the timed runs with per_kind, as counters.
  void ReportKinds(benchmark::State& state, std::size_t at_least) const {
    for (const Kind& kind : kinds_) {
      if (kind.count >= at_least) {
        const double count = static_cast<double>(kind.count);
        state.counters["us_" + kind.name] = benchmark::Counter(kind.seconds * 1e6 / count);
        state.counters["cpu_us_" + kind.name] = benchmark::Counter(kind.cpu_seconds * 1e6 / count);
      }
    }
  }

 private:
  struct Step {
    sqlite3_stmt* stmt;
    std::vector<migprof::Variant> values;
    std::size_t kind;
  };
  struct Kind {
    std::string name;
    double seconds = 0;
    double cpu_seconds = 0;
    std::size_t count = 0;
  };

  std::size_t KindIndex(const std::string& name) {
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
      if (kinds_[i].name == name) return i;
    }
    kinds_.push_back({name});
    return kinds_.size() - 1;
  }

  // Prints SQLite's query plan of a statement (MIGPROF_BENCH_EXPLAIN set).
  static void Explain(sqlite3* db, const std::string& sql) {
    std::printf("%s\n", sql.c_str());
    sqlite3_stmt* plan = nullptr;
    const std::string text = "EXPLAIN QUERY PLAN " + sql;
    if (sqlite3_prepare_v2(db, text.c_str(), -1, &plan, nullptr) != SQLITE_OK) return;
    while (sqlite3_step(plan) == SQLITE_ROW) {
      std::printf("  plan: %s\n", reinterpret_cast<const char*>(sqlite3_column_text(plan, 3)));
    }
    sqlite3_finalize(plan);
  }

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
  std::vector<Kind> kinds_;
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
  double row_by_row_cpu = 0;
  double row_by_row_user = 0;
  double raw_sqlite = 0;
  double raw_cpu = 0;
  double raw_user = 0;
  double set_based = 0;
  for (auto _ : state) {
    state.PauseTiming();
    db.ClearTarget();
    state.ResumeTiming();
    double cpu = ProcessCpuSeconds();
    double user = UserCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    bool copied = CopyRules(db);
    row_by_row += SecondsSince(start);
    row_by_row_cpu += ProcessCpuSeconds() - cpu;
    row_by_row_user += UserCpuSeconds() - user;
    state.PauseTiming();
    if (!copied || db.TargetFieldRules() != elements) {
      state.SkipWithError(("copy failed: " + db.object().ErrDescription()).c_str());
      break;
    }
    db.ClearTarget();
    cpu = ProcessCpuSeconds();
    user = UserCpuSeconds();
    start = std::chrono::steady_clock::now();
    bool replayed = raw.Run();
    raw_sqlite += SecondsSince(start);
    raw_cpu += ProcessCpuSeconds() - cpu;
    raw_user += UserCpuSeconds() - user;
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
    state.counters["cpu_ms"] = benchmark::Counter(row_by_row_cpu * 1000 / iterations);
    state.counters["raw_cpu_ms"] = benchmark::Counter(raw_cpu * 1000 / iterations);
    state.counters["cpu_ratio"] = benchmark::Counter(row_by_row_cpu / raw_cpu);
    state.counters["user_ms"] = benchmark::Counter(row_by_row_user * 1000 / iterations);
    state.counters["raw_user_ms"] = benchmark::Counter(raw_user * 1000 / iterations);
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
// The raw-SQLite replay alone, with the mean wall time of each kind of
// statement that the copy runs once per element ("us_<verb>_<table>").
void BM_RawSqliteReplay(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  CopyDatabase db(elements);
  RawReplay raw(db);
  for (auto _ : state) {
    state.PauseTiming();
    db.ClearTarget();
    state.ResumeTiming();
    if (!raw.Run(true)) state.SkipWithError("the raw-SQLite replay failed");
  }
  raw.ReportKinds(state, static_cast<std::size_t>(elements) * state.iterations());
  state.counters["statements"] = benchmark::Counter(static_cast<double>(raw.statements()));
}
BENCHMARK(BM_RawSqliteReplay)
    ->Arg(1000)
    ->Arg(10000)
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
