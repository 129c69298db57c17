#include "insight/snapshot.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "component/sql_text.h"
#include "component/sqlite/database_file.h"
#include "component/sqlite/overlay_file.h"
#include "component/sqlite/snapshot_file.h"
#include "component/sqlite/sqlite_session.h"
#include "insight/kept_base.h"
#include "insight/rows.h"
#include "insight/server_base.h"
#include "insight/tables.h"
#include "schema/schema.h"

namespace migprof::insight {
namespace {

constexpr std::string_view kEmbeddedPrefix = "sqlite:";

// " where mprf in (1, 2)" for the profiles.
String WhereProfiles(const std::vector<Integer>& profiles) {
  String list;
  for (Integer mprf : profiles) list += (list.empty() ? "" : ", ") + SqlNumber(mprf);
  return " where mprf in (" + list + ")";
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

// Through the data-access layer, from one connection into the other: the
// rules and library functions of profiles and, when whole is set, every row
// of the tables snapshots take whole.
void CopyRowsBetween(ado::Connection& from, ado::Connection& to,
                     const std::vector<Integer>& profiles, bool whole) {
  for (const TableInfo& table : AllTables()) {
    const bool per_profile = PerProfile(table);
    if (per_profile ? profiles.empty() : !whole) continue;
    CopyTableRows(from, to, table, per_profile ? WhereProfiles(profiles) : "");
  }
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
  CopyRowsBetween(*from, *to, profiles, /*whole=*/true);
  to->CommitTrans();
  if (embedded) from->CommitTrans();
}

std::string EmbeddedPath(const DataSource& source) {
  if (source.name.compare(0, kEmbeddedPrefix.size(), kEmbeddedPrefix) != 0) return "";
  return source.name.substr(kEmbeddedPrefix.size());
}

namespace {

// The whole tables of one embedded database, kept in a directory of this
// process's own.
class KeptBase {
 public:
  explicit KeptBase(const std::string& source_path) : path_(directory_.path() + "/base.db") {
    schema::CreateEmbeddedDatabase(path_);
    base_ = std::make_unique<sqlite::SnapshotBase>(source_path, path_, WholeRows());
  }
  ~KeptBase() { base_.reset(); }
  KeptBase(const KeptBase&) = delete;
  KeptBase& operator=(const KeptBase&) = delete;

  sqlite::SnapshotBase& base() { return *base_; }

 private:
  BaseDirectory directory_;
  std::string path_;
  std::unique_ptr<sqlite::SnapshotBase> base_;
};

std::shared_ptr<KeptBase> BaseFor(const std::string& source_path) {
  std::error_code ignored;
  return KeptBaseFor<KeptBase>(std::filesystem::weakly_canonical(source_path, ignored).string(),
                               [&] { return std::make_shared<KeptBase>(source_path); });
}

}  // namespace

Snapshot::Snapshot(const DataSource& source, const std::vector<Integer>& profiles) {
  directory_ = MakeSnapshotDirectory();
  path_ = directory_ + "/snapshot.db";
  source_ = DataSource{String(kEmbeddedPrefix) + path_, source.user, source.password};
  try {
    const std::string source_path = EmbeddedPath(source);
    if (!source_path.empty()) {
      std::vector<sqlite::RowsToCopy> some;
      for (const TableInfo& table : AllTables()) {
        if (PerProfile(table) && !profiles.empty()) {
          some.push_back({table.name, ColumnList(table), WhereProfiles(profiles)});
        }
      }
      BaseFor(source_path)->base().Fill(some, path_);
    } else {
      std::shared_ptr<ado::Connection> from = Connect(source);
      auto add_rows = [&](bool whole) {
        std::shared_ptr<ado::Connection> to = Connect(source_);
        to->BeginTrans();
        CopyRowsBetween(*from, *to, profiles, whole);
        to->CommitTrans();
      };
      // Where the server can tell cheaply that the whole tables are
      // unchanged, they come from the copy kept between snapshots.
      if (!ServerBaseFor(source)->Fill(*from, path_, [&] { add_rows(false); })) {
        schema::CreateEmbeddedDatabase(path_);
        add_rows(true);
      }
    }
  } catch (...) {
    sqlite::CloseIdleSessions(path_);
    sqlite::DropOverlay(path_);
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
  sqlite::DropOverlay(path_);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace migprof::insight
