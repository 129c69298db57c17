// A source profile with mapping rules and a target profile with a data
// dictionary, for the mapping-rule tests.
#ifndef MIGPROF_TESTS_MAPRULES_RULE_FIXTURE_H_
#define MIGPROF_TESTS_MAPRULES_RULE_FIXTURE_H_

#include <string>
#include <utility>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {

using Texts = std::vector<std::string>;
using Table = std::vector<Texts>;

class MapRuleTest : public ComponentTest {
 protected:
  // Inserts one row; values are SQL literals ("'x'", "NULL", "3").
  void Insert(const std::string& table,
              const std::vector<std::pair<std::string, std::string>>& row) {
    std::string names, values;
    for (const auto& [name, value] : row) {
      names += (names.empty() ? "" : ", ") + name;
      values += (values.empty() ? "" : ", ") + value;
    }
    db_.Exec("insert into " + table + " (" + names + ") values (" + values + ")");
  }
  // Rows of a rule table under profile/VRC, columns as listed, insertion order.
  Table RulesOf(const std::string& table, const std::string& columns, int mprf,
                const std::string& vers = "UV") {
    return db_.Rows("select " + columns + " from " + table + " where mprf = " +
                    std::to_string(mprf) + " and vers = '" + vers + "'" + db_.AddedOrder());
  }
  // Rows of the rule tables keyed by tcpac/tcmod/tflno (or bpac/...), with
  // the key of profile 1 in VRC SV/SR/SC or the given one.
  void AddKeyed(const std::string& table, int mprf, const std::string& vers, const char* pac,
                const char* mod, const char* flno,
                std::vector<std::pair<std::string, std::string>> more = {}) {
    bool link = table == "qzmap170" || table == "qzmap175";
    more.insert(more.begin(), {{"mprf", std::to_string(mprf)},
                               {"vers", "'" + vers + "'"},
                               {"rele", vers == "SV" ? "'SR'" : "'UR'"},
                               {"cust", vers == "SV" ? "'SC'" : "'UC'"},
                               {link ? "bpac" : "tcpac", "'" + std::string(pac) + "'"},
                               {link ? "bmod" : "tcmod", "'" + std::string(mod) + "'"},
                               {link ? "bflno" : "tflno", "'" + std::string(flno) + "'"}});
    Insert(table, more);
  }
  // Source profile 1 (VRC SV/SR/SC) and target profile 2 (UV/UR/UC, target
  // application UAPP).
  void AddProfiles() {
    Insert(
        "qzmap100",
        {{"mprf", "1"}, {"vers", "'SV'"}, {"rele", "'SR'"}, {"cust", "'SC'"}, {"tapp", "'SAPP'"}});
    Insert(
        "qzmap100",
        {{"mprf", "2"}, {"vers", "'UV'"}, {"rele", "'UR'"}, {"cust", "'UC'"}, {"tapp", "'UAPP'"}});
  }
  // A field of the target application's dictionary.
  void AddField(const char* pac, const char* mod, const char* flno, const char* name, int depth,
                const char* cdom = "NULL") {
    Insert("qzddi150", {{"appl", "'UAPP'"},
                        {"cpac", "'" + std::string(pac) + "'"},
                        {"cmod", "'" + std::string(mod) + "'"},
                        {"flno", "'" + std::string(flno) + "'"},
                        {"fdnm", "'" + std::string(name) + "'"},
                        {"dept", std::to_string(depth)},
                        {"cdom", cdom}});
  }
  // A source field rule whose other columns are derived from its element.
  void AddFieldRule(const char* pac, const char* mod, const char* flno, const std::string& element,
                    int dnum) {
    AddKeyed("qzmap140", 1, "SV", pac, mod, flno,
             {{"fdnm", "'" + element + "'"},
              {"dnum", std::to_string(dnum)},
              {"mrul", "'r-" + element + "'"},
              {"type", "'t'"},
              {"stat", "'s'"},
              {"txtn", dnum % 2 ? "'x-" + element + "'" : "NULL"}});
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
