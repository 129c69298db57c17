// Import: an exported profile written into another database. Everything is
// checked before the first row is written, and the rows go in within one
// transaction, so a refused or failed import leaves the database as it was.
#include <limits>
#include <map>
#include <set>

#include "component/automation/variant_text.h"
#include "component/sql_text.h"
#include "insight/profile_document.h"
#include "insight/rows.h"

namespace migprof::insight {
namespace {

using TableRows = std::vector<std::pair<const TableInfo*, std::vector<Row>>>;

[[noreturn]] void Malformed(const std::string& why) {
  throw ImportRefused("The document is not an exported profile: " + why);
}

std::size_t ColumnIndex(const TableInfo& table, const std::string& name) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i] == name) return i;
  }
  return table.columns.size();
}

// The rows of the document, checked against the tables' columns; every row
// must belong to the document's profile.
TableRows ReadDocument(const Json& document, Integer& mprf) {
  if (!document.is_object()) Malformed("not a JSON object");
  if (!document.contains("format") || document["format"] != kProfileFormat) {
    Malformed(std::string("\"format\" is not \"") + kProfileFormat + "\"");
  }
  const Json& number = document.value("mprf", Json());
  if (!number.is_number_integer() ||
      number.get<long long>() < std::numeric_limits<Integer>::min() ||
      number.get<long long>() > std::numeric_limits<Integer>::max()) {
    Malformed("\"mprf\" is not a profile number");
  }
  mprf = static_cast<Integer>(number.get<long long>());
  if (!document.contains("tables") || !document["tables"].is_object()) {
    Malformed("\"tables\" is missing");
  }
  const Json& tables = document["tables"];
  std::set<std::string> known;
  TableRows result;
  for (const TableInfo* table : ProfileTables()) {
    known.insert(table->name);
    if (!tables.contains(table->name)) continue;
    const Json& rows = tables[table->name];
    if (!rows.is_array()) Malformed(table->name + " is not a list of rows");
    std::vector<Row> parsed;
    for (const Json& object : rows) {
      if (!object.is_object()) Malformed("a row of " + table->name + " is not an object");
      Row row(table->columns.size(), Variant::Null());
      for (const auto& [name, value] : object.items()) {
        std::size_t index = ColumnIndex(*table, name);
        if (index == table->columns.size()) Malformed(table->name + " has no column " + name);
        try {
          row[index] = ValueFromJson(value);
        } catch (const std::invalid_argument& error) {
          Malformed(table->name + "." + name + ": " + error.what());
        }
      }
      std::size_t owner = ColumnIndex(*table, "mprf");
      if (row[owner].IsNull() || row[owner].ToDouble() != mprf) {
        Malformed("a row of " + table->name + " belongs to another profile");
      }
      parsed.push_back(std::move(row));
    }
    result.emplace_back(table, std::move(parsed));
  }
  for (const auto& [name, rows] : tables.items()) {
    if (!known.count(name)) Malformed("unknown table " + name);
  }
  if (result.empty() || result.front().first->name != "qzmap100" ||
      result.front().second.size() != 1) {
    Malformed("qzmap100 must hold exactly one row");
  }
  return result;
}

bool Exists(ado::Connection& connection, const String& sql) {
  return !ReadRows(connection, sql).empty();
}

// Refuses when the target cannot take the profile; for a derived profile,
// rebuilds its levels from the parent's levels in the target, so they name
// the ancestors by their numbers there.
void CheckTarget(ado::Connection& connection, Integer mprf, TableRows& tables) {
  const TableInfo& profiles = *tables.front().first;
  Row& profile = tables.front().second.front();
  auto column = [&](const char* name) { return TextOr(profile[ColumnIndex(profiles, name)]); };
  if (Exists(connection, "select mprf from qzmap100" + WhereProfile(mprf))) {
    throw ImportRefused("Profile " + std::to_string(mprf) + " exists already in the target");
  }
  String vers = column("vers"), rele = column("rele"), cust = column("cust");
  if (Exists(connection, "select mprf from qzmap100 where 1 = 1" + AndVrc(vers, rele, cust))) {
    throw ImportRefused("The VRC " + vers + "_" + rele + "_" + cust +
                        " belongs to another profile in the target");
  }
  String verf = column("verf"), relf = column("relf"), cusf = column("cusf");
  if (verf.empty() && relf.empty() && cusf.empty()) return;
  std::vector<Row> parent = ReadRows(
      connection, "select mprf, deph from qzmap100 where 1 = 1" + AndVrc(verf, relf, cusf));
  if (parent.empty()) {
    throw ImportRefused("The parent VRC " + verf + "_" + relf + "_" + cusf +
                        " names no profile in the target");
  }
  std::vector<Row> levels;
  levels.push_back(Row{Variant(static_cast<Long>(mprf)), Variant(Long{1}), Variant(vers),
                       Variant(rele), Variant(cust), Variant(static_cast<Long>(mprf))});
  for (Row& level :
       ReadRows(connection, "select mprf, levl, vers, rele, cust, pprf from qzmap101" +
                                WhereProfile(parent.front()[0].ToInteger()) + " order by levl")) {
    level[0] = Variant(static_cast<Long>(mprf));
    level[1] = Variant(static_cast<Long>(level[1].ToLong() + 1));
    levels.push_back(std::move(level));
  }
  for (auto& [table, rows] : tables) {
    if (table->name == "qzmap101") rows = std::move(levels);
  }
  if (!parent.front()[1].IsNull()) {
    profile[ColumnIndex(profiles, "deph")] =
        Variant(static_cast<Long>(parent.front()[1].ToLong() + 1));
  }
}

}  // namespace

ImportResult ImportProfile(const DataSource& target, const std::string& text) {
  Json document = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) Malformed("not valid JSON");
  Integer mprf = 0;
  TableRows tables = ReadDocument(document, mprf);
  std::shared_ptr<ado::Connection> connection = Connect(target);
  CheckTarget(*connection, mprf, tables);
  ImportResult result{mprf, {}};
  connection->BeginTrans();
  try {
    for (const auto& [table, rows] : tables) {
      if (!rows.empty()) InsertRows(*connection, *table, rows);
      result.rows.emplace_back(table->name, static_cast<long long>(rows.size()));
    }
    connection->CommitTrans();
  } catch (...) {
    connection->RollbackTrans();
    throw;
  }
  return result;
}

}  // namespace migprof::insight
