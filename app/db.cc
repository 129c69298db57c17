#include "app/db.h"

#include "migprof/ado.h"

namespace migprof::app {
namespace {

String CellText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.type() == Variant::Type::kDate) return value.AsDate().ToString();
  return value.ToString();
}

}  // namespace

void ApplyTo(const DataSource& source, TOVRHandleMigProf& object) {
  object.DatabaseName(source.name);
  object.DatabaseUser(source.user);
  object.DatabasePassword(source.password);
}

std::vector<Row> Db::Query(const String& sql) const {
  auto connection = OpenDataSource(settings_.source, kInteractiveTimeouts);
  std::shared_ptr<ado::Recordset> rows = connection->Execute(sql);
  std::vector<Row> out;
  if (rows->State() != ado::adStateOpen) return out;
  const long columns = rows->Fields().Count();
  while (!rows->EndOfFile()) {
    Row row;
    row.reserve(columns);
    for (long i = 0; i < columns; ++i) {
      row.push_back(CellText(rows->Fields().Item(static_cast<Integer>(i)).Value()));
    }
    out.push_back(std::move(row));
    rows->MoveNext();
  }
  rows->Close();
  return out;
}

std::optional<Row> Db::QueryOne(const String& sql) const {
  std::vector<Row> rows = Query(sql);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

long long Db::QueryNumber(const String& sql) const {
  std::optional<Row> row = QueryOne(sql);
  if (!row || row->empty() || (*row)[0].empty()) return 0;
  return std::stoll((*row)[0]);
}

long Db::Execute(const String& sql) const {
  auto connection = OpenDataSource(settings_.source, kInteractiveTimeouts);
  Variant affected;
  connection->Execute(sql, &affected);
  return affected.IsEmpty() || affected.IsNull() ? 0 : affected.ToLong();
}

String Db::PageClause(long offset, long count) const {
  if (settings_.paging == Paging::kOffsetFetch) {
    return " offset " + std::to_string(offset) + " rows fetch next " + std::to_string(count) +
           " rows only";
  }
  return " limit " + std::to_string(count) + " offset " + std::to_string(offset);
}

String Db::FirstRowsClause(long count) const {
  // SQL Server pages ordered rows only; ordered by a constant, they come in
  // whatever order the plan gives.
  if (settings_.paging == Paging::kOffsetFetch) {
    return " order by (select null)" + PageClause(0, count);
  }
  return " limit " + std::to_string(count);
}

}  // namespace migprof::app
