#include "app/identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "app/errors.h"

namespace migprof::app {

std::optional<Principal> SessionPrincipal(Application& app, const SessionRecord& session) {
  if (!app.accounts().Any()) return Principal{session.user, Role::kMaintainer, EntryPoint::kPage};
  std::optional<Account> account = app.accounts().Find(session.user);
  if (!account || account->disabled) return std::nullopt;
  return Principal{account->name, account->role, EntryPoint::kPage};
}

std::optional<Principal> TokenPrincipal(Application& app, const String& token) {
  std::optional<String> user = app.accounts().TokenUser(token);
  if (!user) return std::nullopt;
  std::optional<Account> account = app.accounts().Find(*user);
  if (!account || account->disabled) return std::nullopt;
  return Principal{account->name, account->role, EntryPoint::kApi};
}

Principal LocalPrincipal(Application& app, const String& name) {
  if (name.empty()) throw Unauthenticated("no user name to act as: give --as <name>");
  std::optional<Account> account = app.accounts().Find(name);
  if (!account) return Principal{name, Role::kAdministrator, EntryPoint::kCli};
  if (account->disabled) {
    throw Unauthenticated("the account \"" + name + "\" is disabled");
  }
  return Principal{account->name, account->role, EntryPoint::kCli};
}

Principal LocalReader(Application& app, const String& name) {
  if (name.empty()) return Principal{"", Role::kViewer, EntryPoint::kCli};
  return LocalPrincipal(app, name);
}

String DefaultLocalName() {
  if (const char* as = std::getenv("MIGPROF_AS"); as != nullptr && *as != '\0') return as;
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
    return entry->pw_name;
  }
  if (const char* user = std::getenv("USER"); user != nullptr) return user;
  return "";
}

}  // namespace migprof::app
