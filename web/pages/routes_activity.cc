// The activity log: every change made through the pages, the API or the
// tool, newest first, filtered by profile, account and date (all in the
// query string, so a filtered view is a link to share).
#include <ctime>
#include <map>

#include "app/account_admin.h"
#include "web/pages/pages.h"
#include "wire/activity_json.h"

namespace migprof::web {
namespace {

std::string Joined(const app::Arguments& arguments) {
  std::string out;
  for (const auto& [name, value] : arguments) {
    if (value.empty()) continue;
    out += (out.empty() ? "" : "; ") + name + " " + value;
  }
  return out;
}

void ActivityRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  app::ActivityFilter filter;
  Data data;
  std::vector<std::string> problems;
  const std::string profile = Param(req, "profile");
  const std::string user = Param(req, "user");
  const std::string since = Param(req, "since");
  const std::string until = Param(req, "until");
  if (!profile.empty()) {
    filter.mprf = ParseProfileNumber(profile);
    if (!filter.mprf) problems.push_back("The profile must be a profile number.");
  }
  filter.user = user;
  if (!since.empty() && !(filter.since = app::DayStart(since))) {
    problems.push_back("Dates are written YYYY-MM-DD.");
  }
  if (!until.empty()) {
    filter.before = app::DayStart(until);
    if (filter.before) {
      *filter.before += 24 * 3600;
    } else {
      problems.push_back("Dates are written YYYY-MM-DD.");
    }
  }
  const long page = PageNumber(req);
  const long long total = app::CountActivity(app.core, session->principal, filter);
  List entries;
  std::map<Integer, bool> exists;
  for (const app::ActivityEntry& entry :
       app::ListActivity(app.core, session->principal, filter, (page - 1) * kPageSize, kPageSize)) {
    Data e;
    e.set("when", wire::UtcText(entry.when));
    e.set("user", entry.user);
    e.set("user_url", "/activity?user=" + UrlEncode(entry.user));
    e.set("entry", app::EntryPointName(entry.entry));
    e.set("operation", entry.operation);
    e.set("has_profile", Flag(entry.mprf.has_value()));
    if (entry.mprf) {
      e.set("mprf", std::to_string(*entry.mprf));
      // A profile deleted since is linked to its activity, not to a page
      // that is gone.
      auto known = exists.find(*entry.mprf);
      if (known == exists.end()) {
        known = exists.emplace(*entry.mprf, FindProfile(app.db(), *entry.mprf).has_value()).first;
      }
      e.set("profile_url", known->second ? ProfileUrl(*entry.mprf)
                                         : "/activity?profile=" + std::to_string(*entry.mprf));
    }
    e.set("arguments", Joined(entry.arguments));
    const app::Outcome outcome = entry.outcome;
    e.set("outcome", app::OutcomeName(outcome));
    e.set("done", Flag(outcome == app::Outcome::kDone));
    e.set("refused", Flag(outcome == app::Outcome::kRefused));
    e.set("failed", Flag(outcome == app::Outcome::kFailed));
    e.set("forbidden", Flag(outcome == app::Outcome::kForbidden));
    e.set("message", entry.message);
    e.set("has_message", Flag(!entry.message.empty()));
    e.set("error_number", entry.error_number);
    e.set("has_error_number", Flag(!entry.error_number.empty() && entry.error_number != "0"));
    std::string rows;
    for (const auto& [table, count] : entry.rows) {
      rows += (rows.empty() ? "" : ", ") + table + " " + std::to_string(count);
    }
    e.set("rows", rows.empty() ? std::string("none") : rows);
    e.set("total_rows", std::to_string(entry.TotalRows()));
    entries.push_back(e);
  }
  data.set("entries", entries);
  data.set("has_entries", Flag(total > 0));
  data.set("total", std::to_string(total));
  data.set("profile", profile);
  data.set("user", user);
  data.set("since", since);
  data.set("until", until);
  std::string problem;
  for (const std::string& p : problems) problem += (problem.empty() ? "" : " ") + p;
  data.set("problem", problem);
  data.set("has_problem", Flag(!problem.empty()));
  SetPaging(data,
            "/activity?profile=" + UrlEncode(profile) + "&user=" + UrlEncode(user) +
                "&since=" + UrlEncode(since) + "&until=" + UrlEncode(until),
            page, total);
  std::vector<Crumb> crumbs{{"Activity", ""}};
  if (filter.mprf) {
    // A deleted profile keeps its activity but has no page to go back to.
    const bool exists = FindProfile(app.db(), *filter.mprf).has_value();
    crumbs = {{"Profiles", "/profiles"},
              {"Profile " + profile, exists ? ProfileUrl(*filter.mprf) : ""},
              {"Activity", ""}};
  }
  SendHtml(res, RenderPage(Frame(app, *session, "Activity", crumbs), "activity", data),
           problem.empty() ? 200 : 400);
}

}  // namespace

void AddActivityRoutes(httplib::Server& server, WebApp& app) {
  AddGet(server, app, "/activity", ActivityRoute);
}

}  // namespace migprof::web
