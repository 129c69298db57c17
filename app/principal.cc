#include "app/principal.h"

namespace migprof::app {
namespace {

constexpr const char* kRoleNames[] = {"viewer", "maintainer", "administrator"};
constexpr const char* kEntryNames[] = {"page", "api", "cli"};

}  // namespace

const char* RoleName(Role role) { return kRoleNames[static_cast<int>(role)]; }

std::optional<Role> ParseRole(std::string_view text) {
  for (int i = 0; i < 3; ++i) {
    if (text == kRoleNames[i]) return static_cast<Role>(i);
  }
  return std::nullopt;
}

const char* EntryPointName(EntryPoint entry) { return kEntryNames[static_cast<int>(entry)]; }

std::optional<EntryPoint> ParseEntryPoint(std::string_view text) {
  for (int i = 0; i < 3; ++i) {
    if (text == kEntryNames[i]) return static_cast<EntryPoint>(i);
  }
  return std::nullopt;
}

}  // namespace migprof::app
