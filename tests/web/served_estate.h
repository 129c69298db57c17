// The demo estate served by the front end and the API on loopback, with one
// account of each role (adam the administrator, mona the maintainer, vera
// the viewer), each with an API token and a signed-in browser session.
#ifndef MIGPROF_TESTS_WEB_SERVED_ESTATE_H_
#define MIGPROF_TESTS_WEB_SERVED_ESTATE_H_

#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testing/test_database.h"
#include "web/pages/pages.h"
#include "web/serve.h"
#include "wire/json_values.h"

namespace migprof::testing {

using wire::Json;

class ServedEstate : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Empties the component's tables, fills in the demo estate again and
  // makes the profiles in owned_by belong to the account named with them.
  void FillDemo(const std::map<Integer, std::string>& owned_by = {});
  // Every row of the component's tables, sorted; times of day and owners
  // masked.
  std::vector<std::string> Rows() const;

  httplib::Client Client() const { return httplib::Client("127.0.0.1", port_); }
  // A member call through the API with the token of account.
  httplib::Result Api(const std::string& account, const std::string& path, const Json& body) const;
  // A form posted by the signed-in session of account (its CSRF token added).
  httplib::Result Page(const std::string& account, const std::string& path,
                       httplib::Params form) const;

  TestDatabase db_;
  app::Settings settings_;
  std::unique_ptr<web::WebApp> app_;
  web::TrustedProxies proxies_;
  // Short limits, so that tests of slow clients end soon.
  web::ConnectionGuard guard_{
      web::ConnectionLimits{std::chrono::seconds(2), std::chrono::seconds(5),
                            std::chrono::seconds(60), 8, 512},
      nullptr};
  httplib::Server server_;
  std::thread listener_;
  int port_ = 0;
  std::map<std::string, std::string> tokens_;   // account -> API token
  std::map<std::string, std::string> cookies_;  // account -> session cookie
  std::map<std::string, std::string> csrf_;     // account -> its session's CSRF token
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_WEB_SERVED_ESTATE_H_
