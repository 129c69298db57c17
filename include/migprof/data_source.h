// A data source as the component connects to it: the name (DatabaseName),
// the login (DatabaseUser, DatabasePassword), and the one place where its
// connection string is built and its connections are opened.
#ifndef MIGPROF_DATA_SOURCE_H_
#define MIGPROF_DATA_SOURCE_H_

#include <memory>

#include "migprof/ado.h"
#include "migprof/automation.h"

namespace migprof {

struct DataSource {
  String name;  // "sqlite:<path>" or an ODBC data source name
  String user;
  String password;

  // True for the embedded database ("sqlite:<path>").
  bool Embedded() const { return name.rfind("sqlite:", 0) == 0; }
};

// How long a new connection waits for the data source to open and for each
// statement (seconds).
struct Timeouts {
  long connection = 0;
  long command = 0;
};

// The component's connections: both timeouts fixed at 10000.
inline constexpr Timeouts kComponentTimeouts{10000, 10000};
// Reads of the front end and the tool: a page waits seconds, not hours, for a
// database that does not answer.
inline constexpr Timeouts kInteractiveTimeouts{15, 30};

// "DSN=<name>;uid=<user>;pwd=<password>;".
String ConnectionString(const DataSource& source);

// A new open connection to source with these timeouts. Raises ComError when
// the data source cannot be opened.
std::shared_ptr<ado::Connection> OpenDataSource(const DataSource& source,
                                                Timeouts timeouts = kComponentTimeouts);

}  // namespace migprof

#endif  // MIGPROF_DATA_SOURCE_H_
