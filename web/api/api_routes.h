// The HTTP API for scripts, under /api/v1/: the component's members (each
// call on a new object, so an answer is that call's alone), previews,
// revision control, the insight views, the activity log, and the OpenAPI
// document describing them. A request acts as the account of its token; the
// user argument of a member must name that account. Requests authenticate with an API token
// of an account ("Authorization: Bearer <token>", `migprof token add`), never
// with the browser's session cookie, so they need no CSRF token. Every
// answer is JSON; a refused request changes nothing.
#ifndef MIGPROF_WEB_API_API_ROUTES_H_
#define MIGPROF_WEB_API_API_ROUTES_H_

#include <httplib.h>

#include <optional>

#include "web/http/web_app.h"

namespace migprof::web {

// The principal of the request's API token, or nullopt after answering 401.
// Only the Authorization header counts: a browser's session cookie is never
// looked at.
std::optional<app::Principal> RequireToken(WebApp& app, const httplib::Request& req,
                                           httplib::Response& res);

void AddApiRoutes(httplib::Server& server, WebApp& app);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_API_API_ROUTES_H_
