// Random cases for comparing two databases: an estate of profiles, rules,
// functions and dictionary rows, then a sequence of calls of the component's
// members with arguments drawn from the estate and hostile ones (missing
// rows, other letter case and blanks, quotes, characters SQL Server's
// collation tells apart or code page 1252 lacks, texts longer than their
// columns, numbers written as text).
#ifndef MIGPROF_TESTS_DIFFERENTIAL_RANDOM_CASE_H_
#define MIGPROF_TESTS_DIFFERENTIAL_RANDOM_CASE_H_

#include <cstdint>
#include <vector>

#include "wire/json_values.h"

namespace migprof::testing {

// A step is a request as the tool's sessions take it: {"sql": "<statement>"}
// or {"call": "<member>", "args": [...]}. Arguments "$DSN", "$UID" and
// "$PWD" stand for the database's own data source and login.
struct RandomCase {
  std::vector<wire::Json> setup;  // the estate
  std::vector<wire::Json> calls;  // the member calls compared one by one
};

// The case drawn by a generator started at `draw`: the same number always
// gives the same case. Every one of the 22 members is drawn.
RandomCase DrawCase(std::uint32_t draw, int calls);

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_DIFFERENTIAL_RANDOM_CASE_H_
