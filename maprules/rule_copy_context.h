// The state of one CopyToCurrentVRC call, handed to each of its stages.
#ifndef MIGPROF_MAPRULES_RULE_COPY_CONTEXT_H_
#define MIGPROF_MAPRULES_RULE_COPY_CONTEXT_H_

#include <memory>

#include "maprules/table_selection.h"
#include "migprof/ado.h"
#include "migprof/automation.h"

namespace migprof::maprules {

struct RuleCopyContext {
  Integer source_mprf = 0;
  Integer target_mprf = 0;
  // The VRC the copies are stored under, as the caller gave it.
  String target_vers;
  String target_rele;
  String target_cust;
  // The source profile's own VRC, as read from its qzmap100 row.
  String source_vers;
  String source_rele;
  String source_cust;
  // The main table of the arguments.
  TableCode main_table;
  // Lower-cased into the copied table rules.
  String user_name;
  TableSelection selection;
  // The call's own cursor, reused by the relation source, the domain query,
  // the field lists and the function-rule source.
  std::shared_ptr<ado::Recordset> local_cursor;
};

}  // namespace migprof::maprules

#endif  // MIGPROF_MAPRULES_RULE_COPY_CONTEXT_H_
