// A served instance against clients that send too much, or from another
// site's page: raw sockets, so that the client controls every byte. Slow
// clients are tried against the served tool by tests/web/attack_suite.py.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/secrets.h"
#include "served_estate.h"

namespace migprof::testing {
namespace {

// A connection to the served port from source (any 127.x.y.z address).
class RawClient {
 public:
  RawClient(int port, const char* source) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    timeval wait{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~RawClient() { close(fd_); }
  bool Send(const std::string& data) {
    return send(fd_, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
  }
  // What the server sends until it closes the connection (or 10 s pass).
  std::string Receive() {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, n);
    return out;
  }
  bool connected() const { return connected_; }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

std::string Status(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

using HostileClient = ServedEstate;

TEST_F(HostileClient, BodiesAreRefusedBeforeTheyAreRead) {
  const std::string token = "Authorization: Bearer " + tokens_["mona"] + "\r\n";
  const struct {
    const char* name;
    std::string head;
    const char* status;
  } cases[] = {
      {"import without a token", "POST /api/v1/import HTTP/1.1\r\nContent-Length: 1073741824\r\n",
       "HTTP/1.1 401"},
      {"import over its limit",
       "POST /api/v1/import HTTP/1.1\r\nContent-Length: 1073741824\r\n" + token, "HTTP/1.1 413"},
      {"member call over its limit",
       "POST /api/v1/members/ValidateDerivation HTTP/1.1\r\nContent-Length: 2000000\r\n" + token,
       "HTTP/1.1 413"},
      {"chunked", "POST /api/v1/import HTTP/1.1\r\nTransfer-Encoding: chunked\r\n" + token,
       "HTTP/1.1 411"},
      {"form from another site",
       "POST /profiles/new HTTP/1.1\r\nOrigin: https://evil.example\r\nContent-Length: 5\r\n",
       "HTTP/1.1 403"},
      {"form from a sandboxed page",
       "POST /signin HTTP/1.1\r\nOrigin: null\r\nContent-Length: 5\r\n", "HTTP/1.1 403"},
  };
  for (const auto& c : cases) {
    RawClient client(port_, "127.0.0.1");
    // The body that follows must be neither read nor taken for a request.
    ASSERT_TRUE(client.Send(c.head + "Host: 127.0.0.1\r\n\r\nGET /healthz HTTP/1.1\r\n\r\n"));
    const std::string answer = client.Receive();
    EXPECT_EQ(Status(answer).substr(0, 12), c.status) << c.name;
    EXPECT_EQ(answer.find("alive"), std::string::npos) << c.name;
  }
}

TEST_F(HostileClient, SessionsEndAtTheirLifetimeAndTheirAgeCannotBeMovedOn) {
  app::Accounts& accounts = app_->core.accounts();
  const std::string cookie = cookies_["mona"];
  ASSERT_TRUE(accounts.FindSession(cookie));
  const long long now = static_cast<long long>(std::time(nullptr));
  const long long lifetime = app::Accounts::kSessionLifetime.count();
  const std::string id = cookie.substr(0, 64);
  app::Db db(settings_);
  const struct {
    std::string cookie;
    long long signed_in;  // when the stored row was made (0: no row)
    bool valid;
  } cases[] = {
      // The sign-in time moved on: the stored hash no longer matches.
      {id + "." + std::to_string(std::stoll(cookie.substr(65)) + 100), 0, false},
      {id, 0, false},
      {id + ".x", 0, false},
      {std::string(64, 'a') + "." + std::to_string(now - lifetime + 60), now - lifetime + 60, true},
      {std::string(64, 'b') + "." + std::to_string(now - lifetime - 60), now - lifetime - 60,
       false},
      {std::string(64, 'c') + "." + std::to_string(now + 3600), now + 3600, false},
  };
  for (const auto& c : cases) {
    if (c.signed_in != 0) {
      // Used within the idle time: only the age ends it.
      db.Execute("insert into mpweb_session (sidh, usrn, csrf, expi, flsh) values ('" +
                 app::HashToken(c.cookie) + "', 'mona', 'x', " + std::to_string(now + 3600) +
                 ", '')");
    }
    EXPECT_EQ(accounts.FindSession(c.cookie).has_value(), c.valid) << c.cookie;
  }
  EXPECT_TRUE(accounts.FindSession(cookie));
}

}  // namespace
}  // namespace migprof::testing
