#include "insight/snapshot.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>

#include "component/sql_text.h"
#include "component/sqlite/database_file.h"
#include "component/sqlite/snapshot_file.h"
#include "component/sqlite/sqlite_session.h"
#include "insight/rows.h"
#include "insight/tables.h"
#include "migprof/com_error.h"
#include "schema/schema.h"

namespace migprof::insight {
namespace {

constexpr std::string_view kEmbeddedPrefix = "sqlite:";

[[noreturn]] void RaiseSnapshot(const std::string& why) {
  throw ComError(errc::kProviderFailure, "Cannot take a snapshot: " + why);
}

// " where mprf in (1, 2)" for the profiles.
String WhereProfiles(const std::vector<Integer>& profiles) {
  String list;
  for (Integer mprf : profiles) list += (list.empty() ? "" : ", ") + SqlNumber(mprf);
  return " where mprf in (" + list + ")";
}

bool PerProfile(const TableInfo& table) {
  return table.kind == TableKind::kRule || table.kind == TableKind::kFunction;
}

// From one embedded file into another: SQLite copies the rows itself.
void CopyEmbeddedRows(const std::string& source_path, const std::string& target_path,
                      const std::vector<Integer>& profiles) {
  std::vector<sqlite::RowsToCopy> rows;
  for (const TableInfo& table : AllTables()) {
    if (PerProfile(table) && profiles.empty()) continue;
    rows.push_back(
        {table.name, ColumnList(table), PerProfile(table) ? WhereProfiles(profiles) : ""});
  }
  sqlite::CopyRows(source_path, target_path, rows);
}

}  // namespace

void CopyProfileRows(const DataSource& source, const DataSource& target,
                     const std::vector<Integer>& profiles) {
  const std::string source_path = EmbeddedPath(source);
  const std::string target_path = EmbeddedPath(target);
  if (!source_path.empty() && !target_path.empty()) {
    CopyEmbeddedRows(source_path, target_path, profiles);
    return;
  }
  std::shared_ptr<ado::Connection> from = Connect(source);
  std::shared_ptr<ado::Connection> to = Connect(target);
  // An embedded source is read in one transaction: one consistent state of
  // the file even while others write to it.
  const bool embedded = !source_path.empty();
  if (embedded) from->BeginTrans();
  to->BeginTrans();
  for (const TableInfo& table : AllTables()) {
    bool per_profile = PerProfile(table);
    if (per_profile && profiles.empty()) continue;
    std::vector<Row> rows =
        ReadRows(*from, SelectAll(table, per_profile ? WhereProfiles(profiles) : ""));
    if (rows.empty()) continue;
    std::shared_ptr<ado::Recordset> insert = ado::Recordset::Create();
    insert->Open(SelectAll(table, " where 1 = 0"), to, ado::adOpenDynamic, ado::adLockOptimistic,
                 ado::adCmdUnspecified);
    ado::Fields fields = insert->Fields();
    for (const Row& row : rows) {
      insert->AddNew();
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (!row[i].IsNull() && !row[i].IsEmpty()) {
          fields.Item(static_cast<Integer>(i)).Value(row[i]);
        }
      }
      insert->Update();
    }
    insert->Close();
  }
  to->CommitTrans();
  if (embedded) from->CommitTrans();
}

std::string EmbeddedPath(const DataSource& source) {
  if (source.name.compare(0, kEmbeddedPrefix.size(), kEmbeddedPrefix) != 0) return "";
  return source.name.substr(kEmbeddedPrefix.size());
}

namespace {

// A new private directory whose name begins with prefix: in memory
// (/dev/shm) where the system has it, so the copy costs no disk writes, else
// in the temporary directory.
std::string MakeSnapshotDirectory(const std::string& prefix) {
  std::error_code ignored;
  std::vector<std::filesystem::path> places;
  if (std::filesystem::is_directory("/dev/shm", ignored)) places.emplace_back("/dev/shm");
  places.push_back(std::filesystem::temp_directory_path(ignored));
  for (const std::filesystem::path& place : places) {
    std::string pattern = (place / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data())) return pattern;
  }
  RaiseSnapshot("no directory for the copy");
}

constexpr std::string_view kBasePrefix = "migprof_base_";

// Whether process pid runs: it exists and has not ended waiting for its
// parent to collect it (a zombie, state Z in /proc).
bool ProcessRuns(pid_t pid) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t end_of_name = line.rfind(')');
  return end_of_name == std::string::npos || line.compare(end_of_name, 3, ") Z") != 0;
}

// Removes the bases that processes which have ended left behind (a process
// killed before its exit handlers ran): each base's directory is named after
// the process that keeps it.
void RemoveAbandonedBases(const std::filesystem::path& place) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(place, error)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, kBasePrefix.size(), kBasePrefix) != 0) continue;
    const long pid = std::strtol(name.c_str() + kBasePrefix.size(), nullptr, 10);
    if (pid > 0 && !ProcessRuns(static_cast<pid_t>(pid))) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
}

// The tables every snapshot takes whole.
std::vector<sqlite::RowsToCopy> WholeTables() {
  std::vector<sqlite::RowsToCopy> whole;
  for (const TableInfo& table : AllTables()) {
    if (!PerProfile(table)) whole.push_back({table.name, ColumnList(table), ""});
  }
  return whole;
}

// The whole tables of one embedded database, kept in a directory of this
// process's own.
class KeptBase {
 public:
  explicit KeptBase(const std::string& source_path) {
    directory_ = MakeSnapshotDirectory(std::string(kBasePrefix) + std::to_string(::getpid()) + "_");
    RemoveAbandonedBases(std::filesystem::path(directory_).parent_path());
    try {
      const std::string path = directory_ + "/base.db";
      schema::CreateEmbeddedDatabase(path);
      base_ = std::make_unique<sqlite::SnapshotBase>(source_path, path, WholeTables());
    } catch (...) {
      std::error_code ignored;
      std::filesystem::remove_all(directory_, ignored);
      throw;
    }
  }
  ~KeptBase() {
    base_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  KeptBase(const KeptBase&) = delete;
  KeptBase& operator=(const KeptBase&) = delete;

  sqlite::SnapshotBase& base() { return *base_; }

 private:
  std::string directory_;
  std::unique_ptr<sqlite::SnapshotBase> base_;
};

// A server previews on one database, a test program on many in turn: the
// bases of the few databases used last are kept.
constexpr std::size_t kKeptBases = 4;

std::shared_ptr<KeptBase> BaseFor(const std::string& source_path) {
  static std::mutex lock;
  static std::list<std::pair<std::string, std::shared_ptr<KeptBase>>> kept;  // latest first
  std::error_code ignored;
  const std::string key = std::filesystem::weakly_canonical(source_path, ignored).string();
  std::lock_guard<std::mutex> guard(lock);
  for (auto it = kept.begin(); it != kept.end(); ++it) {
    if (it->first != key) continue;
    kept.splice(kept.begin(), kept, it);
    return kept.front().second;
  }
  kept.emplace_front(key, std::make_shared<KeptBase>(source_path));
  if (kept.size() > kKeptBases) kept.pop_back();
  return kept.front().second;
}

}  // namespace

Snapshot::Snapshot(const DataSource& source, const std::vector<Integer>& profiles) {
  directory_ = MakeSnapshotDirectory("migprof_snapshot_");
  path_ = directory_ + "/snapshot.db";
  const std::string before_path = directory_ + "/before.db";
  source_ = DataSource{String(kEmbeddedPrefix) + path_, source.user, source.password};
  before_ = DataSource{String(kEmbeddedPrefix) + before_path, source.user, source.password};
  try {
    const std::string source_path = EmbeddedPath(source);
    if (!source_path.empty()) {
      std::vector<sqlite::RowsToCopy> some;
      for (const TableInfo& table : AllTables()) {
        if (PerProfile(table) && !profiles.empty()) {
          some.push_back({table.name, ColumnList(table), WhereProfiles(profiles)});
        }
      }
      BaseFor(source_path)->base().Fill(some, {path_, before_path});
    } else {
      schema::CreateEmbeddedDatabase(path_);
      CopyProfileRows(source, source_, profiles);
      sqlite::BackupDatabase(path_, before_path);
    }
  } catch (...) {
    sqlite::CloseIdleSessions(path_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    throw;
  }
}

SnapshotKeeper::SnapshotKeeper(const DataSource& source, std::chrono::milliseconds period)
    : path_(EmbeddedPath(source)), period_(period) {
  if (!path_.empty()) thread_ = std::thread([this] { Run(); });
}

SnapshotKeeper::~SnapshotKeeper() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void SnapshotKeeper::Run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point next_reading = Clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    lock.unlock();
    const Clock::time_point start = Clock::now();
    if (start >= next_reading) {
      try {
        // Looking costs next to nothing; reading the tables again costs
        // what a snapshot from scratch does, so it waits its turn.
        if (BaseFor(path_)->base().Refresh()) next_reading = start + 6 * (Clock::now() - start);
      } catch (const std::exception&) {
        // A database that cannot be read now: the next snapshot says why.
      }
    }
    lock.lock();
    wake_.wait_for(lock, period_, [this] { return stop_; });
  }
}

Snapshot::~Snapshot() {
  sqlite::CloseIdleSessions(path_);
  sqlite::CloseIdleSessions(EmbeddedPath(before_));
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace migprof::insight
