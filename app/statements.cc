#include "app/statements.h"

#include "app/members.h"
#include "migprof/com_error.h"

namespace migprof::app {

StatementResult RunStatement(Application& app, const Principal& principal,
                             const String& statement) {
  const Arguments arguments{{"statement", statement}};
  Require(app, principal, Operation::kRunStatements, std::nullopt, "sql", arguments);
  StatementResult result;
  ado::ScopedChangeCount count;
  try {
    std::shared_ptr<ado::Connection> connection = OpenDataSource(app.source(), kComponentTimeouts);
    std::shared_ptr<ado::Recordset> rows = connection->Execute(statement, &result.rows_affected);
    if (rows->State() == ado::adStateOpen) {
      ado::Fields fields = rows->Fields();
      const auto columns = static_cast<Integer>(fields.Count());
      for (Integer i = 0; i < columns; ++i) result.columns.push_back(fields.Item(i).Name());
      while (!rows->EndOfFile()) {
        std::vector<Variant> row;
        for (Integer i = 0; i < columns; ++i) row.push_back(fields.Item(i).Value());
        result.rows.push_back(std::move(row));
        rows->MoveNext();
      }
      rows->Close();
      return result;
    }
  } catch (...) {
    result.raised = CurrentFailure();
  }
  result.changed = count.rows();
  RecordChange(app, principal, "sql", std::nullopt, arguments,
               result.raised ? Outcome::kFailed : Outcome::kDone,
               result.raised ? std::to_string(result.raised->number()) : String(),
               result.raised ? result.raised->description() : String(), result.changed);
  return result;
}

}  // namespace migprof::app
