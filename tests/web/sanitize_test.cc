#include "web/sanitize.h"

#include <gtest/gtest.h>

namespace migprof::web {
namespace {

struct Case {
  const char* input;
  const char* expected;
};

TEST(SanitizeMessage, KeepsOnlyTheComponentsTagsAndEscapesTheRest) {
  const Case cases[] = {
      {"Character <B> U </B> should", "Character <b> U </b> should"},
      {"profiles. <LI> Source", "profiles. <li> Source"},
      {"<li>a</LI>", "<li>a</li>"},
      // Attributes, blanks inside and other tags stay text.
      {"<B onclick=x>", "&lt;B onclick=x&gt;"},
      {"< B>", "&lt; B&gt;"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"Profile <B> 12 & 'x' \"y\"", "Profile <b> 12 &amp; &#39;x&#39; &quot;y&quot;</b>"},
      // A stray closing tag cannot end mark-up of the page around it.
      {"a</B>b", "ab"},
      {"<B><B>x</B>", "<b><b>x</b></b>"},
      {"", ""},
      {"<", "&lt;"},
      {"<B", "&lt;B"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SanitizeMessage(c.input), c.expected) << c.input;
  }
}

TEST(EscapeHtml, ReplacesEveryMarkupCharacter) {
  EXPECT_EQ(EscapeHtml("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(EscapeHtml("plain text"), "plain text");
}

}  // namespace
}  // namespace migprof::web
