#include "app/insight.h"

#include "app/members.h"
#include "migprof/com_error.h"

namespace migprof::app {

insight::Comparison Compare(Application& app, const Principal&, const insight::RuleSet& left,
                            const insight::RuleSet& right) {
  return insight::Compare(app.source(), left, right);
}

insight::ProfileLineage Lineage(Application& app, const Principal&, Integer mprf) {
  return insight::Lineage(app.source(), mprf);
}

insight::TableUsage TableUse(Application& app, const Principal&, const String& tcpac,
                             const String& tcmod, const String& tflno) {
  return insight::TableUse(app.source(), tcpac, tcmod, tflno);
}

insight::FunctionUsage FunctionUse(Application& app, const Principal&, const String& name) {
  return insight::FunctionUse(app.source(), name);
}

namespace {

insight::PageClause PageClauseOf(const Application& app) {
  return [&db = app.db()](long offset, long count) { return db.PageClause(offset, count); };
}

}  // namespace

insight::UsagePage<insight::Use> TableUsePage(Application& app, const Principal&,
                                              const TableKey& key, long offset, long count) {
  return insight::TableUsePage(app.source(), key.tcpac, key.tcmod, key.tflno, offset, count,
                               PageClauseOf(app));
}

insight::UsagePage<insight::FunctionHolder> FunctionHoldersPage(Application& app, const Principal&,
                                                                const String& name, long offset,
                                                                long count) {
  return insight::FunctionHoldersPage(app.source(), name, offset, count, PageClauseOf(app));
}

insight::UsagePage<insight::Use> FunctionCallsPage(Application& app, const Principal&,
                                                   const String& name, long offset, long count) {
  return insight::FunctionCallsPage(app.source(), name, offset, count, PageClauseOf(app));
}

std::string Export(Application& app, const Principal&, Integer mprf) {
  return insight::ExportProfile(app.source(), mprf);
}

insight::ImportResult Import(Application& app, const Principal& principal,
                             const std::string& document) {
  const Arguments arguments{{"bytes", std::to_string(document.size())}};
  Require(app, principal, Operation::kImport, std::nullopt, "import", arguments);
  try {
    insight::ImportResult result = insight::ImportProfile(app.source(), document);
    RowCounts rows;
    for (const auto& [table, count] : result.rows) {
      if (count > 0) rows[table] = count;
    }
    RecordChange(app, principal, "import", result.mprf, arguments, Outcome::kDone, "", "", rows);
    return result;
  } catch (const insight::ImportRefused& refusal) {
    RecordChange(app, principal, "import", std::nullopt, arguments, Outcome::kRefused, "",
                 refusal.what(), {});
    throw;
  } catch (...) {
    const ComError error = CurrentFailure();
    RecordChange(app, principal, "import", std::nullopt, arguments, Outcome::kFailed,
                 std::to_string(error.number()), error.description(), {});
    throw;
  }
}

std::vector<insight::TableChanges> PreviewImport(Application& app, const Principal& principal,
                                                 const std::string& document,
                                                 insight::ImportResult& result) {
  Require(app, principal, Operation::kImport, std::nullopt, "import", {}, /*record=*/false);
  return insight::Preview(app.source(), {}, [&](const DataSource& snapshot) {
    result = insight::ImportProfile(snapshot, document);
  });
}

}  // namespace migprof::app
