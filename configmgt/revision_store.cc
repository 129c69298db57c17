#include "configmgt/revision_store.h"

#include "component/automation/variant_text.h"
#include "component/sql_text.h"

namespace migprof::configmgt {
namespace {

std::vector<Revision> ReadRevisions(const std::shared_ptr<ado::Connection>& connection,
                                    const String& condition) {
  auto rs = ado::Recordset::Create();
  rs->Open("select revn, usrn, rdat, actn, comt, snap from qzcfg110" + condition + " order by revn",
           connection, ado::adOpenStatic, ado::adLockReadOnly);
  std::vector<Revision> found;
  while (!rs->EndOfFile()) {
    ado::Fields f = rs->Fields();
    found.push_back(Revision{f["revn"].Value().ToLong(), TextOr(f["usrn"].Value()),
                             f["rdat"].Value(), TextOr(f["actn"].Value()),
                             TextOr(f["comt"].Value()), TextOr(f["snap"].Value())});
    rs->MoveNext();
  }
  rs->Close();
  return found;
}

}  // namespace

Long AddRevision(const std::shared_ptr<ado::Connection>& connection, const Item& item,
                 const String& user, const String& action, const String& comment,
                 const Snapshot& rows) {
  const String condition = StoreCondition(item);
  auto last = connection->Execute("select max(revn) from qzcfg110" + condition);
  Variant highest = last->Fields().Item(Integer{0}).Value();
  last->Close();
  const Long number = highest.IsNull() ? 1 : highest.ToLong() + 1;

  auto rs = ado::Recordset::Create();
  rs->Open("select * from qzcfg110" + condition + " and revn = " + SqlNumber(number), connection,
           ado::adOpenDynamic, ado::adLockOptimistic);
  rs->AddNew();
  SetStoreKey(*rs, item);
  rs->Fields()["revn"].Value(Variant(number));
  rs->Fields()["usrn"].Value(Variant(user));
  rs->Fields()["rdat"].Value(Variant(DateTime::Now()));
  rs->Fields()["actn"].Value(Variant(action));
  rs->Fields()["comt"].Value(Variant(comment));
  rs->Fields()["snap"].Value(Variant(EncodeSnapshot(rows)));
  rs->Update();
  rs->Close();
  return number;
}

std::vector<Revision> ListRevisions(const std::shared_ptr<ado::Connection>& connection,
                                    const Item& item) {
  return ReadRevisions(connection, StoreCondition(item));
}

std::optional<Revision> FindRevision(const std::shared_ptr<ado::Connection>& connection,
                                     const Item& item, Long number) {
  std::vector<Revision> found =
      ReadRevisions(connection, StoreCondition(item) + " and revn = " + SqlNumber(number));
  if (found.empty()) return std::nullopt;
  return found.front();
}

long DeleteRevisionsOf(const std::shared_ptr<ado::Connection>& connection, Integer mprf,
                       const Vrc& vrc) {
  Variant affected;
  connection->Execute("delete from qzcfg110 where mprf = " + SqlNumber(mprf) + " and vers = '" +
                          SqlText(vrc.vers) + "' and rele = '" + SqlText(vrc.rele) +
                          "' and cust = '" + SqlText(vrc.cust) + "'",
                      &affected);
  return affected.IsEmpty() ? 0 : affected.ToLong();
}

}  // namespace migprof::configmgt
