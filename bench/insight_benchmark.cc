// What a preview costs next to the work it previews, and what comparing two
// large profiles costs.
//
// BM_PreviewCopy previews CopyToCurrentVRC of one table with N field
// elements (snapshot, rows before, the copy, rows after, the difference);
// BM_Copy runs the same copy on the database itself. The "ratio" counter of
// BM_PreviewCopy is its time over the copy's, measured in the same process.
// BM_Compare compares two profiles holding N field rules each, one in ten of
// them different.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "migprof/insight.h"
#include "schema/schema.h"

namespace {

using migprof::ado::Connection;

// Array fields of this depth make up the table's field elements.
constexpr int kDepth = 10;

// A database file named after the process and the benchmark, removed again.
class BenchFile {
 public:
  explicit BenchFile(const char* name)
      : path_((std::filesystem::temp_directory_path() /
               ("migprof_bench_insight_" + std::string(name) + "_" + std::to_string(::getpid()) +
                ".db"))
                  .string()) {
    Remove();
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
  }
  ~BenchFile() { Remove(); }

  migprof::TOVRHandleMigProf& object() { return object_; }
  migprof::insight::DataSource source() const { return {"sqlite:" + path_, "", ""}; }

 private:
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-lock"})
      std::filesystem::remove(path_ + suffix);
  }
  std::string path_;
  migprof::TOVRHandleMigProf object_;
};

// Source profile 1 with the rules of table xy/uvw/123 (one field rule per
// element) and target profile 2 whose application describes the table.
void FillCopySource(BenchFile& file, int elements) {
  std::shared_ptr<Connection> c = file.object().getNewConnection();
  c->BeginTrans();
  c->Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'SAPP')");
  c->Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', 'UAPP')");
  const std::string key = "1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123'";
  c->Execute(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat) values (" +
      key + ", 'rule', 'A')");
  for (int field = 0; field < elements / kDepth; ++field) {
    std::string name = "fld" + std::to_string(field);
    c->Execute(
        "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('UAPP', 'xy', 'uvw', "
        "'123', '" +
        name + "', " + std::to_string(kDepth) + ")");
    for (int i = 1; i <= kDepth; ++i) {
      c->Execute(
          "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul, "
          "type, stat) values (" +
          key + ", '" + name + "(" + std::to_string(i) + ")', " + std::to_string(i) +
          ", 'rule', 'T', 'A')");
    }
  }
  c->CommitTrans();
}

bool Copy(migprof::TOVRHandleMigProf& object) {
  return object
      .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "Bench", migprof::Variant(), "",
                        migprof::kFalse)
      .IsTrue();
}

void ClearTarget(BenchFile& file) {
  std::shared_ptr<Connection> c = file.object().getNewConnection();
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    c->Execute(std::string("delete from ") + table + " where mprf = 2");
  }
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Copy(benchmark::State& state) {
  BenchFile file("copy");
  FillCopySource(file, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    ClearTarget(file);
    state.ResumeTiming();
    if (!Copy(file.object())) state.SkipWithError("copy failed");
  }
}
BENCHMARK(BM_Copy)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_PreviewCopy(benchmark::State& state) {
  BenchFile file("preview");
  FillCopySource(file, static_cast<int>(state.range(0)));
  double preview = 0, copy = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    bool planned = false;
    std::vector<migprof::insight::TableChanges> plan = migprof::insight::Preview(
        file.source(), {1, 2}, [&planned](const migprof::insight::DataSource& snapshot) {
          migprof::TOVRHandleMigProf object;
          object.DatabaseName(snapshot.name);
          planned = Copy(object);
        });
    preview += SecondsSince(start);
    state.PauseTiming();
    std::size_t field_rules = 0;
    for (const migprof::insight::TableChanges& table : plan) {
      if (table.table == "qzmap140") field_rules = table.added.size();
    }
    if (!planned || field_rules != static_cast<std::size_t>(state.range(0))) {
      state.SkipWithError("the preview did not plan the copy");
      break;
    }
    // The copy itself, on the database, for the ratio.
    start = std::chrono::steady_clock::now();
    bool copied = Copy(file.object());
    copy += SecondsSince(start);
    ClearTarget(file);
    state.ResumeTiming();
    if (!copied) state.SkipWithError("copy failed");
  }
  if (copy > 0) state.counters["ratio"] = benchmark::Counter(preview / copy);
}
BENCHMARK(BM_PreviewCopy)->Arg(1000)->Unit(benchmark::kMillisecond);

// Profiles 1 and 2 with the same n field rules of one table in their own
// VRCs; every tenth rule of profile 2 has another mapping.
void BM_Compare(benchmark::State& state) {
  const int rules = static_cast<int>(state.range(0));
  BenchFile file("compare");
  {
    std::shared_ptr<Connection> c = file.object().getNewConnection();
    c->BeginTrans();
    c->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (1, 'AV', 'AR', 'AC')");
    c->Execute("insert into qzmap100 (mprf, vers, rele, cust) values (2, 'BV', 'BR', 'BC')");
    for (int i = 0; i < rules; ++i) {
      for (const char* profile : {"1, 'AV', 'AR', 'AC'", "2, 'BV', 'BR', 'BC'"}) {
        bool other = profile[0] == '2' && i % 10 == 0;
        c->Execute(
            "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul, "
            "type, stat) values (" +
            std::string(profile) + ", 'xy', 'uvw', '123', 'f" + std::to_string(i) + "', 0, '" +
            (other ? "other" : "rule") + "', 'T', 'A')");
      }
    }
    c->CommitTrans();
  }
  for (auto _ : state) {
    migprof::insight::Comparison result =
        migprof::insight::Compare(file.source(), {1, std::nullopt}, {2, std::nullopt});
    if (result.changed != rules / 10) state.SkipWithError("wrong comparison");
  }
  state.counters["rules"] = benchmark::Counter(rules);
}
BENCHMARK(BM_Compare)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
