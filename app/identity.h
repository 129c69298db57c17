// Who acts, decided once for each kind of request: a browser session, an API
// token, or the local user of the tool.
#ifndef MIGPROF_APP_IDENTITY_H_
#define MIGPROF_APP_IDENTITY_H_

#include <optional>

#include "app/application.h"
#include "app/principal.h"

namespace migprof::app {

// The principal of a signed-in session. With accounts, the session's account
// must exist and be enabled, and acts with its role. Without accounts (a
// server on loopback, signed in by name alone) a session acts as a
// maintainer, so that each name changes only what it owns. nullopt when the
// session no longer stands for anyone (its account was removed or disabled).
std::optional<Principal> SessionPrincipal(Application& app, const SessionRecord& session);

// The principal of an API token; nullopt when the token is unknown or
// revoked, or its account is disabled.
std::optional<Principal> TokenPrincipal(Application& app, const String& token);

// The local user of the tool, acting as name: whoever may open the database
// holds it, so a name that is no account acts as an administrator; a name that
// is an account acts with the account's role. Raises Unauthenticated for a
// disabled account or an empty name.
Principal LocalPrincipal(Application& app, const String& name);

// The local user of the tool for a command that only reads (history, diff,
// compare, export...): as LocalPrincipal, but with no name to act as a
// viewer without a name, since the permission table lets every role read
// and a read records nobody.
Principal LocalReader(Application& app, const String& name);

// The name the tool acts as when not told: $MIGPROF_AS, else the login name
// of the process's user.
String DefaultLocalName();

}  // namespace migprof::app

#endif  // MIGPROF_APP_IDENTITY_H_
