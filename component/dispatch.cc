#include "migprof/dispatch.h"

#include <algorithm>
#include <cctype>

#include "component/dispatch_bind.h"
#include "component/dispatch_tables.h"
#include "component/text/ascii.h"

namespace migprof::dispatch {
namespace {

using text::EqualsIgnoreCase;

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
  using H = TOVRHandleMigProf;
  return {
      Bind(1, "OpenConnection", &H::OpenConnection, "i_Conn"),
      Bind(2, "ErrDescription", &H::ErrDescription),
      Bind(3, "ErrorNumber", &H::ErrorNumber),
      Bind(18, "DatabaseServer", &H::DatabaseServer, "strParDBSERVER"),
      Bind(19, "DatabaseName", &H::DatabaseName, "strParDATABASE"),
      Bind(20, "DatabaseUser", &H::DatabaseUser, "strParDBUSER"),
      Bind(21, "DatabasePassword", &H::DatabasePassword, "strParDBPASSWORD"),
      Bind(22, "getNewConnection", &H::getNewConnection),
  };
}

}  // namespace migprof::dispatch
