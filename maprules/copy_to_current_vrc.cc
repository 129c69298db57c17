// CopyToCurrentVRC: the checks that guard the copy and the order of its
// stages.
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/sql_text.h"
#include "maprules/rule_copy_context.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {

Boolean TOVRHandleMigProf::CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF,
                                            String i_StrVers, String i_StrRele, String i_StrCust,
                                            String i_StrTcpac, String i_StrTcmod, String i_StrTflno,
                                            String i_strUsrn, Variant /*i_StrPath*/,
                                            String i_StrChilds, Boolean i_IntIsms) {
  const ChangeScope change_scope(*this);
  try {
    maprules::RuleCopyContext context;
    context.source_mprf = i_IntSMPRF;
    context.target_mprf = i_IntUMPRF;
    context.target_vers = i_StrVers;
    context.target_rele = i_StrRele;
    context.target_cust = i_StrCust;
    context.main_table = maprules::TableCode{i_StrTcpac, i_StrTcmod, i_StrTflno};
    context.user_name = i_strUsrn;

    // Every call starts with cursors of its own; those of the previous call
    // are released here.
    m_rsShared = ado::Recordset::Create();
    m_rsTableRules = ado::Recordset::Create();
    m_rsSourceTables = ado::Recordset::Create();
    m_rsFieldRules = ado::Recordset::Create();
    m_rsRelations = ado::Recordset::Create();
    m_rsWork = ado::Recordset::Create();
    context.local_cursor = ado::Recordset::Create();

    // Only the main table is checked in the target, in list mode too.
    m_rsTableRules->Open(
        "select * from qzmap120 where mprf =" + SqlNumber(i_IntUMPRF) + "and vers ='" +
            SqlText(i_StrVers) + "'and rele = '" + SqlText(i_StrRele) + "'and cust ='" +
            SqlText(i_StrCust) + "' and tcpac ='" + SqlText(i_StrTcpac) + "'and tcmod ='" +
            SqlText(i_StrTcmod) + "'and tflno = '" + SqlText(i_StrTflno) + "'",
        getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    bool target_empty = m_rsTableRules->BOF() && m_rsTableRules->EndOfFile();
    m_rsTableRules->Close();
    if (!target_empty) {
      err_description_ = "Record Already Exists With the User Profile";
      return kFalse;
    }

    m_rsShared->Open(" select * from qzmap100 where mprf = " + SqlNumber(i_IntSMPRF),
                     getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                     ado::adCmdUnspecified);
    if (m_rsShared->BOF() || m_rsShared->EndOfFile()) {
      err_description_ = "Profile Does Not Exist";
      return kFalse;
    }
    context.source_vers = m_rsShared->Fields().Item("vers").Value().ToString();
    context.source_rele = m_rsShared->Fields().Item("rele").Value().ToString();
    context.source_cust = m_rsShared->Fields().Item("cust").Value().ToString();
    m_rsShared->Close();

    context.selection =
        maprules::BuildTableSelection(i_IntIsms, i_StrTcpac, i_StrTcmod, i_StrTflno, i_StrChilds);

    if (context.selection.multi_table) CopyTableRelations(context);
    if (!CopyTableRules(context)) {
      err_description_ = "No Record Exists for the Source Profile";
      return kFalse;
    }
    CopySourceTableRules(context);
    err_description_.clear();
    if (!CheckFieldDomains(context)) return kFalse;
    CopyFieldRules(context);
    CopyFunctionRules(context);
    return kTrue;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return kFalse;
  }
}

}  // namespace migprof
