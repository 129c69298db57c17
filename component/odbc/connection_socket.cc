#include "component/odbc/connection_socket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>
#include <string>

namespace migprof::odbc {
namespace {

// The port of a TCP (IPv4 or IPv6) socket address; 0 for anything else.
int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return 0;
}

int LocalPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return PortOf(address);
}

int PeerPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return PortOf(address);
}

}  // namespace

int ClientPortOf(std::string_view host) {
  const std::size_t colon = host.rfind(':');
  if (colon == std::string_view::npos || colon + 1 == host.size()) return 0;
  // "[::1]:port" or "a.b.c.d:port"; a bare v6 address has colons but no port.
  if (host.find(':') != colon && host.front() != '[') return 0;
  int port = 0;
  for (const char c : host.substr(colon + 1)) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + (c - '0');
    if (port > 65535) return 0;
  }
  return port;
}

ConnectionSocket FindConnectionSocket(int local_port, int peer_port) {
  ConnectionSocket found;
  if (local_port <= 0 || peer_port <= 0) return found;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return found;
  int matches = 0;
  while (const dirent* entry = readdir(fds)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(fds)) continue;
    const int descriptor = static_cast<int>(fd);
    if (LocalPort(descriptor) == local_port && PeerPort(descriptor) == peer_port) {
      ++matches;
      found = {descriptor, local_port, peer_port};
    }
  }
  closedir(fds);
  return matches == 1 ? found : ConnectionSocket{};
}

SocketState Probe(const ConnectionSocket& socket) {
  if (socket.fd < 0 || LocalPort(socket.fd) != socket.local_port ||
      PeerPort(socket.fd) != socket.peer_port) {
    return SocketState::kUnknown;
  }
  pollfd watch{socket.fd, POLLIN | POLLRDHUP, 0};
  const int ready = poll(&watch, 1, 0);
  if (ready < 0) return SocketState::kUnknown;
  return ready == 0 ? SocketState::kOpen : SocketState::kClosed;
}

}  // namespace migprof::odbc
