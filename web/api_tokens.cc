#include "web/api_tokens.h"

#include <ctime>
#include <functional>

#include "component/failure.h"
#include "web/store.h"
#include "web/tokens.h"

namespace migprof::web {
namespace {

// Runs body on the store of settings' database; a failure is a message on
// err and exit status 1.
int WithStore(const DbSettings& settings, const char* command, std::ostream& err,
              const std::function<int(Store&)>& body) {
  try {
    InitSodium();
    Db db(settings);
    EnsureWebTables(db);
    Store store(db);
    return body(store);
  } catch (...) {
    err << "migprof token " << command << ": " << CurrentFailure().description() << '\n';
    return 1;
  }
}

std::string UtcTime(long long seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

}  // namespace

int RunTokenAdd(const DbSettings& settings, const std::string& user, std::ostream& out,
                std::ostream& err) {
  return WithStore(settings, "add", err, [&](Store& store) {
    if (!store.PasswordHash(user)) {
      err << "migprof token add: there is no account " << user << "; add it with `migprof user add "
          << user << "` first\n";
      return 1;
    }
    auto [id, token] = store.NewApiToken(user);
    out << token << '\n'
        << "API token " << id << " of " << user
        << ": shown this once, keep it secret; send it as \"Authorization: Bearer <token>\"; "
           "`migprof token revoke "
        << id << "` ends it.\n";
    return 0;
  });
}

int RunTokenList(const DbSettings& settings, const std::string& user, std::ostream& out,
                 std::ostream& err) {
  return WithStore(settings, "list", err, [&](Store& store) {
    for (const ApiTokenRecord& token : store.ApiTokens(user)) {
      out << token.id << "  " << token.user << "  " << UtcTime(token.created) << " UTC\n";
    }
    return 0;
  });
}

int RunTokenRevoke(const DbSettings& settings, const std::string& id, std::ostream& out,
                   std::ostream& err) {
  return WithStore(settings, "revoke", err, [&](Store& store) {
    if (!store.RevokeApiToken(id)) {
      err << "migprof token revoke: there is no token " << id << '\n';
      return 1;
    }
    out << "API token " << id << " revoked.\n";
    return 0;
  });
}

}  // namespace migprof::web
