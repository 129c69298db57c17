// Checks made on a request before any route reads it: how large a body the
// route takes, whether a changing request comes from this server's own
// pages, and where a sign-in may send the browser back to.
#ifndef MIGPROF_WEB_HTTP_REQUEST_CHECKS_H_
#define MIGPROF_WEB_HTTP_REQUEST_CHECKS_H_

#include <cstddef>
#include <optional>
#include <string>

namespace migprof::web {

struct BodyLimits {
  // Member calls, previews, revision calls and forms.
  std::size_t small = 1 << 20;
  // An import (/api/v1/import) carries a whole profile.
  std::size_t import = 64 << 20;
};

// The body limit of the route at path.
std::size_t BodyLimitOf(const BodyLimits& limits, const std::string& path);

// Why a request's body is refused before it is read, as an HTTP status, or
// nullopt: 411 for a body without Content-Length (chunked), 400 for a
// Content-Length that is not a number, 413 for one over the route's limit.
// content_length is the header's value ("" when missing).
std::optional<int> BodyRefusal(const BodyLimits& limits, const std::string& path,
                               const std::string& content_length, bool chunked);

// True when method may change something (anything but GET, HEAD, OPTIONS).
bool IsChangingMethod(const std::string& method);

// True when a changing request may go on as far as its origin goes: its
// Origin header (or, without one, its Referer) names the host of the Host
// header; "null" and foreign origins do not. A request with neither header
// (a script, not a browser) passes. compare_port is false behind a proxy,
// which may pass on the host without the port the browser used.
bool FromOwnOrigin(const std::string& origin, const std::string& referer, const std::string& host,
                   bool compare_port);

// The address a sign-in returns to: next when it is a path of this server
// ("/profiles/3?tab=rules"), else fallback. Refused: anything not starting
// with one "/", backslashes, control characters and blanks, and percent
// escapes of those or of "/" (which some browsers and proxies undo).
std::string SafeReturnPath(const std::string& next, const std::string& fallback);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_REQUEST_CHECKS_H_
