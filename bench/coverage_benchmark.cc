// What coverage and the sign-off sheet cost on a large estate.
//
// The target application has N / 100 tables of 100 field elements each (50
// plain fields and 5 array fields of depth 10). BM_Coverage counts a profile
// holding a field rule for 9 of every 10 elements (N field rules in all,
// with 1 in 100 of them stale); BM_CoverageAllProfiles counts each of 10
// profiles of the application holding N / 10 rules; BM_SignoffSheet writes
// the workbook of the N-rule profile, with the process's peak resident set
// as a counter (run it on its own, --benchmark_filter=SignoffSheet, for a
// peak of its own).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "insight/coverage.h"
#include "insight/signoff_sheet.h"
#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"
#include "schema/schema.h"

namespace {

namespace fs = std::filesystem;
using migprof::ado::Connection;

constexpr int kElementsPerTable = 100;
constexpr int kProfiles = 10;

class Estate {
 public:
  explicit Estate(long rules)
      : path_((fs::temp_directory_path() /
               ("migprof_bench_coverage_" + std::to_string(::getpid()) + ".db"))
                  .string()) {
    Remove();
    migprof::schema::CreateEmbeddedDatabase(path_);
    object_.DatabaseName("sqlite:" + path_);
    Fill(rules);
  }
  ~Estate() { Remove(); }
  migprof::insight::DataSource source() const { return {"sqlite:" + path_, "", ""}; }

 private:
  void Fill(long rules) {
    std::shared_ptr<Connection> c = object_.getNewConnection();
    c->BeginTrans();
    const long tables = std::max(1L, rules / (kElementsPerTable * 9 / 10));
    for (int p = 0; p <= kProfiles; ++p) {
      c->Execute("insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust) values (" +
                 std::to_string(p + 1) + ", 'SAPP', 'TAPP', 'V', 'R', 'C" + std::to_string(p) +
                 "')");
    }
    long written = 0;
    for (long t = 0; t < tables; ++t) {
      const std::string flno = std::to_string(1000 + t);
      auto rule = [&](int mprf, int p, const std::string& element) {
        c->Execute(
            "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul, "
            "type, stat) values (" +
            std::to_string(mprf) + ", 'V', 'R', 'C" + std::to_string(p) + "', 'ab', 'cde', '" +
            flno + "', '" + element + "', 0, 'SRC.FIELD', 'D', 'N')");
      };
      int e = 0;  // the element's number in its table
      for (int f = 0; f < 55; ++f) {
        const int depth = f < 50 ? 0 : 10;
        const std::string name = "f" + std::to_string(f);
        c->Execute(
            "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('TAPP', 'ab', "
            "'cde', '" +
            flno + "', '" + name + "', " + std::to_string(depth) + ")");
        for (int i = depth == 0 ? 0 : 1; i <= depth; ++i) {
          const std::string element = i == 0 ? name : name + "(" + std::to_string(i) + ")";
          const long n = t * kElementsPerTable + e++;
          if (n % 10 == 0) continue;  // one in ten unmapped
          rule(1, 0, n % 100 == 1 ? element + "_old" : element);
          ++written;
          if (n % kProfiles == 1 || n % kProfiles == 2) {
            rule(2 + static_cast<int>(t % kProfiles), 1 + static_cast<int>(t % kProfiles), element);
          }
        }
      }
      c->Execute(
          "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, stat) values (1, "
          "'V', 'R', 'C0', 'ab', 'cde', '" +
          flno + "', 'N')");
    }
    c->CommitTrans();
    rules_ = written;
  }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-lock"}) fs::remove(path_ + suffix);
  }

 public:
  long rules_ = 0;

 private:
  std::string path_;
  migprof::TOVRHandleMigProf object_;
};

void BM_Coverage(benchmark::State& state) {
  Estate estate(state.range(0));
  for (auto _ : state) {
    auto coverage =
        migprof::insight::ProfileCoverage(estate.source(), migprof::insight::RuleSet{1, {}});
    benchmark::DoNotOptimize(coverage.total.mapped);
  }
  state.counters["field_rules"] = static_cast<double>(estate.rules_);
}
BENCHMARK(BM_Coverage)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CoverageAllProfiles(benchmark::State& state) {
  Estate estate(state.range(0));
  for (auto _ : state) {
    for (int p = 2; p <= kProfiles + 1; ++p) {
      auto coverage = migprof::insight::ProfileCoverage(
          estate.source(), migprof::insight::RuleSet{static_cast<migprof::Integer>(p), {}});
      benchmark::DoNotOptimize(coverage.total.mapped);
    }
  }
}
BENCHMARK(BM_CoverageAllProfiles)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SignoffSheet(benchmark::State& state) {
  Estate estate(state.range(0));
  const auto coverage =
      migprof::insight::ProfileCoverage(estate.source(), migprof::insight::RuleSet{1, {}});
  const std::string path = (fs::temp_directory_path() /
                            ("migprof_bench_signoff_" + std::to_string(::getpid()) + ".xlsx"))
                               .string();
  for (auto _ : state) {
    migprof::insight::WriteSignoffSheet(estate.source(), coverage, {}, path);
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(path));
  fs::remove(path);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_SignoffSheet)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
