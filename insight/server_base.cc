#include "insight/server_base.h"

#include <mutex>

#include "component/sqlite/database_file.h"
#include "component/sqlite/sqlite_session.h"
#include "insight/rows.h"
#include "schema/schema.h"

namespace migprof::insight {

ServerBase::ServerBase() : checksums_(WholeTables().size()) {}

ServerBase::~ServerBase() {
  if (!path_.empty()) sqlite::CloseIdleSessions(path_);
}

bool ServerBase::Fill(ado::Connection& server, const std::string& target_path) {
  const std::optional<std::vector<String>> now =
      checksums_now_.Get([&server] { return ado::TableChecksums(server, WholeTableNames()); });
  if (!now) return false;
  const std::vector<String>& checksums = *now;
  {
    std::shared_lock<std::shared_mutex> reading(mutex_);
    if (checksums_ == checksums) {
      sqlite::CopyDatabaseFile(path_, target_path);
      return true;
    }
  }
  {
    std::unique_lock<std::shared_mutex> writing(mutex_);
    BringUpToDate(server, checksums);
  }
  // Another thread may bring the copy further up to date before this one
  // reads it: a later state of the server, which this snapshot may show.
  std::shared_lock<std::shared_mutex> reading(mutex_);
  sqlite::CopyDatabaseFile(path_, target_path);
  return true;
}

void ServerBase::BringUpToDate(ado::Connection& server, const std::vector<String>& checksums) {
  std::vector<std::size_t> stale;
  for (std::size_t i = 0; i < checksums.size() && i < checksums_.size(); ++i) {
    if (checksums_[i] != checksums[i]) stale.push_back(i);
  }
  if (stale.empty()) return;
  if (!directory_) {
    // Made on first use: a server without checksums never needs it.
    directory_.emplace();
    try {
      path_ = directory_->path() + "/server.db";
      schema::CreateEmbeddedDatabase(path_);
    } catch (...) {
      path_.clear();
      directory_.reset();
      throw;
    }
  }
  std::shared_ptr<ado::Connection> base = Connect(DataSource{"sqlite:" + path_, "", ""});
  base->BeginTrans();
  for (std::size_t i : stale) {
    const TableInfo& table = *WholeTables()[i];
    base->Execute("delete from " + table.name);
    CopyTableRows(server, *base, table, "");
    ++tables_read_;
  }
  base->CommitTrans();
  // Closed, its last connection writes the -wal file back into the file:
  // snapshots then copy the file alone, without opening it side by side.
  base.reset();
  sqlite::CloseIdleSessions(path_);
  // A table that changed while it was read holds rows of no one state of the
  // server's; it is not taken as current.
  const std::optional<std::vector<String>> after = ado::TableChecksums(server, WholeTableNames());
  for (std::size_t i : stale) {
    checksums_[i] = after && (*after)[i] == checksums[i] ? checksums[i] : String();
  }
}

std::shared_ptr<ServerBase> ServerBaseFor(const DataSource& source) {
  return KeptBaseFor<ServerBase>(source.name + '\n' + source.user,
                                 [] { return std::make_shared<ServerBase>(); });
}

}  // namespace migprof::insight
