#include "web/http/request_checks.h"

#include <cctype>
#include <cstdlib>

namespace migprof::web {
namespace {

// "scheme://host:port/..." -> "host:port" (lower case); "" when text is not
// an absolute http(s) address.
std::string Authority(const std::string& text) {
  const std::size_t scheme = text.find("://");
  if (scheme == std::string::npos) return "";
  std::string name = text.substr(0, scheme);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name != "http" && name != "https") return "";
  std::string authority =
      text.substr(scheme + 3, text.find_first_of("/?#", scheme + 3) - (scheme + 3));
  if (authority.find('@') != std::string::npos) return "";
  for (char& c : authority) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return authority;
}

std::string WithoutPort(const std::string& authority) {
  if (!authority.empty() && authority.front() == '[') {
    return authority.substr(0, authority.find(']') + 1);
  }
  return authority.substr(0, authority.find(':'));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::size_t BodyLimitOf(const BodyLimits& limits, const std::string& path) {
  return path == "/api/v1/import" ? limits.import : limits.small;
}

std::optional<int> BodyRefusal(const BodyLimits& limits, const std::string& path,
                               const std::string& content_length, bool chunked) {
  if (chunked) return 411;
  if (content_length.empty()) return std::nullopt;
  if (content_length.size() > 19 ||
      content_length.find_first_not_of("0123456789") != std::string::npos) {
    return 400;
  }
  if (std::strtoull(content_length.c_str(), nullptr, 10) > BodyLimitOf(limits, path)) return 413;
  return std::nullopt;
}

bool IsChangingMethod(const std::string& method) {
  return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

bool FromOwnOrigin(const std::string& origin, const std::string& referer, const std::string& host,
                   bool compare_port) {
  std::string from;
  if (!origin.empty()) {
    from = Authority(origin);
  } else if (!referer.empty()) {
    from = Authority(referer);
  } else {
    return true;
  }
  std::string own = host;
  for (char& c : own) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (from.empty() || own.empty()) return false;
  return compare_port ? from == own : WithoutPort(from) == WithoutPort(own);
}

std::string SafeReturnPath(const std::string& next, const std::string& fallback) {
  if (next.size() < 1 || next.size() > 2000 || next[0] != '/') return fallback;
  if (next.size() > 1 && (next[1] == '/' || next[1] == '\\')) return fallback;
  for (std::size_t i = 0; i < next.size(); ++i) {
    const auto c = static_cast<unsigned char>(next[i]);
    if (c <= 0x20 || c >= 0x7f || c == '\\') return fallback;
    if (c == '%') {
      if (i + 2 >= next.size()) return fallback;
      const int high = HexValue(next[i + 1]), low = HexValue(next[i + 2]);
      if (high < 0 || low < 0) return fallback;
      const int decoded = high * 16 + low;
      if (decoded <= 0x20 || decoded >= 0x7f || decoded == '/' || decoded == '\\' ||
          decoded == '%') {
        return fallback;
      }
    }
  }
  return next;
}

}  // namespace migprof::web
