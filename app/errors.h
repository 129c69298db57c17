// How the application layer says no. Each entry point turns these into its
// own answer: an HTTP status and page, a JSON error, or an exit status and a
// message on standard error.
#ifndef MIGPROF_APP_ERRORS_H_
#define MIGPROF_APP_ERRORS_H_

#include <stdexcept>

namespace migprof::app {

// The principal may not do this (403). Nothing was changed.
class Forbidden : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The request cannot be carried out as asked: a malformed value, or an
// operation that does not apply here (400). Nothing was changed.
class Invalid : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the request names does not exist (404).
class NotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The request's principal could not be established: no session, a bad token,
// a disabled account (401).
class Unauthenticated : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_ERRORS_H_
