// What every page route shares: finding who signed in, checking the form's
// CSRF token, what the principal may do with a profile, and answering with a
// page, a redirect or a problem.
#ifndef MIGPROF_WEB_PAGES_PAGES_H_
#define MIGPROF_WEB_PAGES_PAGES_H_

#include <httplib.h>

#include <optional>
#include <string>

#include "app/errors.h"
#include "app/members.h"
#include "app/reads.h"
#include "web/http/request.h"
#include "web/http/web_app.h"
#include "web/pages/render.h"

namespace migprof::web {

// The pages speak the application layer's types.
using app::Forbidden;
using app::FunctionDetail;
using app::Level;
using app::LibraryFunction;
using app::MemberOutcome;
using app::Principal;
using app::ProfileSummary;
using app::Row;
using app::SessionRecord;
using app::TableKey;
using app::TableRuleSummary;
using app::Vrc;

// A signed-in request: its session (CSRF token, flash) and who acts.
struct SignedIn {
  SessionRecord session;
  Principal principal;
};

inline constexpr const char* kSessionCookie = "mpsid";

// The signed-in session of the request and who acts, or nullopt after
// answering: a GET with a redirect to the sign-in page, a changing request
// with 403. A session whose account was removed or disabled has ended.
std::optional<SignedIn> RequireSession(WebApp& app, const httplib::Request& req,
                                       httplib::Response& res);
// Forgets whom the previous request on this thread was shown to (the
// problem page's navigation bar); the server calls it as each request
// begins.
void ForgetViewer();
// True when the request's "csrf" field matches the session's token;
// otherwise answers 403 and returns false.
bool CheckCsrf(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
               httplib::Response& res);

// The layout's frame for a signed-in page; takes the session's flash
// message.
PageFrame Frame(WebApp& app, const SignedIn& signed_in, std::string title,
                std::vector<Crumb> crumbs);
void SendHtml(httplib::Response& res, const std::string& html, int status = 200);
// Post/Redirect/Get: a 303 to url, with text as the next page's flash.
void RedirectWithFlash(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                       const std::string& url, const std::string& flash);
// Post/Redirect/Get after a change the component refused: a 303 to url (a
// page that can be shown again, such as the change's preview), whose flash
// shows the component's message through the allow-list with its number.
void RedirectWithFailure(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& url, const MemberOutcome& outcome);
// The same for a refusal of the page or the application layer (no number).
void RedirectWithRefusal(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& url, const std::string& message);
// Post/Redirect/Get after an applied change, saying what it did: success
// with the rows it changed ("done; 3 rows changed: Table rules 1, Field
// rules 2"), a warning when it changed no row, and a failure (back to
// failure_url) when the component refused.
void RedirectWithOutcome(WebApp& app, const SignedIn& signed_in, httplib::Response& res,
                         const std::string& done_url, const std::string& done,
                         const std::string& failure_url, const MemberOutcome& outcome);
// "3 rows changed: Table rules 1, Field rules 2" ("" for no row).
std::string RowsText(const app::RowCounts& rows);
// "1 table" / "3 tables" style counts.
std::string Count(long long n, const std::string& one, const std::string& many);
// A query string ("a=1&b=x") of the request's fields other than its CSRF
// token and the control fields of a preview and Apply.
std::string ChangeQuery(const httplib::Request& req);

// The profile chooser of a form, searched and paged on the server: the
// request's find= text (number or description) and find_page=, with up to
// kPickerSize matching profiles other than exclude, each linking to
// link_prefix + its number. Rendered by the {{>chooser}} partial.
inline constexpr long kPickerSize = 20;
Data ProfilePicker(WebApp& app, const httplib::Request& req, const std::string& link_prefix,
                   std::optional<Integer> exclude);

// Which VRC a change of profile's rules or functions acts on, in words:
// "VRC 1_0_C of profile 12". With development_first (expiry, which works
// in the development VRC of a profile under revision control) and a
// development VRC, that VRC, saying that vrc itself is left alone.
std::string ActsOn(WebApp& app, const ProfileSummary& profile, const Vrc& vrc,
                   bool development_first);

// A page saying what went wrong, for failures of data access.
void SendProblem(httplib::Response& res, int status, const std::string& title,
                 const std::string& detail);
// The 403 page of a change the principal may not make; nothing was changed.
void SendForbidden(httplib::Response& res, const Forbidden& refusal);

// What the principal may do with one profile, for offering only the
// buttons that work.
struct ProfileRights {
  bool owner = false;
  bool edit = false;
  bool remove = false;
  bool rules = false;
  bool functions = false;
  bool revise = false;
};
ProfileRights RightsOn(WebApp& app, const Principal& principal, Integer mprf);
// The rights as template data: may_edit, may_delete, may_rules,
// may_functions, may_revise, owned.
void SetRights(Data& data, const ProfileRights& rights);

// The profile whose number is the path's first group, or nullopt after
// answering 404.
std::optional<ProfileSummary> PathProfile(WebApp& app, const httplib::Request& req,
                                          httplib::Response& res);

// The session and the path's profile of a request about one profile. When
// the request cannot go on, `profile` is empty and the answer is sent: the
// sign-in redirect, a 403 for a changing request without the session's CSRF
// token, or the 404 of PathProfile.
struct ProfileRequest {
  std::optional<SignedIn> session;
  std::optional<ProfileSummary> profile;
};
ProfileRequest OpenProfileRequest(WebApp& app, const httplib::Request& req, httplib::Response& res,
                                  bool changing);

// A route of the front end, registered with its app by AddGet/AddPost.
using Route = void (*)(WebApp&, const httplib::Request&, httplib::Response&);
void AddGet(httplib::Server& server, WebApp& app, const char* pattern, Route route);
void AddPost(httplib::Server& server, WebApp& app, const char* pattern, Route route);

// Page number, count and previous/next links of a paged list; base is a URL
// that already has a query string.
void SetPaging(Data& data, const std::string& base, long page, long long total);

// The outcome of a member as template data: ok, raised, number and the
// message through the allow-list.
Data OutcomeData(const MemberOutcome& outcome);
// A refusal of the page itself (no member was called) as OutcomeData.
Data RefusalData(const std::string& message);
// A database value as a page shows it: NULL, text, a date, 0x<hex> for
// binary data, a number.
std::string CellText(const Variant& value);
// "/profiles/12", the link of a profile.
std::string ProfileUrl(Integer mprf);
// The page of one table rule ("/profiles/12/rules/table?vers=..&table=..").
std::string TableUrl(Integer mprf, const Vrc& vrc, const TableKey& key);
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
void AddCoverageRoutes(httplib::Server& server, WebApp& app);
void AddRevisionRoutes(httplib::Server& server, WebApp& app);
void AddAccountRoutes(httplib::Server& server, WebApp& app);
void AddActivityRoutes(httplib::Server& server, WebApp& app);
void AddLibraryRoutes(httplib::Server& server, WebApp& app);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_PAGES_H_
