#include "insight/server_base.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <mutex>
#include <system_error>
#include <utility>

#include "component/sqlite/database_file.h"
#include "component/sqlite/sqlite_session.h"
#include "insight/rows.h"
#include "schema/schema.h"

namespace migprof::insight {

ServerBase::ServerBase(DataSource source)
    : source_(std::move(source)), checksums_(WholeTables().size()) {}

ServerBase::~ServerBase() = default;

namespace {

// The whole tables in two groups the server checksums side by side: the
// levels, the largest (one row for each level of every profile), and the
// others.
bool InFirstGroup(const String& table) { return table == "qzmap101"; }

// Whether the copy read under copied holds the tables as checksummed now.
bool Current(const std::vector<String>& copied, const std::vector<String>& now) {
  return copied == now &&
         std::none_of(copied.begin(), copied.end(), [](const String& sum) { return sum.empty(); });
}

// Removes a database file with its side files, its connections closed.
void RemoveFile(const std::string& path) {
  sqlite::CloseIdleSessions(path);
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix, ignored);
}

// Removes an overlay that will be made again.
void RemoveOverlay(const std::string& path) {
  sqlite::CloseIdleSessions(path);
  sqlite::DropOverlay(path);
  RemoveFile(path);
}

}  // namespace

std::optional<std::vector<String>> ServerBase::ReadChecksums(int group) {
  std::vector<String> tables;
  for (const String& table : WholeTableNames()) {
    if (InFirstGroup(table) == (group == 0)) tables.push_back(table);
  }
  std::shared_ptr<ado::Connection>& connection = checksum_connections_[group];
  // A kept connection the server has closed meanwhile (an idle timeout, a
  // restart) fails once; a new one is tried before the reading fails.
  for (int attempt = 1;; ++attempt) {
    try {
      if (!connection) connection = Connect(source_);
      return ado::TableChecksums(*connection, tables);
    } catch (const std::exception&) {
      connection.reset();
      if (attempt == 2) throw;
    }
  }
}

std::optional<std::vector<String>> ServerBase::ReadChecksums() {
  std::future<std::optional<std::vector<String>>> first =
      std::async(std::launch::async, [this] { return ReadChecksums(0); });
  const std::optional<std::vector<String>> second = ReadChecksums(1);
  const std::optional<std::vector<String>> levels = first.get();
  if (!levels || !second) {
    // A server without checksums is not asked again: its connections go.
    for (std::shared_ptr<ado::Connection>& connection : checksum_connections_) connection.reset();
    return std::nullopt;
  }
  std::vector<String> sums;
  std::size_t from_first = 0;
  std::size_t from_second = 0;
  for (const String& table : WholeTableNames()) {
    sums.push_back(InFirstGroup(table) ? levels->at(from_first++) : second->at(from_second++));
  }
  return sums;
}

std::vector<String> ServerBase::OverlayAt(const std::string& target_path) {
  std::shared_lock<std::shared_mutex> reading(mutex_);
  if (!image_) return {};
  sqlite::MakeOverlay(target_path, image_);
  return checksums_;
}

bool ServerBase::Fill(ado::Connection& server, const std::string& target_path,
                      const std::function<void()>& add_rows) {
  if (no_checksums_) return false;
  // The server checksums the tables while the overlay is made and the
  // snapshot's own rows are read; the overlay is kept when the checksums say
  // its image was current.
  std::future<std::optional<std::vector<String>>> reading = std::async(std::launch::async, [this] {
    return checksums_now_.Get([this] { return ReadChecksums(); });
  });
  std::vector<String> copied = OverlayAt(target_path);
  if (!copied.empty()) add_rows();
  const std::optional<std::vector<String>> now = reading.get();
  if (!now) {
    no_checksums_ = true;
    if (!copied.empty()) RemoveOverlay(target_path);
    return false;
  }
  if (Current(copied, *now)) return true;
  if (!copied.empty()) RemoveOverlay(target_path);
  {
    std::unique_lock<std::shared_mutex> writing(mutex_);
    BringUpToDate(server, *now);
  }
  // Another thread may bring the image further up to date before this one
  // reads it: a later state of the server, which this snapshot may show.
  OverlayAt(target_path);
  add_rows();
  return true;
}

void ServerBase::BringUpToDate(ado::Connection& server, const std::vector<String>& checksums) {
  std::vector<std::size_t> stale;
  for (std::size_t i = 0; i < checksums.size() && i < checksums_.size(); ++i) {
    if (checksums_[i] != checksums[i]) stale.push_back(i);
  }
  if (stale.empty()) return;
  // Made on first use: a server without checksums never needs it.
  if (!directory_) directory_.emplace();
  // Overlays may still read the current image: the rows go into a copy.
  const std::string path = directory_->path() + "/server-" + std::to_string(++images_made_) + ".db";
  long written = 0;
  try {
    if (image_) {
      sqlite::CopyDatabaseFile(image_->path(), path);
    } else {
      schema::CreateEmbeddedDatabase(path);
    }
    std::shared_ptr<ado::Connection> base = Connect(DataSource{"sqlite:" + path, "", ""});
    base->BeginTrans();
    // Mostly one row or a few have changed (a profile edited, one added):
    // only the rows that differ from the kept ones are written.
    for (std::size_t i : stale) {
      const TableInfo& table = *WholeTables()[i];
      written += SyncRows(*base, table, ReadRows(server, SelectAll(table)));
      ++tables_read_;
    }
    base->CommitTrans();
    // Closed, its last connection writes the -wal file back into the file,
    // which then holds the whole database, as an image must.
    base.reset();
    sqlite::CloseIdleSessions(path);
    image_ = sqlite::BaseImage::Open(path);
  } catch (...) {
    RemoveFile(path);
    throw;
  }
  rows_written_ += written;
  // A table that changed while it was read holds rows of no one state of the
  // server's; it is not taken as current. Only the tables read are asked
  // about: the levels alone take the server tens of milliseconds.
  std::vector<String> read;
  for (std::size_t i : stale) read.push_back(WholeTables()[i]->name);
  const std::optional<std::vector<String>> after = ado::TableChecksums(server, read);
  for (std::size_t n = 0; n < stale.size(); ++n) {
    const std::size_t i = stale[n];
    checksums_[i] = after && (*after)[n] == checksums[i] ? checksums[i] : String();
  }
}

std::shared_ptr<ServerBase> ServerBaseFor(const DataSource& source) {
  return KeptBaseFor<ServerBase>(source.name + '\n' + source.user,
                                 [&source] { return std::make_shared<ServerBase>(source); });
}

}  // namespace migprof::insight
