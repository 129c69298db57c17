// A member called straight on a component object, as a scripting host calls
// it, answered in the tool's JSON form: the reference the answers of the
// tool, the API and the recorded traces are compared with.
#ifndef MIGPROF_TESTS_TESTING_DIRECT_CALL_H_
#define MIGPROF_TESTS_TESTING_DIRECT_CALL_H_

#include "migprof/dispatch.h"
#include "migprof/handle_mig_prof.h"
#include "wire/json_values.h"

namespace migprof::testing {

// Calls member on object with args (a JSON array) and answers {"result",
// "ErrorNumber", "ErrDescription"} with the object's error state, "byref"
// for a member with by-reference arguments that was called, "raised" when it
// raised (also for arguments of the wrong shape, which call nothing), and
// with trace "statements", the texts it sent.
wire::Json DirectCall(TOVRHandleMigProf& object, const dispatch::Member& member,
                      const wire::Json& args, bool trace);

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_TESTING_DIRECT_CALL_H_
