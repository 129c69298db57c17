// A private copy of a profile database that a preview may change freely.
#ifndef MIGPROF_INSIGHT_SNAPSHOT_H_
#define MIGPROF_INSIGHT_SNAPSHOT_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "migprof/insight.h"

namespace migprof::insight {

class Snapshot {
 public:
  // Copies source into a new embedded database file in a directory of its
  // own, in memory under /dev/shm where the system has it, else under the
  // temporary directory: every profile, level, development VRC, user, owner
  // link and dictionary row, and the rules and library of the profiles
  // listed only, so that the copy grows with those profiles rather than with
  // all the rules of the estate. The whole tables come from a copy kept
  // between snapshots: for an embedded source one that a commit to it makes
  // read again (SnapshotBase), for a server that checksums tables (MariaDB)
  // one read again table by table when a checksum changes (ServerBase); from
  // another server they are read each time.
  Snapshot(const DataSource& source, const std::vector<Integer>& profiles);
  // Removes the copy, after closing the idle handles kept for them.
  ~Snapshot();
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  // The copy as a data source ("sqlite:<path>"), with source's login.
  const DataSource& source() const { return source_; }
  // The copy's file.
  const std::string& path() const { return path_; }

 private:
  std::string directory_;
  std::string path_;
  DataSource source_;
};

// While it lives, a thread of its own brings the tables that snapshots of an
// embedded source take whole up to date after each commit to it, so that
// the next snapshot finds them current instead of reading them itself. It
// looks every period; after reading them it waits five times as long as
// that took before it reads them again, so that it never takes more than a
// sixth of a processor. It does nothing for another source.
class SnapshotKeeper {
 public:
  explicit SnapshotKeeper(const DataSource& source,
                          std::chrono::milliseconds period = std::chrono::milliseconds(200));
  // Stops the thread, waiting for a reading under way.
  ~SnapshotKeeper();
  SnapshotKeeper(const SnapshotKeeper&) = delete;
  SnapshotKeeper& operator=(const SnapshotKeeper&) = delete;

 private:
  void Run();

  std::string path_;
  std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

// Reads into the empty embedded database target every row of source's
// profiles, levels, development VRCs, users, owner links and dictionary, and
// the rules and library functions of profiles, in one transaction. Between
// two embedded files SQLite copies the rows itself.
void CopyProfileRows(const DataSource& source, const DataSource& target,
                     const std::vector<Integer>& profiles);

// The file an embedded data source names, or "" for another source.
std::string EmbeddedPath(const DataSource& source);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_SNAPSHOT_H_
