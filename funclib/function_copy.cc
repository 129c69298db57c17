// Func_CopyToCurrentVRC: copying a library function into the user's VRC.
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/sql_text.h"
#include "funclib/function_condition.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {

Boolean TOVRHandleMigProf::Func_CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF,
                                                 String i_StrVers, String i_StrRele,
                                                 String i_StrCust, String i_StrFname,
                                                 String /*i_strUsrn*/) {
  const ChangeScope change_scope(*this);
  try {
    auto target = ado::Recordset::Create();
    target->Open(
        "Select * from qzlib100 " +
            funclib::FunctionCondition(i_IntUMPRF, i_StrVers, i_StrRele, i_StrCust, i_StrFname),
        getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
    if (!target->EndOfFile() && !target->BOF()) {
      if (target->RecordCount() == 1) {
        err_description_ = "Function already exist in users VRC";
        return kFalse;
      }
      // Several rows of the same name: only a checked-out first row refuses;
      // otherwise the call succeeds without copying.
      if (funclib::IsText(target->Fields().Item("stat").Value(), "C")) {
        err_description_ = "Function is in checked out status.Can't copy to current VRC!";
        return kFalse;
      }
      return kTrue;
    }

    auto profile = ado::Recordset::Create();
    profile->Open("Select * from qzmap100 where mprf = " + SqlNumber(i_IntSMPRF),
                  getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                  ado::adCmdUnspecified);
    if (profile->EndOfFile() || profile->BOF()) return kTrue;

    // The source function lives in the source profile's own VRC.
    String vers = profile->Fields().Item("vers").Value().ToString();
    String rele = profile->Fields().Item("rele").Value().ToString();
    String cust = profile->Fields().Item("cust").Value().ToString();
    auto source = ado::Recordset::Create();
    source->Open("Select * from qzlib100 " +
                     funclib::FunctionCondition(i_IntSMPRF, vers, rele, cust, i_StrFname),
                 getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                 ado::adCmdUnspecified);

    auto insert = ado::Recordset::Create();
    insert->ActiveConnection(getNewConnection());
    insert->CursorType(ado::adOpenDynamic);
    insert->LockType(ado::adLockOptimistic);
    insert->Open("Select * from qzlib100", nullptr, ado::adOpenUnspecified, ado::adLockUnspecified,
                 ado::adCmdUnspecified);

    // Without a source row the first read from it fails and the row begun
    // here is abandoned with the cursor, never saved.
    ado::Fields row = insert->Fields();
    ado::Fields from = source->Fields();
    insert->AddNew();
    row.Item("mprf").Value(Variant(i_IntUMPRF));
    row.Item("vers").Value(Variant(i_StrVers));
    row.Item("rele").Value(Variant(i_StrRele));
    row.Item("cust").Value(Variant(i_StrCust));
    row.Item("fnam").Value(Variant(i_StrFname));
    row.Item("dsca").Value(from.Item("dsca").Value());
    row.Item("lurn").Value(from.Item("lurn").Value());
    row.Item("ldat").Value(from.Item("ldat").Value());
    row.Item("fdef").Value(from.Item("fdef").Value());
    row.Item("stat").Value(Variant(funclib::IsText(from.Item("stat").Value(), "N") ? "N" : "M"));
    row.Item("comt").Value(from.Item("comt").Value());
    insert->Update();
    return kTrue;
  } catch (...) {
    throw CurrentFailure();  // a ComError passes unchanged
  }
}

}  // namespace migprof
