// The front end's HTML output on any text. Escaped text holds no character
// that mark-up needs. A sanitised message holds no '<' but those of the four
// allowed tags and of the one list around its items, no attribute can ride
// on them, and its bold and its list are balanced at every point, so the
// message cannot change the page around it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "web/pages/sanitize.h"

namespace web = migprof::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string escaped = web::EscapeHtml(input);
  FUZZ_CHECK(escaped.find_first_of("<>\"'") == std::string::npos);

  const std::string html = web::SanitizeMessage(input);
  FUZZ_CHECK(html.find_first_of("\"'") == std::string::npos);
  int open_bold = 0, lists = 0, open_list = 0;
  std::size_t tags = 0;
  for (std::size_t i = html.find('<'); i != std::string::npos; i = html.find('<', i + 1)) {
    const std::string_view rest = std::string_view(html).substr(i);
    ++tags;
    if (rest.starts_with("<b>")) {
      ++open_bold;
    } else if (rest.starts_with("</b>")) {
      FUZZ_CHECK(--open_bold >= 0);
    } else if (rest.starts_with("<ul>")) {
      FUZZ_CHECK(++lists == 1 && ++open_list == 1);
    } else if (rest.starts_with("</ul>")) {
      FUZZ_CHECK(--open_list == 0 && i + 5 == html.size());
    } else {
      FUZZ_CHECK((rest.starts_with("<li>") || rest.starts_with("</li>")) && open_list == 1);
    }
  }
  // Every '>' closes one of those tags.
  FUZZ_CHECK(static_cast<std::size_t>(std::count(html.begin(), html.end(), '>')) == tags);
  FUZZ_CHECK(open_bold == 0 && open_list == 0);
  return 0;
}
