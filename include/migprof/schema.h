// The tables of the profile database: the embedded database's script, and
// the creation of a new embedded database file.
#ifndef MIGPROF_SCHEMA_H_
#define MIGPROF_SCHEMA_H_

#include "migprof/automation.h"

namespace migprof::schema {

// The script that creates every table and index in the embedded database.
const char* EmbeddedSchemaSql();

// Creates a new embedded database file at path with the schema. Raises
// ComError when the file exists already or cannot be created.
void CreateEmbeddedDatabase(const String& path);

}  // namespace migprof::schema

#endif  // MIGPROF_SCHEMA_H_
