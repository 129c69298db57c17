// Func_Delete: deleting a library function with its entries.
#include "component/change_lock.h"
#include "component/failure.h"
#include "funclib/function_condition.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {

Boolean TOVRHandleMigProf::Func_Delete(Integer i_IntUMPRF, String i_StrVers, String i_StrRele,
                                       String i_StrCust, String i_StrFname, String /*i_strUsrn*/) {
  const ChangeScope change_scope(*this);
  bool in_transaction = false;
  try {
    String condition =
        funclib::FunctionCondition(i_IntUMPRF, i_StrVers, i_StrRele, i_StrCust, i_StrFname);
    RefreshSessionConnection();

    auto status = ado::Recordset::Create();
    status->Open("Select stat from qzlib100 " + condition, getNewConnection(), ado::adOpenDynamic,
                 ado::adLockOptimistic, ado::adCmdUnspecified);
    if (!status->EndOfFile() && !status->BOF() &&
        funclib::IsText(status->Fields().Item("stat").Value(), "C")) {
      err_description_ = "Checked out function can not be deleted!";
      return kFalse;
    }
    status.reset();

    auto entries = ado::Recordset::Create();
    entries->Open("Select count(*) from qzlib105 " + condition, getNewConnection(),
                  ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    Long count = entries->Fields().Item(Integer{0}).Value().ToLong();
    entries.reset();

    if (count > 0) {
      m_Conn->BeginTrans();
      in_transaction = true;
      m_Conn->Execute("Delete from qzlib105 " + condition, nullptr, ado::adCmdUnspecified);
      m_Conn->Execute("Delete from qzlib100 " + condition, nullptr, ado::adCmdUnspecified);
      m_Conn->CommitTrans();
      in_transaction = false;
    } else {
      m_Conn->Execute("Delete from qzlib100 " + condition, nullptr, ado::adCmdUnspecified);
    }
    return kTrue;
  } catch (...) {
    ComError failure = CurrentFailure();
    if (in_transaction) {
      // The entries must never go without their function, nor the reverse:
      // whatever ran inside the transaction is undone. A failing rollback
      // leaves it to the connection's release, which rolls back as well.
      try {
        m_Conn->RollbackTrans();
      } catch (...) {
      }
    }
    RecordFailure(failure);
    return kFalse;
  }
}

}  // namespace migprof
