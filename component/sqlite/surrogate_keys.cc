#include "component/sqlite/surrogate_keys.h"

#include "migprof/com_error.h"

namespace migprof::sqlite {
namespace {

void Exec(sqlite3* db, const String& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    String text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw ComError(errc::kErrorsInCommand, text);
  }
}

// The rows of a query, each column as text ("" for a null).
std::vector<std::vector<String>> Rows(sqlite3* db, const String& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw ComError(errc::kErrorsInCommand, sqlite3_errmsg(db));
  }
  std::vector<std::vector<String>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<String>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw ComError(errc::kErrorsInCommand, sqlite3_errmsg(db));
  return rows;
}

String Quoted(const String& name) { return "\"" + name + "\""; }

}  // namespace

std::vector<String> AddSurrogateKeys(sqlite3* db) {
  std::vector<String> changed;
  for (const std::vector<String>& table :
       Rows(db,
            "select name, sql from sqlite_master where type = 'table' and name like 'qz%' "
            "order by name")) {
    const String& name = table[0];
    const String& create = table[1];
    std::vector<std::vector<String>> columns =
        Rows(db, "select name from pragma_table_info('" + name + "') order by cid");
    bool keyed = false;
    String list;
    for (const std::vector<String>& column : columns) {
      if (column[0] == "rowkey") keyed = true;
      list += (list.empty() ? "" : ", ") + Quoted(column[0]);
    }
    const std::size_t open = create.find('(');
    if (keyed || open == String::npos) continue;
    std::vector<std::vector<String>> indexes =
        Rows(db, "select sql from sqlite_master where type = 'index' and tbl_name = '" + name +
                     "' and sql is not null");
    const String rebuilt = name + "_rekeyed";
    Exec(db, "CREATE TABLE " + Quoted(rebuilt) + " (rowkey INTEGER PRIMARY KEY, " +
                 create.substr(open + 1));
    Exec(db, "INSERT INTO " + Quoted(rebuilt) + " (rowkey, " + list + ") SELECT rowid, " + list +
                 " FROM " + Quoted(name));
    Exec(db, "DROP TABLE " + Quoted(name));
    Exec(db, "ALTER TABLE " + Quoted(rebuilt) + " RENAME TO " + Quoted(name));
    for (const std::vector<String>& index : indexes) Exec(db, index[0]);
    changed.push_back("primary key rowkey of " + name);
  }
  return changed;
}

}  // namespace migprof::sqlite
