// Every table of the profile database has a surrogate primary key, the
// column rowkey, that no member reads or writes: the database fills it in
// when a row is added, and this layer leaves it out of every result (as
// MariaDB does by itself with its INVISIBLE column), so "select *" answers
// the columns it answered before the key was there.
#ifndef MIGPROF_COMPONENT_ADO_SURROGATE_KEY_H_
#define MIGPROF_COMPONENT_ADO_SURROGATE_KEY_H_

#include <cstddef>
#include <vector>

#include "migprof/automation.h"

namespace migprof::ado::detail {

// The surrogate key's column name.
inline constexpr const char* kSurrogateKey = "rowkey";

// The positions, in ascending order, of the columns named rowkey (in any
// letter case).
std::vector<std::size_t> SurrogateKeyPositions(const std::vector<String>& columns);

// Removes the entries at positions (ascending) that values has.
template <typename T>
void RemovePositions(std::vector<T>& values, const std::vector<std::size_t>& positions) {
  for (auto at = positions.rbegin(); at != positions.rend(); ++at) {
    if (*at < values.size()) values.erase(values.begin() + static_cast<std::ptrdiff_t>(*at));
  }
}

}  // namespace migprof::ado::detail

#endif  // MIGPROF_COMPONENT_ADO_SURROGATE_KEY_H_
