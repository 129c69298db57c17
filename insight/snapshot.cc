#include "insight/snapshot.h"

#include <stdlib.h>

#include <filesystem>
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

// A new private directory for a snapshot: in memory (/dev/shm) where the
// system has it, so the copy costs no disk writes, else in the temporary
// directory.
std::string MakeSnapshotDirectory() {
  std::error_code ignored;
  std::vector<std::filesystem::path> places;
  if (std::filesystem::is_directory("/dev/shm", ignored)) places.emplace_back("/dev/shm");
  places.push_back(std::filesystem::temp_directory_path(ignored));
  for (const std::filesystem::path& place : places) {
    std::string pattern = (place / "migprof_snapshot_XXXXXX").string();
    if (::mkdtemp(pattern.data())) return pattern;
  }
  RaiseSnapshot("no directory for the copy");
}

}  // namespace

Snapshot::Snapshot(const DataSource& source, const std::vector<Integer>& profiles) {
  directory_ = MakeSnapshotDirectory();
  path_ = directory_ + "/snapshot.db";
  source_ = DataSource{String(kEmbeddedPrefix) + path_, source.user, source.password};
  try {
    schema::CreateEmbeddedDatabase(path_);
    CopyProfileRows(source, source_, profiles);
  } catch (...) {
    sqlite::CloseIdleSessions(path_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    throw;
  }
}

DataSource Snapshot::Copy(const std::string& name) {
  const std::string path = directory_ + "/" + name + ".db";
  copies_.push_back(path);
  sqlite::BackupDatabase(path_, path);
  return DataSource{String(kEmbeddedPrefix) + path, source_.user, source_.password};
}

Snapshot::~Snapshot() {
  sqlite::CloseIdleSessions(path_);
  for (const std::string& copy : copies_) sqlite::CloseIdleSessions(copy);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace migprof::insight
