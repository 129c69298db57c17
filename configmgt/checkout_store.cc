#include "configmgt/checkout_store.h"

#include <algorithm>

#include "component/automation/variant_text.h"
#include "component/sql_text.h"

namespace migprof::configmgt {
namespace {

std::vector<CheckOutRecord> ReadRecorded(const std::shared_ptr<ado::Connection>& connection,
                                         const String& condition) {
  auto rs = ado::Recordset::Create();
  rs->Open("select mprf, vers, rele, cust, kind, itnm, usrn, odat, snap from qzcfg100" + condition +
               " order by mprf, vers, rele, cust, kind, itnm",
           connection, ado::adOpenStatic, ado::adLockReadOnly);
  std::vector<CheckOutRecord> found;
  while (!rs->EndOfFile()) {
    ado::Fields f = rs->Fields();
    std::optional<ItemKind> kind = KindFromCode(TextOr(f["kind"].Value()));
    if (kind) {
      Item item{f["mprf"].Value().ToInteger(),
                {TextOr(f["vers"].Value()), TextOr(f["rele"].Value()), TextOr(f["cust"].Value())},
                *kind,
                TextOr(f["itnm"].Value())};
      found.push_back(CheckOutRecord{item, TextOr(f["usrn"].Value()), f["odat"].Value(),
                                     TextOr(f["snap"].Value()), true});
    }
    rs->MoveNext();
  }
  rs->Close();
  return found;
}

// Functions with stat "C" that condition selects in qzlib100.
std::vector<CheckOutRecord> ReadMarked(const std::shared_ptr<ado::Connection>& connection,
                                       const String& condition) {
  auto rs = ado::Recordset::Create();
  rs->Open("select mprf, vers, rele, cust, fnam, curn from qzlib100" + condition +
               " order by mprf, vers, rele, cust, fnam",
           connection, ado::adOpenStatic, ado::adLockReadOnly);
  std::vector<CheckOutRecord> found;
  while (!rs->EndOfFile()) {
    ado::Fields f = rs->Fields();
    Item item{f["mprf"].Value().ToInteger(),
              {TextOr(f["vers"].Value()), TextOr(f["rele"].Value()), TextOr(f["cust"].Value())},
              ItemKind::kFunction,
              TextOr(f["fnam"].Value())};
    found.push_back(CheckOutRecord{item, TextOr(f["curn"].Value()), Variant::Null(), "", false});
    rs->MoveNext();
  }
  rs->Close();
  return found;
}

bool SameItem(const Item& a, const Item& b) {
  return a.mprf == b.mprf && a.vrc == b.vrc && a.kind == b.kind && a.name == b.name;
}

}  // namespace

std::optional<CheckOutRecord> FindCheckOut(const std::shared_ptr<ado::Connection>& connection,
                                           const Item& item) {
  std::vector<CheckOutRecord> recorded = ReadRecorded(connection, StoreCondition(item));
  if (!recorded.empty()) return recorded.front();
  if (item.kind != ItemKind::kFunction) return std::nullopt;
  std::vector<CheckOutRecord> marked =
      ReadMarked(connection, ItemTables(item).front().condition + " and stat = 'C'");
  if (marked.empty()) return std::nullopt;
  // The row as the database holds it, the name in the letter case asked for.
  marked.front().item = item;
  return marked.front();
}

std::vector<CheckOutRecord> ListCheckOuts(const std::shared_ptr<ado::Connection>& connection,
                                          std::optional<Integer> mprf) {
  const String of_profile = mprf ? " where mprf = " + SqlNumber(*mprf) : "";
  std::vector<CheckOutRecord> all = ReadRecorded(connection, of_profile);
  const String marked_condition = (mprf ? of_profile + " and" : String(" where")) + " stat = 'C'";
  for (CheckOutRecord& marked : ReadMarked(connection, marked_condition)) {
    bool seen = std::any_of(all.begin(), all.end(), [&](const CheckOutRecord& recorded) {
      return recorded.recorded && SameItem(recorded.item, marked.item);
    });
    if (!seen) all.push_back(std::move(marked));
  }
  return all;
}

void InsertCheckOut(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                    const String& user, const Snapshot& rows) {
  auto rs = ado::Recordset::Create();
  rs->Open("select * from qzcfg100" + StoreCondition(item), connection, ado::adOpenDynamic,
           ado::adLockOptimistic);
  rs->AddNew();
  SetStoreKey(*rs, item);
  rs->Fields()["usrn"].Value(Variant(user));
  rs->Fields()["odat"].Value(Variant(DateTime::Now()));
  rs->Fields()["snap"].Value(Variant(EncodeSnapshot(rows)));
  rs->Update();
  rs->Close();
}

void SetCheckOutHolder(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                       const String& user) {
  connection->Execute("update qzcfg100 set usrn = '" + SqlText(user) + "'" + StoreCondition(item));
}

void DeleteCheckOut(const std::shared_ptr<ado::Connection>& connection, const Item& item) {
  connection->Execute("delete from qzcfg100" + StoreCondition(item));
}

}  // namespace migprof::configmgt
