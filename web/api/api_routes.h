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

#include "web/http/web_app.h"

namespace migprof::web {

void AddApiRoutes(httplib::Server& server, WebApp& app);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_API_API_ROUTES_H_
