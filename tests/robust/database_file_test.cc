// The embedded database file as a whole: refused files (missing, not a profile
// database, read-only) stay untouched and nothing is created beside them, rows
// reach the database file when the tool exits, backups and upgrades.
#include "component/sqlite/database_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "robust/robust_support.h"
#include "robust/tool_process.h"
#include "schema/schema.h"

namespace migprof::testing {
namespace {

namespace fs = std::filesystem;

// A new empty folder, removed with its contents afterwards.
struct TempFolder {
  TempFolder() {
    static int counter = 0;
    path = (fs::temp_directory_path() /
            ("migprof_robust_" + std::to_string(::getpid()) + "_" + std::to_string(counter++)))
               .string();
    fs::remove_all(path);
    fs::create_directory(path);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, ignored);
    fs::remove_all(path, ignored);
  }
  std::string File(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

// The profile numbers in a database file read on its own: the file is
// copied first, so rows that exist only in a -wal file beside it are missed.
std::vector<std::string> NumbersInFileAlone(const TempFolder& folder, const std::string& path) {
  const std::string copy = folder.File("copy-" + fs::path(path).filename().string());
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
  auto numbers =
      SqliteColumn("file:" + copy + "?immutable=1", "select mprf from qzmap100 order by 1");
  fs::remove(copy);
  return numbers;
}

TEST(RefusedDatabaseFile, IsLeftExactlyAsItWas) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    const char* message;  // part of the raised description
  };
  const std::vector<Case> cases = {
      {"plain SQLite file",
       [](const std::string& p) { SqliteColumn(p, "create table t(x); insert into t values (1)"); },
       "is not a profile database"},
      {"plain SQLite file in WAL mode",
       [](const std::string& p) {
         SqliteColumn(p, "pragma journal_mode=wal; create table t(x); insert into t values (1)");
       },
       "is not a profile database"},
      {"text file", [](const std::string& p) { std::ofstream(p) << "name,value\n"; },
       "is not a profile database"},
      {"empty file", [](const std::string& p) { std::ofstream{p}; }, "is not a profile database"},
      {"missing file", [](const std::string&) {}, errtext::kDataSourceNotFound},
      {"folder", [](const std::string& p) { fs::create_directory(p); },
       errtext::kDataSourceNotFound},
      {"read-only profile database",
       [](const std::string& p) {
         schema::CreateEmbeddedDatabase(p);
         ::chmod(p.c_str(), 0444);
       },
       "is read-only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = folder.File("data.db");
    c.make(path);
    const std::vector<std::string> before = FolderSnapshot(folder.path);
    TOVRHandleMigProf object;
    object.DatabaseName("sqlite:" + path);
    ComError raised = RaisedBy([&] { object.getNewConnection(); });
    EXPECT_EQ(raised.number(), errc::kProviderFailure);
    EXPECT_NE(raised.description().find(c.message), std::string::npos) << raised.description();
    // A member that traps records the same failure and writes nothing.
    EXPECT_FALSE(object.DeleteMap100(1).IsTrue());
    EXPECT_EQ(object.ErrDescription(), raised.description());
    EXPECT_EQ(FolderSnapshot(folder.path), before);
  }
}

// A connection opened while others are in use checks the file without
// dropping their locks: another process that opens and closes the database
// meanwhile must not take itself for the last user and remove the -wal and
// -shm files in use (the front end then failed with "disk I/O error").
TEST(DatabaseFileInUse, ANewConnectionKeepsTheOpenOnesLocks) {
  TestDatabase db;
  if (!db.embedded()) GTEST_SKIP() << "the embedded database file";
  auto first = db.Connect();
  first->Execute("insert into qzmap100 (mprf) values (1)");
  auto second = db.Connect();
  ASSERT_EQ(RunTool({"sql", "--database", db.dsn(), "select 1"}).status, 0);
  EXPECT_TRUE(fs::exists(db.path() + "-shm"));
  first->Execute("insert into qzmap100 (mprf) values (2)");
  second->Execute("insert into qzmap100 (mprf) values (3)");
  EXPECT_EQ(db.Count("qzmap100"), 3);
  EXPECT_TRUE(FileIsSound(db.path()));
}

TEST(DatabaseBackup, CopiesALiveDatabaseWholeAndTheFileIsWholeAtExit) {
  TempFolder folder;
  const std::string path = folder.File("p.db");
  ASSERT_EQ(RunTool({"init", path}).status, 0);
  // A running session keeps the database open, its rows in the -wal file.
  ToolSession session({"session", "--database", "sqlite:" + path, "--as", "alice"});
  for (int mprf : {1, 2}) {
    const std::string v = "V" + std::to_string(mprf);
    session.Send(CreateRequest(mprf, v, "S" + v, "T" + v));
    ASSERT_TRUE(AnswerIsTrue(session.Receive()));
  }
  ASSERT_TRUE(fs::exists(path + "-wal"));

  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> numbers;  // in the copy; none when none is made
  };
  const std::string copy = folder.File("copy.db");
  const std::vector<Case> cases = {
      {{"backup", "--database", "sqlite:" + path, copy}, 0, {"1", "2"}},
      {{"backup", "--database", "sqlite:" + path, copy}, 1, {"1", "2"}},  // never overwrites
      {{"backup", "--database", "sqlite:" + folder.File("none.db"), folder.File("c2.db")}, 1, {}},
      {{"backup", "--database", "somedsn", folder.File("c3.db")}, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[2]);
    EXPECT_EQ(RunTool(c.args).status, c.status);
    const std::string target = c.args.back();
    if (c.numbers.empty()) {
      EXPECT_FALSE(fs::exists(target));
    } else {
      EXPECT_EQ(NumbersInFileAlone(folder, target), c.numbers);
      EXPECT_FALSE(fs::exists(target + "-wal"));
    }
  }
  // Once the tool has exited, the database file holds every row on its own.
  EXPECT_EQ(session.Finish(), 0);
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(NumbersInFileAlone(folder, path), (std::vector<std::string>{"1", "2"}));
}

TEST(DatabaseUpgrade, AddsTheProfileKeysUnlessRowsBreakThem) {
  struct Case {
    const char* rows;  // put into a database with the old, non-unique indexes
    int status;
    const char* failure;  // part of the raised description; "" for none
    bool unique_after;
  };
  const std::vector<Case> cases = {
      {"insert into qzmap100 (mprf) values (1), (2)", 0, "", true},
      {"insert into qzmap100 (mprf) values (1), (1), (null), (null)", 1, "profile numbers 1",
       false},
      {"insert into qzmap101 (mprf, levl) values (4, 1), (4, 2), (4, 2)", 1, "profile numbers 4",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    TempFolder folder;
    const std::string path = folder.File("old.db");
    schema::CreateEmbeddedDatabase(path);
    SqliteColumn(path,
                 "drop index qzmap100_mprf; create index qzmap100_mprf on qzmap100 (mprf);"
                 "drop index qzmap101_mprf; create index qzmap101_mprf on qzmap101 (mprf, levl);" +
                     std::string(c.rows));
    ComError failure(0, "");
    try {
      sqlite::UpgradeDatabase(path);
    } catch (const ComError& error) {
      failure = error;
    }
    EXPECT_EQ(failure.number(), c.status == 0 ? 0 : errc::kIntegrityViolation);
    EXPECT_NE(failure.description().find(c.failure), std::string::npos) << failure.description();
    const std::vector<std::string> unique = SqliteColumn(
        path, "select name from sqlite_master where sql like 'CREATE UNIQUE INDEX%' order by 1");
    const std::vector<std::string> keys = {"qzmap100_mprf", "qzmap101_mprf"};
    EXPECT_EQ(unique, c.unique_after ? keys : std::vector<std::string>());
    if (c.unique_after) {
      EXPECT_EQ(RunTool({"upgrade", path}).out, path + " is up to date\n");
    }
  }
}

// A file made before every table had its primary key: the upgrade rebuilds
// each table with rowkey as key, each row keeping its row id (so the order
// rows were added in) and every index; the members' view is unchanged.
TEST(DatabaseUpgrade, GivesEveryTableItsPrimaryKey) {
  TempFolder folder;
  const std::string path = folder.File("old.db");
  std::string old_schema = schema::EmbeddedSchemaSql();
  for (std::size_t at;
       (at = old_schema.find("  rowkey INTEGER PRIMARY KEY,\n")) != std::string::npos;) {
    old_schema.erase(at, std::string("  rowkey INTEGER PRIMARY KEY,\n").size());
  }
  SqliteColumn(path, "pragma journal_mode=wal;" + old_schema +
                         "insert into qzmap140 (mprf, fdnm) values (1, 'b'), (1, 'a'), (1, 'b');"
                         "delete from qzmap140 where fdnm = 'a';"
                         "insert into qzusr100 (usrn, defa) values ('u', 3);");
  const auto rows = [&](const std::string& sql) { return SqliteColumn(path, sql); };
  // The component's own tables (the upgrade also adds the revision and the
  // front end's tables, which a file made before them lacks).
  const std::string keys =
      "select m.name || ':' || group_concat(p.name) from sqlite_master m, "
      "pragma_table_info(m.name) "
      "p where m.type = 'table' and p.pk = 1 and m.name not like 'mpweb%' and m.name not like "
      "'qzcfg%' group by m.name order by m.name";
  const std::string indexes =
      "select name from sqlite_master where type = 'index' and name not like 'mpweb%' and name "
      "not like 'qzcfg%' and name not like 'sqlite_autoindex_mpweb%' order by 1";
  const std::vector<std::string> indexes_before = rows(indexes);
  ASSERT_TRUE(rows(keys).empty());

  const ToolRun upgrade = RunTool({"upgrade", path});
  EXPECT_EQ(upgrade.status, 0);
  EXPECT_NE(upgrade.out.find("  primary key rowkey of qzmap140\n"), std::string::npos)
      << upgrade.out;
  std::vector<std::string> expected;
  for (const std::string& table : TestDatabase::Tables()) expected.push_back(table + ":rowkey");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows(keys), expected);
  EXPECT_EQ(rows(indexes), indexes_before);
  EXPECT_EQ(rows("select rowkey || fdnm from qzmap140 order by rowid"),
            (std::vector<std::string>{"1b", "3b"}));
  EXPECT_TRUE(FileIsSound(path));
  EXPECT_EQ(RunTool({"upgrade", path}).out, path + " is up to date\n");

  // The key stays out of the members' sight; new rows are numbered on.
  TOVRHandleMigProf object;
  object.DatabaseName("sqlite:" + path);
  object.DeleteMapRules(1, "", "", "", "", "", "", "", kFalse);
  auto rs = ado::Recordset::Create();
  rs->Open("select * from qzusr100", object.getNewConnection(), ado::adOpenDynamic,
           ado::adLockOptimistic);
  EXPECT_EQ(rs->Fields().Count(), 2);
  rs->AddNew();
  rs->Fields().Item("usrn").Value(Variant("v"));
  rs->Update();
  rs->Close();
  EXPECT_EQ(rows("select rowkey || usrn from qzusr100 order by rowkey"),
            (std::vector<std::string>{"1u", "2v"}));
}

}  // namespace
}  // namespace migprof::testing
