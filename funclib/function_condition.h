// The condition that names one library function: profile, VRC and name.
#ifndef MIGPROF_FUNCLIB_FUNCTION_CONDITION_H_
#define MIGPROF_FUNCLIB_FUNCTION_CONDITION_H_

#include "component/sql_text.h"
#include "migprof/automation.h"

namespace migprof::funclib {

// "where mprf = {mprf} AND  vers = '{vers}' AND  rele = '{rele}' AND  cust =
// '{cust}' AND  fnam = '{fnam}'": two blanks after each AND, the texts as
// given.
inline String FunctionCondition(Integer mprf, const String& vers, const String& rele,
                                const String& cust, const String& fnam) {
  return "where mprf = " + SqlNumber(mprf) + " AND  vers = '" + SqlText(vers) + "' AND  rele = '" +
         SqlText(rele) + "' AND  cust = '" + SqlText(cust) + "' AND  fnam = '" + SqlText(fnam) +
         "'";
}

// True when a column value is exactly the text letter; a null never is.
inline bool IsText(const Variant& value, const char* letter) {
  return !value.IsNull() && value.ToString() == letter;
}

}  // namespace migprof::funclib

#endif  // MIGPROF_FUNCLIB_FUNCTION_CONDITION_H_
