// The JSON document of one exported profile.
#ifndef MIGPROF_INSIGHT_PROFILE_DOCUMENT_H_
#define MIGPROF_INSIGHT_PROFILE_DOCUMENT_H_

#include <vector>

#include "insight/tables.h"

namespace migprof::insight {

// The value of the document's "format" key.
inline constexpr const char* kProfileFormat = "migprof-profile 1";

// The tables a document holds, in document order: the profile's own rows,
// its owner links, its mapping rules and its function library.
std::vector<const TableInfo*> ProfileTables();

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_PROFILE_DOCUMENT_H_
