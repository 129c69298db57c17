#include "profiles/config_mgt_standin.h"

#include "component/sql_text.h"
#include "migprof/com_error.h"

namespace migprof::profiles {

Variant ConfigMgtStandIn::Global_Undo_Check_Out(String&, Integer&, String&, String&, String&,
                                                String&) {
  return Variant(kTrue);
}

Variant ConfigMgtStandIn::Delete_Revisions(Integer&, String&, String&, String&, String&, String&) {
  return Variant(kTrue);
}

Variant ConfigMgtStandIn::Check_Check_Out(Integer& i_intMPRF) {
  if (!connection_ || connection_->State() != ado::adStateOpen) {
    throw ComError(errc::kConnectionInvalid, errtext::kConnectionInvalid);
  }
  auto rs = ado::Recordset::Create();
  rs->Open("select fnam from qzlib100 where mprf = " + SqlNumber(i_intMPRF) + " and stat = 'C'",
           connection_, ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
  if (rs->EndOfFile()) {
    rs->Close();
    err_description_.clear();
    return Variant(kTrue);
  }
  String function_name = rs->Fields().Item(Integer{0}).Value().ToString();
  rs->Close();
  err_description_ = "Function <B> " + function_name +
                     " </B> is checked out. Cannot change the development version of profile " +
                     SqlNumber(i_intMPRF) + ".";
  return Variant(kFalse);
}

std::shared_ptr<LateBoundObject> NewConfigMgtStandIn() {
  return std::make_shared<ConfigMgtStandIn>();
}

}  // namespace migprof::profiles
