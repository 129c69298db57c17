// Preview: the plan of a changing member, taken on a snapshot, must leave the
// database exactly as it was and describe exactly what the member then does
// when it really runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "app/members.h"
#include "app/tables.h"
#include "cli/commands.h"
#include "cli/insight_commands.h"
#include "cli/run_cli.h"
#include "component/sqlite/raw_db.h"
#include "component/sqlite/snapshot_file.h"
#include "component/sqlite/sqlite_session.h"
#include "insight/kept_base.h"
#include "insight/rows.h"
#include "insight/server_base.h"
#include "insight/shared_reading.h"
#include "insight/snapshot.h"
#include "insight/table_diff.h"
#include "insight/tables.h"
#include "insight_fixture.h"
#include "schema/schema.h"
#include "wire/member_json.h"

namespace migprof::testing {
namespace {

using insight::Json;

// Contents after the changes of a plan are applied to before.
Contents Apply(Contents contents, const Json& changes) {
  for (const auto& [table, change] : changes.items()) {
    std::vector<std::string>& rows = contents[table];
    auto remove = [&](const Json& row) {
      auto it = std::find(rows.begin(), rows.end(), RowText(row));
      ASSERT_NE(it, rows.end()) << table << ": the plan removes a row that is not there";
      rows.erase(it);
    };
    for (const Json& row : change["removed"]) remove(row);
    for (const Json& row : change["changed"]) remove(row["old"]);
    for (const Json& row : change["added"]) rows.push_back(RowText(row));
    for (const Json& row : change["changed"]) rows.push_back(RowText(row["new"]));
    std::sort(rows.begin(), rows.end());
  }
  return contents;
}

struct Case {
  const char* member;
  const char* args;
  bool changes;              // whether the member changes anything at this point
  const char* as = "alice";  // who acts: the user the member names
};

// Run in order on the demo estate: each case sees what the earlier ones did.
const Case kCases[] = {
    {"CopyToCurrentVRC", R"([100,120,"V10U","R1","ACMENL","or","cus","100","alice","","",0])",
     true},
    {"CopyToCurrentVRC", R"([100,120,"V10U","R1","ACMENL","or","cus","100","alice","","",0])",
     false},
    {"ExpireMapRules", R"([110,"V10U","R1","ACME","or","sls","400","",0,-1])", true},
    {"DeleteMapRules", R"([110,"V10U","R1","ACME","or","sls","401","",0])", true},
    {"Func_CopyToCurrentVRC", R"([100,120,"V10U","R1","ACMENL","map_country","bob"])", true, "bob"},
    {"Func_Expire", R"([110,"V10U","R1","ACME","conv_date","bob",-1])", true, "bob"},
    {"Func_Delete", R"([110,"V10U","R1","ACME","fmt_item_code","bob"])", true, "bob"},
    {"InsertInMap100",
     R"([130,"Acme Belgium","LEGERP","ORVOERP","V10U","R1","ACMEBE","V10_R1_STD","N","Orvo ERP","carol"])",
     true, "carol"},
    {"InsertInMap100",
     R"([130,"Acme Belgium","LEGERP","ORVOERP","V10U","R1","ACMEBE","V10_R1_STD","N","Orvo ERP","carol"])",
     false, "carol"},
    {"DeleteMap100", "[100]", false},
    {"DeleteMap100", "[120]", true},
    {"UpdateMap100", R"([999,"x","N","V","R","C","app","__","bob",""])", false, "bob"},
};

class PreviewTest : public InsightTest {};

TEST_F(PreviewTest, PlanIsWhatTheMemberDoesAndTheDatabaseStaysUntouched) {
  app::Application application(app::Settings{source()});
  app::EnsureTables(application.db());
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.member) + " " + c.args);
    cli::DatabaseSettings settings{db_.dsn(), db_.uid(), db_.pwd(), c.as};
    std::vector<std::vector<std::string>> before_exact = db_.Rows("select * from qzmap120");
    Contents before = ContentsOf(source());

    std::ostringstream out, err;
    ASSERT_EQ(cli::RunPreviewCommand(settings, c.member, {}, std::string(c.args), out, err),
              cli::kExitOk)
        << err.str();
    Json plan = Json::parse(out.str());
    EXPECT_EQ(ContentsOf(source()), before);
    EXPECT_EQ(db_.Rows("select * from qzmap120"), before_exact);
    EXPECT_EQ(!plan["changes"].empty(), c.changes) << plan["changes"].dump();

    // The real call, on a fresh object as every call is: its answer and the
    // rows it changed are the preview's.
    const app::Principal who{c.as, app::Role::kAdministrator, app::EntryPoint::kCli};
    Json real = wire::OutcomeJson(
        app::Call(application, who, wire::CallFromJson(c.member, Json::parse(c.args))));
    EXPECT_EQ(plan["outcome"], real);
    EXPECT_EQ(Apply(before, plan["changes"]), ContentsOf(source()));
  }
}

TEST_F(PreviewTest, RefusesMembersThatChangeNothingAndBadArguments) {
  cli::DatabaseSettings settings{db_.dsn(), db_.uid(), db_.pwd(), "alice"};
  struct Refusal {
    const char* member;
    std::vector<std::string> words;
    std::optional<std::string> args;
  } refusals[] = {
      {"GetUserOwnerProfiles", {"alice"}, std::nullopt},
      {"NoSuchMember", {}, std::nullopt},
      {"DeleteMap100", {"120"}, std::string("[120]")},
      {"DeleteMap100", {}, std::string("{\"mprf\": 120}")},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.member);
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunPreviewCommand(settings, r.member, r.words, r.args, out, err),
              cli::kExitBadRequest);
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(err.str().empty());
  }
}

// What a snapshot for profiles holds of contents: every row but the rules
// and functions of other profiles.
Contents SnapshotOf(const Contents& all, const std::vector<Integer>& profiles) {
  Contents expected;
  for (const insight::TableInfo& table : insight::AllTables()) {
    std::vector<std::string>& rows = expected[table.name];
    for (const std::string& row : all.at(table.name)) {
      Json parsed = Json::parse(row);
      bool per_profile =
          table.kind == insight::TableKind::kRule || table.kind == insight::TableKind::kFunction;
      if (!per_profile || std::count(profiles.begin(), profiles.end(), parsed["mprf"])) {
        rows.push_back(row);
      }
    }
  }
  return expected;
}

// A snapshot taken now for profiles holds what the database holds for them.
void ExpectSnapshotOfNow(const insight::DataSource& source, const std::vector<Integer>& profiles) {
  insight::Snapshot snapshot(source, profiles);
  const Contents expected = SnapshotOf(ContentsOf(source), profiles);
  EXPECT_EQ(ContentsOf(snapshot.source()), expected);
}

// The recording keeps each row a change touches as it was before the first
// touch: an updated row's first values however often it changes, a row's
// that was changed and then removed, none for a row the change added even
// when it changed it again; and it is told every change, also those of a
// statement whose change count is taken. It records from its start on, the
// tables given only, and statements' change counts stay their own.
TEST(RecordingTest, KeepsEachTouchedRowAsItWasBeforeTheFirstTouch) {
  TempPath file("migprof_recording");
  schema::CreateEmbeddedDatabase(file.path);
  std::shared_ptr<ado::Connection> connection = insight::Connect({"sqlite:" + file.path, "", ""});
  for (const char* row : {"1, 'one'", "2, 'two'", "3, 'three'"}) {
    connection->Execute(std::string("insert into qzmap100 (mprf, dsca) values (") + row + ")");
  }
  connection->Execute("update qzmap100 set dsca = 'not yet' where mprf = 3");
  // A delete without a condition, prepared before the start: SQLite may
  // empty a table in one step that no hook sees.
  connection->Execute("delete from qzmap105");
  connection->Execute("insert into qzmap105 (mprf, dver) values (7, 'dev')");
  auto recording = std::make_unique<sqlite::RowRecording>(file.path, insight::RecordedTables());
  // A connection opened before the start, its handle taken again.
  connection = insight::Connect({"sqlite:" + file.path, "", ""});
  Variant affected;
  connection->Execute("update qzmap100 set dsca = 'uno' where mprf in (1, 2)", &affected);
  EXPECT_EQ(affected.ToDouble(), 2);
  connection->Execute("update qzmap100 set dsca = 'eins' where mprf = 1");
  connection->Execute("delete from qzmap100 where mprf = 2", &affected);
  EXPECT_EQ(affected.ToDouble(), 1);
  connection->Execute("insert into qzmap100 (mprf, dsca) values (4, 'four')");
  connection->Execute("update qzmap100 set dsca = 'vier' where mprf = 4");
  connection->Execute("insert into qzddi100 (appl) values ('x')");
  connection->Execute("delete from qzmap105");

  const sqlite::TouchedRows touched = recording->Touched();
  EXPECT_EQ(touched.size(), 2u) << "the dictionary is not recorded";
  const std::vector<insight::TableChanges> changes = insight::DiffStates(
      insight::StateBefore(touched), insight::ReadState(*connection, insight::RowIds(touched)));
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].table, "qzmap105");
  EXPECT_EQ(changes[1].removed.size(), 1u);
  const insight::TableChanges& profiles = changes.front();
  auto column = [&](const insight::Values& row, const char* name) {
    const auto at = std::find(profiles.columns.begin(), profiles.columns.end(), name);
    return insight::TextOf(row.at(static_cast<std::size_t>(at - profiles.columns.begin())));
  };
  ASSERT_EQ(profiles.changed.size(), 1u);
  EXPECT_EQ(column(profiles.changed[0].before, "dsca"), "one");
  EXPECT_EQ(column(profiles.changed[0].after, "dsca"), "eins");
  ASSERT_EQ(profiles.removed.size(), 1u);
  EXPECT_EQ(column(profiles.removed[0], "dsca"), "two");
  ASSERT_EQ(profiles.added.size(), 1u);
  EXPECT_EQ(column(profiles.added[0], "dsca"), "vier");

  // Once the recording has ended, the file's connections note nothing.
  const std::shared_ptr<sqlite::TouchLog> log = sqlite::RowRecording::At(file.path);
  ASSERT_TRUE(log);
  recording.reset();
  EXPECT_FALSE(sqlite::RowRecording::At(file.path));
  connection->Execute("update qzmap100 set dsca = 'later' where mprf = 3");
  EXPECT_TRUE(log->Touched() == touched);
  connection.reset();
  sqlite::CloseIdleSessions(file.path);
}

// The snapshot holds all profile rows and the rules of the profiles asked
// for, read into a new embedded file: from the server through the
// data-access layer, from an embedded file by SQLite itself.
TEST_F(PreviewTest, SnapshotHoldsTheRowsOfTheProfilesConcerned) {
  TempPath file("migprof_insight_copy");
  schema::CreateEmbeddedDatabase(file.path);
  insight::DataSource target{"sqlite:" + file.path, "", ""};
  insight::CopyProfileRows(source(), target, {110, 120});
  Contents copied = ContentsOf(target);
  EXPECT_EQ(copied, SnapshotOf(ContentsOf(source()), {110, 120}));
  EXPECT_FALSE(copied["qzmap140"].empty());
  sqlite::CloseIdleSessions(file.path);
}

// Snapshots one after another, the tables taken whole being kept between
// them for an embedded database: each holds the database as it is when it is
// taken, whatever was committed, and whatever the snapshot before it held.
TEST_F(PreviewTest, EachSnapshotHoldsTheDatabaseAsItIsWhenTaken) {
  ExpectSnapshotOfNow(source(), {110, 120});
  ExpectSnapshotOfNow(source(), {130});
  ExpectSnapshotOfNow(source(), {});
  // Commits to a table taken whole and to a profile's rules, by another
  // connection, and one that changes nothing a snapshot holds.
  db_.Exec("update qzmap100 set dsca = 'changed between snapshots' where mprf = 100");
  ExpectSnapshotOfNow(source(), {110});
  db_.Exec("delete from qzmap101 where mprf = 130");
  db_.Exec("update qzmap140 set mrul = 'changed' where mprf = 110");
  ExpectSnapshotOfNow(source(), {110});
  ExpectSnapshotOfNow(source(), {110});
  if (!db_.embedded()) return;
  // The database removed and another one made in its place, the demo
  // estate without a profile.
  sqlite::CloseIdleSessions(db_.path());
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db_.path() + suffix);
  schema::CreateEmbeddedDatabase(db_.path());
  {
    TOVRHandleMigProf object;
    object.DatabaseName(db_.dsn());
    app::PopulateDemoEstate(object);
  }
  db_.Exec("delete from qzmap100 where mprf = 130");
  ExpectSnapshotOfNow(source(), {110});
}

// The base of an embedded database's snapshots is read again after a
// commit, by a refresh between snapshots or else by the next snapshot, and
// only then.
TEST_F(PreviewTest, SnapshotBaseIsReadAgainOnlyAfterACommit) {
  if (!db_.embedded()) GTEST_SKIP() << "a base is kept for an embedded database";
  TempPath base_file("migprof_insight_base");
  schema::CreateEmbeddedDatabase(base_file.path);
  sqlite::CloseIdleSessions(base_file.path);
  sqlite::SnapshotBase base(db_.path(), base_file.path,
                            {{"qzmap100", insight::ColumnList(insight::AllTables().front()), ""}});
  // The description of profile 100 in a snapshot filled now.
  auto description = [&] {
    TempPath file("migprof_insight_filled");
    base.Fill({}, file.path);
    const Contents contents = ContentsOf({"sqlite:" + file.path, "", ""});
    sqlite::CloseIdleSessions(file.path);
    for (const std::string& row : contents.at("qzmap100")) {
      const Json parsed = Json::parse(row);
      if (parsed["mprf"] == 100) return parsed["dsca"].get<std::string>();
    }
    return std::string("no profile 100");
  };
  const std::string first = description();
  EXPECT_TRUE(base.refreshed());
  EXPECT_FALSE(base.Refresh());
  db_.Exec("update qzmap100 set dsca = 'refreshed' where mprf = 100");
  EXPECT_TRUE(base.Refresh());
  EXPECT_FALSE(base.Refresh());
  EXPECT_EQ(description(), "refreshed");
  EXPECT_FALSE(base.refreshed());
  db_.Exec("update qzmap100 set dsca = 'filled' where mprf = 100");
  EXPECT_EQ(description(), "filled");
  EXPECT_TRUE(base.refreshed());
  EXPECT_NE(first, "filled");
}

// After a commit the base takes in only the rows that differ, and ends as a
// fresh copy would: each row with its row id, type and bytes (a change of
// letter case alone is a change, though the collation finds the texts
// equal), rows added and taken out, a profile number passed to another row.
TEST_F(PreviewTest, SnapshotBaseTakesInTheRowsACommitChanged) {
  if (!db_.embedded()) GTEST_SKIP() << "a base is kept for an embedded database";
  for (int mprf = 500; mprf < 540; ++mprf) {
    db_.Exec("insert into qzmap100 (mprf, dsca, deph) values (" + std::to_string(mprf) +
             ", 'Filler " + std::to_string(mprf) + "', 1)");
  }
  TempPath base_file("migprof_insight_base");
  schema::CreateEmbeddedDatabase(base_file.path);
  sqlite::CloseIdleSessions(base_file.path);
  sqlite::SnapshotBase base(db_.path(), base_file.path,
                            {{"qzmap100", insight::ColumnList(insight::AllTables().front()), ""}});
  // Every row of the profiles in row id order, each value as SQLite quotes
  // it (its type shows, a text's bytes are all there).
  auto rows = [](const std::string& path) {
    sqlite::raw::Db db = sqlite::raw::OpenDb(path, SQLITE_OPEN_READONLY);
    std::string list = "quote(rowid)";
    for (const std::string& column : insight::AllTables().front().columns) {
      list += " || ',' || quote(" + column + ")";
    }
    return sqlite::raw::Column(db.get(), "SELECT " + list + " FROM qzmap100 ORDER BY rowid");
  };
  TempPath first("migprof_insight_filled");
  base.Fill({}, first.path);
  const std::vector<std::string> before = rows(db_.path());
  ASSERT_EQ(rows(first.path), before);
  db_.Exec("update qzmap100 set dsca = upper(dsca) where mprf = 510");
  db_.Exec("update qzmap100 set dsca = dsca + ' ' where mprf = 520");
  db_.Exec("update qzmap100 set deph = null where mprf = 530");
  db_.Exec("delete from qzmap100 where mprf = 505");
  db_.Exec("update qzmap100 set mprf = 998 where mprf = 515");
  db_.Exec("insert into qzmap100 (mprf, dsca, deph) values (515, 'Taken over', 2)");
  EXPECT_TRUE(base.Refresh());
  TempPath second("migprof_insight_filled");
  base.Fill({}, second.path);
  const std::vector<std::string> after = rows(db_.path());
  EXPECT_EQ(rows(second.path), after);
  EXPECT_NE(after, before);
  EXPECT_EQ(std::count_if(after.begin(), after.end(),
                          [](const std::string& row) {
                            return row.find("'FILLER 510'") != std::string::npos;
                          }),
            1);
  sqlite::CloseIdleSessions(first.path);
  sqlite::CloseIdleSessions(second.path);
}

// A server's whole tables are kept between snapshots and read again, table
// by table, only when the server's checksum of the table has changed; the
// embedded database offers no such checksum (its base watches the file).
TEST_F(PreviewTest, ServerBaseReadsAgainOnlyTheTablesWhoseChecksumChanged) {
  std::shared_ptr<ado::Connection> connection = db_.Connect();
  auto checksums = [&] { return ado::TableChecksums(*connection, insight::WholeTableNames()); };
  insight::ServerBase base(source());
  // How often the snapshot's own rows were added by the last Fill: once, or
  // twice when the copy made beside the checksums was not current.
  int adds = 0;
  // The profile 100's description in a snapshot of the whole tables filled
  // now, or why there is none. The snapshot's own rows: one field rule.
  auto description = [&] {
    TempPath file("migprof_insight_server_filled");
    adds = 0;
    auto add_rows = [&] {
      ++adds;
      insight::Connect({"sqlite:" + file.path, "", ""})
          ->Execute("insert into qzmap140 (mprf, fdnm) values (999, 'own')");
    };
    if (!base.Fill(*connection, file.path, add_rows)) return std::string("not filled");
    // The kept profiles are the server's, in the order the server reads them.
    const insight::TableInfo& profiles = insight::TableNamed("qzmap100");
    EXPECT_EQ(insight::ReadRows(*insight::Connect({"sqlite:" + file.path, "", ""}),
                                insight::SelectAll(profiles, " order by rowkey")),
              insight::ReadRows(*connection, insight::SelectAll(profiles)));
    const Contents contents = ContentsOf({"sqlite:" + file.path, "", ""});
    sqlite::CloseIdleSessions(file.path);
    EXPECT_EQ(contents.at("qzmap140").size(), 1u) << "the snapshot's own rows, once";
    for (const std::string& row : contents.at("qzmap100")) {
      const Json parsed = Json::parse(row);
      if (parsed["mprf"] == 100) return parsed["dsca"].get<std::string>();
    }
    return std::string("no profile 100");
  };
  if (db_.embedded()) {
    EXPECT_FALSE(checksums());
    EXPECT_EQ(description(), "not filled");
    return;
  }
  const std::optional<std::vector<String>> first = checksums();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->size(), insight::WholeTables().size());
  EXPECT_EQ(checksums(), first);

  const std::string original = description();
  const long whole = static_cast<long>(insight::WholeTables().size());
  EXPECT_EQ(base.tables_read(), whole);
  EXPECT_EQ(adds, 1) << "nothing kept yet: added once, after the reading";
  EXPECT_EQ(description(), original);
  EXPECT_EQ(base.tables_read(), whole);
  EXPECT_EQ(adds, 1);

  // A trailing blank is a change; only the profiles' table is read again.
  db_.Exec("update qzmap100 set dsca = '" + original + " ' where mprf = 100");
  const std::optional<std::vector<String>> blank = checksums();
  ASSERT_TRUE(blank);
  for (std::size_t i = 0; i < blank->size(); ++i) {
    EXPECT_EQ((*blank)[i] != (*first)[i], insight::WholeTableNames()[i] == "qzmap100") << i;
  }
  EXPECT_EQ(description(), original + " ");
  EXPECT_EQ(base.tables_read(), whole + 1);
  EXPECT_EQ(adds, 2) << "the copy made beside the checksums was made again";
  EXPECT_EQ(description(), original + " ");
  EXPECT_EQ(base.tables_read(), whole + 1) << "the table read again is kept as current";

  // Two rows that swap a value are a change too.
  db_.Exec("update qzmap100 set dsca = 'first' where mprf = 100");
  db_.Exec("update qzmap100 set dsca = 'second' where mprf = 110");
  const std::optional<std::vector<String>> before_swap = checksums();
  db_.Exec("update qzmap100 set dsca = 'second' where mprf = 100");
  db_.Exec("update qzmap100 set dsca = 'first' where mprf = 110");
  EXPECT_NE(checksums(), before_swap);
  EXPECT_EQ(description(), "second");
  EXPECT_EQ(base.tables_read(), whole + 2);

  // Only the rows that differ are written: the two swapped, then a row
  // added, then one taken out of the middle (every row after it moves up a
  // place: more than a quarter of them, so the table is filled afresh).
  const long profiles = std::stol(db_.Value("select count(*) from qzmap100"));
  const long written = base.rows_written();
  db_.Exec("update qzmap100 set dsca = 'third' where mprf = 100");
  EXPECT_EQ(description(), "third");
  EXPECT_EQ(base.rows_written(), written + 1);
  db_.Exec("insert into qzmap100 (mprf, dsca) values (999, 'added')");
  EXPECT_EQ(description(), "third");
  EXPECT_EQ(base.rows_written(), written + 2);
  db_.Exec("delete from qzmap100 where mprf = 100");
  EXPECT_EQ(description(), "no profile 100");
  EXPECT_EQ(base.rows_written(), written + 2 + profiles);
  db_.Exec("delete from qzmap100 where mprf = 999");
  description();
  EXPECT_EQ(base.rows_written(), written + 3 + profiles) << "the last row deleted";
}

// Callers that ask while a reading is under way are served by one reading
// that begins after it, never by the one under way, which may have missed
// what they committed before asking.
TEST(SharedReadingTest, CallersThatAskDuringAReadingShareTheNextOne) {
  insight::SharedReading<int> shared;
  std::mutex mutex;
  std::condition_variable changed;
  int readings = 0;
  bool first_may_end = false;
  auto read = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    const int number = ++readings;
    if (number == 1) changed.wait(lock, [&] { return first_may_end; });
    return number;
  };
  int first = 0, second = 0, third = 0;
  std::thread asks_first([&] { first = shared.Get(read); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (readings == 0) {
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
    }
  }
  std::thread asks_second([&] { second = shared.Get(read); });
  std::thread asks_third([&] { third = shared.Get(read); });
  while (shared.waiting() < 2) std::this_thread::yield();
  {
    std::lock_guard<std::mutex> lock(mutex);
    first_may_end = true;
  }
  changed.notify_all();
  asks_first.join();
  asks_second.join();
  asks_third.join();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(third, 2);
  EXPECT_EQ(readings, 2);
  // Asked after every reading ended: a reading of its own.
  EXPECT_EQ(shared.Get(read), 3);
}

// A reading that fails fails its own caller only; the next one reads anew.
TEST(SharedReadingTest, AFailedReadingIsNotShared) {
  insight::SharedReading<int> shared;
  EXPECT_THROW(shared.Get([]() -> int { throw std::runtime_error("lost"); }), std::runtime_error);
  EXPECT_EQ(shared.Get([] { return 7; }), 7);
}

// A base whose database is not there (yet): filling fails, and works once
// the database is made.
TEST_F(PreviewTest, SnapshotBaseWaitsForItsDatabase) {
  if (!db_.embedded()) GTEST_SKIP() << "a base is kept for an embedded database";
  TempPath base_file("migprof_insight_base");
  TempPath later("migprof_insight_later");
  schema::CreateEmbeddedDatabase(base_file.path);
  sqlite::CloseIdleSessions(base_file.path);
  sqlite::SnapshotBase base(later.path, base_file.path,
                            {{"qzmap100", insight::ColumnList(insight::AllTables().front()), ""}});
  TempPath file("migprof_insight_filled");
  EXPECT_THROW(base.Fill({}, file.path), ComError);
  EXPECT_THROW(base.Fill({}, file.path), ComError);
  EXPECT_FALSE(std::filesystem::exists(file.path));
  schema::CreateEmbeddedDatabase(later.path);
  {
    TOVRHandleMigProf object;
    object.DatabaseName("sqlite:" + later.path);
    app::PopulateDemoEstate(object);
  }
  base.Fill({}, file.path);
  const insight::DataSource filled{"sqlite:" + file.path, "", ""};
  EXPECT_EQ(ContentsOf(filled)["qzmap100"],
            ContentsOf({"sqlite:" + later.path, "", ""})["qzmap100"]);
  EXPECT_FALSE(ContentsOf(filled)["qzmap100"].empty());
  sqlite::CloseIdleSessions(file.path);
  sqlite::CloseIdleSessions(later.path);
}

// The base of a process that was killed stays behind; the next base made
// removes it, also while the process waits for its parent (a zombie), but
// not the bases of processes that run.
TEST_F(PreviewTest, BasesAndSnapshotsOfEndedProcessesAreRemoved) {
  if (!db_.embedded() || !std::filesystem::is_directory("/dev/shm")) {
    GTEST_SKIP() << "bases are kept for embedded databases, under /dev/shm here";
  }
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  std::vector<std::filesystem::path> left, running;
  for (const char* kind : {"base", "snapshot"}) {
    const std::string prefix = std::string("/dev/shm/migprof_") + kind + "_";
    left.push_back(prefix + std::to_string(ended) + "_test");
    running.push_back(prefix + "1_test");
  }
  for (const std::filesystem::path& path : left) std::filesystem::create_directories(path);
  for (const std::filesystem::path& path : running) std::filesystem::create_directories(path);
  // A database the process has no base for yet.
  TempPath file("migprof_insight_fresh");
  schema::CreateEmbeddedDatabase(file.path);
  insight::Snapshot(insight::DataSource{"sqlite:" + file.path, "", ""}, {});
  for (const std::filesystem::path& path : left) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
  for (const std::filesystem::path& path : running) {
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    std::filesystem::remove_all(path);
  }
  ::waitpid(ended, nullptr, 0);
  sqlite::CloseIdleSessions(file.path);
}

// A file made before every table had its primary key (not yet upgraded)
// has other columns than a new snapshot: its rows are copied by name.
TEST_F(PreviewTest, SnapshotOfAnOlderFileHoldsTheSameRows) {
  if (!db_.embedded()) GTEST_SKIP() << "an embedded file of an older version";
  TempPath old_file("migprof_insight_old");
  std::string old_schema = schema::EmbeddedSchemaSql();
  for (std::size_t at;
       (at = old_schema.find("  rowkey INTEGER PRIMARY KEY,\n")) != std::string::npos;) {
    old_schema.erase(at, std::string("  rowkey INTEGER PRIMARY KEY,\n").size());
  }
  sqlite::CreateDatabase(old_file.path, old_schema);
  {
    TOVRHandleMigProf old_object;
    old_object.DatabaseName("sqlite:" + old_file.path);
    app::PopulateDemoEstate(old_object);
  }
  const insight::DataSource old_source{"sqlite:" + old_file.path, "", ""};
  TempPath file("migprof_insight_copy");
  schema::CreateEmbeddedDatabase(file.path);
  insight::CopyProfileRows(old_source, {"sqlite:" + file.path, "", ""}, {110, 120});
  Contents copied = ContentsOf({"sqlite:" + file.path, "", ""});
  EXPECT_EQ(copied, SnapshotOf(ContentsOf(old_source), {110, 120}));
  EXPECT_FALSE(copied["qzmap140"].empty());
  sqlite::CloseIdleSessions(file.path);
  sqlite::CloseIdleSessions(old_file.path);
}

}  // namespace
}  // namespace migprof::testing
