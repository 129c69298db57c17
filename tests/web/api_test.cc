// The HTTP API on a real server over the test database (embedded, or the
// MIGPROF_TEST_DSN server): every member answers as a direct call does,
// refused requests change nothing, the OpenAPI document matches the dispatch
// table, and HTTPS serves with a throwaway certificate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "commands/call_member.h"
#include "commands/demo_estate.h"
#include "testing/test_database.h"
#include "web/api_routes.h"
#include "web/api_tokens.h"
#include "web/server.h"
#include "web/tokens.h"

namespace migprof::web {
namespace {

using cli::Json;

constexpr const char* kAccount = "api-tester";

// Every table's rows, sorted, with times of day masked: a copy stamps the
// time it ran, which two runs cannot share. A profile's owner is stored
// enciphered with a random salt, so it is left out (the owner members read
// it back).
std::vector<std::vector<std::string>> Snapshot(const testing::TestDatabase& db) {
  static const std::regex kTime(R"(\d\d:\d\d:\d\d(\.\d+)?)");
  std::vector<std::vector<std::string>> all;
  for (const std::string& table : testing::TestDatabase::Tables()) {
    auto rows = db.Rows(table == "qzmap100"
                            ? "select mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, "
                              "scme, deph, apln from qzmap100"
                            : "select * from " + table);
    for (auto& row : rows) {
      for (auto& cell : row) cell = std::regex_replace(cell, kTime, "<time>");
      row.insert(row.begin(), table);
    }
    std::sort(rows.begin(), rows.end());
    all.insert(all.end(), rows.begin(), rows.end());
  }
  return all;
}

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = DbSettings{db_.dsn(), db_.uid(), db_.pwd()};
    Db web_db(settings_);
    EnsureWebTables(web_db);
    // A server database is shared by the tests: the account starts afresh.
    web_db.Execute("delete from mpweb_apitoken");
    Store(web_db).RemoveUser(kAccount);
    Store(web_db).AddUser(kAccount, HashPassword("unused"));
    FillDemo();
    app_ = std::make_unique<WebApp>(settings_);
    AddApiRoutes(server_, *app_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    token_ = app_->store.NewApiToken(kAccount).second;
  }
  void TearDown() override {
    server_.stop();
    if (listener_.joinable()) listener_.join();
  }

  void FillDemo() {
    for (const std::string& table : testing::TestDatabase::Tables()) {
      db_.Exec("delete from " + table);
    }
    TOVRHandleMigProf object;
    settings_.ApplyTo(object);
    cli::PopulateDemoEstate(object);
  }

  httplib::Result Post(const std::string& path, const std::string& body,
                       const httplib::Headers& headers) {
    httplib::Client client("127.0.0.1", port_);
    return client.Post(path, headers, body, "application/json");
  }
  httplib::Result Call(const std::string& member, const std::string& body) {
    return Post("/api/v1/members/" + member, body, {{"Authorization", "Bearer " + token_}});
  }

  testing::TestDatabase db_;
  DbSettings settings_;
  std::unique_ptr<WebApp> app_;
  httplib::Server server_;
  std::thread listener_;
  int port_ = 0;
  std::string token_;
};

// Arguments for every member on the demo estate, in an order where the
// changing ones find what they change.
std::vector<std::pair<std::string, Json>> MemberCalls(const testing::TestDatabase& db) {
  return {
      {"ErrorNumber", Json::array()},
      {"ErrDescription", Json::array()},
      {"GetUserOwnerProfiles", {"alice"}},
      {"GetOrvoOrLegacyProfiles", {"100", true}},
      {"ValidateUser", {"alice", 100}},
      {"ValidateDerivation", {120, 110}},
      {"OpenConnection", {nullptr}},
      {"getNewConnection", Json::array()},
      {"DatabaseServer", {"elsewhere"}},
      {"DatabaseName", {db.dsn()}},
      {"DatabaseUser", {db.uid()}},
      {"DatabasePassword", {db.pwd()}},
      {"InsertInMap100",
       {7, "Orders", "LEGCRM", "ORVOERP", "V70", "R1", "STD", "__", "N", "Order entry", "alice"}},
      {"UpdateMap100",
       {7, "Orders, second", "N", "V70", "R1", "STD", "Order entry", "__", "alice", ""}},
      {"DeleteMap100", {100}},  // refused: a parent
      {"DeleteMap100", {7}},
      {"CopyToCurrentVRC", {100, 110, "V10U", "R1", "ACME", "or", "itm", "001", "bob", "", "", 0}},
      {"ExpireMapRules", {110, "V10U", "R1", "ACME", "or", "itm", "001", "", 0, true}},
      {"DeleteMapRules", {110, "V10U", "R1", "ACME", "or", "itm", "001", "", 0}},
      {"DeleteData", {"qzmap120", 120, "V10U", "R1", "ACMENL"}},
      {"Func_CopyToCurrentVRC", {100, 110, "V10U", "R1", "ACME", "map_uom", "bob"}},
      {"Func_Expire", {100, "V10", "R1", "STD", "map_uom", "alice", true}},
      {"Func_Delete", {110, "V10U", "R1", "ACME", "conv_date", "bob"}},
      {"ErrorNumber", Json::array()},
  };
}

TEST_F(ApiTest, EveryMemberAnswersAndChangesRowsAsADirectCall) {
  const auto calls = MemberCalls(db_);
  std::set<std::string> covered;
  for (const auto& call : calls) covered.insert(call.first);
  EXPECT_EQ(covered.size(), dispatch::Members().size()) << "a member without a case";

  std::vector<Json> http_answers;
  std::vector<std::vector<std::vector<std::string>>> http_rows;
  for (const auto& [member, args] : calls) {
    httplib::Result res = Call(member, args.dump());
    ASSERT_TRUE(res) << member;
    ASSERT_EQ(res->status, 200) << member << ": " << res->body;
    http_answers.push_back(Json::parse(res->body));
    http_rows.push_back(Snapshot(db_));
  }

  // The same calls on one object of its own, from the same rows.
  FillDemo();
  TOVRHandleMigProf object;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto& [member, args] = calls[i];
    settings_.ApplyTo(object);
    Json direct = cli::CallMember(object, *dispatch::FindMember(member), args, false);
    EXPECT_EQ(http_answers[i], direct) << member;
    EXPECT_EQ(http_rows[i], Snapshot(db_)) << "rows after " << member;
  }
  // The calls did change something, or the comparison proves little.
  EXPECT_EQ(http_answers[12]["result"], true) << http_answers[12];
  EXPECT_EQ(http_answers[14]["ErrorNumber"], 2) << http_answers[14];
}

TEST_F(ApiTest, RequestsWithoutAValidTokenAreRefusedAndChangeNothing) {
  std::ostringstream out, err;
  ASSERT_EQ(RunTokenAdd(settings_, kAccount, out, err), 0) << err.str();
  // The token on its own line, then its id in the line that follows.
  std::smatch printed;
  const std::string text = out.str();
  ASSERT_TRUE(std::regex_search(text, printed, std::regex("^([0-9a-f]{64})\nAPI token (\\w+) of")))
      << text;
  const std::string revoked = printed[1], revoked_id = printed[2];
  ASSERT_EQ(RunTokenRevoke(settings_, revoked_id, out, err), 0) << err.str();
  EXPECT_EQ(RunTokenRevoke(settings_, revoked_id, out, err), 1) << "revoked once only";
  std::ostringstream listed;
  RunTokenList(settings_, kAccount, listed, err);
  EXPECT_EQ(listed.str().find(revoked_id), std::string::npos);
  const std::string session = app_->store.NewSession(kAccount);

  const Json insert = {7,     "Orders", "LEGCRM", "ORVOERP", "V70",  "R1",
                       "STD", "__",     "N",      "Order",   "alice"};
  const std::vector<std::pair<std::string, httplib::Headers>> cases = {
      {"missing", {}},
      {"bad", {{"Authorization", "Bearer " + std::string(64, 'a')}}},
      {"not hex", {{"Authorization", "Bearer ' or 1=1 --"}}},
      {"revoked", {{"Authorization", "Bearer " + revoked}}},
      {"other scheme", {{"Authorization", "Basic " + token_}}},
      {"session cookie", {{"Cookie", "mpsid=" + session}}},
  };
  const auto before = Snapshot(db_);
  for (const auto& [name, headers] : cases) {
    httplib::Result res = Post("/api/v1/members/InsertInMap100", insert.dump(), headers);
    ASSERT_TRUE(res) << name;
    EXPECT_EQ(res->status, 401) << name;
    EXPECT_TRUE(Json::parse(res->body).contains("error")) << name << ": " << res->body;
    EXPECT_EQ(res->get_header_value("WWW-Authenticate").rfind("Bearer", 0), 0u) << name;
    EXPECT_EQ(Snapshot(db_), before) << name;
  }
  httplib::Client client("127.0.0.1", port_);
  EXPECT_EQ(client.Get("/api/v1/compare?left=110&right=100")->status, 401);
  // The same request with the token is carried out.
  httplib::Result accepted = Call("InsertInMap100", insert.dump());
  EXPECT_EQ(accepted->status, 200);
  EXPECT_EQ(Json::parse(accepted->body)["result"], true) << accepted->body;
  EXPECT_NE(Snapshot(db_), before);
}

TEST_F(ApiTest, MalformedRequestsAre400AndLeaveRowsAndErrorStateAlone) {
  // An error state to keep: the refused delete of a parent profile.
  ASSERT_EQ(Json::parse(Call("DeleteMap100", "[100]")->body)["ErrorNumber"], 2);
  const auto before = Snapshot(db_);
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  struct Case {
    std::string name, member, body;
    long raised;  // the conversion's error number, 0 for none
  };
  const std::vector<Case> cases = {
      {"not JSON", "InsertInMap100", "[7, \"Orders\"", 0},
      {"not an array", "InsertInMap100", "{\"mprf\": 7}", 0},
      {"too deep", "ErrorNumber", deep, 0},
      {"unknown member", "NoSuchMember", "[]", 0},
      {"too few", "InsertInMap100", "[7, \"Orders\"]", 450},
      {"too many", "DeleteMap100", "[7, 8]", 450},
      {"text for a number", "DeleteMap100", "[\"seven\"]", 13},
      {"out of range", "DeleteMap100", "[70000]", 6},
      {"object argument", "GetUserOwnerProfiles", "[{\"user\": \"alice\"}]", 13},
      {"connection argument", "OpenConnection", "[1]", 13},
  };
  for (const Case& c : cases) {
    httplib::Result res = Call(c.member, c.body);
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, 400) << c.name << ": " << res->body;
    Json answer = Json::parse(res->body);
    EXPECT_TRUE(answer["error"].is_string()) << c.name;
    if (c.raised != 0) {
      EXPECT_EQ(answer["raised"]["number"], c.raised) << c.name;
    }
    EXPECT_EQ(Snapshot(db_), before) << c.name;
  }
  Json state = Json::parse(Call("ErrorNumber", "")->body);
  EXPECT_EQ(state["result"], 2) << "the object's error state is untouched";
}

TEST_F(ApiTest, CommandsAnswerAsTheToolAndActAsTheAccount) {
  httplib::Client client("127.0.0.1", port_);
  const httplib::Headers auth{{"Authorization", "Bearer " + token_}};
  struct Case {
    std::string name, path, body;  // GET without a body
    int status;
    std::string contains;
  };
  const std::vector<Case> cases = {
      {"compare", "/api/v1/compare?left=110&right=100", "", 200, "\"right_is_parent\": true"},
      {"where-used", "/api/v1/where-used?function=map_uom", "", 200, "\"function\": \"map_uom\""},
      {"where-used of nothing", "/api/v1/where-used", "", 400, "give one of"},
      {"export", "/api/v1/profiles/110/export", "", 200, "\"mprf\""},
      {"export of no profile", "/api/v1/profiles/999/export", "", 422, "999"},
      {"preview", "/api/v1/preview/DeleteMap100", "[300]", 200, "\"removed\""},
      {"preview of a reading member", "/api/v1/preview/ErrorNumber", "[]", 400, "changes"},
      {"check-out", "/api/v1/revision/checkout", R"(["100", "V11_R1_STD", "conv_date"])", 200,
       "checkedOut"},
      {"check-in", "/api/v1/revision/checkin",
       R"(["100", "V11_R1_STD", "conv_date", "--comment", "by script"])", 200, "\"revision\""},
      {"history", "/api/v1/revision/history", R"(["100", "V11_R1_STD", "conv_date"])", 200,
       std::string("\"user\":\"") + kAccount + "\""},
      {"acting as another", "/api/v1/revision/checkout",
       R"(["100", "V11_R1_STD", "conv_date", "--as", "alice"])", 400, "--as"},
      {"unknown command", "/api/v1/revision/rm", "[]", 400, "rm"},
  };
  for (const Case& c : cases) {
    httplib::Result res = c.body.empty() ? client.Get(c.path, auth)
                                         : client.Post(c.path, auth, c.body, "application/json");
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body;
    EXPECT_NE(res->body.find(c.contains), std::string::npos) << c.name << ": " << res->body;
  }
  EXPECT_EQ(db_.Count("qzmap100"), 5) << "the preview deleted nothing";
}

TEST_F(ApiTest, OpenApiDocumentListsEveryMemberFromTheDispatchTable) {
  httplib::Result res = httplib::Client("127.0.0.1", port_).Get("/api/v1/openapi.json");
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

TEST_F(ApiTest, ServesHttpsWithACertificateAndRefusesClearTextBeyondLoopback) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("mpapi_tls_" + web::NewToken().substr(0, 8));
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

  ServeOptions tls;
  tls.tls_cert = cert;
  tls.tls_key = cert;  // not a key
  EXPECT_EQ(NewServer(tls), nullptr);
  tls.tls_key = key;
  std::unique_ptr<httplib::Server> server = NewServer(tls);
  ASSERT_NE(server, nullptr);
  AddApiRoutes(*server, *app_);
  const int port = server->bind_to_any_port("127.0.0.1");
  std::thread listener([&] { server->listen_after_bind(); });
  httplib::SSLClient client("127.0.0.1", port);
  client.set_ca_cert_path(cert.c_str());
  client.enable_server_certificate_verification(true);
  httplib::Result res =
      client.Post("/api/v1/members/GetUserOwnerProfiles", {{"Authorization", "Bearer " + token_}},
                  "[\"alice\"]", "application/json");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(Json::parse(res->body)["ErrorNumber"], 0);
  server->stop();
  listener.join();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace migprof::web
