// What snapshots have in common: the tables they take whole, the private
// directories of their files, and the copies of the whole tables kept
// between snapshots, one per data source.
#ifndef MIGPROF_INSIGHT_KEPT_BASE_H_
#define MIGPROF_INSIGHT_KEPT_BASE_H_

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "component/sqlite/row_recording.h"
#include "component/sqlite/snapshot_file.h"
#include "insight/tables.h"

namespace migprof::insight {

// Whether snapshots take the table's rows for the profiles they are about
// only: the rules and the library functions.
bool PerProfile(const TableInfo& table);

// The tables every snapshot takes whole: profiles, levels, development VRCs,
// users, owner links and the dictionary. The others (rules and library
// functions) it takes for the profiles it is about only.
const std::vector<const TableInfo*>& WholeTables();

// Their names, in the order of WholeTables().
const std::vector<String>& WholeTableNames();

// Every row of each of them, to copy from one embedded file into another.
std::vector<sqlite::RowsToCopy> WholeRows();

// The tables a preview watches for the rows a change touches: every table
// a member may change (all but the dictionary), with their columns.
std::vector<sqlite::RecordedTable> RecordedTables();

// A new private directory for a snapshot's files, named after this process:
// in memory (/dev/shm) where the system has it, so a copy costs no disk
// writes, else in the temporary directory.
std::string MakeSnapshotDirectory();

// A directory for a base kept between snapshots, named after this process,
// in the same place. A process killed before it removes its directories
// leaves them behind: making a base's directory removes the bases and
// snapshots of processes that have ended.
class BaseDirectory {
 public:
  BaseDirectory();
  // Removes the directory and what it holds.
  ~BaseDirectory();
  BaseDirectory(const BaseDirectory&) = delete;
  BaseDirectory& operator=(const BaseDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The base kept for key, made by make() the first time: a server previews on
// one database, a test program on many in turn, so the bases of the few
// data sources used last are kept (each kind of base on its own).
template <typename Base, typename Make>
std::shared_ptr<Base> KeptBaseFor(const std::string& key, Make make) {
  constexpr std::size_t kKept = 4;
  static std::mutex lock;
  static std::list<std::pair<std::string, std::shared_ptr<Base>>> kept;  // latest first
  std::lock_guard<std::mutex> guard(lock);
  for (auto it = kept.begin(); it != kept.end(); ++it) {
    if (it->first != key) continue;
    kept.splice(kept.begin(), kept, it);
    return kept.front().second;
  }
  kept.emplace_front(key, make());
  if (kept.size() > kKept) kept.pop_back();
  return kept.front().second;
}

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_KEPT_BASE_H_
