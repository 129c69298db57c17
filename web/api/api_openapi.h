// The OpenAPI 3 document of the HTTP API, made from the dispatch table at run
// time so the members it describes are always the ones the server calls.
#ifndef MIGPROF_WEB_API_API_OPENAPI_H_
#define MIGPROF_WEB_API_API_OPENAPI_H_

#include "wire/json_values.h"

namespace migprof::web {

// Paths, argument names and types, by-reference marks, answers and the
// bearer-token security scheme of every route under /api/v1/.
wire::Json OpenApiDocument();

}  // namespace migprof::web

#endif  // MIGPROF_WEB_API_API_OPENAPI_H_
