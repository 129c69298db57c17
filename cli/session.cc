#include "cli/session.h"

#include <string>

#include "app/identity.h"
#include "app/tables.h"
#include "migprof/com_error.h"

namespace migprof::cli {

std::unique_ptr<app::Application> OpenApplication(const DatabaseSettings& settings) {
  app::Settings app_settings;
  app_settings.source = DataSource{settings.database.value_or(""), settings.user.value_or(""),
                                   settings.password.value_or("")};
  auto application = std::make_unique<app::Application>(app_settings);
  app::EnsureTables(application->db());
  return application;
}

String FailureText() {
  try {
    throw;
  } catch (const ComError& error) {
    return error.description();
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return CurrentFailure().description();
  }
}

app::Principal ActingPrincipal(app::Application& app, const DatabaseSettings& settings) {
  return app::LocalPrincipal(app, settings.as.value_or(app::DefaultLocalName()));
}

app::Principal ReadingPrincipal(app::Application& app, const DatabaseSettings& settings) {
  return app::LocalReader(app, settings.as.value_or(app::DefaultLocalName()));
}

void ServeSession(Caller& caller, std::istream& in, std::ostream& out,
                  const RequestOptions& options) {
  std::string line;
  while (std::getline(in, line)) {
    WriteAnswer(out, AnswerLine(caller, line, options));
  }
}

int RunSession(const DatabaseSettings& settings, const RequestOptions& options, std::istream& in,
               std::ostream& out, std::ostream& err) {
  std::unique_ptr<app::Application> application;
  std::optional<app::Principal> principal;
  try {
    application = OpenApplication(settings);
    principal = ActingPrincipal(*application, settings);
  } catch (...) {
    err << "migprof session: " << FailureText() << '\n';
    return 1;
  }
  TOVRHandleMigProf object;
  Caller caller{*application, *principal, &object};
  ServeSession(caller, in, out, options);
  return 0;
}

}  // namespace migprof::cli
