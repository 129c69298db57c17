// Every database call of every changing member made to fail in turn: the
// member traps or raises as documented and leaves exactly the partial state
// its failure path names.
#include <gtest/gtest.h>

#include "robust/fault_runner.h"

namespace migprof::testing {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// A step whose text starts with one of prefixes.
std::function<bool(const FailedStep&)> StepIs(std::vector<std::string> prefixes) {
  return [prefixes](const FailedStep& step) {
    for (const std::string& prefix : prefixes) {
      if (StartsWith(step.text, prefix)) return true;
    }
    return false;
  };
}

// Field `index` (1 = first column) of a snapshot row.
std::string FieldOf(const std::string& row, std::size_t index) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) start = row.find('|', start) + 1;
  return row.substr(start, row.find('|', start) - start);
}

void Exec(const TestDatabase& db, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) db.Exec(statement);
}

// Two applications of two kinds and a standard parent profile 1 (P1_R_C).
void ParentProfile(const TestDatabase& db) {
  Exec(db, {"insert into qzddi100 (appl, extn) values ('S', '1')",
            "insert into qzddi100 (appl, extn) values ('T', '2')",
            "insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,"
            "apln) values (1,'S','T','P1','R','C','','','','parent','N',1,'app')",
            "insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (1,1,'P1','R','C',1)"});
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
          // The depth lookup records its failure and the creation goes on
          // with depth 0 and no level rows.
          {StepIs({"run select deph from qzmap100"}),
           [&](const FailedStep&, const FaultOutcome& outcome, const std::vector<Snapshot>& all) {
             EXPECT_EQ(outcome.result, true);
             EXPECT_EQ(outcome.error_number, InjectedError().number());
             EXPECT_EQ(outcome.error_description, InjectedError().description());
             EXPECT_EQ(Without(outcome.after, own_rows), Without(all.back(), own_rows));
             Snapshot own = outcome.after;
             std::erase_if(own, [](const std::string& row) { return !StartsWith(row, "qzmap10"); });
             ASSERT_EQ(Without(own, {"qzmap100|1|", "qzmap101|1|", "qzmap105|"}).size(), 1u);
             EXPECT_EQ(FieldOf(Without(own, {"qzmap100|1|", "qzmap101|1|", "qzmap105|"})[0], 12),
                       "0");
           }},
          // Writing the levels fails: the member removes the profile's
          // qzmap100 and qzmap101 rows itself, code 107.
          {StepIs({"run select * from qzmap101 where mprf = 2and levl", "insert qzmap101",
                   "run select * from qzmap100 where vers ='P1'"}),
           [&](const FailedStep& step, const FaultOutcome& outcome,
               const std::vector<Snapshot>& all) {
             EXPECT_EQ(outcome.result, false);
             EXPECT_EQ(outcome.error_number, 107);
             EXPECT_EQ(outcome.error_description,
                       StartsWith(step.text, "run select * from qzmap100")
                           ? "Errors Occured While Retrieving Records"
                           : InjectedError().description());
             EXPECT_EQ(outcome.after, Without(all[step.index - 1], own_rows));
           }},
      }};
  EXPECT_GT(CheckEveryCall(member), 15);
}

TEST(FaultInjection, DeleteMap100) {
  MemberUnderFault member{
      [](const TestDatabase& db) {
        ParentProfile(db);
        for (const char* table :
             {"qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145",
              "qzmap160", "qzmap165", "qzmap170", "qzmap175", "qzmap105", "qzlib100", "qzlib105"}) {
          for (int mprf : {1, 3}) {
            db.Exec(std::string("insert into ") + table + " (mprf, vers, rele, cust) values (" +
                    std::to_string(mprf) + ", 'P1', 'R', 'C')");
          }
        }
        Exec(db, {"insert into qzusr110 (mprf, usrn) values (1, cast('alice' as varbinary))",
                  "insert into qzusr100 (usrn, defa) values ('alice', 1)",
                  "insert into qzusr100 (usrn, defa) values ('bob', 3)"});
      },
      [](TOVRHandleMigProf& object) { return object.DeleteMap100(1).IsTrue(); },
      /*traps=*/true,
      {}};
  EXPECT_GT(CheckEveryCall(member), 17);
}

TEST(FaultInjection, FuncDelete) {
  MemberUnderFault member{
      [](const TestDatabase& db) {
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
      {}};
  // The deletes run in one transaction: a failure at either delete or at the
  // commit leaves both tables as they were.
  EXPECT_GE(CheckEveryCall(member), 7);
}

}  // namespace
}  // namespace migprof::testing
