// What every route shares: the database, the front end's tables, the
// component objects of the sessions and the job runner, with the helpers a
// route uses to sign a request in, check its CSRF token and answer.
#ifndef MIGPROF_WEB_APP_H_
#define MIGPROF_WEB_APP_H_

#include <httplib.h>

#include <optional>
#include <string>

#include "web/db.h"
#include "web/handles.h"
#include "web/jobs.h"
#include "web/reads.h"
#include "web/render.h"
#include "web/store.h"

namespace migprof::web {

class WebApp {
 public:
  explicit WebApp(DbSettings settings)
      : db(std::move(settings)), store(db), handles(db.settings()), jobs(db, store) {}

  Db db;
  Store store;
  HandlePool handles;
  JobRunner jobs;
};

inline constexpr const char* kSessionCookie = "mpsid";

// The signed-in session of the request, or nullopt after answering: a GET
// with a redirect to the sign-in page, a changing request with 403.
std::optional<SessionRecord> RequireSession(WebApp& app, const httplib::Request& req,
                                            httplib::Response& res);
// True when the request's "csrf" field matches the session's token;
// otherwise answers 403 and returns false.
bool CheckCsrf(WebApp& app, const SessionRecord& session, const httplib::Request& req,
               httplib::Response& res);

// The layout's frame for a signed-in page; takes the session's flash
// message.
PageFrame Frame(WebApp& app, const SessionRecord& session, std::string title,
                std::vector<Crumb> crumbs);
void SendHtml(httplib::Response& res, const std::string& html, int status = 200);
// Post/Redirect/Get: a 303 to url, with text as the next page's flash.
void RedirectWithFlash(WebApp& app, const SessionRecord& session, httplib::Response& res,
                       const std::string& url, const std::string& flash);
// A page saying what went wrong, for failures of data access.
void SendProblem(httplib::Response& res, int status, const std::string& title,
                 const std::string& detail);

// The profile whose number is the path's first group, or nullopt after
// answering 404.
std::optional<ProfileSummary> PathProfile(WebApp& app, const httplib::Request& req,
                                          httplib::Response& res);

// The session and the path's profile of a request about one profile. When
// the request cannot go on, `profile` is empty and the answer is sent: the
// sign-in redirect, a 403 for a changing request without the session's CSRF
// token, or the 404 of PathProfile.
struct ProfileRequest {
  std::optional<SessionRecord> session;
  std::optional<ProfileSummary> profile;
};
ProfileRequest OpenProfileRequest(WebApp& app, const httplib::Request& req, httplib::Response& res,
                                  bool changing);

// A route of the front end, registered with its app by AddGet/AddPost.
using Route = void (*)(WebApp&, const httplib::Request&, httplib::Response&);
void AddGet(httplib::Server& server, WebApp& app, const char* pattern, Route route);
void AddPost(httplib::Server& server, WebApp& app, const char* pattern, Route route);

// Rows per page of every paged list.
inline constexpr long kPageSize = 50;
// The request's page number (1 when missing or not a number).
long PageNumber(const httplib::Request& req);
// Page number, count and previous/next links of a paged list; base is a URL
// that already has a query string.
void SetPaging(Data& data, const std::string& base, long page, long long total);

// A form or query parameter ("" when missing).
std::string Param(const httplib::Request& req, const std::string& name);
// A profile number from text; nullopt when it is not a 16-bit whole number.
std::optional<Integer> ParseProfileNumber(const std::string& text);
// The outcome of a member as template data: ok, raised, number and the
// message through the allow-list.
Data OutcomeData(const Outcome& outcome);
// "12 Customer master" style label and "/profiles/12" link of a profile.
std::string ProfileUrl(Integer mprf);
// A URL query value.
std::string UrlEncode(const std::string& text);
// "?vers=..&rele=..&cust=.." for a VRC.
std::string VrcQuery(const Vrc& vrc);
// The VRC given by the request's vers, rele and cust, or fallback when none
// of the three is given.
Vrc RequestVrc(const httplib::Request& req, const Vrc& fallback);

void AddAuthRoutes(httplib::Server& server, WebApp& app);
void AddProfileRoutes(httplib::Server& server, WebApp& app);
void AddRuleRoutes(httplib::Server& server, WebApp& app);
void AddFunctionRoutes(httplib::Server& server, WebApp& app);
void AddJobRoutes(httplib::Server& server, WebApp& app);
void AddCompareRoutes(httplib::Server& server, WebApp& app);
void AddWhereUsedRoutes(httplib::Server& server, WebApp& app);
void AddRevisionRoutes(httplib::Server& server, WebApp& app);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_APP_H_
