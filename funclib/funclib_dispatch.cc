// The function-library members in the late-bound call table.
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> FuncLibMembers() {
  using P = ParamType;
  return {
      {14,
       "Func_CopyToCurrentVRC",
       {{"i_IntSMPRF", P::kInteger},
        {"i_IntUMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrFname", P::kString},
        {"i_strUsrn", P::kString}},
       ResultType::kBoolean,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{
             Variant(object.Func_CopyToCurrentVRC(
                 args[0].AsInteger(), args[1].AsInteger(), args[2].AsString(), args[3].AsString(),
                 args[4].AsString(), args[5].AsString(), args[6].AsString())),
             nullptr};
       }},
      {15,
       "Func_Expire",
       {{"i_IntUMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrFname", P::kString},
        {"i_strUsrn", P::kString},
        {"i_bolExpireFlag", P::kBoolean}},
       ResultType::kBoolean,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{
             Variant(object.Func_Expire(args[0].AsInteger(), args[1].AsString(), args[2].AsString(),
                                        args[3].AsString(), args[4].AsString(), args[5].AsString(),
                                        Boolean(args[6].AsInteger()))),
             nullptr};
       }},
      {16,
       "Func_Delete",
       {{"i_IntUMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrFname", P::kString},
        {"i_strUsrn", P::kString}},
       ResultType::kBoolean,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{Variant(object.Func_Delete(args[0].AsInteger(), args[1].AsString(),
                                                  args[2].AsString(), args[3].AsString(),
                                                  args[4].AsString(), args[5].AsString())),
                       nullptr};
       }},
  };
}

}  // namespace migprof::dispatch
