// The tables that snapshots take whole, read from a database server and kept
// in an embedded file between snapshots while the server's checksums show
// them unchanged.
#ifndef MIGPROF_INSIGHT_SERVER_BASE_H_
#define MIGPROF_INSIGHT_SERVER_BASE_H_

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "component/sqlite/overlay_file.h"
#include "insight/kept_base.h"
#include "insight/shared_reading.h"
#include "insight/tables.h"
#include "migprof/ado.h"
#include "migprof/insight.h"

namespace migprof::insight {

// A copy of a server's whole tables. Reading them over the network took most
// of a preview (the dictionary alone is tens of thousands of rows); the
// server checksums them in a few milliseconds without sending a row, so a
// table is read again only when its checksum has changed. Safe to use from
// several threads: snapshots are filled side by side, a table is read again
// while none is being filled.
class ServerBase {
 public:
  // The checksums of source are read on a connection of the base's own.
  explicit ServerBase(DataSource source);
  ~ServerBase();
  ServerBase(const ServerBase&) = delete;
  ServerBase& operator=(const ServerBase&) = delete;

  // Where the server can checksum tables, makes target_path an embedded
  // database holding every row of the whole tables as the server holds them
  // now, then has add_rows write the snapshot's own rows into it, and
  // returns true. The database is an overlay on the kept image (nothing is
  // copied), made while the server checksums the tables in a reading that
  // began after the call (shared with the snapshots asked for at the same
  // time); when a checksum differs from the one the image was read under,
  // the tables concerned are read again on server into a new image, the
  // overlay made again on it and add_rows called again. A table whose
  // checksum changed while it was read is read again the next time too.
  // Returns false, having written nothing, where the server has no
  // checksums. The caller drops the overlay at target_path when done
  // (sqlite::DropOverlay).
  bool Fill(ado::Connection& server, const std::string& target_path,
            const std::function<void()>& add_rows);

  // How many times a table was read from the server, and how many rows of
  // the kept tables were written, added or deleted, for tests.
  long tables_read() const { return tables_read_.load(); }
  long rows_written() const { return rows_written_.load(); }

 private:
  // The checksums of the whole tables, read in two groups side by side.
  std::optional<std::vector<String>> ReadChecksums();
  std::optional<std::vector<String>> ReadChecksums(int group);
  void BringUpToDate(ado::Connection& server, const std::vector<String>& checksums);
  // An overlay on the kept image at target_path, and the checksums the image
  // was read under; none while nothing is kept.
  std::vector<String> OverlayAt(const std::string& target_path);

  DataSource source_;
  // One for each group of tables, used by one reading at a time, the shared
  // reading's own.
  std::shared_ptr<ado::Connection> checksum_connections_[2];
  SharedReading<std::optional<std::vector<String>>> checksums_now_;
  // Set once the server has answered that it has no checksums.
  std::atomic<bool> no_checksums_ = false;
  std::optional<BaseDirectory> directory_;
  // The kept tables. An image never changes while overlays read it: new rows
  // go into a new image (a copy of it), which takes its place; the old one
  // goes with the last overlay on it.
  std::shared_ptr<const sqlite::BaseImage> image_;
  long images_made_ = 0;
  std::shared_mutex mutex_;
  // Each table's checksum when the kept rows were read; "" for none yet.
  std::vector<String> checksums_;
  std::atomic<long> tables_read_ = 0;
  std::atomic<long> rows_written_ = 0;
};

// The base kept for the data source (its name and login).
std::shared_ptr<ServerBase> ServerBaseFor(const DataSource& source);

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_SERVER_BASE_H_
