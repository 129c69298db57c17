// The profile members in the late-bound call table.
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> ProfileMembers() {
  using P = ParamType;
  auto boolean_result = [](Boolean value) { return Result{Variant(value), nullptr}; };
  return {
      {5,
       "ValidateUser",
       {{"i_StrUserName", P::kString}, {"i_intMPRF", P::kString}},
       ResultType::kBoolean,
       [boolean_result](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return boolean_result(object.ValidateUser(args[0].AsString(), args[1].AsString()));
       }},
      {6,
       "InsertInMap100",
       {{"i_intMPRF", P::kInteger},
        {"i_StrDesc", P::kString},
        {"i_StrSappl", P::kString},
        {"i_StrTappl", P::kString},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrDVRC", P::kString},
        {"i_StrSCME", P::kString},
        {"i_StrLapn", P::kString},
        {"i_StrOwnr", P::kString},
        {"i_StrDver", P::kString, false, true},
        {"i_StrDrel", P::kString, false, true},
        {"i_StrDCus", P::kString, false, true}},
       ResultType::kBoolean,
       [boolean_result](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return boolean_result(object.InsertInMap100(
             args[0].AsInteger(), args[1].AsString(), args[2].AsString(), args[3].AsString(),
             args[4].AsString(), args[5].AsString(), args[6].AsString(), args[7].AsString(),
             args[8].AsString(), args[9].AsString(), args[10].AsString(), args[11].AsString(),
             args[12].AsString(), args[13].AsString()));
       }},
      {7,
       "UpdateMap100",
       {{"i_intMPRF", P::kInteger},
        {"i_StrDesc", P::kString},
        {"i_StrSCME", P::kString},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrLapn", P::kString},
        {"i_StrDVRC", P::kString},
        {"i_strUsrn", P::kString},
        {"i_StrPath", P::kString},
        {"i_StrDver", P::kString, false, true},
        {"i_StrDrel", P::kString, false, true},
        {"i_StrDCus", P::kString, false, true}},
       ResultType::kBoolean,
       [boolean_result](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return boolean_result(object.UpdateMap100(
             args[0].AsInteger(), args[1].AsString(), args[2].AsString(), args[3].AsString(),
             args[4].AsString(), args[5].AsString(), args[6].AsString(), args[7].AsString(),
             args[8].AsString(), args[9].AsString(), args[10].AsString(), args[11].AsString(),
             args[12].AsString()));
       }},
      {8,
       "DeleteMap100",
       {{"i_intMPRF", P::kInteger}},
       ResultType::kBoolean,
       [boolean_result](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return boolean_result(object.DeleteMap100(args[0].AsInteger()));
       }},
      {9,
       "GetUserOwnerProfiles",
       {{"i_strUsrn", P::kString}},
       ResultType::kString,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{Variant(object.GetUserOwnerProfiles(args[0].AsString())), nullptr};
       }},
      {10,
       "GetOrvoOrLegacyProfiles",
       {{"i_StrMPRF", P::kString}, {"i_BoolOrvoOrLeg", P::kBoolean}},
       ResultType::kString,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{Variant(object.GetOrvoOrLegacyProfiles(args[0].AsString(),
                                                              Boolean(args[1].AsInteger()))),
                       nullptr};
       }},
      {17,
       "ValidateDerivation",
       {{"i_intMPRF", P::kInteger, true}, {"i_intPPRF", P::kInteger, true}},
       ResultType::kBoolean,
       [boolean_result](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         Integer mprf = args[0].AsInteger();
         Integer pprf = args[1].AsInteger();
         Boolean result = object.ValidateDerivation(mprf, pprf);
         args[0] = Variant(mprf);
         args[1] = Variant(pprf);
         return boolean_result(result);
       }},
  };
}

}  // namespace migprof::dispatch
