// DeleteMap100: a profile and everything stored under it.
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/profile_messages.h"

namespace migprof {
namespace {

// The tables emptied of the profile's rows by "delete from {table} where
// mprf={mprf}", in the order of deletion, around the owner links (after
// qzmap175) and the users' default profile (last).
constexpr const char* kRulesTables[] = {"qzmap120", "qzmap130", "qzmap140", "qzmap160",
                                        "qzmap110", "qzmap125", "qzmap135", "qzmap145",
                                        "qzmap165", "qzmap170", "qzmap175"};
constexpr const char* kProfileTables[] = {"qzmap101", "qzmap100", "qzmap105", "qzlib100",
                                          "qzlib105"};

}  // namespace

Boolean TOVRHandleMigProf::DeleteMap100(Integer i_intMPRF) {
  const ChangeScope change_scope(*this);
  try {
    const String mprf = SqlNumber(i_intMPRF);
    m_rsShared = ado::Recordset::Create();
    query::OpenQuery(*m_rsShared, "select vers,rele,cust from qzmap100 where mprf = " + mprf,
                     getNewConnection());
    String vers, rele, cust;
    if (query::HasRow(*m_rsShared)) {
      vers = m_rsShared->Fields().Item(Integer{0}).Value().ToString();
      rele = m_rsShared->Fields().Item(Integer{1}).Value().ToString();
      cust = m_rsShared->Fields().Item(Integer{2}).Value().ToString();
    }
    m_rsShared->Close();
    RefreshSessionConnection();

    // Only a direct derivation blocks the deletion: a profile whose parent
    // VRC is this profile's VRC.
    query::OpenQuery(*m_rsShared,
                     "select mprf,deph,verf,relf,cusf from qzmap100 where verf = '" +
                         SqlText(vers) + "' and relf='" + SqlText(rele) + "' and cusf= '" +
                         SqlText(cust) + "'",
                     getNewConnection());
    if (!m_rsShared->BOF() || !m_rsShared->EndOfFile()) {
      m_rsShared->Close();
      m_rsShared = nullptr;
      Refuse(profiles::kIsParentProfile, profiles::kIsParentProfileText);
      return kFalse;
    }

    for (const char* table : kRulesTables) {
      m_Conn->Execute("delete from " + String(table) + " where mprf=" + mprf);
    }
    m_Conn->Execute("delete from qzusr110 where mprf=cast(" + mprf + " as varbinary)");
    for (const char* table : kProfileTables) {
      m_Conn->Execute("delete from " + String(table) + " where mprf=" + mprf);
    }
    m_Conn->Execute("update qzusr100 set defa = cast(0 as int) where defa =  cast( " + mprf +
                    " as varbinary)");
    m_rsShared = nullptr;
    return kTrue;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return kFalse;
  }
}

}  // namespace migprof
