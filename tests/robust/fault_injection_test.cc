// Every database call of every changing member made to fail in turn: the
// member traps or raises as documented and leaves exactly the partial state
// its failure path names.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "migprof/object_registry.h"
#include "robust/fault_runner.h"
#include "robust/robust_support.h"

namespace migprof::testing {
namespace {

// A step whose text matches one of patterns from its start. An updatable
// query reaches the database with its row key added to the select list,
// which ".*" in a pattern looks past.
std::function<bool(const FailedStep&)> StepIs(const std::vector<std::string>& patterns) {
  std::vector<std::regex> expressions;
  for (const std::string& pattern : patterns) expressions.emplace_back("^" + pattern);
  return [expressions](const FailedStep& step) {
    return std::any_of(expressions.begin(), expressions.end(),
                       [&](const std::regex& e) { return std::regex_search(step.text, e); });
  };
}

// Field `index` (1 = first column) of a snapshot row.
std::string FieldOf(const std::string& row, std::size_t index) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) start = row.find('|', start) + 1;
  return row.substr(start, row.find('|', start) - start);
}

void Exec(ado::Connection& db, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) db.Execute(statement);
}

// Two applications of two kinds and a standard parent profile 1 (P1_R_C).
void ParentProfile(ado::Connection& db) {
  Exec(db, {"insert into qzddi100 (appl, extn) values ('S', '1')",
            "insert into qzddi100 (appl, extn) values ('T', '2')",
            "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,"
            "apln) values (1,'S','T','P1','R','C','','','','parent','N',1,'app')",
            "insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (1,1,'P1','R','C',1)"});
}

// The depth lookup records its failure and the member goes on: it stores
// depth 0 and writes no level rows. own: the rows of the member's profile.
FaultException DepthLookupFails(const std::vector<std::string>& own) {
  return {StepIs({"run select deph .*from qzmap100"}),
          [own](const FailedStep&, const FaultOutcome& outcome, const std::vector<Snapshot>& all) {
            EXPECT_EQ(outcome.result, true);
            EXPECT_EQ(outcome.error_number, InjectedError().number());
            EXPECT_EQ(outcome.error_description, InjectedError().description());
            EXPECT_EQ(Without(outcome.after, own), Without(all.back(), own));
            const Snapshot written = Without(outcome.after, Without(outcome.after, own));
            ASSERT_EQ(written.size(), 1u);
            EXPECT_EQ(FieldOf(written[0], 12), "0");
          }};
}

TEST(FaultInjection, InsertInMap100) {
  const std::vector<std::string> own_rows = {"qzmap100|2|", "qzmap101|2|"};
  MemberUnderFault member{
      ParentProfile,
      [](TOVRHandleMigProf& object) {
        return object
            .InsertInMap100(2, "child", "S", "T", "P1U", "R", "C", "P1_R_C", "Y", "app", "alice",
                            "DV", "DR", "DC")
            .IsTrue();
      },
      /*traps=*/true,
      {
          DepthLookupFails(own_rows),
          // Writing the levels fails: the member removes the profile's
          // qzmap100 and qzmap101 rows itself, code 107.
          {StepIs({"run select .*from qzmap101 where mprf = 2and levl", "insert qzmap101",
                   "run select .*from qzmap100 where vers ='P1'"}),
           [&](const FailedStep& step, const FaultOutcome& outcome,
               const std::vector<Snapshot>& all) {
             EXPECT_EQ(outcome.result, false);
             EXPECT_EQ(outcome.error_number, 107);
             EXPECT_EQ(outcome.error_description, StepIs({"run select .*from qzmap100"})(step)
                                                      ? "Errors Occured While Retrieving Records"
                                                      : InjectedError().description());
             EXPECT_EQ(outcome.after, Without(all[step.index - 1], own_rows));
           }},
      }};
  EXPECT_GT(CheckEveryCall(member), 15);
}

// Rows of a rule table keyed by table xy/uvw/<flno> (bpac/... for links).
std::string RuleRow(const std::string& table, int mprf, const std::string& vrc,
                    const std::string& flno, const std::string& columns = "",
                    const std::string& values = "") {
  const bool link = table == "qzmap170" || table == "qzmap175";
  return "insert into " + table + " (mprf, vers, rele, cust, " +
         (link ? "bpac, bmod, bflno" : "tcpac, tcmod, tflno") +
         (columns.empty() ? "" : ", " + columns) + ") values (" + std::to_string(mprf) + ", " +
         vrc + ", 'xy', 'uvw', '" + flno + "'" + (values.empty() ? "" : ", " + values) + ")";
}

// Profile 3 with rules in every rule table for tables 123 and 124 in its VRC
// UV/UR/UC, and decoys of another VRC.
void RulesOfProfile3(ado::Connection& db) {
  db.Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, scme) values (3, 'UV', 'UR', 'UC', 'N')");
  for (const char* table : {"qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140",
                            "qzmap145", "qzmap160", "qzmap165", "qzmap170", "qzmap175"}) {
    for (const char* flno : {"123", "123", "124"}) {
      db.Execute(RuleRow(table, 3, "'UV', 'UR', 'UC'", flno));
    }
    db.Execute(RuleRow(table, 3, "'OV', 'UR', 'UC'", "123"));
  }
}

// Source profile 1 (SV/SR/SC, target application UAPP's dictionary) with
// table, source-table, field, function and link rules for table xy/uvw/123;
// the user's profile 2 works in UV/UR/UC.
void CopySource(ado::Connection& db) {
  const std::string source = "'SV', 'SR', 'SC'";
  Exec(db,
       {"insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', "
        "'SAPP')",
        "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', "
        "'UAPP')",
        RuleRow("qzmap120", 1, source, "123", "prtx, stat, comt", "' p ', 'A', ' c '"),
        RuleRow("qzmap120", 1, source, "124", "prtx, stat, comt", "'q', 'B', 'd'"),
        RuleRow("qzmap130", 1, source, "123", "scpac, scmod, sflno, icod", "'ab', 'cde', '7', 'I'"),
        RuleRow("qzmap140", 1, source, "123", "fdnm, dnum, mrul", "'name', 1, 'r1'"),
        RuleRow("qzmap140", 1, source, "123", "fdnm, dnum, mrul", "'qty(1)', 2, 'r2'"),
        RuleRow("qzmap140", 1, source, "123", "fdnm, dnum, mrul", "'qty(2)', 3, 'r3'"),
        RuleRow("qzmap160", 1, source, "123", "func", "'f1'"),
        RuleRow("qzmap170", 1, source, "123", "cpac, cmod, cflno", "'xy', 'uvw', '124'"),
        "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values "
        "('UAPP', 'xy', 'uvw', '123', 'name', 0, NULL)",
        "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values "
        "('UAPP', 'xy', 'uvw', '123', 'qty', 2, 'xyDOM')",
        "insert into qzddi220 (appl, cpac, cdom) values ('UAPP', 'xy', 'DOM')"});
}

// Function f of source profile 1 in its own VRC, and the user's profile 2.
void FunctionSource(ado::Connection& db) {
  Exec(db, {"insert into qzmap100 (mprf, vers, rele, cust) values (1, 'SV', 'SR', 'SC')",
            "insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, comt, "
            "stat) values (1, 'SV', 'SR', 'SC', 'f', 'd', 'lu', '2003-04-05 06:07:08', 'def', "
            "'c', 'N')"});
}

// Profile 1 with a row in every table that holds a profile's rules,
// functions and users, and profile 3's rows beside them.
void ProfileWithEverything(ado::Connection& db) {
  ParentProfile(db);
  for (const char* table :
       {"qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145",
        "qzmap160", "qzmap165", "qzmap170", "qzmap175", "qzmap105", "qzlib100", "qzlib105"}) {
    for (const char* mprf : {"1", "3"}) {
      db.Execute(std::string("insert into ") + table + " (mprf, vers, rele, cust) values (" + mprf +
                 ", 'P1', 'R', 'C')");
    }
  }
  Exec(db, {"insert into qzusr110 (mprf, usrn) values (1, cast('alice' as varbinary))",
            "insert into qzusr100 (usrn, defa) values ('alice', 1)",
            "insert into qzusr100 (usrn, defa) values ('bob', 3)"});
}

// Profile 3's rules, derived from DV/DR/DC which holds rules of its own.
void DerivedRulesOfProfile3(ado::Connection& db) {
  RulesOfProfile3(db);
  Exec(db, {"insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values "
            "(3, 'UV', 'UR', 'UC', 'DV', 'DR', 'DC')",
            RuleRow("qzmap120", 3, "'DV', 'DR', 'DC'", "123", "stat", "'M'"),
            RuleRow("qzmap120", 3, "'DV', 'DR', 'DC'", "124", "stat", "'M'")});
}

// Function calc of profile 10 (shared or not: scme), derived from DV/DR/DC
// which holds a checked-out version of it.
void ExpirableFunction(ado::Connection& db, const std::string& scme) {
  Exec(db, {"insert into qzmap100 (mprf, vers, rele, cust, scme) values (10, 'V1', 'R1', 'C1', '" +
                scme + "')",
            "insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values (10, "
            "'V1', 'R1', 'C1', 'DV', 'DR', 'DC')",
            "insert into qzlib100 (mprf, vers, rele, cust, fnam, stat, curn) values (10, "
            "'V1', 'R1', 'C1', 'calc', 'N', 'alice')",
            "insert into qzlib100 (mprf, vers, rele, cust, fnam, stat, curn) values (10, "
            "'DV', 'DR', 'DC', 'calc', 'C', 'alice')"});
}

// A member called for its effect: a failure raises, nothing is returned.
template <class F>
std::function<std::optional<bool>(TOVRHandleMigProf&)> Void(F member) {
  return [member](TOVRHandleMigProf& object) -> std::optional<bool> {
    member(object);
    return std::nullopt;
  };
}

// The members whose every failure takes the plain path: a trapping member
// records it and answers False, a raising one raises it untouched; either way
// the database is left as it was just before the failing call.
TEST(FaultInjection, MembersOnThePlainFailurePath) {
  const bool both_forms = Rounds(1, 2) == 2;  // the one-table forms only in the long run
  struct Case {
    const char* member;
    std::function<void(ado::Connection&)> setup;
    std::function<std::optional<bool>(TOVRHandleMigProf&)> call;
    bool traps;
    long min_calls;
    bool long_only = false;
  };
  auto copy = [](const char* list, Boolean use_list) {
    return [=](TOVRHandleMigProf& o) -> std::optional<bool> {
      return o
          .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "J.Smith", Variant("p"),
                            list, use_list)
          .IsTrue();
    };
  };
  auto expire = [](TOVRHandleMigProf& o) -> std::optional<bool> {
    return o.Func_Expire(10, "V1", "R1", "C1", "calc", "alice", kTrue).IsTrue();
  };
  const std::vector<Case> cases = {
      {"DeleteMap100", ProfileWithEverything,
       [](TOVRHandleMigProf& o) { return o.DeleteMap100(1).IsTrue(); }, true, 18},
      {"DeleteMapRules, table list", RulesOfProfile3, Void([](TOVRHandleMigProf& o) {
         o.DeleteMapRules(3, "UV", "UR", "UC", "xy", "uvw", "123", "xyuvw123,xyuvw124", kTrue);
       }),
       false, 10},
      {"DeleteMapRules, one table", RulesOfProfile3, Void([](TOVRHandleMigProf& o) {
         o.DeleteMapRules(3, "UV", "UR", "UC", "xy", "uvw", "123", "", kFalse);
       }),
       false, 10, true},
      {"DeleteData", RulesOfProfile3, Void([](TOVRHandleMigProf& o) {
         o.DeleteData("select * from qzmap125 where tflno = '123'", 3, "UV", "UR", "UC");
       }),
       false, 4},
      {"ExpireMapRules", DerivedRulesOfProfile3, Void([](TOVRHandleMigProf& o) {
         o.ExpireMapRules(3, "UV", "UR", "UC", "xy", "uvw", "123", "xyuvw123,xyuvw124", kTrue,
                          kTrue);
       }),
       false, 3},
      {"CopyToCurrentVRC, table list", CopySource, copy("xyuvw124", kTrue), true, 11},
      {"CopyToCurrentVRC, one table", CopySource, copy("", kFalse), true, 11, true},
      {"Func_CopyToCurrentVRC", FunctionSource,
       [](TOVRHandleMigProf& o) {
         return o.Func_CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "f", "u").IsTrue();
       },
       false, 4},
      {"Func_Expire, shared", [](ado::Connection& db) { ExpirableFunction(db, "Y"); }, expire,
       false, 3},
      {"Func_Expire, not shared", [](ado::Connection& db) { ExpirableFunction(db, "N"); }, expire,
       false, 3},
  };
  for (const Case& c : cases) {
    if (c.long_only && !both_forms) continue;
    SCOPED_TRACE(c.member);
    EXPECT_GE(CheckEveryCall({c.setup, c.call, c.traps, {}}), c.min_calls);
  }
}

// The index (1-based) of the first call of the clean run that starts with
// prefix.
long CallIndex(const std::vector<std::string>& calls, const std::string& prefix) {
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].rfind(prefix, 0) == 0) return static_cast<long>(i) + 1;
  }
  ADD_FAILURE() << "no call starts with " << prefix;
  return 0;
}

// Chains A1 <- B1 <- C1 (profiles 1, 2, 3 on S/T) and W1 <- X1 (4, 5 on
// S2/T2), with their level rows and application kinds.
void Chains(ado::Connection& db) {
  struct Profile {
    int mprf;
    const char* vers;
    const char* apps;
    const char* parent;
    int deph;
  };
  for (const Profile& p : {Profile{1, "A1", "'S','T'", "''", 1},
                           {2, "B1", "'S','T'", "'A1'", 2},
                           {3, "C1", "'S','T'", "'B1'", 3},
                           {4, "W1", "'S2','T2'", "''", 1},
                           {5, "X1", "'S2','T2'", "'W1'", 2}}) {
    db.Execute(
        "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,"
        "apln) values (" +
        std::to_string(p.mprf) + "," + p.apps + ",'" + p.vers + "','R','C'," + p.parent +
        (std::string(p.parent) == "''" ? ",'',''" : ",'R','C'") + ",'d','N'," +
        std::to_string(p.deph) + ",'l')");
  }
  for (const char* level : {"1,1,'A1',1", "2,1,'B1',2", "2,2,'A1',1", "3,1,'C1',3", "3,2,'B1',2",
                            "3,3,'A1',1", "4,1,'W1',4", "5,1,'X1',5", "5,2,'W1',4"}) {
    std::string v = level;  // mprf,levl,vers,pprf
    const std::size_t last = v.rfind(',');
    db.Execute("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (" + v.substr(0, last) +
               ",'R','C'" + v.substr(last) + ")");
  }
  for (const char* kind : {"'S','1'", "'S2','1'", "'T','2'", "'T2','2'"}) {
    db.Execute(std::string("insert into qzddi100 (appl, extn) values (") + kind + ")");
  }
}

// A configuration-management component that agrees to everything and
// touches no table, so that every database call counted is the member's.
class AgreeingConfigMgt : public ConfigMgt {
 public:
  void DatabaseName(const String&) override {}
  void DatabasePassword(const String&) override {}
  void DatabaseServer(const String&) override {}
  void DatabaseUser(const String&) override {}
  void OpenConnection(std::shared_ptr<ado::Connection>) override {}
  Variant Global_Undo_Check_Out(String&, Integer&, String&, String&, String&, String&) override {
    return Variant(kTrue);
  }
  Variant Delete_Revisions(Integer&, String&, String&, String&, String&, String&) override {
    return Variant(kTrue);
  }
  Variant Check_Check_Out(Integer&) override { return Variant(kTrue); }
  String ErrDescription() override { return ""; }
};

TEST(FaultInjection, UpdateMap100) {
  ScopedObjectFactory fake(kConfigMgtProgId, [] { return std::make_shared<AgreeingConfigMgt>(); });
  auto untouched_error_state = [](const FaultOutcome& outcome) {
    EXPECT_EQ(outcome.result, true);
    EXPECT_EQ(outcome.error_number, 0);
    EXPECT_EQ(outcome.error_description, "");
  };
  MemberUnderFault member{
      Chains,
      [](TOVRHandleMigProf& object) {
        return object
            .UpdateMap100(2, "d2", "N", "B1", "R", "C", "l2", "X1_R_C", "alice", "path", "", "DR",
                          "DC")
            .IsTrue();
      },
      /*traps=*/true,
      {
          // The children lookup traps and answers "" without recording:
          // the update goes on and no level is rebuilt.
          {StepIs({"run select mprf .*from qzmap101 where pprf = 2"}),
           [&](const FailedStep&, const FaultOutcome& outcome, const std::vector<Snapshot>& all) {
             untouched_error_state(outcome);
             // The state right after the profile's own update.
             const long update = CallIndex(FaultCalls(), "run update qzmap100 set dsca");
             EXPECT_EQ(outcome.after, all[update]);
           }},
          DepthLookupFails({"qzmap100|2|"}),
          // The level rebuild stops at its failure without recording it; the
          // update has succeeded.
          {[](const FailedStep& step) {
             return step.index > CallIndex(FaultCalls(), "run update qzmap100 set dsca");
           },
           [&](const FailedStep& step, const FaultOutcome& outcome,
               const std::vector<Snapshot>& all) {
             untouched_error_state(outcome);
             EXPECT_EQ(outcome.after, all[step.index - 1]);
           }},
      }};
  EXPECT_GT(CheckEveryCall(member), 20);
}

TEST(FaultInjection, FuncDelete) {
  MemberUnderFault member{
      [](ado::Connection& db) {
        Exec(db, {"insert into qzlib100 (mprf,vers,rele,cust,fnam,stat) values "
                  "(1,'V','R','C','f1','N')",
                  "insert into qzlib100 (mprf,vers,rele,cust,fnam,stat) values "
                  "(1,'V','R','C','f2','N')",
                  "insert into qzlib105 (mprf,vers,rele,cust,fnam) values (1,'V','R','C','f1')",
                  "insert into qzlib105 (mprf,vers,rele,cust,fnam) values (1,'V','R','C','f1')"});
      },
      [](TOVRHandleMigProf& object) {
        return object.Func_Delete(1, "V", "R", "C", "f1", "alice").IsTrue();
      },
      /*traps=*/true,
      // The deletes run in one transaction: a failure at either delete or at
      // the commit leaves both tables as they were before it began.
      {{StepIs({"run Delete from qzlib10", "commit"}),
        [](const FailedStep&, const FaultOutcome& outcome, const std::vector<Snapshot>& all) {
          EXPECT_EQ(outcome.result, false);
          EXPECT_EQ(outcome.error_number, InjectedError().number());
          EXPECT_EQ(outcome.error_description, InjectedError().description());
          EXPECT_EQ(outcome.after, all[CallIndex(FaultCalls(), "begin") - 1]);
          EXPECT_EQ(outcome.after, all.front());
        }}},
      /*uses_transaction=*/true};
  EXPECT_GE(CheckEveryCall(member), 7);
}

}  // namespace
}  // namespace migprof::testing
