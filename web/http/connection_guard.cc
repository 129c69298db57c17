#include "web/http/connection_guard.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace migprof::web {
namespace {

// Address and port of one end of a TCP socket; false for anything else.
bool SocketEnd(int fd, bool peer, std::string& address, int& port) {
  sockaddr_storage storage{};
  socklen_t size = sizeof storage;
  auto* at = reinterpret_cast<sockaddr*>(&storage);
  if ((peer ? getpeername(fd, at, &size) : getsockname(fd, at, &size)) != 0) return false;
  char text[INET6_ADDRSTRLEN] = {};
  if (storage.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&storage);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (storage.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&storage);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    port = ntohs(in6->sin6_port);
  } else {
    return false;
  }
  address = text;
  return true;
}

// The sockets of the process accepted on listen_port, by peer: the open
// file descriptors of the process, read from /proc.
std::map<std::string, int> AcceptedSockets(int listen_port,
                                           std::string (*key)(const std::string&, int)) {
  std::map<std::string, int> found;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    std::string address;
    int port = 0;
    if (!SocketEnd(static_cast<int>(fd), false, address, port) || port != listen_port) continue;
    if (!SocketEnd(static_cast<int>(fd), true, address, port)) continue;  // the listener
    found[key(address, port)] = static_cast<int>(fd);
  }
  closedir(dir);
  return found;
}

// Ends the connection on fd at once, while the descriptor stays open for the
// worker that reads it: the descriptor is pointed at a socket that was
// never connected, so the worker's next read fails and it closes it. A
// shutdown alone would not do: the worker could still read what the client
// had sent (a refused body, read as the next request).
void EndConnection(int fd) {
  shutdown(fd, SHUT_RDWR);
  const int dead = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (dead < 0) return;
  dup2(dead, fd);
  close(dead);
}

GuardClock::time_point Deadline(const WatchedConnection& c, const ConnectionLimits& limits) {
  if (c.in_request) return c.since + limits.request;
  return c.since + limits.headers + (c.answered ? limits.keep_alive : GuardClock::duration{});
}

// Drops from group (indexes, oldest first) all beyond keep, waiting ones
// before those in a request, newest first.
void DropBeyond(std::vector<std::size_t>& group, std::size_t keep,
                const std::vector<WatchedConnection>& open, std::vector<bool>& drop) {
  if (group.size() <= keep) return;
  std::size_t excess = group.size() - keep;
  for (bool in_request : {false, true}) {
    for (auto it = group.rbegin(); it != group.rend() && excess > 0; ++it) {
      if (open[*it].in_request == in_request && !drop[*it]) {
        drop[*it] = true;
        --excess;
      }
    }
  }
  std::erase_if(group, [&](std::size_t i) { return drop[i]; });
}

}  // namespace

std::vector<std::size_t> ConnectionsToDrop(const std::vector<WatchedConnection>& open,
                                           const ConnectionLimits& limits,
                                           GuardClock::time_point now) {
  std::vector<bool> drop(open.size(), false);
  std::vector<std::size_t> order(open.size());
  for (std::size_t i = 0; i < open.size(); ++i) {
    order[i] = i;
    drop[i] = Deadline(open[i], limits) <= now;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return open[a].seen < open[b].seen; });
  std::map<std::string, std::vector<std::size_t>> by_address;
  for (std::size_t i : order) {
    if (!drop[i] && !open[i].exempt) by_address[open[i].address].push_back(i);
  }
  for (auto& [address, group] : by_address) {
    DropBeyond(group, static_cast<std::size_t>(std::max(limits.per_address, 0)), open, drop);
  }
  std::vector<std::size_t> all;
  for (std::size_t i : order) {
    if (!drop[i]) all.push_back(i);
  }
  DropBeyond(all, static_cast<std::size_t>(std::max(limits.total, 0)), open, drop);
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < open.size(); ++i) {
    if (drop[i]) out.push_back(i);
  }
  return out;
}

ConnectionGuard::ConnectionGuard(ConnectionLimits limits,
                                 std::function<bool(const std::string&)> exempt)
    : limits_(limits), exempt_(std::move(exempt)) {}

ConnectionGuard::~ConnectionGuard() { Stop(); }

std::string ConnectionGuard::Key(const std::string& address, int port) {
  return address + " " + std::to_string(port);
}

void ConnectionGuard::Start(int port) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (watcher_.joinable()) return;
  port_ = port;
  stopping_ = false;
  watcher_ = std::thread([this] { Watch(); });
}

void ConnectionGuard::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

void ConnectionGuard::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    Scan();
    lock.lock();
    wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_; });
  }
}

void ConnectionGuard::Scan() {
  const std::map<std::string, int> sockets = AcceptedSockets(port_, &Key);
  const GuardClock::time_point now = GuardClock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  // Forget the connections that have closed; keep those a request told of
  // before they were first seen here.
  std::erase_if(open_, [&](const auto& entry) {
    return !sockets.contains(entry.first) &&
           (entry.second.fd >= 0 || now - entry.second.seen > std::chrono::seconds(2));
  });
  std::erase_if(closing_, [&](const std::string& key) { return !sockets.contains(key); });
  std::erase_if(shut_, [&](const std::string& key) { return !sockets.contains(key); });
  std::vector<WatchedConnection> open;
  std::vector<std::string> keys;
  for (const auto& [key, fd] : sockets) {
    if (shut_.contains(key)) continue;
    auto [it, added] = open_.try_emplace(key);
    WatchedConnection& c = it->second;
    if (added) {
      c.address = key.substr(0, key.rfind(' '));
      c.port = std::stoi(key.substr(key.rfind(' ') + 1));
      c.seen = c.since = now;
      c.exempt = exempt_ && exempt_(c.address);
    }
    c.fd = fd;
    if (c.fd < 0) continue;
    open.push_back(c);
    keys.push_back(key);
  }
  for (std::size_t i : ConnectionsToDrop(open, limits_, now)) {
    // The descriptor is checked once more just before: it may have been
    // closed and reused since the scan.
    std::string address;
    int port = 0;
    if (SocketEnd(open[i].fd, true, address, port) && Key(address, port) == keys[i]) {
      EndConnection(open[i].fd);
    }
    open_.erase(keys[i]);
    shut_.insert(keys[i]);  // open until its worker closes it
  }
}

void ConnectionGuard::RequestBegan(const std::string& address, int port) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto [it, added] = open_.try_emplace(Key(address, port));
  WatchedConnection& c = it->second;
  const GuardClock::time_point now = GuardClock::now();
  if (added) {
    c.address = address;
    c.port = port;
    c.seen = now;
    c.exempt = exempt_ && exempt_(address);
  }
  c.in_request = true;
  c.since = now;
}

void ConnectionGuard::RequestEnded(const std::string& address, int port) {
  const std::string key = Key(address, port);
  bool close = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = open_.find(key); it != open_.end()) {
      it->second.in_request = false;
      it->second.answered = true;
      it->second.since = GuardClock::now();
    }
    close = closing_.erase(key) > 0;
    if (close) {
      open_.erase(key);
      shut_.insert(key);
    }
  }
  if (!close) return;
  // The answer is written; shutting the socket down makes the worker's next
  // read fail instead of reading the refused body as a request.
  const std::map<std::string, int> sockets = AcceptedSockets(port_, &Key);
  if (auto it = sockets.find(key); it != sockets.end()) EndConnection(it->second);
}

void ConnectionGuard::CloseAfterAnswer(const std::string& address, int port) {
  std::lock_guard<std::mutex> lock(mutex_);
  closing_.insert(Key(address, port));
}

}  // namespace migprof::web
