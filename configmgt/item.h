// What revision control keeps under one name: a library function (its
// qzlib100 rows) or the mapping rule of one target table (its qzmap120 and
// qzmap140 rows), in one profile and VRC.
#ifndef MIGPROF_CONFIGMGT_ITEM_H_
#define MIGPROF_CONFIGMGT_ITEM_H_

#include <memory>
#include <optional>
#include <vector>

#include "configmgt/snapshot.h"
#include "migprof/ado.h"
#include "migprof/automation.h"

namespace migprof::configmgt {

// A version, release and customer.
struct Vrc {
  String vers, rele, cust;

  // "{vers}_{rele}_{cust}".
  String Text() const { return vers + "_" + rele + "_" + cust; }
  // The three parts of "{vers}_{rele}_{cust}"; nullopt unless there are
  // exactly two "_".
  static std::optional<Vrc> Parse(const String& text);
  bool operator==(const Vrc&) const = default;
};

enum class ItemKind { kFunction, kRule };

struct Item {
  Integer mprf = 0;
  Vrc vrc;
  ItemKind kind = ItemKind::kFunction;
  // The function name, or the table code: package code (2 characters),
  // module (3 characters) and table number.
  String name;
};

// "F" for a function, "R" for a table rule: the kind column of the
// component's tables.
String KindCode(ItemKind kind);
// The kind of a stored kind code; nullopt for any other text.
std::optional<ItemKind> KindFromCode(const String& code);

// How messages name the item: "Function <B> Calc </B>" or
// "Mapping rule <B> ABMOD1 </B>".
String ItemLabel(const Item& item);

// One table holding rows of the item: the condition (with its leading
// " where") that selects them and the order they are read in.
struct ItemTable {
  String table;
  String condition;
  String order;
};

// The tables of the item's rows: qzlib100 for a function; qzmap120 and
// qzmap140 for a table rule. A table code shorter than six characters is
// refused (Refusal).
std::vector<ItemTable> ItemTables(const Item& item);

// The condition selecting the item in qzcfg100 and qzcfg110.
String StoreCondition(const Item& item);
// Sets the columns naming the item (mprf, vers, rele, cust, kind, itnm) in a
// new qzcfg100 or qzcfg110 row.
void SetStoreKey(ado::Recordset& row, const Item& item);

// The item's rows as they are now, table by table.
Snapshot ReadItem(const std::shared_ptr<ado::Connection>& connection, const Item& item);
// Puts the item's rows back as rows holds them.
void WriteItem(const std::shared_ptr<ado::Connection>& connection, const Item& item,
               const Snapshot& rows);

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_ITEM_H_
