// Pages from the embedded mustache templates: a page's own template renders
// into the layout, which adds the navigation, breadcrumbs and flash message.
#ifndef MIGPROF_WEB_PAGES_RENDER_H_
#define MIGPROF_WEB_PAGES_RENDER_H_

#include <kainjow/mustache.hpp>
#include <string>
#include <utility>
#include <vector>

namespace migprof::web {

using Data = kainjow::mustache::data;
using List = kainjow::mustache::list;

// A mustache truth value.
inline Data Flag(bool value) {
  return Data(value ? Data::type::bool_true : Data::type::bool_false);
}

struct Crumb {
  std::string label;
  std::string href;  // empty for the current page
};

// What the layout needs besides the page's body.
struct PageFrame {
  std::string title;
  std::string user;  // empty when nobody is signed in
  std::string role;  // the signed-in account's role
  bool administrator = false;
  std::string csrf;
  std::string flash;                   // the message, as text
  std::string flash_html;              // or a component's message, sanitized mark-up
  std::string flash_kind = "success";  // success, warning (nothing changed) or danger
  std::string flash_number;            // the error number of a failure, when it has one
  std::vector<Crumb> crumbs;
  std::string refresh_url;  // a meta refresh to this URL when not empty
};

// Renders templates/<name>.mustache with data. Values go through the
// template's {{...}} escaping; only {{{...}}} fields (sanitised messages)
// are inserted as they are. Raises std::runtime_error for an unknown
// template or one that does not parse.
std::string RenderTemplate(const std::string& name, const Data& data);

// The text of templates/<name>.mustache ("" when there is none), for
// partials.
std::string TemplateSource(const std::string& name);

// The whole page: body template name with data, inside the layout.
std::string RenderPage(const PageFrame& frame, const std::string& name, Data data);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_RENDER_H_
