// `migprof token add|list|revoke`: the API tokens scripts authenticate with.
#ifndef MIGPROF_WEB_API_TOKENS_H_
#define MIGPROF_WEB_API_TOKENS_H_

#include <ostream>
#include <string>

#include "web/db.h"

namespace migprof::web {

// Prints a new token of the account user once, with its id; only its hash is
// kept. Refuses an account that does not exist.
int RunTokenAdd(const DbSettings& db, const std::string& user, std::ostream& out,
                std::ostream& err);
// One line per token ("<id>  <user>  <created, UTC>"), of user or of every
// account when user is empty.
int RunTokenList(const DbSettings& db, const std::string& user, std::ostream& out,
                 std::ostream& err);
// Revokes the token with this id: requests carrying it are refused from now.
int RunTokenRevoke(const DbSettings& db, const std::string& id, std::ostream& out,
                   std::ostream& err);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_API_TOKENS_H_
