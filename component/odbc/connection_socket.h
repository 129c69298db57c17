// The client end of a driver connection's TCP socket, found by the ports the
// server reports for the connection, so that a kept connection can be
// checked for a server-side close without a round trip to the server.
#ifndef MIGPROF_COMPONENT_ODBC_CONNECTION_SOCKET_H_
#define MIGPROF_COMPONENT_ODBC_CONNECTION_SOCKET_H_

#include <string_view>

namespace migprof::odbc {

struct ConnectionSocket {
  int fd = -1;  // -1: not known
  int local_port = 0;
  int peer_port = 0;
};

// The port of a client as a server's process list shows it ("host:port",
// "[v6 address]:port"); 0 for a client without one (a local socket, which
// shows as "localhost").
int ClientPortOf(std::string_view host);

// The one TCP socket of this process whose local port is local_port and
// whose peer's port is peer_port; fd -1 when there is none or more than one.
ConnectionSocket FindConnectionSocket(int local_port, int peer_port);

enum class SocketState {
  kOpen,     // connected, nothing to read: the server has not ended it
  kClosed,   // the peer closed it, reset it or sent something unasked
  kUnknown,  // fd is not that socket any more (or not known)
};

// Looks at the socket without waiting and without sending anything.
SocketState Probe(const ConnectionSocket& socket);

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_CONNECTION_SOCKET_H_
