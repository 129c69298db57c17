// Who acts: every request of every entry point acts as one principal, an
// account name with its role, and is recorded with the entry point it came
// through.
#ifndef MIGPROF_APP_PRINCIPAL_H_
#define MIGPROF_APP_PRINCIPAL_H_

#include <optional>
#include <string_view>

#include "migprof/automation.h"

namespace migprof::app {

// What an account may do: a viewer reads; a maintainer also creates profiles
// and changes the ones it owns; an administrator manages accounts and may
// act on any profile.
enum class Role { kViewer, kMaintainer, kAdministrator };

// Where a request came from.
enum class EntryPoint { kPage, kApi, kCli };

struct Principal {
  String name;
  Role role = Role::kViewer;
  EntryPoint entry = EntryPoint::kCli;
};

// "viewer", "maintainer", "administrator".
const char* RoleName(Role role);
// The role of a name RoleName gives; nullopt for any other text.
std::optional<Role> ParseRole(std::string_view text);
// "page", "api", "cli".
const char* EntryPointName(EntryPoint entry);
std::optional<EntryPoint> ParseEntryPoint(std::string_view text);

}  // namespace migprof::app

#endif  // MIGPROF_APP_PRINCIPAL_H_
