// What CopyToCurrentVRC costs for one table with many field elements, next
// to a set-based copy of the same rows (one insert ... select per table in
// one transaction). The copy opens two cursors, each on a new connection,
// per field element; the "ratio" counter says how much that costs against
// the set-based form.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "schema/schema.h"

namespace {

using migprof::ado::Connection;

// Array fields of this depth make up the table's field elements.
constexpr int kDepth = 10;

// A database with source profile 1 holding the rules of table xy/uvw/123
// (one table rule, two source-table rules, two function rules and one field
// rule per field element) and target profile 2 whose application describes
// the table with elements / kDepth array fields.
class CopyDatabase {
 public:
  explicit CopyDatabase(int elements) {
    path_ = (std::filesystem::temp_directory_path() /
             ("migprof_bench_maprules_" + std::to_string(::getpid()) + ".db"))
                .string();
    Remove();
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
    std::shared_ptr<Connection> c = object_.getNewConnection();
    c->BeginTrans();
    c->Execute(
        "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'SAPP')");
    c->Execute(
        "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', 'UAPP')");
    const std::string key = "1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123'";
    c->Execute(
        "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat, comt, "
        "isms) values (" +
        key + ", ' rule ', 'A', ' note ', '0')");
    for (const char* s : {"7", "8"}) {
      c->Execute(
          "insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, "
          "sflno, icod, qury) values (" +
          key + ", 'ab', 'cde', '" + s + "', 'I', 'q')");
      c->Execute(
          "insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) values (" +
          key + ", 'f" + s + "')");
    }
    for (int field = 0; field < elements / kDepth; ++field) {
      std::string name = "fld" + std::to_string(field);
      c->Execute(
          "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('UAPP', 'xy', "
          "'uvw', '123', '" +
          name + "', " + std::to_string(kDepth) + ")");
      for (int i = 1; i <= kDepth; ++i) {
        c->Execute(
            "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, "
            "mrul, type, stat) values (" +
            key + ", '" + name + "(" + std::to_string(i) + ")', " + std::to_string(i) +
            ", 'rule', 'T', 'A')");
      }
    }
    c->CommitTrans();
  }
  ~CopyDatabase() { Remove(); }

  migprof::TOVRHandleMigProf& object() { return object_; }

  // Removes what a copy wrote into profile 2.
  void ClearTarget() {
    std::shared_ptr<Connection> c = object_.getNewConnection();
    for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
      c->Execute(std::string("delete from ") + table + " where mprf = 2");
    }
  }

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

  long TargetFieldRules() {
    auto rs = object_.getNewConnection()->Execute("select count(*) from qzmap140 where mprf = 2");
    return rs->Fields().Item(migprof::Integer{0}).Value().ToLong();
  }

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

bool CopyRules(CopyDatabase& db) {
  return db.object()
      .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "Bench", migprof::Variant(), "",
                        migprof::kFalse)
      .IsTrue();
}

// The component's copy; each iteration also runs the set-based copy outside
// the timed part, and the counters compare the two.
void BM_CopyToCurrentVRC(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  CopyDatabase db(elements);
  double row_by_row = 0;
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
    db.SetBasedCopy();
    set_based += SecondsSince(start);
    if (db.TargetFieldRules() != elements) {
      state.SkipWithError("set-based copy wrote other rows");
      break;
    }
    state.ResumeTiming();
  }
  if (set_based > 0) {
    state.counters["set_based_ms"] =
        benchmark::Counter(set_based * 1000 / static_cast<double>(state.iterations()));
    state.counters["ratio"] = benchmark::Counter(row_by_row / set_based);
  }
  state.counters["elements"] = benchmark::Counter(elements);
}
BENCHMARK(BM_CopyToCurrentVRC)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

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
