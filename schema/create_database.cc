#include "component/sqlite/sqlite_session.h"
#include "schema/schema.h"

namespace migprof::schema {

void CreateEmbeddedDatabase(const String& path) {
  sqlite::CreateDatabase(path, EmbeddedSchemaSql());
}

}  // namespace migprof::schema
