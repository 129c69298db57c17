#include "insight/kept_base.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "migprof/com_error.h"

namespace migprof::insight {
namespace {

// The directories of a process's bases and snapshots: the kind, then the
// process's id.
constexpr std::string_view kKinds[] = {"migprof_base_", "migprof_snapshot_"};

std::string ProcessPrefix(std::string_view kind) {
  return std::string(kind) + std::to_string(::getpid()) + "_";
}

// A new private directory whose name begins with prefix: in memory
// (/dev/shm) where the system has it, so a copy costs no disk writes, else
// in the temporary directory.
std::string MakePrivateDirectory(const std::string& prefix) {
  std::error_code ignored;
  std::vector<std::filesystem::path> places;
  if (std::filesystem::is_directory("/dev/shm", ignored)) places.emplace_back("/dev/shm");
  places.push_back(std::filesystem::temp_directory_path(ignored));
  for (const std::filesystem::path& place : places) {
    std::string pattern = (place / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data())) return pattern;
  }
  throw ComError(errc::kProviderFailure, "Cannot take a snapshot: no directory for the copy");
}

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

// Removes the bases and snapshots that processes which have ended left
// behind (a process killed before its exit handlers ran, or in the middle of
// a preview): each directory is named after the process that made it.
void RemoveAbandoned(const std::filesystem::path& place) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(place, error)) {
    const std::string name = entry.path().filename().string();
    for (std::string_view kind : kKinds) {
      if (name.compare(0, kind.size(), kind) != 0) continue;
      const long pid = std::strtol(name.c_str() + kind.size(), nullptr, 10);
      if (pid > 0 && !ProcessRuns(static_cast<pid_t>(pid))) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
      }
    }
  }
}

}  // namespace

bool PerProfile(const TableInfo& table) {
  return table.kind == TableKind::kRule || table.kind == TableKind::kFunction;
}

const std::vector<const TableInfo*>& WholeTables() {
  static const std::vector<const TableInfo*> whole = [] {
    std::vector<const TableInfo*> tables;
    for (const TableInfo& table : AllTables()) {
      if (!PerProfile(table)) tables.push_back(&table);
    }
    return tables;
  }();
  return whole;
}

const std::vector<String>& WholeTableNames() {
  static const std::vector<String> names = [] {
    std::vector<String> list;
    for (const TableInfo* table : WholeTables()) list.push_back(table->name);
    return list;
  }();
  return names;
}

std::vector<sqlite::RowsToCopy> WholeRows() {
  std::vector<sqlite::RowsToCopy> rows;
  for (const TableInfo* table : WholeTables()) {
    rows.push_back({table->name, ColumnList(*table), ""});
  }
  return rows;
}

std::vector<sqlite::RecordedTable> RecordedTables() {
  std::vector<sqlite::RecordedTable> tables;
  for (const TableInfo& table : AllTables()) {
    if (table.kind == TableKind::kDictionary) continue;
    tables.push_back({table.name, std::vector<String>(table.columns.begin(), table.columns.end())});
  }
  return tables;
}

std::string MakeSnapshotDirectory() { return MakePrivateDirectory(ProcessPrefix(kKinds[1])); }

BaseDirectory::BaseDirectory() : path_(MakePrivateDirectory(ProcessPrefix(kKinds[0]))) {
  RemoveAbandoned(std::filesystem::path(path_).parent_path());
}

BaseDirectory::~BaseDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace migprof::insight
