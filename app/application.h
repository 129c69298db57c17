// The application layer's state: the settings of the profile database and
// the stores every entry point shares. One per process (a server, a command
// of the tool); the operations of the layer take it with the principal that
// acts.
#ifndef MIGPROF_APP_APPLICATION_H_
#define MIGPROF_APP_APPLICATION_H_

#include "app/accounts.h"
#include "app/activity.h"
#include "app/db.h"

namespace migprof::app {

class Application {
 public:
  explicit Application(Settings settings)
      : db_(std::move(settings)), accounts_(db_), activity_(db_) {}
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  const Settings& settings() const { return db_.settings(); }
  const DataSource& source() const { return db_.source(); }
  const Db& db() const { return db_; }
  Accounts& accounts() { return accounts_; }
  ActivityLog& activity() { return activity_; }

 private:
  Db db_;
  Accounts accounts_;
  ActivityLog activity_;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_APPLICATION_H_
