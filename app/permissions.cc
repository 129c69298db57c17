#include "app/permissions.h"

#include <algorithm>
#include <iterator>

namespace migprof::app {
namespace {

using enum Role;
using enum Relation;
using enum Operation;

// Viewers read. Maintainers read every profile (deriving from a profile or
// copying from it is reading it), create profiles of their own and change
// what they own. Administrators may do everything, on every profile.
constexpr Permission kTable[] = {
    {kViewer, kNone, kRead},
    {kViewer, kOwner, kRead},
    {kViewer, kOther, kRead},

    {kMaintainer, kNone, kRead},
    {kMaintainer, kOwner, kRead},
    {kMaintainer, kOther, kRead},
    {kMaintainer, kNone, kCreateProfile},
    {kMaintainer, kOwner, kEditProfile},
    {kMaintainer, kOwner, kDeleteProfile},
    {kMaintainer, kOwner, kChangeRules},
    {kMaintainer, kOwner, kChangeFunctions},
    {kMaintainer, kOwner, kRevise},

    {kAdministrator, kNone, kRead},
    {kAdministrator, kOwner, kRead},
    {kAdministrator, kOther, kRead},
    {kAdministrator, kNone, kCreateProfile},
    {kAdministrator, kOwner, kEditProfile},
    {kAdministrator, kOther, kEditProfile},
    {kAdministrator, kOwner, kDeleteProfile},
    {kAdministrator, kOther, kDeleteProfile},
    {kAdministrator, kOwner, kChangeRules},
    {kAdministrator, kOther, kChangeRules},
    {kAdministrator, kOwner, kChangeFunctions},
    {kAdministrator, kOther, kChangeFunctions},
    {kAdministrator, kOwner, kRevise},
    {kAdministrator, kOther, kRevise},
    {kAdministrator, kNone, kImport},
    {kAdministrator, kNone, kManageAccounts},
    {kAdministrator, kNone, kRunStatements},
};

struct OperationText {
  const char* name;
  const char* words;
};
constexpr OperationText kOperationTexts[] = {
    {"read", "read"},
    {"create-profile", "create profiles"},
    {"edit-profile", "change"},
    {"delete-profile", "delete"},
    {"change-rules", "change the mapping rules of"},
    {"change-functions", "change the function library of"},
    {"revise", "check out or revise the rules and functions of"},
    {"import", "import profiles"},
    {"manage-accounts", "manage accounts"},
    {"run-statements", "run statements"},
};

}  // namespace

std::span<const Permission> PermissionTable() { return kTable; }

bool Allowed(Role role, Relation relation, Operation operation) {
  return std::any_of(std::begin(kTable), std::end(kTable), [&](const Permission& p) {
    return p.role == role && p.relation == relation && p.operation == operation;
  });
}

const char* OperationWords(Operation operation) {
  return kOperationTexts[static_cast<int>(operation)].words;
}

const char* OperationName(Operation operation) {
  return kOperationTexts[static_cast<int>(operation)].name;
}

}  // namespace migprof::app
