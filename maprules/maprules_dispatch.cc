// The mapping-rule members in the late-bound call table.
#include "component/dispatch_tables.h"

namespace migprof::dispatch {

std::vector<Member> MapRulesMembers() {
  using P = ParamType;
  return {
      {4,
       "CopyToCurrentVRC",
       {{"i_IntSMPRF", P::kInteger},
        {"i_IntUMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrTcpac", P::kString},
        {"i_StrTcmod", P::kString},
        {"i_StrTflno", P::kString},
        {"i_strUsrn", P::kString},
        {"i_StrPath", P::kVariant},
        {"i_StrChilds", P::kString},
        {"i_IntIsms", P::kBoolean}},
       ResultType::kBoolean,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         return Result{
             Variant(object.CopyToCurrentVRC(
                 args[0].AsInteger(), args[1].AsInteger(), args[2].AsString(), args[3].AsString(),
                 args[4].AsString(), args[5].AsString(), args[6].AsString(), args[7].AsString(),
                 args[8].AsString(), args[9], args[10].AsString(), Boolean(args[11].AsInteger()))),
             nullptr};
       }},
      {11,
       "DeleteMapRules",
       {{"i_intMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrTcpac", P::kString},
        {"i_StrTcmod", P::kString},
        {"i_StrTflno", P::kString},
        {"i_StrChilds", P::kString},
        {"i_IntIsms", P::kBoolean}},
       ResultType::kNone,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         object.DeleteMapRules(args[0].AsInteger(), args[1].AsString(), args[2].AsString(),
                               args[3].AsString(), args[4].AsString(), args[5].AsString(),
                               args[6].AsString(), args[7].AsString(),
                               Boolean(args[8].AsInteger()));
         return Result{};
       }},
      {12,
       "DeleteData",
       {{"i_StrSelect", P::kString},
        {"i_intMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString}},
       ResultType::kNone,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         object.DeleteData(args[0].AsString(), args[1].AsInteger(), args[2].AsString(),
                           args[3].AsString(), args[4].AsString());
         return Result{};
       }},
      {13,
       "ExpireMapRules",
       {{"i_intMPRF", P::kInteger},
        {"i_StrVers", P::kString},
        {"i_StrRele", P::kString},
        {"i_StrCust", P::kString},
        {"i_StrTcpac", P::kString},
        {"i_StrTcmod", P::kString},
        {"i_StrTflno", P::kString},
        {"i_StrChilds", P::kString},
        {"i_IntIsms", P::kBoolean},
        {"i_BolExpi", P::kBoolean}},
       ResultType::kNone,
       [](TOVRHandleMigProf& object, std::vector<Variant>& args) {
         object.ExpireMapRules(args[0].AsInteger(), args[1].AsString(), args[2].AsString(),
                               args[3].AsString(), args[4].AsString(), args[5].AsString(),
                               args[6].AsString(), args[7].AsString(), Boolean(args[8].AsInteger()),
                               Boolean(args[9].AsInteger()));
         return Result{};
       }},
  };
}

}  // namespace migprof::dispatch
