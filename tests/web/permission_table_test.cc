// Who may change what, through every entry point: each changing operation
// asked for by a viewer, a maintainer and an administrator, each once as the
// owner of the profile it acts on and once as someone else, through a page,
// the API and the tool. A refused request answers 403 (exit status 3 for the
// tool), changes no row and is recorded as not allowed.
#include <gtest/gtest.h>

#include <chrono>

#include "cli/run_cli.h"
#include "served_estate.h"

namespace migprof::testing {
namespace {

// Columns of the table: viewer owning the profile, viewer not owning it,
// maintainer owning, maintainer not, administrator owning, administrator
// not. 'y' the change is made, '-' it is refused.
constexpr const char* kActors[] = {"vera", "vera", "mona", "mona", "adam", "adam"};
constexpr bool kOwns[] = {true, false, true, false, true, false};

struct Operation {
  const char* name;
  Integer target;  // the profile it acts on; 0 when it creates one
  const char* allowed;
  // The member the API and the tool call, with its arguments for an actor;
  // for revision control, the API's command and the tool's words instead.
  const char* member;
  Json (*args)(const std::string& actor);
  std::vector<std::string> tool_words;
  // The page: the address the form posts to and its fields.
  const char* page;
  httplib::Params form;
};

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> operations = {
      {"edit profile", 120, "--y-yy", "UpdateMap100",
       [](const std::string& a) {
         return Json{120, "Changed", "N", "V10U", "R1", "ACMENL", "Orvo ERP", "V10U_R1_ACME", a, ""};
       },
       {}, "/profiles/120/edit",
       {{"description", "Changed"}, {"parent", "V10U_R1_ACME"}, {"apln", "Orvo ERP"},
        {"apply", "yes"}}},
      {"delete profile", 120, "--y-yy", "DeleteMap100",
       [](const std::string&) { return Json{120}; }, {}, "/profiles/120/delete",
       {{"confirm", "120"}}},
      {"expire rules", 120, "--y-yy", "ExpireMapRules",
       [](const std::string&) {
         return Json{120, "V10U", "R1", "ACMENL", "or", "sls", "400", "", 0, -1};
       },
       {}, "/profiles/120/rules/action",
       {{"vers", "V10U"}, {"rele", "R1"}, {"cust", "ACMENL"}, {"table", "orsls400"},
        {"action", "expire"}, {"apply", "yes"}}},
      {"delete rules", 120, "--y-yy", "DeleteMapRules",
       [](const std::string&) {
         return Json{120, "V10U", "R1", "ACMENL", "or", "sls", "400", "", 0};
       },
       {}, "/profiles/120/rules/delete",
       {{"vers", "V10U"}, {"rele", "R1"}, {"cust", "ACMENL"}, {"table", "orsls400"},
        {"apply", "yes"}}},
      {"copy rules", 120, "--y-yy", "CopyToCurrentVRC",
       [](const std::string& a) {
         return Json{110, 120, "V10U", "R1", "ACMENL", "or", "sls", "401", a, "", "", 0};
       },
       {}, "/profiles/120/copy",
       {{"source", "110"}, {"vers", "V10U"}, {"rele", "R1"}, {"cust", "ACMENL"},
        {"table", "orsls401"}, {"apply", "yes"}}},
      {"copy function", 120, "--y-yy", "Func_CopyToCurrentVRC",
       [](const std::string& a) { return Json{110, 120, "V10U", "R1", "ACMENL", "conv_date", a}; },
       {}, "/profiles/120/functions",
       {{"action", "copy"}, {"source", "110"}, {"name", "conv_date"}, {"vers", "V10U"},
        {"rele", "R1"}, {"cust", "ACMENL"}, {"apply", "yes"}}},
      {"expire function", 110, "--y-yy", "Func_Expire",
       [](const std::string& a) {
         return Json{110, "V10U", "R1", "ACME", "fmt_item_code", a, -1};
       },
       {}, "/profiles/110/functions",
       {{"action", "expire"}, {"name", "fmt_item_code"}, {"vers", "V10U"}, {"rele", "R1"},
        {"cust", "ACME"}, {"apply", "yes"}}},
      {"delete function", 110, "--y-yy", "Func_Delete",
       [](const std::string& a) { return Json{110, "V10U", "R1", "ACME", "fmt_item_code", a}; },
       {}, "/profiles/110/functions",
       {{"action", "delete"}, {"name", "fmt_item_code"}, {"vers", "V10U"}, {"rele", "R1"},
        {"cust", "ACME"}, {"apply", "yes"}}},
      {"create profile", 0, "--yyyy", "InsertInMap100",
       [](const std::string& a) {
         return Json{130, "New", "LEGERP", "ORVOERP", "V13", "R1", "X", "__", "N", "app", a};
       },
       {}, "/profiles",
       {{"mprf", "130"}, {"description", "New"}, {"sapp", "LEGERP"}, {"tapp", "ORVOERP"},
        {"vers", "V13"}, {"rele", "R1"}, {"cust", "X"}, {"apln", "app"}, {"apply", "yes"}}},
      {"check out", 100, "--y-yy", "checkout", nullptr,
       {"checkout", "100", "V11_R1_STD", "conv_date"}, "/profiles/100/revisions",
       {{"action", "checkout"}, {"kind", "function"}, {"name", "conv_date"}, {"vers", "V11"},
        {"rele", "R1"}, {"cust", "STD"}}},
  };
  return operations;
}

enum class Entry { kPage, kApi, kTool };
constexpr Entry kEntries[] = {Entry::kPage, Entry::kApi, Entry::kTool};
const char* EntryName(Entry entry) {
  return entry == Entry::kPage ? "page" : entry == Entry::kApi ? "API" : "tool";
}

class PermissionTable : public ServedEstate {
 protected:
  // Makes the request; true when it was refused as not allowed.
  bool Refused(const Operation& op, Entry entry, const std::string& actor) {
    if (entry == Entry::kTool) {
      std::vector<std::string> words = op.tool_words;
      if (op.args != nullptr) words = {"call", "--args", op.args(actor).dump(), op.member};
      words.insert(words.begin() + 1, {"--database", db_.dsn(), "--user", db_.uid(), "--password",
                                       db_.pwd(), "--as", actor});
      const CliOutcome run = RunCli(words);
      return run.status == 3;
    }
    httplib::Result res =
        entry == Entry::kApi
            ? (op.args != nullptr
                   ? Api(actor, std::string("/api/v1/members/") + op.member, op.args(actor))
                   : Api(actor, "/api/v1/revision/checkout",
                         Json{{"mprf", 100}, {"vrc", "V11_R1_STD"}, {"function", "conv_date"}}))
            : Page(actor, op.page, op.form);
    EXPECT_TRUE(res);
    if (!res) return false;
    if (entry == Entry::kPage && res->status == 303) WaitForJob(actor, res->get_header_value("Location"));
    if (entry == Entry::kApi && res->status != 403) {
      EXPECT_EQ(res->status, 200) << res->body;
    }
    return res->status == 403;
  }

  // A copy started from a page runs on; the next case needs it ended.
  void WaitForJob(const std::string& actor, const std::string& location) {
    if (location.rfind("/jobs/", 0) != 0) return;
    const std::string id = location.substr(6);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      std::optional<app::JobRecord> job = app_->jobs.Find(id, actor);
      if (job && job->state != "running") return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the copy " << id << " did not end";
  }
};

TEST_F(PermissionTable, EveryRoleOwnerOrNotThroughEveryEntryPoint) {
  int cells = 0, refusals = 0;
  for (const Operation& op : Operations()) {
    for (int column = 0; column < 6; ++column) {
      // Creating a profile acts on no profile: its owner columns say nothing new.
      if (op.target == 0 && !kOwns[column]) continue;
      const std::string actor = kActors[column];
      const bool allowed = op.allowed[column] == 'y';
      for (Entry entry : kEntries) {
        SCOPED_TRACE(std::string(op.name) + " by " + actor + (kOwns[column] ? " (owner)" : "") +
                     " through the " + EntryName(entry));
        std::map<Integer, std::string> owners;
        if (op.target != 0 && kOwns[column]) owners[op.target] = actor;
        FillDemo(owners);
        const std::vector<std::string> before = Rows();
        const long long recorded = app_->core.activity().Count({std::nullopt, actor, {}, {}});
        const bool refused = Refused(op, entry, actor);
        ++cells;
        EXPECT_EQ(refused, !allowed);
        if (refused) {
          ++refusals;
          EXPECT_EQ(Rows(), before) << "a refused change changed rows";
          const std::vector<app::ActivityEntry> last =
              app_->core.activity().List({std::nullopt, actor, {}, {}}, 0, 1);
          ASSERT_EQ(app_->core.activity().Count({std::nullopt, actor, {}, {}}), recorded + 1);
          EXPECT_EQ(last.front().outcome, app::Outcome::kForbidden);
        }
      }
    }
  }
  EXPECT_EQ(cells, 3 * (9 * 6 + 3));
  EXPECT_GT(refusals, cells / 3);
}

}  // namespace
}  // namespace migprof::testing
