// The tables of the profile database. The declarations are public, for
// programs that create their own embedded database: migprof/schema.h.
#ifndef MIGPROF_SCHEMA_SCHEMA_H_
#define MIGPROF_SCHEMA_SCHEMA_H_

#include "migprof/schema.h"

#endif  // MIGPROF_SCHEMA_SCHEMA_H_
