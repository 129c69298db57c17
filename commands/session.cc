#include "commands/session.h"

#include <string>

namespace migprof::cli {

void ApplySettings(TOVRHandleMigProf& object, const DatabaseSettings& settings) {
  if (settings.database) object.DatabaseName(*settings.database);
  if (settings.user) object.DatabaseUser(*settings.user);
  if (settings.password) object.DatabasePassword(*settings.password);
}

void ServeSession(TOVRHandleMigProf& object, std::istream& in, std::ostream& out,
                  const RequestOptions& options) {
  std::string line;
  while (std::getline(in, line)) {
    WriteAnswer(out, AnswerLine(object, line, options));
  }
}

int RunSession(const DatabaseSettings& settings, const RequestOptions& options, std::istream& in,
               std::ostream& out) {
  TOVRHandleMigProf object;
  ApplySettings(object, settings);
  ServeSession(object, in, out, options);
  return 0;
}

}  // namespace migprof::cli
