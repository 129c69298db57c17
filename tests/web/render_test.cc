// Pages from the embedded templates: values escaped, the component's messages
// through the allow-list of its tags, static files under their content hash.
#include "web/render.h"

#include <gtest/gtest.h>

#include "web/app.h"
#include "web/assets.h"
#include "web/sanitize.h"

namespace migprof::web {
namespace {

TEST(Assets, StaticFilesAreServedUnderTheirHash) {
  for (const char* name : {"bootstrap.min.css", "app.css", "app.js"}) {
    const Asset* asset = FindAsset(std::string("static/") + name);
    ASSERT_NE(asset, nullptr) << name;
    EXPECT_GT(asset->size, 0u);
    EXPECT_EQ(asset->hash.size(), 16u);
    EXPECT_EQ(StaticUrl(name), "/static/" + std::string(asset->hash) + "/" + name);
  }
  EXPECT_EQ(FindAsset("static/none.css"), nullptr);
}

TEST(RenderPage, EscapesDatabaseValuesEverywhere) {
  PageFrame frame;
  frame.title = "<title>";
  frame.user = "<b>eve</b>";
  frame.flash = "<img src=x onerror=alert(1)>";
  frame.crumbs = {{"<i>x</i>", "/a\"onmouseover=\"x"}, {"y", ""}};
  Data data;
  data.set("q", "\"><script>x</script>");
  data.set("kind_all", Flag(true));
  data.set("empty_database", Flag(false));
  const std::string html = RenderPage(frame, "profiles", data);
  EXPECT_EQ(html.find("<b>eve</b>"), std::string::npos);
  EXPECT_EQ(html.find("<img src=x"), std::string::npos);
  EXPECT_EQ(html.find("<script>x"), std::string::npos);
  EXPECT_EQ(html.find("\"onmouseover=\""), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;eve&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<script>"), std::string::npos) << "no inline script at all";
}

TEST(RenderPage, ComponentMessagesKeepOnlyTheirMarkup) {
  Outcome outcome{false, false, 101, "Kinds differ. <LI> Source <B>ORVA</B> <script>x()</script>"};
  Data data;
  data.set("outcome", OutcomeData(outcome));
  data.set("what", "Copying");
  data.set("back_url", "/profiles");
  const std::string html = RenderTemplate("member_failed", data);
  EXPECT_NE(html.find("<li> Source <b>ORVA</b> &lt;script&gt;x()&lt;/script&gt;"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("error 101"), std::string::npos);
  outcome.raised = true;
  outcome.number = -2147217900;
  data.set("outcome", OutcomeData(outcome));
  EXPECT_NE(RenderTemplate("member_failed", data).find("raised error -2147217900"),
            std::string::npos);
}

TEST(RenderTemplate, EveryTemplateParses) {
  for (const Asset& asset : Assets()) {
    std::string_view name = asset.name;
    if (name.rfind("templates/", 0) != 0) continue;
    name.remove_prefix(10);
    name.remove_suffix(9);  // ".mustache"
    EXPECT_NO_THROW(RenderTemplate(std::string(name), Data())) << name;
  }
}

TEST(SanitizeMessage, KeepsOnlyTheComponentsTagsAndEscapesTheRest) {
  const struct {
    const char* input;
    const char* expected;
  } cases[] = {{"Character <B> U </B> should", "Character <b> U </b> should"},
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
               {"<B", "&lt;B"}};
  for (const auto& c : cases) EXPECT_EQ(SanitizeMessage(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace migprof::web
