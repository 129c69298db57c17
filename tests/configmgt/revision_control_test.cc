// Revision control of functions and table rules: round trips, contention
// between users, history and restore.
#include "configmgt/revision_control.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "configmgt/revision_fixture.h"

namespace migprof::testing {
namespace {

using configmgt::Item;
using configmgt::RevisionControl;

struct RoundTrip {
  const char* name;
  Item item;
  std::function<void(RevisionControl&, const Item&)> edit;
  std::string edited_query;  // what the edit changes
  std::vector<std::string> edited;
  std::string checked_in_query;  // what the check-in itself writes
  std::vector<std::string> checked_in;
};

TEST_F(RevisionTest, RoundTripsLeaveExactlyTheExpectedRows) {
  const std::vector<RoundTrip> cases{
      {"function",
       Function(),
       [](RevisionControl& c, const Item& i) {
         c.EditFunction(i, {"x + 2", "adds two", std::nullopt});
       },
       "select fdef, dsca, comt from qzlib100",
       {"x + 2", "adds two", "first"},
       "select stat, curn, lurn from qzlib100",
       {"N", "NULL", "alice"}},
      {"field rule",
       Rule(),
       [](RevisionControl& c, const Item& i) {
         c.EditRule(i, "F2", {{"mrul", "m2"}, {"type", "u"}});
       },
       "select mrul, type from qzmap140 where fdnm = 'F2'",
       {"m2", "u"},
       "select lusr, prtx from qzmap120",
       {"alice", "p"}},
      {"table rule",
       Rule(),
       [](RevisionControl& c, const Item& i) {
         c.EditRule(i, std::nullopt, {{"prtx", "q"}});
       },
       "select prtx from qzmap120",
       {"q"},
       "select lusr, comt from qzmap120",
       {"alice", "r"}},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    const Rows before = LiveRows();
    RevisionControl alice = As("alice");
    const std::string kind = c.item.kind == configmgt::ItemKind::kFunction ? "F" : "R";

    alice.CheckOut(c.item, false);
    EXPECT_EQ(db_.Rows("select usrn, kind, itnm from qzcfg100"),
              (Rows{{"alice", kind, c.item.name}}));
    if (c.item.kind == configmgt::ItemKind::kFunction) {
      EXPECT_EQ(db_.Rows("select stat, curn from qzlib100"), (Rows{{"C", "alice"}}));
    }
    c.edit(alice, c.item);
    EXPECT_EQ(db_.Rows(c.edited_query), Rows{c.edited});
    alice.UndoCheckOut(c.item, false);
    EXPECT_EQ(LiveRows(), before);
    EXPECT_EQ(db_.Count("qzcfg100") + db_.Count("qzcfg110"), 0);

    alice.CheckOut(c.item, false);
    c.edit(alice, c.item);
    EXPECT_EQ(alice.CheckIn(c.item, "why"), 1);
    EXPECT_EQ(db_.Count("qzcfg100"), 0);
    EXPECT_EQ(db_.Rows("select revn, usrn, actn, comt from qzcfg110"),
              (Rows{{"1", "alice", "check-in", "why"}}));
    EXPECT_EQ(db_.Rows(c.edited_query), Rows{c.edited});
    EXPECT_EQ(db_.Rows(c.checked_in_query), Rows{c.checked_in});
    // The revision holds the whole rows as they are now.
    EXPECT_EQ(configmgt::DecodeSnapshot(alice.History(c.item).at(0).snapshot),
              configmgt::ReadItem(db_.Connect(), c.item));
    EXPECT_TRUE(alice.Diff(c.item, 1, std::nullopt).empty());
    db_.Exec("delete from qzcfg110");
  }
}

TEST_F(RevisionTest, AFunctionHeldByOneUserIsRefusedToAnother) {
  RevisionControl alice = As("alice");
  RevisionControl bob = As("bob");
  const Item calc = Function();
  alice.CheckOut(calc, false);
  const Rows held = LiveRows();
  const std::vector<std::pair<const char*, std::function<void()>>> acts{
      {"check out", [&] { bob.CheckOut(calc, false); }},
      {"check in", [&] { bob.CheckIn(calc, "mine"); }},
      {"undo", [&] { bob.UndoCheckOut(calc, false); }},
      {"edit",
       [&] {
         bob.EditFunction(calc, {"y", std::nullopt, std::nullopt});
       }},
      {"restore", [&] { bob.Restore(calc, 1, ""); }},
      {"check out again", [&] { alice.CheckOut(calc, false); }},
  };
  for (const auto& [name, act] : acts) {
    SCOPED_TRACE(name);
    std::string message = RefusalOf(act);
    EXPECT_NE(message.find("Calc"), std::string::npos) << message;
    EXPECT_NE(message.find("alice"), std::string::npos) << message;
  }
  EXPECT_EQ(LiveRows(), held);
  // Without a name nothing changes, but the history and check-outs read.
  RevisionControl nobody = As("");
  for (const auto& act : std::vector<std::function<void()>>{
           [&] { nobody.CheckOut(calc, true); }, [&] { nobody.UndoCheckOut(calc, true); },
           [&] {
             nobody.EditFunction(calc, {"y", std::nullopt, std::nullopt});
           }}) {
    EXPECT_EQ(RefusalOf(act), "The acting user's name is empty.");
  }
  EXPECT_EQ(LiveRows(), held);
  EXPECT_EQ(nobody.CheckOuts(std::nullopt).size(), 1u);
  EXPECT_TRUE(nobody.History(calc).empty());

  // Taking over and undoing another's check-out are explicit and recorded.
  bob.CheckOut(calc, /*force=*/true);
  EXPECT_EQ(db_.Rows("select stat, curn from qzlib100"), (Rows{{"C", "bob"}}));
  EXPECT_EQ(db_.Value("select usrn from qzcfg100"), "bob");
  alice.UndoCheckOut(calc, /*force=*/true);
  EXPECT_EQ(db_.Rows("select stat, curn, fdef from qzlib100"), (Rows{{"N", "NULL", "x + 1"}}));
  EXPECT_EQ(db_.Rows("select revn, usrn, actn from qzcfg110 order by revn"),
            (Rows{{"1", "bob", "check-out taken over from alice"},
                  {"2", "alice", "check-out of bob undone"}}));
  EXPECT_EQ(db_.Count("qzcfg100"), 0);
}

TEST_F(RevisionTest, ExpiryByTheHolderSurvivesCheckIn) {
  RevisionControl alice = As("alice");
  alice.CheckOut(Function(), false);
  ASSERT_TRUE(object_.Func_Expire(2, "B1", "R", "C", "Calc", "alice", kTrue).IsTrue());
  EXPECT_EQ(db_.Value("select stat from qzlib100"), "X");
  alice.CheckIn(Function(), "expired");
  EXPECT_EQ(db_.Rows("select stat, curn from qzlib100"), (Rows{{"X", "NULL"}}));
}

TEST_F(RevisionTest, RestoringAnOldRevisionAddsItOnTop) {
  RevisionControl alice = As("alice");
  const Item calc = Function();
  for (const char* definition : {"v1", "v2", "v3"}) {
    alice.CheckOut(calc, false);
    alice.EditFunction(calc, {definition, std::nullopt, std::nullopt});
    alice.CheckIn(calc, definition);
  }
  std::vector<configmgt::Change> changes = alice.Diff(calc, 1, 2);
  const configmgt::Change definition{"qzlib100", "#1", "fdef", "v1", "v2", false, false, {}};
  EXPECT_NE(std::find(changes.begin(), changes.end(), definition), changes.end());

  alice.CheckOut(calc, false);
  EXPECT_NE(RefusalOf([&] { alice.Restore(calc, 1, ""); }).find("alice"), std::string::npos);
  alice.UndoCheckOut(calc, false);

  EXPECT_EQ(alice.Restore(calc, 1, "back"), 4);
  std::vector<configmgt::Revision> history = alice.History(calc);
  ASSERT_EQ(history.size(), 4u);
  EXPECT_EQ(history[3].action, "restore of revision 1");
  EXPECT_EQ(configmgt::DecodeSnapshot(history[3].snapshot),
            configmgt::DecodeSnapshot(history[0].snapshot));
  EXPECT_EQ(db_.Value("select fdef from qzlib100"), "v1");
  EXPECT_TRUE(alice.Diff(calc, 1, 4).empty());
  EXPECT_EQ(RefusalOf([&] { alice.Restore(calc, 9, ""); }),
            "Revision 9 of Function <B> Calc </B> does not exist.");
}

TEST_F(RevisionTest, OnlyExistingItemsOfTheDevelopmentVrc) {
  RevisionControl alice = As("alice");
  const std::vector<std::pair<Item, std::string>> refused{
      {Function("None"), "does not exist"},
      {Rule("ABMOD9"), "does not exist"},
      {Rule("ABMO"), "too short"},
      {{2, {"B1", "R", "C"}, configmgt::ItemKind::kFunction, "Calc"}, "not the development VRC"},
      {{7, {"DV", "DR", "DC"}, configmgt::ItemKind::kFunction, "Calc"}, "7 does not exist"},
  };
  for (const auto& [item, text] : refused) {
    std::string message = RefusalOf([&] { alice.CheckOut(item, false); });
    EXPECT_NE(message.find(text), std::string::npos) << message;
  }
  db_.Exec("update qzmap100 set scme = 'N'");
  EXPECT_EQ(RefusalOf([&] { alice.CheckOut(Function(), false); }),
            "Migration profile 2 is not under revision control.");
  EXPECT_EQ(db_.Count("qzcfg100"), 0);
}

}  // namespace
}  // namespace migprof::testing
