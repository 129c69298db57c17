// A member called straight on a component object, as a scripting host calls
// it, answered in the tool's JSON form: the reference the answers of the
// tool, the API and the recorded traces are compared with; and the forms in
// which those comparisons read texts and rows.
#ifndef MIGPROF_TESTS_TESTING_DIRECT_CALL_H_
#define MIGPROF_TESTS_TESTING_DIRECT_CALL_H_

#include <optional>
#include <string>
#include <vector>

#include "migprof/ado.h"
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

// text with every occurrence of from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to);

// Applies edit to every string inside value.
template <typename Edit>
wire::Json EditStrings(const wire::Json& value, const Edit& edit) {
  if (value.is_string()) return edit(value.get<std::string>());
  if (!value.is_structured()) return value;
  wire::Json out = value;
  for (auto& item : out) item = EditStrings(item, edit);
  return out;
}

// The text of a failure after a driver's "[vendor][driver]..." prefixes.
std::string ServerText(const std::string& text);

// A stored owner (code page 1252 bytes) as "<cipher of NAME>": its cipher
// is salted at random, so it differs from run to run. The bytes themselves
// when they do not decipher.
std::string OwnerOfCipher(const std::string& cp1252);

// The rows of table, each a JSON array, sorted (servers answer in index
// order, the embedded database in the order added); qzmap100's owner as
// OwnerOfCipher gives it. None when the table does not exist.
std::optional<std::vector<wire::Json>> SortedRows(
    const std::shared_ptr<ado::Connection>& connection, const std::string& table);

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_TESTING_DIRECT_CALL_H_
