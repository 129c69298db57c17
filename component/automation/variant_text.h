// A column's value as text, where the caller reads a null as a text too.
#ifndef MIGPROF_COMPONENT_AUTOMATION_VARIANT_TEXT_H_
#define MIGPROF_COMPONENT_AUTOMATION_VARIANT_TEXT_H_

#include "migprof/automation.h"

namespace migprof {

// The value's text, or `fallback` for a null.
inline String TextOr(const Variant& value, const String& fallback = String()) {
  return value.IsNull() ? fallback : value.ToString();
}

}  // namespace migprof

#endif  // MIGPROF_COMPONENT_AUTOMATION_VARIANT_TEXT_H_
