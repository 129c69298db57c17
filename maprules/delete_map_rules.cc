// DeleteMapRules and DeleteData: removing the mapping rules of a profile and
// VRC for a selection of tables.
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/sql_text.h"
#include "maprules/select_statement.h"
#include "maprules/table_selection.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {
namespace {

// "{verb} {table} where mprf = {mprf} and vers='...' and rele='...' and
// cust='...' and" followed directly by the filter's own leading blank.
String RuleStatement(const char* verb, const char* table, Integer mprf, const String& vers,
                     const String& rele, const String& cust, const String& filter) {
  return String(verb) + " " + table + " where mprf = " + SqlNumber(mprf) + " and vers='" +
         SqlText(vers) + "' and rele='" + SqlText(rele) + "' and cust='" + SqlText(cust) + "' and" +
         filter;
}

}  // namespace

void TOVRHandleMigProf::DeleteMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele,
                                       String i_StrCust, String i_StrTcpac, String i_StrTcmod,
                                       String i_StrTflno, String i_StrChilds, Boolean i_IntIsms) {
  const ChangeScope change_scope(*this);
  try {
    const maprules::TableSelection selection =
        maprules::BuildTableSelection(i_IntIsms, i_StrTcpac, i_StrTcmod, i_StrTflno, i_StrChilds);
    auto statement = [&](const char* verb, const char* table, const String& filter) {
      return RuleStatement(verb, table, i_intMPRF, i_StrVers, i_StrRele, i_StrCust, filter);
    };
    if (selection.multi_table) {
      RefreshSessionConnection();
      for (const char* table : {"qzmap170", "qzmap175"}) {
        m_Conn->Execute(statement("delete", table, selection.relation_filter), nullptr,
                        ado::adCmdUnspecified);
      }
    }
    for (const char* table :
         {"qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145"}) {
      DeleteData(statement("select * from", table, selection.table_filter), i_intMPRF, i_StrVers,
                 i_StrRele, i_StrCust);
    }
    RefreshSessionConnection();
    for (const char* table : {"qzmap160", "qzmap165", "qzmap110"}) {
      m_Conn->Execute(statement("delete", table, selection.table_filter), nullptr,
                      ado::adCmdUnspecified);
    }
  } catch (...) {
    throw CurrentFailure();  // a ComError passes unchanged
  }
}

void TOVRHandleMigProf::DeleteData(String i_StrSelect, Integer /*i_intMPRF*/, String /*i_StrVers*/,
                                   String /*i_StrRele*/, String /*i_StrCust*/) {
  const ChangeScope change_scope(*this);
  try {
    // Opening a cursor on a statement that yields no rows would run it, so
    // anything but one select is refused before it reaches the database.
    if (!maprules::IsSingleSelectStatement(i_StrSelect)) {
      throw ComError(errc::kInvalidArgument, errtext::kSelectStatementOnly);
    }
    m_rsWork = ado::Recordset::Create();
    m_rsWork->Open(i_StrSelect, getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                   ado::adCmdUnspecified);
    while (!m_rsWork->EndOfFile()) {
      m_rsWork->Delete(ado::adAffectCurrent);
      m_rsWork->MoveNext();
    }
  } catch (...) {
    throw CurrentFailure();  // a ComError passes unchanged
  }
}

}  // namespace migprof
