#include "served_estate.h"

#include <algorithm>
#include <regex>

#include "app/demo_estate.h"
#include "app/tables.h"
#include "component/sql_text.h"
#include "component/text/cp1252.h"
#include "configmgt/tables.h"
#include "profiles/owner_cipher.h"

namespace migprof::testing {

void ServedEstate::SetUp() {
  settings_ = app::Settings{DataSource{db_.dsn(), db_.uid(), db_.pwd()}};
  app::Db web_db(settings_);
  app::EnsureTables(web_db);
  // A server database is shared by the tests: the accounts start afresh.
  for (const char* table : {"mpweb_apitoken", "mpweb_session", "mpweb_user", "mpweb_activity"}) {
    web_db.Execute(std::string("delete from ") + table);
  }
  app_ = std::make_unique<web::WebApp>(settings_);
  app::Accounts& accounts = app_->core.accounts();
  // The first account is the administrator; no test signs in with a
  // password, so the stored hash is a stand-in.
  for (const auto& [name, role] : {std::pair{"adam", app::Role::kAdministrator},
                                   {"mona", app::Role::kMaintainer},
                                   {"vera", app::Role::kViewer},
                                   {"alice", app::Role::kMaintainer},
                                   {"bob", app::Role::kMaintainer}}) {
    accounts.Add(name, "unused", role);
    tokens_[name] = accounts.NewToken(name).second;
    cookies_[name] = accounts.NewSession(name);
    csrf_[name] = accounts.FindSession(cookies_[name])->csrf;
  }
  FillDemo();
  web::ConfigureServer(server_, *app_, proxies_, nullptr,
                       web::ServerChecks{web::BodyLimits{}, false, &guard_});
  // As the served tool does, more workers than one address may hold
  // connections: slow clients of one address never take every worker.
  server_.new_task_queue = [] { return new httplib::ThreadPool(16); };
  port_ = server_.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port_, 0);
  guard_.Start(port_);
  listener_ = std::thread([this] { server_.listen_after_bind(); });
  // A stop that came before the server listens would find nothing to stop,
  // and TearDown would wait for the listener for ever.
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ServedEstate::TearDown() {
  guard_.Stop();
  server_.stop();
  if (listener_.joinable()) listener_.join();
}

void ServedEstate::FillDemo(const std::map<Integer, std::string>& owned_by) {
  for (const std::string& table : TestDatabase::Tables()) db_.Exec("delete from " + table);
  configmgt::EnsureTables(*db_.Connect());
  for (const char* table : {"qzcfg100", "qzcfg110"}) db_.Exec(std::string("delete from ") + table);
  TOVRHandleMigProf object;
  db_.Configure(object);
  app::PopulateDemoEstate(object);
  for (const auto& [mprf, owner] : owned_by) {
    const std::string cipher =
        *profiles::Encipher(text::Utf8ToCp1252(owner), &profiles::IsStorableCipher);
    db_.Exec("update qzmap100 set ownr = cast(" + SqlQuoted(text::Cp1252ToUtf8(cipher)) +
             " as varbinary) where mprf = " + std::to_string(mprf));
  }
}

std::vector<std::string> ServedEstate::Rows() const {
  // A copy stamps the time it ran, which two runs cannot share, and an owner
  // is enciphered under a fresh salt each time: both are masked.
  static const std::regex kTime(R"(\d\d:\d\d:\d\d(\.\d+)?)");
  std::vector<std::string> all;
  for (const std::string& table : TestDatabase::Tables()) {
    const std::string select = table == "qzmap100"
                                   ? "select mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, "
                                     "dsca, scme, deph, apln from qzmap100"
                                   : "select * from " + table;
    for (const auto& row : db_.Rows(select)) {
      std::string line = table;
      for (const std::string& cell : row) line += "|" + std::regex_replace(cell, kTime, "<time>");
      all.push_back(line);
    }
  }
  std::sort(all.begin(), all.end());
  return all;
}

httplib::Result ServedEstate::Api(const std::string& account, const std::string& path,
                                  const Json& body) const {
  return Client().Post(path, {{"Authorization", "Bearer " + tokens_.at(account)}}, body.dump(),
                       "application/json");
}

httplib::Result ServedEstate::Page(const std::string& account, const std::string& path,
                                   httplib::Params form) const {
  form.emplace("csrf", csrf_.at(account));
  return Client().Post(path, {{"Cookie", "mpsid=" + cookies_.at(account)}}, form);
}

}  // namespace migprof::testing
