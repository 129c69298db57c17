#include "configmgt/item.h"

#include "component/sql_text.h"
#include "configmgt/refusal.h"

namespace migprof::configmgt {
namespace {

String VrcCondition(Integer mprf, const Vrc& vrc) {
  return " where mprf = " + SqlNumber(mprf) + " and vers = '" + SqlText(vrc.vers) +
         "' and rele = '" + SqlText(vrc.rele) + "' and cust = '" + SqlText(vrc.cust) + "'";
}

}  // namespace

std::optional<Vrc> Vrc::Parse(const String& text) {
  std::size_t first = text.find('_');
  if (first == std::string::npos) return std::nullopt;
  std::size_t second = text.find('_', first + 1);
  if (second == std::string::npos || text.find('_', second + 1) != std::string::npos) {
    return std::nullopt;
  }
  return Vrc{text.substr(0, first), text.substr(first + 1, second - first - 1),
             text.substr(second + 1)};
}

String KindCode(ItemKind kind) { return kind == ItemKind::kFunction ? "F" : "R"; }

std::optional<ItemKind> KindFromCode(const String& code) {
  if (code == "F") return ItemKind::kFunction;
  if (code == "R") return ItemKind::kRule;
  return std::nullopt;
}

String ItemLabel(const Item& item) {
  return String(item.kind == ItemKind::kFunction ? "Function" : "Mapping rule") + " <B> " +
         item.name + " </B>";
}

std::vector<ItemTable> ItemTables(const Item& item) {
  const String where = VrcCondition(item.mprf, item.vrc);
  if (item.kind == ItemKind::kFunction) {
    return {{"qzlib100", where + " and fnam = '" + SqlText(item.name) + "'", ""}};
  }
  if (item.name.size() < 6) {
    throw Refusal("The table code " + item.name +
                  " is too short: package code (2), module (3) and table number.");
  }
  const String table = " and tcpac = '" + SqlText(item.name.substr(0, 2)) + "' and tcmod = '" +
                       SqlText(item.name.substr(2, 3)) + "' and tflno = '" +
                       SqlText(item.name.substr(5)) + "'";
  return {{"qzmap120", where + table, ""}, {"qzmap140", where + table, " order by fdnm, dnum"}};
}

String StoreCondition(const Item& item) {
  return VrcCondition(item.mprf, item.vrc) + " and kind = '" + KindCode(item.kind) +
         "' and itnm = '" + SqlText(item.name) + "'";
}

void SetStoreKey(ado::Recordset& row, const Item& item) {
  row.Fields()["mprf"].Value(Variant(item.mprf));
  row.Fields()["vers"].Value(Variant(item.vrc.vers));
  row.Fields()["rele"].Value(Variant(item.vrc.rele));
  row.Fields()["cust"].Value(Variant(item.vrc.cust));
  row.Fields()["kind"].Value(Variant(KindCode(item.kind)));
  row.Fields()["itnm"].Value(Variant(item.name));
}

Snapshot ReadItem(const std::shared_ptr<ado::Connection>& connection, const Item& item) {
  Snapshot rows;
  for (const ItemTable& table : ItemTables(item)) {
    Snapshot part = ReadRows(connection, table.table, table.condition, table.order);
    rows.insert(rows.end(), part.begin(), part.end());
  }
  return rows;
}

void WriteItem(const std::shared_ptr<ado::Connection>& connection, const Item& item,
               const Snapshot& rows) {
  for (const ItemTable& table : ItemTables(item)) {
    ReplaceRows(connection, table.table, table.condition, rows);
  }
}

}  // namespace migprof::configmgt
