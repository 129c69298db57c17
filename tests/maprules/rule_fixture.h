// A source profile with mapping rules and a target profile with a data
// dictionary, for the mapping-rule tests.
#ifndef MIGPROF_TESTS_MAPRULES_RULE_FIXTURE_H_
#define MIGPROF_TESTS_MAPRULES_RULE_FIXTURE_H_

#include <string>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {

using Texts = std::vector<std::string>;
using Table = std::vector<Texts>;

class MapRuleTest : public ComponentTest {
 protected:
  // Inserts one row; values are SQL literals ("'x'", "NULL", "3").
  void Insert(const std::string& table, const std::string& columns, const std::string& values) {
    db_.Exec("insert into " + table + " (" + columns + ") values (" + values + ")");
  }
  // Rows of a rule table under profile/VRC, columns as listed, insertion order.
  Table RulesOf(const std::string& table, const std::string& columns, int mprf,
                const std::string& vers = "UV") {
    return db_.Rows("select " + columns + " from " + table + " where mprf = " +
                    std::to_string(mprf) + " and vers = '" + vers + "'" + db_.AddedOrder());
  }
  // A row of a rule table keyed by tcpac/tcmod/tflno (bpac/... for the
  // links), in VRC SV/SR/SC or vers/UR/UC, with more columns as given.
  void AddKeyed(const std::string& table, int mprf, const std::string& vers, const char* pac,
                const char* mod, const char* flno, const std::string& columns = "",
                const std::string& values = "") {
    bool link = table == "qzmap170" || table == "qzmap175";
    Insert(table,
           std::string("mprf, vers, rele, cust, ") +
               (link ? "bpac, bmod, bflno" : "tcpac, tcmod, tflno") +
               (columns.empty() ? "" : ", " + columns),
           std::to_string(mprf) + ", '" + vers + "', " +
               (vers == "SV" ? "'SR', 'SC'" : "'UR', 'UC'") + ", '" + pac + "', '" + mod + "', '" +
               flno + "'" + (values.empty() ? "" : ", " + values));
  }
  // Source profile 1 (VRC SV/SR/SC) and target profile 2 (UV/UR/UC, target
  // application UAPP).
  void AddProfiles() {
    Insert("qzmap100", "mprf, vers, rele, cust, tapp", "1, 'SV', 'SR', 'SC', 'SAPP'");
    Insert("qzmap100", "mprf, vers, rele, cust, tapp", "2, 'UV', 'UR', 'UC', 'UAPP'");
  }
  // A field of an application's dictionary.
  void AddField(const char* pac, const char* mod, const char* flno, const char* name, int depth,
                const char* cdom = "NULL", const char* appl = "UAPP") {
    Insert("qzddi150", "appl, cpac, cmod, flno, fdnm, dept, cdom",
           "'" + std::string(appl) + "', '" + pac + "', '" + mod + "', '" + flno + "', '" + name +
               "', " + std::to_string(depth) + ", " + cdom);
  }
  // Calls the copy with the usual target VRC and user.
  Boolean Copy(const char* pac, const char* mod, const char* flno, const std::string& childs = "",
               Boolean isms = kFalse) {
    return object_.CopyToCurrentVRC(1, 2, "UV", "UR", "UC", pac, mod, flno, "J.Smith",
                                    Variant("ignored"), childs, isms);
  }
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_MAPRULES_RULE_FIXTURE_H_
