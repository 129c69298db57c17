// The component's ASCII text helpers (letter case, blanks), for the entry
// points, which stand on the application layer only.
#ifndef MIGPROF_APP_TEXT_H_
#define MIGPROF_APP_TEXT_H_

#include "component/text/ascii.h"

namespace migprof::app {

using text::EqualsIgnoreCase;
using text::Lower;
using text::Trimmed;

}  // namespace migprof::app

#endif  // MIGPROF_APP_TEXT_H_
