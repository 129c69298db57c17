// The update's procedures over the derivation levels: the descendants of a
// profile, its parent, its VRC, and the rebuild of the descendants' levels.
#include <set>
#include <vector>

#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/profile_text.h"

namespace migprof {

String TOVRHandleMigProf::GetProfileChildren(String& profile) {
  try {
    auto rs = ado::Recordset::Create();
    query::OpenQuery(*rs, "select mprf from qzmap101 where pprf = " + profile, getNewConnection());
    String children;
    while (!rs->EndOfFile()) {
      if (!children.empty()) children += ", ";
      children += profiles::TrimBlanks(rs->Fields().Item(Integer{0}).Value().ToString());
      rs->MoveNext();
    }
    rs->Close();
    return children;
  } catch (...) {
    // Not recorded: the update goes on without a rebuild.
    return "";
  }
}

String TOVRHandleMigProf::GetProfileParent(Long& profile) {
  auto rs = ado::Recordset::Create();
  query::OpenQuery(*rs, "select * from qzmap101 where levl=2 and mprf = " + SqlNumber(profile),
                   getNewConnection());
  String parent;
  if (!rs->BOF() && !rs->EndOfFile()) {
    parent = profiles::TrimBlanks(rs->Fields().Item(String("pprf")).Value().ToString());
  }
  rs->Close();
  return parent;
}

void TOVRHandleMigProf::GetProfileVRC(String& profile, std::vector<String>& vrc) {
  vrc.assign(5, String());
  vrc[0] = profile;
  auto rs = ado::Recordset::Create();
  query::OpenQuery(
      *rs, "Select vers,rele,cust from qzmap100 where mprf = " + profiles::TrimBlanks(profile),
      getNewConnection());
  if (!rs->BOF() && !rs->EndOfFile()) {
    vrc[1] = rs->Fields().Item(Integer{0}).Value().ToString();
    vrc[2] = rs->Fields().Item(Integer{1}).Value().ToString();
    vrc[3] = rs->Fields().Item(Integer{2}).Value().ToString();
  }
  rs->Close();
}

void TOVRHandleMigProf::RebuildDerivationLevels(std::vector<String>& entries) {
  try {
    RefreshSessionConnection();
    for (const String& entry : entries) {
      std::vector<String> parts = profiles::SplitText(entry, "_");
      if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) continue;
      const String& p = parts[0];
      for (const String& d : profiles::SplitText(parts[1], ", ")) {
        auto rs = ado::Recordset::Create();
        query::OpenQuery(
            *rs, "select levl from qzmap101 where levl > 1 and pprf =" + p + " and mprf =" + d,
            getNewConnection());
        if (rs->BOF() && rs->EndOfFile()) continue;
        Long level = rs->Fields().Item(String("levl")).Value().ToLong();
        m_Conn->Execute("delete from qzmap101 where mprf = " + d + " and levl > " +
                        SqlNumber(level));

        Long ancestor_number = Variant(p).ToLong();
        String ancestor = GetProfileParent(ancestor_number);
        // A parent chain that comes back to a profile already on it would
        // add levels for ever; it ends the rebuild like any failure.
        std::set<String> seen{profiles::TrimBlanks(p)};
        while (!ancestor.empty()) {
          if (!seen.insert(ancestor).second) {
            throw ComError(errc::kInternalError, "The derivation levels form a cycle.");
          }
          std::vector<String> vrc;
          GetProfileVRC(ancestor, vrc);
          ++level;
          m_Conn->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values ( " +
                          d + "," + SqlNumber(level) + ",'" + SqlText(vrc[1]) + "','" +
                          SqlText(vrc[2]) + "','" + SqlText(vrc[3]) + "'," + ancestor + ")");
          ancestor_number = Variant(ancestor).ToLong();
          ancestor = GetProfileParent(ancestor_number);
        }
        m_Conn->Execute("update qzmap100 set deph =" + SqlNumber(level) + " where mprf= " + d);
      }
    }
  } catch (...) {
    // Not recorded: the update reports success for what it did itself.
  }
}

}  // namespace migprof
