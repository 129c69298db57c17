// Turns whatever a member's body threw into the error object it records or
// raises, so that nothing escapes as something a caller cannot read
// (CurrentFailure, declared with the error object).
#ifndef MIGPROF_COMPONENT_FAILURE_H_
#define MIGPROF_COMPONENT_FAILURE_H_

#include "migprof/com_error.h"

#endif  // MIGPROF_COMPONENT_FAILURE_H_
