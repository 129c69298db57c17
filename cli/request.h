// The requests of the tool's JSON protocol and their answers.
//
// A request is one JSON object, either
//   {"call": "<member>", "args": [...]}   a member call, or
//   {"sql": "<statement>"}                one statement (administrators).
#ifndef MIGPROF_CLI_REQUEST_H_
#define MIGPROF_CLI_REQUEST_H_

#include <ostream>
#include <stdexcept>
#include <string_view>

#include "app/application.h"
#include "app/principal.h"
#include "migprof/handle_mig_prof.h"
#include "wire/json_values.h"

namespace migprof::cli {

using wire::Json;

// A request that cannot be carried out as written (not an object, unknown
// member, arguments not an array, ...). what() says what is wrong.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RequestOptions {
  // Member calls also answer the statement texts they sent.
  bool trace = false;
};

// Who asks, and the object a session keeps between its calls (nullptr: a
// new object for each call).
struct Caller {
  app::Application& app;
  app::Principal principal;
  TOVRHandleMigProf* kept = nullptr;
};

// Carries out request and returns its answer: a member call's as
// wire::OutcomeJson writes it (with "statements" when traced), a
// statement's as
//   {"columns": [...], "rows": [[...], ...]}  or
//   {"columns": [], "rows": [], "rowsAffected": n},
// either with "raised" when it failed. A request the principal may not make
// is answered {"error": "...", "forbidden": true}. Raises BadRequest for a
// malformed request, before anything is called.
Json HandleRequest(Caller& caller, const Json& request, const RequestOptions& options);

// Parses one line of text as a request and carries it out. A line that is
// not JSON, or a malformed request, is answered {"error": "<what is wrong>"}.
Json AnswerLine(Caller& caller, std::string_view line, const RequestOptions& options);

// {"error": message}.
Json ErrorJson(std::string_view message);

// Writes answer on one line and flushes, so a program talking to the tool
// through pipes can wait for each answer.
void WriteAnswer(std::ostream& out, const Json& answer);

}  // namespace migprof::cli

#endif  // MIGPROF_CLI_REQUEST_H_
