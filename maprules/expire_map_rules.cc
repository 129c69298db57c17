// ExpireMapRules: marking table rules expired ("X") or reinstated ("M").
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/sql_text.h"
#include "maprules/table_selection.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {

void TOVRHandleMigProf::ExpireMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele,
                                       String i_StrCust, String i_StrTcpac, String i_StrTcmod,
                                       String i_StrTflno, String i_StrChilds, Boolean i_IntIsms,
                                       Boolean i_BolExpi) {
  const ChangeScope change_scope(*this);
  try {
    // A profile under revision control keeps its rules in its development
    // VRC, which then replaces the VRC passed in; the first row wins.
    auto development = ado::Recordset::Create();
    development->Open("select * from qzmap105 where mprf = " + SqlNumber(i_intMPRF),
                      getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                      ado::adCmdUnspecified);
    if (!development->BOF() && !development->EndOfFile()) {
      i_StrVers = development->Fields().Item(String("dver")).Value().ToString();
      i_StrRele = development->Fields().Item(String("drel")).Value().ToString();
      i_StrCust = development->Fields().Item(String("dcus")).Value().ToString();
    }
    development->Close();

    const maprules::TableSelection selection =
        maprules::BuildTableSelection(i_IntIsms, i_StrTcpac, i_StrTcmod, i_StrTflno, i_StrChilds);
    // The expiry opens its group of terms even when the list has no entry,
    // so an empty list ends the statement in "and ()" rather than "and)".
    const String filter =
        selection.multi_table && selection.tables.empty() ? String(" ()") : selection.table_filter;
    const String statement =
        String(i_BolExpi.IsTrue() ? "update qzmap120 set stat = 'X' where mprf = "
                                  : "update qzmap120 set stat = 'M' where mprf = ") +
        SqlNumber(i_intMPRF) + " and vers='" + SqlText(i_StrVers) + "' and rele='" +
        SqlText(i_StrRele) + "' and cust='" + SqlText(i_StrCust) + "' and" + filter;
    RefreshSessionConnection();
    m_Conn->Execute(statement, nullptr, ado::adCmdUnspecified);
  } catch (...) {
    throw CurrentFailure();  // a ComError passes unchanged
  }
}

}  // namespace migprof
