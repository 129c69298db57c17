// The HTML pages as a maintainer meets them: the table page reached from the
// rules list, previews that are GET pages and say which VRC a change acts
// on, outcomes that say what changed, and the copy that warns of tables the
// target already holds; a refused save or check-in shows what is stored; a
// copy whose server was killed reads as failed.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "migprof/handle_mig_prof.h"
#include "served_estate.h"

namespace migprof::testing {
namespace {

class PagesTest : public ServedEstate {
 protected:
  httplib::Result Get(const std::string& path) const {
    return Client().Get(path, {{"Cookie", "mpsid=" + cookies_.at("adam")}});
  }
  // The first href of body that matches pattern, unescaped.
  static std::string Link(const std::string& body, const std::string& pattern) {
    std::smatch found;
    if (!std::regex_search(body, found, std::regex("href=\"(" + pattern + ")\""))) return "";
    return std::regex_replace(found[1].str(), std::regex("&amp;"), "&");
  }
};

TEST_F(PagesTest, EveryTableCodeLinksToItsTablePageInEitherSpelling) {
  const std::string rules = Get("/profiles/100/rules?vers=V10&rele=R1&cust=STD")->body;
  const std::string link = Link(rules, "/profiles/100/rules/table[^\"]*orsls400");
  ASSERT_FALSE(link.empty()) << rules;
  EXPECT_NE(rules.find(">or sls 400</a>"), std::string::npos);
  const std::string base = "/profiles/100/rules/table?vers=V10&rele=R1&cust=STD&";
  struct {
    std::string path;
    int status;
  } cases[] = {{link, 200},
               {base + "table=or%20sls%20400", 200},
               {base + "table=%20orsls400%20", 200},
               {base + "tcpac=or&tcmod=sls&tflno=400", 200},
               {base + "table=orsls", 404},
               {base + "table=or%20sl%20400", 404},
               {base + "tcpac=or&tcmod=sl&tflno=s400", 404},
               {base + "table=orsls999", 404}};
  for (const auto& c : cases) {
    httplib::Result res = Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    if (c.status != 200) continue;
    // The table rule with its field rules, functions, history and actions.
    for (const char* part : {"Table or sls 400", "ORDHDR.ORNO", "conv_date", "id=\"rule-history\"",
                             "id=\"rule-revisions\"", "id=\"table-actions\""}) {
      EXPECT_NE(res->body.find(part), std::string::npos) << c.path << ": " << part;
    }
  }
  // The profile page lists derived profiles and counts in the singular.
  const std::string profile = Get("/profiles/110")->body;
  EXPECT_NE(profile.find("href=\"/profiles/120\""), std::string::npos);
  EXPECT_NE(Get("/profiles/120")->body.find(">1 table</a>"), std::string::npos);
}

// The tree: each standard profile with two levels of derived profiles, and
// below the last level how many more there are, linked to the profile page.
TEST_F(PagesTest, TheTreeShowsTwoLevelsOfDerivedProfilesAndCountsTheRest) {
  TOVRHandleMigProf object;
  db_.Configure(object);
  const std::string sapp = db_.Value("select sapp from qzmap100 where mprf = 120");
  const std::string tapp = db_.Value("select tapp from qzmap100 where mprf = 120");
  ASSERT_TRUE(object
                  .InsertInMap100(130, "Fourth level", sapp, tapp, "V13U", "R1", "X",
                                  "V10U_R1_ACMENL", "N", "app", "adam")
                  .IsTrue())
      << object.ErrorNumber() << " " << object.ErrDescription();
  const std::string tree = Get("/profiles")->body;
  EXPECT_TRUE(std::regex_search(
      tree, std::regex("data-mprf=\"100\"[^]*?<ul class=\"tree\"><li>[^<]*<a [^>]*data-mprf="
                       "\"110\"[^]*?<ul class=\"tree\"><li>[^<]*<a [^>]*data-mprf=\"120\"[^]*?"
                       "href=\"/profiles/120#derived-heading\">1 more derived profile</a>")))
      << tree;
  EXPECT_NE(tree.find("3 standard profiles of 6 profiles"), std::string::npos) << tree;
  // "Your profiles": what the component lists for adam, in its order, 130
  // among them although the tree does not reach it.
  const std::string own = tree.substr(tree.find("id=\"own-profiles\""));
  std::string shown;
  const std::regex link("href=\"/profiles/(\\d+)\"");
  for (auto it = std::sregex_iterator(own.begin(), own.begin() + own.find("</ul>"), link);
       it != std::sregex_iterator(); ++it) {
    shown += (*it)[1].str() + "~";
  }
  EXPECT_EQ(shown, object.GetUserOwnerProfiles("adam") + "~");
  EXPECT_EQ(shown.substr(0, 4), "130~");
  EXPECT_EQ(tree.find("data-mprf=\"130\""), std::string::npos);
}

TEST_F(PagesTest, WhereUsedPagesPastTheEndSayWhereTheListEnds) {
  // or sls 400 is used by three profiles: one page of them.
  const std::string first = Get("/where-used?table=or%20sls%20400")->body;
  for (const char* mprf : {"100", "110", "120"}) {
    EXPECT_NE(first.find("data-mprf=\"" + std::string(mprf) + "\""), std::string::npos) << mprf;
  }
  const std::string past = Get("/where-used?table=or%20sls%20400&page=3")->body;
  EXPECT_NE(past.find("past the end of the list: 3 profiles and VRCs"), std::string::npos) << past;
  EXPECT_EQ(past.find("No profile holds rules"), std::string::npos);
  EXPECT_NE(Get("/where-used?table=zz%20zzz%20999")->body.find("No profile holds rules"),
            std::string::npos);
}

TEST_F(PagesTest, WhereUsedRowsNameTheirProfileAndLinkOnlyTablesWithARule) {
  // Each row: the profile's own description, and a link to the table page
  // exactly when the profile and VRC hold a table rule of it (not when the
  // table is only a source or a link there).
  const std::regex row(
      R"re(data-mprf="(\d+)"><strong>\d+</strong> ([^<]*)</a></td><td>(<a href="[^"]*">)?([^<]+)<)re");
  int rows = 0;
  int linked = 0;
  struct Table {
    const char* pac;
    const char* mod;
    const char* flno;
  };
  for (const Table& table : {Table{"or", "sls", "400"}, Table{"or", "cus", "100"},
                             Table{"or", "itm", "001"}, Table{"qz", "tbl", "ORDHDR"}}) {
    const std::string code = std::string(table.pac) + " " + table.mod + " " + table.flno;
    const std::string body =
        Get("/where-used?table=" + std::regex_replace(code, std::regex(" "), "%20"))->body;
    for (auto it = std::sregex_iterator(body.begin(), body.end(), row);
         it != std::sregex_iterator(); ++it) {
      const std::string mprf = (*it)[1];
      ++rows;
      EXPECT_EQ((*it)[2].str(), db_.Value("select dsca from qzmap100 where mprf = " + mprf))
          << code << " " << mprf;
      const std::string vrc = (*it)[4];
      const std::string vers = vrc.substr(0, vrc.find('_'));
      const std::string rules =
          db_.Value("select count(*) from qzmap120 where mprf = " + mprf + " and vers = '" + vers +
                    "' and tcpac = '" + table.pac + "' and tcmod = '" + table.mod +
                    "' and tflno = '" + table.flno + "'");
      const bool link = (*it)[3].matched;
      linked += link;
      EXPECT_EQ(link, rules != "0") << code << " " << mprf << " " << vrc;
    }
  }
  EXPECT_GT(rows, linked) << "no row without a table rule was seen";
  EXPECT_GT(linked, 0);
}

TEST_F(PagesTest, PreviewsAreGetPagesAndOutcomesSayWhatChanged) {
  const std::vector<std::string> before = Rows();
  const httplib::Params expire = {{"action", "expire"},
                                  {"table", "oritm001"},
                                  {"vers", "V10"},
                                  {"rele", "R1"},
                                  {"cust", "STD"}};
  // A posted form without apply=yes answers with the GET preview's address.
  httplib::Result posted = Page("adam", "/profiles/100/rules/action", expire);
  ASSERT_TRUE(posted);
  ASSERT_EQ(posted->status, 303);
  const std::string preview = posted->get_header_value("Location");
  EXPECT_EQ(preview.rfind("/profiles/100/rules/action?", 0), 0u) << preview;
  EXPECT_EQ(preview.find("csrf"), std::string::npos);
  // Profile 100 is under revision control: expiry works in V11_R1_STD,
  // which holds no rule for oritm001, so nothing would change.
  httplib::Result shown = Get(preview);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->status, 200);
  EXPECT_NE(shown->body.find("acts on VRC V11_R1_STD of profile 100"), std::string::npos);
  EXPECT_EQ(shown->body.find("id=\"apply-form\""), std::string::npos) << "no Apply for nothing";
  EXPECT_EQ(Rows(), before) << "a preview changes nothing";

  // Applied anyway, the outcome says that nothing changed.
  httplib::Params apply = expire;
  apply.emplace("apply", "yes");
  httplib::Result applied = Page("adam", "/profiles/100/rules/action", apply);
  ASSERT_TRUE(applied);
  ASSERT_EQ(applied->status, 303);
  std::string next = Get(applied->get_header_value("Location"))->body;
  EXPECT_NE(next.find("data-kind=\"warning\""), std::string::npos) << next;
  EXPECT_NE(next.find("Nothing changed"), std::string::npos);

  // Deleting a table's rules: the preview offers Apply, the outcome counts
  // the rows per table; the same deletion again changes nothing.
  const httplib::Params remove = {
      {"table", "oritm001"}, {"vers", "V10"}, {"rele", "R1"}, {"cust", "STD"}, {"apply", "yes"}};
  EXPECT_NE(Get("/profiles/100/rules/delete?vers=V10&rele=R1&cust=STD&table=or%20itm%20001")
                ->body.find("id=\"apply-form\""),
            std::string::npos);
  struct {
    const char* kind;
    const char* says;
  } rounds[] = {{"success", "rows changed: Table rules 1"}, {"warning", "Nothing changed"}};
  for (const auto& round : rounds) {
    httplib::Result done = Page("adam", "/profiles/100/rules/delete", remove);
    ASSERT_TRUE(done);
    ASSERT_EQ(done->status, 303);
    next = Get(done->get_header_value("Location"))->body;
    EXPECT_NE(next.find(std::string("data-kind=\"") + round.kind + "\""), std::string::npos)
        << next;
    EXPECT_NE(next.find(round.says), std::string::npos) << next;
  }
}

TEST_F(PagesTest, ACopyPreviewNamesTablesTheTargetHoldsAndOffersToLeaveThemOut) {
  const std::string preview =
      "/profiles/110/copy/preview?vers=V10U&rele=R1&cust=ACME&source=100&table=oritm001"
      "&table=or%20sls%20400";
  httplib::Result shown = Get(preview);
  ASSERT_TRUE(shown);
  ASSERT_EQ(shown->status, 200);
  EXPECT_NE(shown->body.find("1 selected table already holds rules in VRC V10U_R1_ACME: or sls "
                             "400"),
            std::string::npos)
      << shown->body;
  const std::string narrower = Link(shown->body, "/profiles/110/copy/preview[^\"]*");
  ASSERT_FALSE(narrower.empty());
  EXPECT_NE(narrower.find("table=oritm001"), std::string::npos);
  EXPECT_EQ(narrower.find("orsls400"), std::string::npos);
  httplib::Result left = Get(narrower);
  ASSERT_TRUE(left);
  EXPECT_EQ(left->body.find("preview-notices"), std::string::npos);
  EXPECT_NE(left->body.find("id=\"apply-form\""), std::string::npos) << left->body;
  // The preview's plan speaks in words, not in column names.
  EXPECT_NE(left->body.find(">Field rules</a>"), std::string::npos);
  EXPECT_EQ(left->body.find(">qzmap140</a>"), std::string::npos);
}

// A finished copy's page says how many rows it wrote, table by table, as the
// activity log records them.
TEST_F(PagesTest, AFinishedCopySaysTheRowsItWrotePerTable) {
  httplib::Result started = Page("adam", "/profiles/110/copy",
                                 {{"vers", "V10U"},
                                  {"rele", "R1"},
                                  {"cust", "ACME"},
                                  {"source", "100"},
                                  {"table", "oritm001"},
                                  {"apply", "yes"}});
  ASSERT_TRUE(started);
  ASSERT_EQ(started->status, 303);
  const std::string location = started->get_header_value("Location");
  ASSERT_EQ(location.rfind("/jobs/", 0), 0u) << location;
  std::optional<app::JobRecord> job;
  for (int i = 0; i < 3000 && (!job || job->state == "running"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    job = app_->jobs.Find(location.substr(6), "adam");
  }
  ASSERT_TRUE(job);
  ASSERT_EQ(job->state, "done") << job->error_description;
  const std::string fields = db_.Value(
      "select count(*) from qzmap140 where mprf = 110 and tcpac = 'or' and tcmod = 'itm'");
  EXPECT_EQ(job->rows.at("qzmap120"), 1);
  EXPECT_EQ(std::to_string(job->rows.at("qzmap140")), fields);
  EXPECT_EQ(job->rows, app_->core.activity().List({}, 0, 1).at(0).rows);
  const std::string page = Get(location)->body;
  EXPECT_NE(page.find("Table rules 1"), std::string::npos) << page;
  EXPECT_NE(page.find("Field rules " + fields), std::string::npos);
}

// mona checks out a function of her profile, adam takes it over, and her
// save and her check-in are refused: the page is read-only then and shows
// the stored definition, not the text she sent.
TEST_F(PagesTest, ARefusedSaveOrCheckInShowsTheStoredDefinition) {
  FillDemo({{100, "mona"}});
  const httplib::Params item = {{"kind", "function"},
                                {"name", "conv_date"},
                                {"vers", "V11"},
                                {"rele", "R1"},
                                {"cust", "STD"}};
  auto with = [&](httplib::Params form, const httplib::Params& more) {
    form.insert(more.begin(), more.end());
    return form;
  };
  httplib::Result out =
      Page("mona", "/profiles/100/revisions", with(item, {{"action", "checkout"}}));
  ASSERT_TRUE(out);
  ASSERT_EQ(out->status, 303);
  httplib::Result taken =
      Page("adam", "/checkouts",
           with(item, {{"action", "takeover"}, {"force", "yes"}, {"mprf", "100"}}));
  ASSERT_TRUE(taken);
  ASSERT_EQ(taken->status, 303);
  const std::string stored = "return date(2000 + val(left(s, 2))";
  const httplib::Params refused[] = {
      with(item, {{"action", "edit"},
                  {"definition", "return rejected_text(s)"},
                  {"description", "rejected description"},
                  {"comment", "rejected comment"}}),
      with(item, {{"action", "checkin"}, {"comment", "rejected check-in"}})};
  for (const httplib::Params& form : refused) {
    httplib::Result res = Page("mona", "/profiles/100/revisions", form);
    ASSERT_TRUE(res);
    SCOPED_TRACE(form.find("action")->second);
    EXPECT_EQ(res->status, 422);
    EXPECT_NE(res->body.find("id=\"definition-text\""), std::string::npos) << "read-only";
    EXPECT_NE(res->body.find(stored), std::string::npos) << res->body;
    for (const char* rejected :
         {"rejected_text", "rejected description", "rejected comment", "rejected check-in"}) {
      EXPECT_EQ(res->body.find(rejected), std::string::npos) << rejected;
    }
  }
}

using LostJob = ServedEstate;

TEST_F(LostJob, SilentRunningCopiesReadAsFailedWithTheirReason) {
  const long long now = static_cast<long long>(std::time(nullptr));
  const struct {
    const char* id;
    long long silent;  // seconds since the last progress
    const char* state;
  } cases[] = {
      {"0000000000000000000000000000000a", 600, "failed"},
      {"0000000000000000000000000000000b", app::JobRunner::kJobSilence + 2, "failed"},
      {"0000000000000000000000000000000c", 1, "running"},
  };
  app::Db db(settings_);
  db.Execute("delete from mpweb_job");
  for (const auto& c : cases) {
    db.Execute(std::string("insert into mpweb_job (jobi, usrn, smpr, umpr, vrc, tabs, stat, done, "
                           "totl, errn, errd, updt) values ('") +
               c.id + "', 'mona', 1, 2, '1_0_0', 'T1', 'running', 876, 2000, '', '', " +
               std::to_string(now - c.silent) + ")");
  }
  // The page of a lost copy says why it ended; the record says so for every
  // server on the database.
  httplib::Result page =
      Client().Get(std::string("/jobs/") + cases[1].id, {{"Cookie", "mpsid=" + cookies_["mona"]}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("stopped sending progress"), std::string::npos);
  EXPECT_EQ(page->body.find("error 0"), std::string::npos);
  for (const auto& c : cases) {
    std::optional<app::JobRecord> job = app_->jobs.Find(c.id, "mona");
    ASSERT_TRUE(job) << c.id;
    EXPECT_EQ(job->state, c.state) << c.id;
    EXPECT_EQ(job->done, 876) << c.id;
    EXPECT_EQ(job->error_description,
              std::string(c.state) == "failed" ? app::JobRunner::kLostText : "")
        << c.id;
  }
  db.Execute("delete from mpweb_job");
}

}  // namespace
}  // namespace migprof::testing
