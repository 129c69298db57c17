// The mapping-rule members in the late-bound call table.
#include "component/dispatch_bind.h"
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> MapRulesMembers() {
  using H = TOVRHandleMigProf;
  return {
      Bind(4, "CopyToCurrentVRC", &H::CopyToCurrentVRC, "i_IntSMPRF", "i_IntUMPRF", "i_StrVers",
           "i_StrRele", "i_StrCust", "i_StrTcpac", "i_StrTcmod", "i_StrTflno", "i_strUsrn",
           "i_StrPath", "i_StrChilds", "i_IntIsms"),
      Bind(11, "DeleteMapRules", &H::DeleteMapRules, "i_intMPRF", "i_StrVers", "i_StrRele",
           "i_StrCust", "i_StrTcpac", "i_StrTcmod", "i_StrTflno", "i_StrChilds", "i_IntIsms"),
      Bind(12, "DeleteData", &H::DeleteData, "i_StrSelect", "i_intMPRF", "i_StrVers", "i_StrRele",
           "i_StrCust"),
      Bind(13, "ExpireMapRules", &H::ExpireMapRules, "i_intMPRF", "i_StrVers", "i_StrRele",
           "i_StrCust", "i_StrTcpac", "i_StrTcmod", "i_StrTflno", "i_StrChilds", "i_IntIsms",
           "i_BolExpi"),
  };
}

}  // namespace migprof::dispatch
