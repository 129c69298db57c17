// Reading a request: its form and query fields, the page of a list it asks
// for, a profile number, cookies and the bearer token, and the URL encoding
// of values put into links.
#ifndef MIGPROF_WEB_HTTP_REQUEST_H_
#define MIGPROF_WEB_HTTP_REQUEST_H_

#include <httplib.h>

#include <optional>
#include <string>

#include "migprof/automation.h"
#include "web/http/network.h"

namespace migprof::web {

// Rows per page of every paged list.
inline constexpr long kPageSize = 50;

// A form or query parameter ("" when missing).
std::string Param(const httplib::Request& req, const std::string& name);
// The request's page number (1 when missing or not a number).
long PageNumber(const httplib::Request& req);
// A profile number from text; nullopt when it is not a 16-bit whole number.
std::optional<Integer> ParseProfileNumber(const std::string& text);
// The value of the cookie name ("" when the request has none).
std::string CookieValue(const httplib::Request& req, const std::string& name);
// Who sent req, through proxies (see SeeClient).
ClientView RequestClient(const TrustedProxies& proxies, const httplib::Request& req);
// A URL query value.
std::string UrlEncode(const std::string& text);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_REQUEST_H_
