#include "wire/activity_json.h"

#include <ctime>

namespace migprof::wire {

String UtcText(long long seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

Json ActivityJson(const app::ActivityEntry& entry) {
  Json arguments = Json::object();
  for (const auto& [name, value] : entry.arguments) arguments[name] = value;
  Json rows = Json::object();
  for (const auto& [table, count] : entry.rows) rows[table] = count;
  return Json{{"id", entry.id},
              {"when", UtcText(entry.when)},
              {"user", entry.user},
              {"entry", app::EntryPointName(entry.entry)},
              {"operation", entry.operation},
              {"mprf", entry.mprf ? Json(*entry.mprf) : Json(nullptr)},
              {"arguments", std::move(arguments)},
              {"outcome", app::OutcomeName(entry.outcome)},
              {"errorNumber", entry.error_number},
              {"message", entry.message},
              {"rows", std::move(rows)},
              {"totalRows", entry.TotalRows()}};
}

Json AccountJson(const app::Account& account) {
  return Json{{"name", account.name},
              {"role", app::RoleName(account.role)},
              {"disabled", account.disabled},
              {"sessions", account.sessions},
              {"tokens", account.tokens}};
}

Json TokenJson(const app::ApiToken& token) {
  return Json{{"id", token.id}, {"user", token.user}, {"created", UtcText(token.created)}};
}

}  // namespace migprof::wire
