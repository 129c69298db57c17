// What a running server holds for every request: the application layer over
// its database, and the runner of its long copies.
#ifndef MIGPROF_WEB_HTTP_WEB_APP_H_
#define MIGPROF_WEB_HTTP_WEB_APP_H_

#include "app/application.h"
#include "app/jobs.h"

namespace migprof::web {

class WebApp {
 public:
  explicit WebApp(app::Settings settings) : core(std::move(settings)), jobs(core) {}

  app::Application core;
  app::JobRunner jobs;

  const app::Db& db() const { return core.db(); }
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_WEB_APP_H_
