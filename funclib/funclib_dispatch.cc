// The function-library members in the late-bound call table.
#include "component/dispatch_bind.h"
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> FuncLibMembers() {
  using H = TOVRHandleMigProf;
  return {
      Bind(14, "Func_CopyToCurrentVRC", &H::Func_CopyToCurrentVRC, "i_IntSMPRF", "i_IntUMPRF",
           "i_StrVers", "i_StrRele", "i_StrCust", "i_StrFname", "i_strUsrn"),
      Bind(15, "Func_Expire", &H::Func_Expire, "i_IntUMPRF", "i_StrVers", "i_StrRele", "i_StrCust",
           "i_StrFname", "i_strUsrn", "i_bolExpireFlag"),
      Bind(16, "Func_Delete", &H::Func_Delete, "i_IntUMPRF", "i_StrVers", "i_StrRele", "i_StrCust",
           "i_StrFname", "i_strUsrn"),
  };
}

}  // namespace migprof::dispatch
