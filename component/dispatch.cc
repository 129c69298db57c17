#include "migprof/dispatch.h"

#include <algorithm>
#include <cctype>

#include "component/dispatch_tables.h"

namespace migprof::dispatch {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The member lists of the areas of the component.
std::vector<Member> (*const kAreas[])() = {&FrameMembers, &FuncLibMembers, &MapRulesMembers,
                                           &ProfileMembers};

std::vector<Member> AllMembers() {
  std::vector<Member> all;
  for (auto* area : kAreas) {
    std::vector<Member> more = area();
    all.insert(all.end(), more.begin(), more.end());
  }
  std::sort(all.begin(), all.end(),
            [](const Member& a, const Member& b) { return a.position < b.position; });
  return all;
}

}  // namespace

const std::vector<Member>& Members() {
  static const std::vector<Member> members = AllMembers();
  return members;
}

const Member* FindMember(std::string_view name) {
  for (const Member& member : Members()) {
    if (EqualsIgnoreCase(member.name, name)) return &member;
  }
  return nullptr;
}

Variant CoerceArgument(const Variant& value, ParamType type) {
  switch (type) {
    case ParamType::kInteger:
    case ParamType::kBoolean:
      return Variant(value.ToInteger());
    case ParamType::kString:
      return Variant(value.ToString());
    case ParamType::kVariant:
      return value;
    case ParamType::kConnection:
      if (value.IsEmpty() || value.IsNull()) return Variant();
      RaiseTypeMismatch();
  }
  RaiseTypeMismatch();
}

std::vector<Member> FrameMembers() {
  using P = ParamType;
  auto setting = [](int position, const char* name, const char* param,
                    void (TOVRHandleMigProf::*setter)(String)) {
    return Member{position,
                  name,
                  {{param, P::kString}},
                  ResultType::kNone,
                  [setter](TOVRHandleMigProf& object, std::vector<Variant>& args) {
                    (object.*setter)(args[0].AsString());
                    return Result{};
                  }};
  };
  return {
      {1,
       "OpenConnection",
       {{"i_Conn", P::kConnection}},
       ResultType::kNone,
       [](TOVRHandleMigProf& object, std::vector<Variant>&) {
         object.OpenConnection(nullptr);
         return Result{};
       }},
      {2,
       "ErrDescription",
       {},
       ResultType::kString,
       [](TOVRHandleMigProf& object, std::vector<Variant>&) {
         return Result{Variant(object.ErrDescription()), nullptr};
       }},
      {3,
       "ErrorNumber",
       {},
       ResultType::kDouble,
       [](TOVRHandleMigProf& object, std::vector<Variant>&) {
         return Result{Variant(object.ErrorNumber()), nullptr};
       }},
      setting(18, "DatabaseServer", "strParDBSERVER", &TOVRHandleMigProf::DatabaseServer),
      setting(19, "DatabaseName", "strParDATABASE", &TOVRHandleMigProf::DatabaseName),
      setting(20, "DatabaseUser", "strParDBUSER", &TOVRHandleMigProf::DatabaseUser),
      setting(21, "DatabasePassword", "strParDBPASSWORD", &TOVRHandleMigProf::DatabasePassword),
      {22,
       "getNewConnection",
       {},
       ResultType::kConnection,
       [](TOVRHandleMigProf& object, std::vector<Variant>&) {
         return Result{Variant(), object.getNewConnection()};
       }},
  };
}

}  // namespace migprof::dispatch
