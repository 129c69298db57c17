// Conversions between the JSON values of the tool's requests and responses
// and the Automation values of the component's members.
#ifndef MIGPROF_WIRE_JSON_VALUES_H_
#define MIGPROF_WIRE_JSON_VALUES_H_

#include <nlohmann/json.hpp>

#include "migprof/automation.h"
#include "migprof/dispatch.h"

namespace migprof::wire {

// The JSON type of every request and response; it keeps keys in the order
// they were written, so responses read in a fixed order.
using Json = nlohmann::ordered_json;

// The value a JSON argument stands for, before it is converted to the
// parameter's type (dispatch::CoerceArgument does that):
// - null is Null;
// - true/false is the Boolean True/False (-1/0), or the text "True"/"False"
//   for a text parameter, as the runtime turns a Boolean into text;
// - a whole number is an Integer when it fits 16 bits, else a Long when it
//   fits 32 bits, else a Double; any other number is a Double;
// - a string is a String;
// - {"binary": "<hex digits>"} is a Binary.
// Any other array or object raises ComError 13 "Type mismatch", as passing a
// value of the wrong kind to a late-bound call does.
Variant ArgumentFromJson(const Json& value, dispatch::ParamType type);

// A value as JSON: Empty and Null are null, numbers are numbers (a whole
// Double is written without a fraction), texts and dates are strings, binary
// values are {"binary": "<lowercase hex>"}.
Json JsonFromVariant(const Variant& value);

// A number as JSON: a whole number is written as an integer.
Json JsonFromNumber(double value);

// A Boolean as JSON: True is true, False is false, any other value its number.
Json JsonFromBoolean(const Variant& value);

// A member's result as JSON for its result type; a Connection is described
// as {"Connection": {"State": <state>}}, and a missing one as null.
Json JsonFromResult(const dispatch::Result& result, dispatch::ResultType type);

// An argument after the call as JSON, rendered for its parameter's type
// (a Boolean parameter as a Boolean).
Json JsonFromArgument(const Variant& value, dispatch::ParamType type);

// Binary data as lowercase hex digits.
String HexFromBinary(const Binary& bytes);

}  // namespace migprof::wire

#endif  // MIGPROF_WIRE_JSON_VALUES_H_
