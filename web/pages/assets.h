// The files the server carries inside its binary: page templates, our
// stylesheet and script, and Bootstrap's stylesheet.
#ifndef MIGPROF_WEB_PAGES_ASSETS_H_
#define MIGPROF_WEB_PAGES_ASSETS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace migprof::web {

struct Asset {
  std::string_view name;          // "templates/layout.mustache", "static/app.js"
  std::string_view content_type;  // for static files
  std::string_view hash;          // 16 hex digits of the content's SHA-256
  const unsigned char* data;
  std::size_t size;

  std::string_view Text() const { return {reinterpret_cast<const char*>(data), size}; }
};

// Every embedded file (generated at build time).
const std::vector<Asset>& Assets();

// The file called name, or nullptr.
const Asset* FindAsset(std::string_view name);

// The URL of static file name ("app.js"): "/static/<hash>/app.js", so that a
// changed file gets a new URL and old ones can be cached for good.
std::string StaticUrl(std::string_view name);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_ASSETS_H_
