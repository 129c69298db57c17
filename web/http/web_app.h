// What a running server holds for every request: the application layer over
// its database, the runner of its long copies, the count of failed sign-ins
// and the proxies it trusts.
#ifndef MIGPROF_WEB_HTTP_WEB_APP_H_
#define MIGPROF_WEB_HTTP_WEB_APP_H_

#include "app/application.h"
#include "app/jobs.h"
#include "app/sign_in_throttle.h"
#include "web/http/network.h"

namespace migprof::web {

class WebApp {
 public:
  explicit WebApp(app::Settings settings) : core(std::move(settings)), jobs(core) {}

  app::Application core;
  app::JobRunner jobs;
  // Failed sign-ins of this process, per name and per client address.
  app::SignInThrottle sign_ins;
  // The proxies whose forwarded headers are believed (set by the server's
  // configuration; none until then).
  const TrustedProxies* proxies = nullptr;

  const app::Db& db() const { return core.db(); }
};

}  // namespace migprof::web

#endif  // MIGPROF_WEB_HTTP_WEB_APP_H_
