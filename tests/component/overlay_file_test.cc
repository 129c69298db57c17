// Overlays on a base image: each behaves as a private copy of the image's
// database, the image's file is never written, and it goes with the last
// user of it.
#include "component/sqlite/overlay_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "component/sqlite/raw_db.h"

namespace migprof::sqlite {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string One(sqlite3* db, const std::string& sql) {
  const std::vector<String> column = raw::Column(db, sql);
  return column.empty() ? "<no row>" : column.front();
}

class OverlayFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "overlay_test_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    base_ = dir_ + "/base.db";
    // 3,000 rows of some 200 bytes: a file of a few hundred pages, written
    // back from its -wal file when the handle closes, as an image must be.
    raw::Db db = raw::OpenDb(base_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    raw::Exec(db.get(),
              "PRAGMA journal_mode=WAL; create table t (k integer primary key, v text);"
              "with recursive n(k) as (select 1 union all select k + 1 from n where k < 3000) "
              "insert into t select k, hex(randomblob(100)) from n;");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
  std::string base_;
};

TEST_F(OverlayFileTest, EachOverlayIsAPrivateCopyAndTheImageIsNeverWritten) {
  const std::string before = One(raw::OpenDb(base_, SQLITE_OPEN_READWRITE).get(),
                                 "select count(*) || ' ' || sum(length(v)) from t");
  const std::string image_bytes = FileBytes(base_);
  ASSERT_GT(image_bytes.size(), 100000u);
  std::shared_ptr<const BaseImage> image = BaseImage::Open(base_);
  const std::string a = dir_ + "/a.db";
  const std::string b = dir_ + "/b.db";
  MakeOverlay(a, image);
  MakeOverlay(b, image);
  ASSERT_NE(OverlayVfs(a), nullptr);
  EXPECT_EQ(OverlayVfs(base_), nullptr);
  // An overlay is made on a new file only.
  EXPECT_THROW(MakeOverlay(a, image), ComError);
  {
    raw::Db writer = raw::OpenDb(a, SQLITE_OPEN_READWRITE);
    raw::Db reader = raw::OpenDb(a, SQLITE_OPEN_READWRITE);
    EXPECT_EQ(One(reader.get(), "select count(*) || ' ' || sum(length(v)) from t"), before);
    // Changes in place, rows taken out and added past the image's end; then
    // written into the file itself (checkpoint), shrunk (vacuum) and grown.
    raw::Exec(writer.get(),
              "update t set v = 'a' where k % 7 = 0; delete from t where k > 2000;"
              "insert into t select k + 5000, hex(randomblob(300)) from t where k <= 500;");
    EXPECT_EQ(One(reader.get(), "select count(*) from t"), "2500");
    raw::Exec(writer.get(), "PRAGMA wal_checkpoint(TRUNCATE); VACUUM;");
    raw::Exec(writer.get(),
              "insert into t select k + 9000, hex(randomblob(400)) from t where k <= 1000;"
              "PRAGMA wal_checkpoint(TRUNCATE);");
    EXPECT_EQ(One(reader.get(), "select count(*) from t"), "3500");
  }
  // A new connection, the others closed: what they wrote is in the overlay.
  raw::Db again = raw::OpenDb(a, SQLITE_OPEN_READWRITE);
  EXPECT_EQ(One(again.get(), "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(One(again.get(), "select count(*) from t"), "3500");
  EXPECT_EQ(One(again.get(), "select count(*) from t where v = 'a'"), "285");
  EXPECT_EQ(One(again.get(), "select count(*) from t where k > 9000 and length(v) = 800"), "1000");
  // The other overlay and the image itself are as they were.
  raw::Db other = raw::OpenDb(b, SQLITE_OPEN_READWRITE);
  EXPECT_EQ(One(other.get(), "select count(*) || ' ' || sum(length(v)) from t"), before);
  EXPECT_EQ(FileBytes(base_), image_bytes);
  EXPECT_EQ(fs::file_size(a), 0u);
}

TEST_F(OverlayFileTest, BytesPastATruncationReadAsZerosWhenTheFileGrowsAgain) {
  const std::string image_bytes = FileBytes(base_);
  const std::string path = dir_ + "/a.db";
  MakeOverlay(path, BaseImage::Open(base_));
  raw::Db db = raw::OpenDb(path, SQLITE_OPEN_READWRITE);
  sqlite3_file* file = nullptr;
  ASSERT_EQ(sqlite3_file_control(db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file), SQLITE_OK);
  const sqlite3_io_methods& io = *file->pMethods;
  const auto size = [&] {
    sqlite3_int64 bytes = -1;
    EXPECT_EQ(io.xFileSize(file, &bytes), SQLITE_OK);
    return bytes;
  };
  const auto read = [&](int count, sqlite3_int64 offset, int expected_rc = SQLITE_OK) {
    std::string bytes(count, '?');
    EXPECT_EQ(io.xRead(file, bytes.data(), count, offset), expected_rc) << offset;
    return bytes;
  };
  const sqlite3_int64 image_size = static_cast<sqlite3_int64>(image_bytes.size());
  ASSERT_EQ(size(), image_size);
  EXPECT_EQ(read(6000, 1000), image_bytes.substr(1000, 6000));

  // A write across two pages, and one past the end: the gap reads as zeros.
  ASSERT_EQ(io.xWrite(file, "abcdefghijkl", 12, 4090), SQLITE_OK);
  ASSERT_EQ(io.xWrite(file, "end", 3, image_size + 5000), SQLITE_OK);
  EXPECT_EQ(size(), image_size + 5003);
  EXPECT_EQ(read(20, 4085),
            image_bytes.substr(4085, 5) + "abcdefghijkl" + image_bytes.substr(4102, 3));
  EXPECT_EQ(read(5003, image_size), std::string(5000, '\0') + "end");
  // Reading past the end: the rest zeros, as SQLite expects of a short read.
  EXPECT_EQ(read(10, image_size + 4998, SQLITE_IOERR_SHORT_READ),
            std::string(2, '\0') + "end" + std::string(5, '\0'));

  // Shrunk and grown again: only what lies below the cut is the image's.
  ASSERT_EQ(io.xTruncate(file, 4095), SQLITE_OK);
  EXPECT_EQ(size(), 4095);
  EXPECT_EQ(read(10, 4090, SQLITE_IOERR_SHORT_READ), "abcde" + std::string(5, '\0'));
  ASSERT_EQ(io.xWrite(file, "z", 1, 3 * 4096), SQLITE_OK);
  EXPECT_EQ(read(4090, 0), image_bytes.substr(0, 4090));
  EXPECT_EQ(read(3 * 4096 - 4090, 4090), "abcde" + std::string(3 * 4096 - 4095, '\0'));
  EXPECT_EQ(read(1, 3 * 4096), "z");
  // None of it reached the image.
  EXPECT_EQ(FileBytes(base_), image_bytes);
}

TEST_F(OverlayFileTest, AFileWhoseWalStillHoldsRowsIsNoImage) {
  raw::Db writer = raw::OpenDb(base_, SQLITE_OPEN_READWRITE);
  raw::Exec(writer.get(), "PRAGMA wal_autocheckpoint=0; delete from t where k = 1");
  EXPECT_THROW(BaseImage::Open(base_), ComError);
  // Closed, the last connection writes the rows back into the file.
  writer.reset();
  EXPECT_EQ(BaseImage::Open(base_)->size(), static_cast<std::int64_t>(fs::file_size(base_)));
}

TEST_F(OverlayFileTest, TheImageFileGoesWithItsLastUser) {
  std::shared_ptr<const BaseImage> image = BaseImage::Open(base_);
  const std::string path = dir_ + "/a.db";
  MakeOverlay(path, image);
  raw::Db db = raw::OpenDb(path, SQLITE_OPEN_READWRITE);
  // Dropped while a connection is open: later connections open the plain
  // (empty) file, the open one still reads the image.
  DropOverlay(path);
  EXPECT_EQ(OverlayVfs(path), nullptr);
  image.reset();
  EXPECT_TRUE(fs::exists(base_));
  EXPECT_EQ(One(db.get(), "select count(*) from t"), "3000");
  db.reset();
  EXPECT_FALSE(fs::exists(base_));
}

}  // namespace
}  // namespace migprof::sqlite
