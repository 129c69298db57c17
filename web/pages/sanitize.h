// HTML output of values: plain escaping for everything read from the
// database, and an allow-list for the component's messages, which carry
// <B> and <LI> mark-up and may quote database values.
#ifndef MIGPROF_WEB_PAGES_SANITIZE_H_
#define MIGPROF_WEB_PAGES_SANITIZE_H_

#include <string>
#include <string_view>

namespace migprof::web {

// text with &, <, >, " and ' replaced by character references.
std::string EscapeHtml(std::string_view text);

// A component message as HTML: the tags <B>, </B>, <LI> and </LI> (any
// letter case, no attributes, no blanks inside) become <b>, </b>, <li> and
// </li>; everything else is escaped. The first <li> opens a <ul>, closed at
// the end, so that the items are a list. Bold left open at the end is
// closed, and a stray </B> or </LI> is dropped, so a message cannot change
// the rest of the page.
std::string SanitizeMessage(std::string_view message);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_SANITIZE_H_
