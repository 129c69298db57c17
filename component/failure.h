// Turns whatever a member's body threw into the error object it records or
// raises, so that nothing escapes as something a caller cannot read.
#ifndef MIGPROF_COMPONENT_FAILURE_H_
#define MIGPROF_COMPONENT_FAILURE_H_

#include "migprof/com_error.h"

namespace migprof {

// Call only inside a catch block: the exception being handled as ComError.
// A ComError is returned as it is; std::bad_alloc becomes 7 "Out of memory";
// any other exception becomes 51 "Internal error" with its message.
ComError CurrentFailure();

}  // namespace migprof

#endif  // MIGPROF_COMPONENT_FAILURE_H_
