#include "web/http/request.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace migprof::web {

std::string Param(const httplib::Request& req, const std::string& name) {
  return req.has_param(name.c_str()) ? req.get_param_value(name.c_str()) : std::string();
}

long PageNumber(const httplib::Request& req) {
  std::string text = Param(req, "page");
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return 1;
  }
  return std::max(1L, std::stol(text));
}

std::optional<Integer> ParseProfileNumber(const std::string& text) {
  std::size_t begin = text.find_first_not_of(' ');
  std::size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  std::string digits = text.substr(begin, end - begin + 1);
  std::size_t i = digits[0] == '-' ? 1 : 0;
  if (i == digits.size() || digits.size() > 7) return std::nullopt;
  for (std::size_t k = i; k < digits.size(); ++k) {
    if (digits[k] < '0' || digits[k] > '9') return std::nullopt;
  }
  long value = std::stol(digits);
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<Integer>(value);
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
  std::string cookies = req.get_header_value("Cookie");
  const std::string key = name + "=";
  for (std::size_t at = cookies.find(key); at != std::string::npos;
       at = cookies.find(key, at + 1)) {
    if (at == 0 || cookies[at - 1] == ' ' || cookies[at - 1] == ';') {
      std::size_t end = cookies.find(';', at);
      return cookies.substr(at + key.size(),
                            end == std::string::npos ? end : end - at - key.size());
    }
  }
  return "";
}

namespace {

// Every value of a header, comma-joined (a proxy chain may send several).
std::string AllValues(const httplib::Request& req, const char* name) {
  std::string out;
  for (std::size_t i = 0, n = req.get_header_value_count(name); i < n; ++i) {
    if (!out.empty()) out += ", ";
    out += req.get_header_value(name, i);
  }
  return out;
}

}  // namespace

ClientView RequestClient(const TrustedProxies& proxies, const httplib::Request& req) {
  return SeeClient(proxies, req.remote_addr, AllValues(req, "X-Forwarded-For"),
                   AllValues(req, "X-Forwarded-Proto"));
}

std::string UrlEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", c);
      out += buffer;
    }
  }
  return out;
}

}  // namespace migprof::web
