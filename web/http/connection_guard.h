// Keeps slow and greedy clients from holding the server: every accepted
// connection must send a request's headers within a time limit, a request
// (its body included) must be answered within another, and one client
// address may hold only so many connections, the server so many in all.
// cpp-httplib reads each connection on a worker thread of its pool and only
// limits the wait for each single read, so a client sending a byte every few
// seconds would hold a worker for good; the guard watches the server's
// sockets from a thread of its own and ends those over a limit (the worker
// then sees the connection fail and moves on).
#ifndef MIGPROF_WEB_HTTP_CONNECTION_GUARD_H_
#define MIGPROF_WEB_HTTP_CONNECTION_GUARD_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace migprof::web {

struct ConnectionLimits {
  // From accepting a connection (or answering its previous request) to the
  // end of the next request's headers; a connection kept open between
  // requests gets keep_alive on top.
  std::chrono::milliseconds headers{10000};
  std::chrono::milliseconds keep_alive{5000};
  // From the end of the headers to the answer written, the body included.
  std::chrono::milliseconds request{120000};
  // Open connections of one client address, and of all clients.
  int per_address = 16;
  int total = 512;
};

using GuardClock = std::chrono::steady_clock;

// One accepted connection as the guard sees it.
struct WatchedConnection {
  int fd = -1;
  std::string address;  // the peer's address as the socket reports it
  int port = 0;
  GuardClock::time_point seen;   // accepted (first seen)
  GuardClock::time_point since;  // start of the current wait or request
  bool in_request = false;       // headers read, answer not yet written
  bool answered = false;         // has answered a request before
  bool exempt = false;           // a trusted proxy: no per-address cap
};

// The connections (indexes into open) that are over a limit at now: those
// past their deadline, and, beyond the caps, the newest of an address and
// then of the server. A connection in a request is dropped for the caps only
// when no waiting one of the same group is left to drop.
std::vector<std::size_t> ConnectionsToDrop(const std::vector<WatchedConnection>& open,
                                           const ConnectionLimits& limits,
                                           GuardClock::time_point now);

class ConnectionGuard {
 public:
  // exempt tells the addresses that have no per-address cap (trusted
  // proxies: every request behind them comes from their address).
  ConnectionGuard(ConnectionLimits limits, std::function<bool(const std::string&)> exempt);
  ~ConnectionGuard();
  ConnectionGuard(const ConnectionGuard&) = delete;
  ConnectionGuard& operator=(const ConnectionGuard&) = delete;

  // Watches the connections accepted on port (the server's listening port).
  void Start(int port);
  void Stop();

  // A request's headers were read (pre-routing) and its answer was written
  // (logger). close ends the connection after the answer: its body was
  // refused unread, and what is left of it must not be read as the next
  // request.
  void RequestBegan(const std::string& address, int port);
  void RequestEnded(const std::string& address, int port);
  void CloseAfterAnswer(const std::string& address, int port);

 private:
  void Watch();
  void Scan();
  static std::string Key(const std::string& address, int port);

  const ConnectionLimits limits_;
  const std::function<bool(const std::string&)> exempt_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::map<std::string, WatchedConnection> open_;  // by Key(address, port)
  std::set<std::string> closing_;                  // keys to close after their answer
  std::set<std::string> shut_;                     // shut down, not yet closed by their worker
  std::thread watcher_;
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_CONNECTION_GUARD_H_
