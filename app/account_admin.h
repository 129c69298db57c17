// Managing accounts, for administrators: add, disable and enable, change the
// role, reset the password, end the sessions, remove, and the API tokens.
// Each change is recorded (never with a password). The last enabled
// administrator cannot be disabled, demoted or removed, so that someone can
// always manage the accounts.
#ifndef MIGPROF_APP_ACCOUNT_ADMIN_H_
#define MIGPROF_APP_ACCOUNT_ADMIN_H_

#include <utility>
#include <vector>

#include "app/application.h"

namespace migprof::app {

// Each raises Forbidden (recorded) unless principal is an administrator,
// Invalid for a request that cannot be made, NotFound for an account or
// token that does not exist.
std::vector<Account> ListAccounts(Application& app, const Principal& principal);
// The first account of a database is an administrator whatever role says;
// returns the role it got.
Role AddAccount(Application& app, const Principal& principal, const String& name,
                const String& password, Role role);
void ResetPassword(Application& app, const Principal& principal, const String& name,
                   const String& password);
void ChangeRole(Application& app, const Principal& principal, const String& name, Role role);
void SetDisabled(Application& app, const Principal& principal, const String& name,
                 bool disabled);
void RemoveAccount(Application& app, const Principal& principal, const String& name);
// Returns how many sessions ended.
long EndSessions(Application& app, const Principal& principal, const String& name);

std::vector<ApiToken> ListTokens(Application& app, const Principal& principal, const String& user);
// The id and the token (shown once).
std::pair<String, String> AddToken(Application& app, const Principal& principal,
                                   const String& user);
void RevokeToken(Application& app, const Principal& principal, const String& id);

// The activity log: every principal may read it; pruning it is for
// administrators (recorded).
std::vector<ActivityEntry> ListActivity(Application& app, const Principal& principal,
                                        const ActivityFilter& filter, long offset, long count);
long long CountActivity(Application& app, const Principal& principal,
                        const ActivityFilter& filter);
long PruneActivity(Application& app, const Principal& principal, long days);

// Whether principal may manage accounts (to offer the Accounts page).
bool MayManageAccounts(const Principal& principal);

}  // namespace migprof::app

#endif  // MIGPROF_APP_ACCOUNT_ADMIN_H_
