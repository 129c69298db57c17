#include "commands/run_statement.h"

#include <memory>

#include "commands/call_member.h"
#include "component/failure.h"
#include "migprof/ado.h"

namespace migprof::cli {

Json RunStatement(TOVRHandleMigProf& object, const String& statement) {
  try {
    std::shared_ptr<ado::Connection> connection = object.getNewConnection();
    Variant affected;
    std::shared_ptr<ado::Recordset> rows = connection->Execute(statement, &affected);
    if (rows->State() != ado::adStateOpen) {
      return Json{{"columns", Json::array()},
                  {"rows", Json::array()},
                  {"rowsAffected", JsonFromVariant(affected)}};
    }
    ado::Fields fields = rows->Fields();
    const auto count = static_cast<Integer>(fields.Count());
    Json columns = Json::array();
    for (Integer i = 0; i < count; ++i) columns.push_back(fields.Item(i).Name());
    Json values = Json::array();
    while (!rows->EndOfFile()) {
      Json row = Json::array();
      for (Integer i = 0; i < count; ++i) row.push_back(JsonFromVariant(fields.Item(i).Value()));
      values.push_back(std::move(row));
      rows->MoveNext();
    }
    rows->Close();
    return Json{{"columns", std::move(columns)}, {"rows", std::move(values)}};
  } catch (...) {
    return Json{{"raised", RaisedJson(CurrentFailure())}};
  }
}

}  // namespace migprof::cli
