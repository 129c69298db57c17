// Concurrent calls of the changing members end as if they had run one after
// another: each changing member holds one lock per database from just after
// its first connection is open until it returns, so no other changing member
// reads or writes the database in between.
//
// The lock is the database's or the system's own, never a statement of the
// member: the embedded database takes an exclusive flock() on "<file>-lock"
// beside the database file; MariaDB takes GET_LOCK() on a connection of the
// lock's own; a MariaDB Galera node (wsrep_on) takes the row of qzlck100 with
// a lease that the holder renews; SQL Server takes sp_getapplock with the
// session as owner. What the member sends, in which order, what it commits
// and what it leaves behind after a failure are unchanged.
#ifndef MIGPROF_COMPONENT_CHANGE_LOCK_H_
#define MIGPROF_COMPONENT_CHANGE_LOCK_H_

#include <memory>

#include "migprof/automation.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::detail {

// Held while it lives; released when destroyed (also when the process or
// the connection it sits on ends).
class ChangeLock {
 public:
  virtual ~ChangeLock() = default;
};

// Takes the lock of the database the connection string names, waiting up
// to timeout_seconds for another holder. Raises errc::kQueryTimeout when the
// wait runs out, and kProviderFailure when the lock itself cannot be reached
// (a lock file that cannot be opened, a lock connection that fails).
std::shared_ptr<ChangeLock> TakeChangeLock(const String& connection_string, long login_timeout,
                                           long timeout_seconds);

}  // namespace migprof::detail

namespace migprof {

// Marks a changing member's run on an object. Scopes nest (a member that
// calls another member of the same object holds the lock once); the lock is
// taken by the first connection the outermost scope opens, so a member that
// fails before it connects, or whose connection fails, does exactly what it
// did without the lock, and released when the outermost scope ends.
class ChangeScope {
 public:
  explicit ChangeScope(TOVRHandleMigProf& object) : object_(object) { ++object_.change_depth_; }
  ~ChangeScope() {
    if (--object_.change_depth_ == 0) object_.change_lock_.reset();
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  TOVRHandleMigProf& object_;
};

}  // namespace migprof

#endif  // MIGPROF_COMPONENT_CHANGE_LOCK_H_
