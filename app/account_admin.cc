#include "app/account_admin.h"

#include "app/errors.h"
#include "app/members.h"
#include "app/secrets.h"

namespace migprof::app {
namespace {

void RequireAdministrator(Application& app, const Principal& principal, const char* operation,
                          const Arguments& arguments) {
  Require(app, principal, Operation::kManageAccounts, std::nullopt, operation, arguments);
}

Account RequireAccount(Application& app, const String& name) {
  std::optional<Account> account = app.accounts().Find(name);
  if (!account) throw NotFound("there is no account named \"" + name + "\"");
  return *account;
}

// Refuses a change that would leave no enabled administrator.
void KeepAnAdministrator(Application& app, const Account& account) {
  if (account.role == Role::kAdministrator && !account.disabled &&
      app.accounts().Administrators() <= 1) {
    throw Invalid("\"" + account.name +
                  "\" is the last enabled administrator; make another account an administrator "
                  "first");
  }
}

void RequirePassword(const String& password) {
  if (password.empty()) throw Invalid("the password must not be empty");
}

void Done(Application& app, const Principal& principal, const char* operation,
          const Arguments& arguments) {
  RecordChange(app, principal, operation, std::nullopt, arguments, Outcome::kDone, "", "", {});
}

}  // namespace

bool MayManageAccounts(const Principal& principal) {
  return Allowed(principal.role, Relation::kNone, Operation::kManageAccounts);
}

std::vector<Account> ListAccounts(Application& app, const Principal& principal) {
  Require(app, principal, Operation::kManageAccounts, std::nullopt, "list-accounts", {},
          /*record=*/false);
  return app.accounts().List();
}

Role AddAccount(Application& app, const Principal& principal, const String& name,
                const String& password, Role role) {
  const Arguments arguments{{"account", name}, {"role", RoleName(role)}};
  RequireAdministrator(app, principal, "add-account", arguments);
  RequirePassword(password);
  const Role given = app.accounts().Add(name, HashPassword(password), role);
  Done(app, principal, "add-account", {{"account", name}, {"role", RoleName(given)}});
  return given;
}

void ResetPassword(Application& app, const Principal& principal, const String& name,
                   const String& password) {
  const Arguments arguments{{"account", name}};
  RequireAdministrator(app, principal, "reset-password", arguments);
  RequirePassword(password);
  RequireAccount(app, name);
  app.accounts().SetPasswordHash(name, HashPassword(password));
  Done(app, principal, "reset-password", arguments);
}

void ChangeRole(Application& app, const Principal& principal, const String& name, Role role) {
  const Arguments arguments{{"account", name}, {"role", RoleName(role)}};
  RequireAdministrator(app, principal, "change-role", arguments);
  const Account account = RequireAccount(app, name);
  if (role != Role::kAdministrator) KeepAnAdministrator(app, account);
  app.accounts().SetRole(name, role);
  Done(app, principal, "change-role", arguments);
}

void SetDisabled(Application& app, const Principal& principal, const String& name, bool disabled) {
  const char* operation = disabled ? "disable-account" : "enable-account";
  const Arguments arguments{{"account", name}};
  RequireAdministrator(app, principal, operation, arguments);
  const Account account = RequireAccount(app, name);
  if (disabled) KeepAnAdministrator(app, account);
  app.accounts().SetDisabled(name, disabled);
  Done(app, principal, operation, arguments);
}

void RemoveAccount(Application& app, const Principal& principal, const String& name) {
  const Arguments arguments{{"account", name}};
  RequireAdministrator(app, principal, "remove-account", arguments);
  KeepAnAdministrator(app, RequireAccount(app, name));
  app.accounts().Remove(name);
  Done(app, principal, "remove-account", arguments);
}

long EndSessions(Application& app, const Principal& principal, const String& name) {
  const Arguments arguments{{"account", name}};
  RequireAdministrator(app, principal, "end-sessions", arguments);
  RequireAccount(app, name);
  const long ended = app.accounts().EndSessions(name);
  Done(app, principal, "end-sessions", {{"account", name}, {"ended", std::to_string(ended)}});
  return ended;
}

std::vector<ApiToken> ListTokens(Application& app, const Principal& principal, const String& user) {
  Require(app, principal, Operation::kManageAccounts, std::nullopt, "list-tokens", {},
          /*record=*/false);
  return app.accounts().Tokens(user);
}

std::pair<String, String> AddToken(Application& app, const Principal& principal,
                                   const String& user) {
  const Arguments arguments{{"account", user}};
  RequireAdministrator(app, principal, "add-token", arguments);
  RequireAccount(app, user);
  auto made = app.accounts().NewToken(user);
  Done(app, principal, "add-token", {{"account", user}, {"token", made.first}});
  return made;
}

void RevokeToken(Application& app, const Principal& principal, const String& id) {
  const Arguments arguments{{"token", id}};
  RequireAdministrator(app, principal, "revoke-token", arguments);
  if (!app.accounts().RevokeToken(id)) throw NotFound("there is no API token with the id " + id);
  Done(app, principal, "revoke-token", arguments);
}

std::vector<ActivityEntry> ListActivity(Application& app, const Principal&,
                                        const ActivityFilter& filter, long offset, long count) {
  return app.activity().List(filter, offset, count);
}

long long CountActivity(Application& app, const Principal&, const ActivityFilter& filter) {
  return app.activity().Count(filter);
}

long PruneActivity(Application& app, const Principal& principal, long days) {
  const Arguments arguments{{"days", std::to_string(days)}};
  RequireAdministrator(app, principal, "prune-activity", arguments);
  const long removed = app.activity().Prune(days);
  Done(app, principal, "prune-activity",
       {{"days", std::to_string(days)}, {"removed", std::to_string(removed)}});
  return removed;
}

}  // namespace migprof::app
