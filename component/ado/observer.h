#ifndef MIGPROF_COMPONENT_ADO_OBSERVER_H_
#define MIGPROF_COMPONENT_ADO_OBSERVER_H_

#include "migprof/automation.h"

namespace migprof::ado::detail {

// Tells the current thread's statement observer, if any, about a text passed
// to Execute or Recordset::Open.
void NotifyStatement(const String& text);

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_OBSERVER_H_
