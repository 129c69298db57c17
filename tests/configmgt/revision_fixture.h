// A profile under revision control for the revision-control tests: profile 2
// (own VRC B1_R_C, development VRC DV_DR_DC) with the function Calc and the
// rule of table ABMOD1 with the field rules F1 and F2 in its development
// VRC, and component tables that start empty on a shared server too.
#ifndef MIGPROF_TESTS_CONFIGMGT_REVISION_FIXTURE_H_
#define MIGPROF_TESTS_CONFIGMGT_REVISION_FIXTURE_H_

#include <string>
#include <vector>

#include "configmgt/revision_control.h"
#include "configmgt/tables.h"
#include "testing/test_database.h"

namespace migprof::testing {

class RevisionTest : public ComponentTest {
 protected:
  using Rows = std::vector<std::vector<std::string>>;

  RevisionTest() {
    auto connection = db_.Connect();
    configmgt::EnsureTables(*connection);
    connection->Execute("delete from qzcfg100");
    connection->Execute("delete from qzcfg110");
    db_.Exec(
        "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, "
        "scme, deph, apln) values (2, 'S', 'T', 'B1', 'R', 'C', '', '', '', 'd', 'Y', 1, 'l')");
    db_.Exec(
        "insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values "
        "(2, 'B1', 'R', 'C', 'DV', 'DR', 'DC')");
    db_.Exec(
        "insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, comt, "
        "stat, curn) values (2, 'DV', 'DR', 'DC', 'Calc', 'adds one', 'old', "
        "'2020-01-02 03:04:05', 'x + 1', 'first', 'N', NULL)");
    db_.Exec(
        "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, logn, stat, "
        "lusr, comt) values (2, 'DV', 'DR', 'DC', 'AB', 'MOD', '1', 'p', '', 'N', 'old', 'r')");
    for (const char* field : {"F1", "F2"}) {
      db_.Exec(
          "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul, "
          "type, stat) values (2, 'DV', 'DR', 'DC', 'AB', 'MOD', '1', '" +
          std::string(field) + "', 0, 'm', 't', 'N')");
    }
  }

  configmgt::RevisionControl As(const std::string& user) const {
    return configmgt::RevisionControl(db_.Connect(), user);
  }
  static configmgt::Item Function(const std::string& name = "Calc") {
    return {2, {"DV", "DR", "DC"}, configmgt::ItemKind::kFunction, name};
  }
  static configmgt::Item Rule(const std::string& code = "ABMOD1") {
    return {2, {"DV", "DR", "DC"}, configmgt::ItemKind::kRule, code};
  }
  // Every row of the tables revision control changes, in a fixed order.
  Rows LiveRows() const {
    Rows rows = db_.Rows("select * from qzlib100 order by mprf, fnam");
    for (const char* query : {"select * from qzmap120 order by mprf, tflno",
                              "select * from qzmap140 order by mprf, tflno, fdnm"}) {
      Rows more = db_.Rows(query);
      rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
  }
  // The message a refused body gives; a failed expectation when it is not
  // refused.
  static std::string RefusalOf(const std::function<void()>& body) {
    try {
      body();
    } catch (const configmgt::Refusal& refusal) {
      return refusal.what();
    }
    ADD_FAILURE() << "not refused";
    return "";
  }
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_CONFIGMGT_REVISION_FIXTURE_H_
