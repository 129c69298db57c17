// The profile members in the late-bound call table.
#include "component/dispatch_bind.h"
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> ProfileMembers() {
  using H = TOVRHandleMigProf;
  return {
      Bind(5, "ValidateUser", &H::ValidateUser, "i_StrUserName", "i_intMPRF"),
      Bind(6, "InsertInMap100", &H::InsertInMap100, "i_intMPRF", "i_StrDesc", "i_StrSappl",
           "i_StrTappl", "i_StrVers", "i_StrRele", "i_StrCust", "i_StrDVRC", "i_StrSCME",
           "i_StrLapn", "i_StrOwnr", Optional{"i_StrDver"}, Optional{"i_StrDrel"},
           Optional{"i_StrDCus"}),
      Bind(7, "UpdateMap100", &H::UpdateMap100, "i_intMPRF", "i_StrDesc", "i_StrSCME", "i_StrVers",
           "i_StrRele", "i_StrCust", "i_StrLapn", "i_StrDVRC", "i_strUsrn", "i_StrPath",
           Optional{"i_StrDver"}, Optional{"i_StrDrel"}, Optional{"i_StrDCus"}),
      Bind(8, "DeleteMap100", &H::DeleteMap100, "i_intMPRF"),
      Bind(9, "GetUserOwnerProfiles", &H::GetUserOwnerProfiles, "i_strUsrn"),
      Bind(10, "GetOrvoOrLegacyProfiles", &H::GetOrvoOrLegacyProfiles, "i_StrMPRF",
           "i_BoolOrvoOrLeg"),
      Bind(17, "ValidateDerivation", &H::ValidateDerivation, "i_intMPRF", "i_intPPRF"),
  };
}

}  // namespace migprof::dispatch
