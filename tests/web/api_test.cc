// The JSON API over a served database: every member answers as a direct call
// on a new object, a request acts only as its token's account, and what is
// malformed, unknown or not allowed is refused with its own status.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "app/account_admin.h"
#include "app/secrets.h"
#include "served_estate.h"
#include "testing/direct_call.h"

namespace migprof::web {
namespace {

using testing::Json;

class ApiTest : public testing::ServedEstate {
 protected:
  httplib::Result Call(const std::string& account, const std::string& member, const Json& args) {
    return Api(account, "/api/v1/members/" + member, args);
  }
};

// Arguments for every member on the demo estate, each with the account that
// calls it (the owner of what it changes, the user it names), in an order
// where the changing ones find what they change.
struct MemberCase {
  const char* account;
  const char* member;
  Json args;
};
std::vector<MemberCase> MemberCalls() {
  return {
      {"alice", "GetUserOwnerProfiles", {"alice"}},
      {"bob", "GetOrvoOrLegacyProfiles", {"100", true}},
      {"alice", "ValidateUser", {"alice", 100}},
      {"bob", "ValidateDerivation", {120, 110}},
      {"alice",
       "InsertInMap100",
       {7, "Orders", "LEGCRM", "ORVOERP", "V70", "R1", "STD", "__", "N", "Order entry", "alice"}},
      {"alice",
       "UpdateMap100",
       {7, "Orders, second", "N", "V70", "R1", "STD", "Order entry", "__", "alice", ""}},
      {"alice", "DeleteMap100", {100}},  // refused: a parent
      {"alice", "DeleteMap100", {7}},
      {"bob",
       "CopyToCurrentVRC",
       {100, 110, "V10U", "R1", "ACME", "or", "itm", "001", "bob", "", "", 0}},
      {"bob", "ExpireMapRules", {110, "V10U", "R1", "ACME", "or", "itm", "001", "", 0, true}},
      {"bob", "DeleteMapRules", {110, "V10U", "R1", "ACME", "or", "itm", "001", "", 0}},
      {"alice", "DeleteData", {"qzmap120", 120, "V10U", "R1", "ACMENL"}},
      {"bob", "Func_CopyToCurrentVRC", {100, 110, "V10U", "R1", "ACME", "map_uom", "bob"}},
      {"alice", "Func_Expire", {100, "V10", "R1", "STD", "map_uom", "alice", true}},
      {"bob", "Func_Delete", {110, "V10U", "R1", "ACME", "conv_date", "bob"}},
  };
}

TEST_F(ApiTest, EveryMemberAnswersAsADirectCallOnANewObject) {
  const auto calls = MemberCalls();
  std::vector<Json> http_answers;
  std::vector<std::vector<std::string>> http_rows;
  for (const MemberCase& c : calls) {
    httplib::Result res = Call(c.account, c.member, c.args);
    ASSERT_TRUE(res) << c.member;
    ASSERT_EQ(res->status, 200) << c.member << ": " << res->body;
    http_answers.push_back(Json::parse(res->body));
    http_rows.push_back(Rows());
  }
  // The same calls, each on an object of its own, from the same rows.
  FillDemo();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const MemberCase& c = calls[i];
    TOVRHandleMigProf object;
    db_.Configure(object);
    Json direct = testing::DirectCall(object, *dispatch::FindMember(c.member), c.args, false);
    Json answer = http_answers[i];
    // A member that changes rows answers how many, per table.
    const bool changing = answer.contains("rows");
    answer.erase("rows");
    EXPECT_EQ(answer, direct) << c.member;
    EXPECT_EQ(http_rows[i], Rows()) << "rows after " << c.member;
    EXPECT_EQ(changing,
              std::string(c.member).find("Get") != 0 && std::string(c.member).find("Validate") != 0)
        << c.member;
  }
  // The calls did change something, or the comparison proves little.
  EXPECT_EQ(http_answers[4]["result"], true) << http_answers[4];
  EXPECT_EQ(http_answers[4]["rows"]["qzmap100"], 1) << http_answers[4];
  EXPECT_EQ(http_answers[6]["ErrorNumber"], 2) << http_answers[6];
  EXPECT_EQ(http_answers[14]["rows"]["qzlib100"], 1) << http_answers[14];
}

TEST_F(ApiTest, RequestsWithoutAValidTokenAreRefusedAndChangeNothing) {
  const auto [revoked_id, revoked] = app_->core.accounts().NewToken("alice");
  ASSERT_TRUE(app_->core.accounts().RevokeToken(revoked_id));
  ASSERT_TRUE(app_->core.accounts().SetDisabled("vera", true));
  const Json insert = {7,     "Orders", "LEGCRM", "ORVOERP", "V70",  "R1",
                       "STD", "__",     "N",      "Order",   "alice"};
  const std::vector<std::pair<std::string, httplib::Headers>> cases = {
      {"missing", {}},
      {"bad", {{"Authorization", "Bearer " + std::string(64, 'a')}}},
      {"not hex", {{"Authorization", "Bearer ' or 1=1 --"}}},
      {"revoked", {{"Authorization", "Bearer " + revoked}}},
      {"disabled account", {{"Authorization", "Bearer " + tokens_["vera"]}}},
      {"other scheme", {{"Authorization", "Basic " + tokens_["alice"]}}},
      {"session cookie", {{"Cookie", "mpsid=" + cookies_["alice"]}}},
  };
  const auto before = Rows();
  for (const auto& [name, headers] : cases) {
    httplib::Result res =
        Client().Post("/api/v1/members/InsertInMap100", headers, insert.dump(), "application/json");
    ASSERT_TRUE(res) << name;
    EXPECT_EQ(res->status, 401) << name;
    EXPECT_TRUE(Json::parse(res->body).contains("error")) << name << ": " << res->body;
    EXPECT_EQ(res->get_header_value("WWW-Authenticate").rfind("Bearer", 0), 0u) << name;
    EXPECT_EQ(Rows(), before) << name;
  }
  EXPECT_EQ(Client().Get("/api/v1/compare?left=110&right=100")->status, 401);
  // The same request with the token is carried out.
  httplib::Result accepted = Call("alice", "InsertInMap100", insert);
  EXPECT_EQ(accepted->status, 200);
  EXPECT_EQ(Json::parse(accepted->body)["result"], true) << accepted->body;
  EXPECT_NE(Rows(), before);
}

TEST_F(ApiTest, ATokenActsOnlyAsItsOwnAccount) {
  // Each of these went through before: a token acting under the name its
  // body gave. (A change of another owner's profile through the API is a
  // column of the permission table.)
  struct Case {
    const char* name;
    const char* member;
    Json args;
  };
  const Case cases[] = {
      {"check-out of another user",
       "Func_Expire",
       {100, "V10", "R1", "STD", "map_uom", "alice", true}},
      {"a profile for another owner",
       "InsertInMap100",
       {130, "x", "LEGERP", "ORVOERP", "V13", "R1", "X", "__", "N", "a", "alice"}},
      {"another user's profiles listed", "GetUserOwnerProfiles", {"alice"}},
  };
  const auto before = Rows();
  for (const Case& c : cases) {
    httplib::Result res = Call("bob", c.member, c.args);
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, 403) << c.name << ": " << res->body;
    EXPECT_NE(Json::parse(res->body)["error"].get<std::string>().find("bob"), std::string::npos);
    EXPECT_EQ(Rows(), before) << c.name;
  }
}

TEST_F(ApiTest, MalformedRequestsAreRefusedWithTheirOwnStatus) {
  const auto before = Rows();
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  struct Case {
    std::string name, method, path, body;
    int status;
    long raised;  // the conversion's error number, 0 for none
  };
  const std::vector<Case> cases = {
      {"not JSON", "POST", "/api/v1/members/InsertInMap100", "[7, \"Orders\"", 400, 0},
      {"not an array", "POST", "/api/v1/members/InsertInMap100", "{\"mprf\": 7}", 400, 0},
      {"too deep", "POST", "/api/v1/members/ValidateUser", deep, 400, 0},
      // Each conversion's refusal is a case of CliArguments (json_values_test);
      // here one, answered 400 with what the runtime raised.
      {"too few", "POST", "/api/v1/members/InsertInMap100", "[7, \"Orders\"]", 400, 450},
      {"a setting of the server", "POST", "/api/v1/members/DatabaseName", "[\"sqlite:/x\"]", 400,
       0},
      {"a connection", "POST", "/api/v1/members/getNewConnection", "[]", 400, 0},
      {"an error state", "POST", "/api/v1/members/ErrorNumber", "[]", 400, 0},
      {"unknown member", "POST", "/api/v1/members/NoSuchMember", "[]", 404, 0},
      {"unknown command", "POST", "/api/v1/revision/rm", "{}", 404, 0},
      {"words for a command", "POST", "/api/v1/revision/checkout", "[\"100\"]", 400, 0},
      {"wrong method", "GET", "/api/v1/members/DeleteMap100", "", 405, 0},
      {"wrong method", "DELETE", "/api/v1/members/DeleteMap100", "", 405, 0},
      {"wrong method", "POST", "/api/v1/compare", "[]", 405, 0},
  };
  const httplib::Headers auth{{"Authorization", "Bearer " + tokens_["adam"]}};
  for (const Case& c : cases) {
    httplib::Client client = Client();
    httplib::Result res = c.method == "GET" ? client.Get(c.path, auth)
                          : c.method == "DELETE"
                              ? client.Delete(c.path, auth)
                              : client.Post(c.path, auth, c.body, "application/json");
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body;
    Json answer = Json::parse(res->body);
    EXPECT_TRUE(answer["error"].is_string()) << c.name;
    if (c.raised != 0) {
      EXPECT_EQ(answer["raised"]["number"], c.raised) << c.name;
    }
    if (c.status == 405) {
      EXPECT_FALSE(res->get_header_value("Allow").empty()) << c.name;
    }
    EXPECT_EQ(Rows(), before) << c.name;
  }
}

TEST_F(ApiTest, AnAnswerCarriesOnlyItsOwnCallsErrorState) {
  Json failed = Json::parse(Call("bob", "ValidateDerivation", {7, 1})->body);
  ASSERT_NE(failed["ErrorNumber"], 0);
  Json next = Json::parse(Call("alice", "ExpireMapRules",
                               {120, "V10U", "R1", "ACMENL", "or", "sls", "400", "", 0, true})
                              ->body);
  EXPECT_EQ(next["ErrorNumber"], 0) << next;
  EXPECT_EQ(next["ErrDescription"], "") << next;
  EXPECT_EQ(next["rows"], Json::parse(R"({"qzmap120": 1})")) << next;
}

TEST_F(ApiTest, CommandsAnswerAsTheToolAndActAsTheAccount) {
  const httplib::Headers auth{{"Authorization", "Bearer " + tokens_["alice"]}};
  const Json item{{"mprf", 100}, {"vrc", "V11_R1_STD"}, {"function", "conv_date"}};
  Json checkin = item;
  checkin["comment"] = "by script";
  struct Case {
    std::string name, path, body;  // GET without a body
    int status;
    std::string contains;
  };
  const std::vector<Case> cases = {
      {"compare", "/api/v1/compare?left=110&right=100", "", 200, "\"right_is_parent\":true"},
      {"where-used", "/api/v1/where-used?function=map_uom", "", 200, "\"function\":\"map_uom\""},
      {"where-used of nothing", "/api/v1/where-used", "", 400, "give one of"},
      {"export", "/api/v1/profiles/110/export", "", 200, "\"mprf\""},
      {"export of no profile", "/api/v1/profiles/999/export", "", 422, "999"},
      {"preview", "/api/v1/preview/DeleteMap100", "[120]", 200, "\"removed\""},
      {"preview of what is not hers", "/api/v1/preview/DeleteMap100", "[300]", 403, "alice"},
      {"preview of a reading member", "/api/v1/preview/ValidateUser", "[\"alice\", 1]", 400,
       "changes"},
      {"check-out", "/api/v1/revision/checkout", item.dump(), 200, "checkedOut"},
      {"check-in without a comment", "/api/v1/revision/checkin", item.dump(), 400, "comment"},
      {"check-in", "/api/v1/revision/checkin", checkin.dump(), 200, "\"revision\""},
      {"history", "/api/v1/revision/history", item.dump(), 200, "\"user\":\"alice\""},
      {"import is for administrators", "/api/v1/import", "{}", 403, "import"},
      {"activity", "/api/v1/activity?profile=100&user=alice", "", 200,
       "\"operation\":\"check-in\""},
  };
  for (const Case& c : cases) {
    httplib::Client client = Client();
    httplib::Result res = c.body.empty() ? client.Get(c.path, auth)
                                         : client.Post(c.path, auth, c.body, "application/json");
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body;
    EXPECT_NE(res->body.find(c.contains), std::string::npos) << c.name << ": " << res->body;
  }
  EXPECT_EQ(db_.Count("qzmap100"), 5) << "the preview deleted nothing";
  Json activity = Json::parse(Client().Get("/api/v1/activity?user=alice", auth)->body);
  // The check-out, the check-in and the import not allowed; reads are not
  // recorded.
  ASSERT_EQ(activity["total"], 3) << activity;
  EXPECT_EQ(activity["entries"][0]["outcome"], "forbidden");
  EXPECT_EQ(activity["entries"][1]["entry"], "api");
  EXPECT_EQ(activity["entries"][2]["operation"], "check-out");
}

TEST_F(ApiTest, OpenApiDocumentListsEveryMemberFromTheDispatchTable) {
  httplib::Result res = Client().Get("/api/v1/openapi.json");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << "no token needed";
  const Json doc = Json::parse(res->body);
  EXPECT_EQ(doc["openapi"].get<std::string>().rfind("3.", 0), 0u);
  std::size_t members = 0;
  for (const auto& [path, item] : doc["paths"].items()) {
    EXPECT_EQ(path.rfind("/api/v1/", 0), 0u) << path;
    for (const auto& operation : item) EXPECT_FALSE(operation["responses"].empty()) << path;
    members += path.rfind("/api/v1/members/", 0) == 0;
  }
  EXPECT_EQ(members, dispatch::Members().size());
  for (const dispatch::Member& member : dispatch::Members()) {
    const Json& body = doc["paths"]["/api/v1/members/" + member.name]["post"]["requestBody"]
                          ["content"]["application/json"]["schema"];
    EXPECT_EQ(body["maxItems"], member.params.size()) << member.name;
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      EXPECT_EQ(body["prefixItems"][i]["title"], member.params[i].name) << member.name;
      EXPECT_EQ(body["prefixItems"][i].value("x-by-ref", false), member.params[i].by_ref);
    }
  }
  // Every reference resolves inside the document.
  int refs = 0;
  const Json flat = doc.flatten();
  for (const auto& [pointer, ref] : flat.items()) {
    if (!pointer.ends_with("/$ref")) continue;
    ++refs;
    ASSERT_EQ(ref.get<std::string>().rfind("#/", 0), 0u) << ref;
    EXPECT_TRUE(doc.contains(Json::json_pointer(ref.get<std::string>().substr(1)))) << ref;
  }
  EXPECT_GT(refs, 0);
}

TEST_F(ApiTest, RefusesClearTextBeyondLoopbackAndWhatItCannotOpen) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("mpapi_tls_" + app::NewToken().substr(0, 8));
  std::filesystem::create_directories(dir);
  const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
  const std::string openssl =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj "
      "/CN=localhost -addext subjectAltName=IP:127.0.0.1 -keyout " +
      key + " -out " + cert + " 2>/dev/null";
  ASSERT_EQ(std::system(openssl.c_str()), 0);

  struct Case {
    std::string name, host, cert, key;
    bool proxy;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"loopback in clear", "127.0.0.1", "", "", false, false},
      {"beyond loopback in clear", "0.0.0.0", "", "", false, true},
      {"beyond loopback behind a proxy", "0.0.0.0", "", "", true, false},
      {"beyond loopback with TLS", "::", cert, key, false, false},
      {"certificate without key", "127.0.0.1", cert, "", false, true},
  };
  for (const Case& c : cases) {
    ServeOptions options;
    options.tls_cert = c.cert;
    options.tls_key = c.key;
    options.behind_tls_proxy = c.proxy;
    EXPECT_EQ(TlsRefusal(options, c.host).has_value(), c.refused) << c.name;
  }
  // The whole command refuses with a message saying what to do (on a
  // thread of its own: serving blocks the signals of its thread).
  ServeOptions clear;
  clear.db = settings_;
  clear.listen = "0.0.0.0:0";
  std::ostringstream out, err;
  int status = 0;
  std::thread([&] { status = RunServe(clear, out, err); }).join();
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.str().find("--behind-tls-proxy"), std::string::npos) << err.str();
  // A database it cannot connect to is named as the cause, first: a refused
  // login on a server, a missing file for the embedded database.
  ServeOptions unreachable;
  unreachable.db = settings_;
  if (db_.embedded()) {
    unreachable.db.source.name = "sqlite:" + db_.path() + ".missing/x.db";
  } else {
    unreachable.db.source.password = "not-the-password";
  }
  std::ostringstream refused;
  std::thread([&] { status = RunServe(unreachable, out, refused); }).join();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(refused.str().rfind("migprof serve: cannot connect to the profile database " +
                                    unreachable.db.source.name + ": ",
                                0),
            0u)
      << refused.str();
  EXPECT_EQ(refused.str().find("mpweb"), std::string::npos) << refused.str();
  if (!db_.embedded()) {
    EXPECT_NE(refused.str().find("Access denied"), std::string::npos);
  }

  ServeOptions tls;
  tls.tls_cert = cert;
  tls.tls_key = cert;  // not a key
  EXPECT_EQ(NewServer(tls), nullptr);
  // Serving with a certificate that fits: the attack suite's tls case signs
  // in over HTTPS.
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace migprof::web
