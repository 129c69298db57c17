// The one way a value enters the text of a SQL statement.
#ifndef MIGPROF_COMPONENT_SQL_TEXT_H_
#define MIGPROF_COMPONENT_SQL_TEXT_H_

#include <string>

#include "migprof/automation.h"

namespace migprof {

// A text value for use between single quotes in a statement: returned as
// given, except that a single quote is doubled, so the value cannot end the
// literal early. Texts without a quote come back unchanged, so the statement
// is exactly the documented text.
inline String SqlText(const String& value) {
  String out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// The value as a whole literal: SqlText between single quotes.
inline String SqlQuoted(const String& value) { return "'" + SqlText(value) + "'"; }

// A number in decimal, without padding ("-5" for minus five).
inline String SqlNumber(long long value) { return std::to_string(value); }

}  // namespace migprof

#endif  // MIGPROF_COMPONENT_SQL_TEXT_H_
