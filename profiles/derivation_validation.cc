// ValidateDerivation: the kind rule between a profile and its parent.
#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/profile_messages.h"

namespace migprof {
namespace {

// Whether two different applications are of two different kinds: the
// distinct kinds of both number exactly two. Fewer (no kind, one shared
// kind) or more (an application with several kinds) pass.
bool KindsDiffer(ado::Connection& connection, const String& current_app, const String& parent_app) {
  std::shared_ptr<ado::Recordset> kinds =
      connection.Execute("select distinct extn from qzddi100 where appl='" + SqlText(current_app) +
                         "' or appl='" + SqlText(parent_app) + "'");
  long count = 0;
  while (!kinds->EndOfFile()) {
    ++count;
    kinds->MoveNext();
  }
  kinds->Close();
  return count == 2;
}

// The application in column of both rows differs (a null on either side is
// not compared) and the two are of different kinds.
bool ApplicationsOfDifferentKinds(ado::Connection& connection, ado::Recordset& current,
                                  ado::Recordset& parent, const String& column) {
  Variant current_app = current.Fields().Item(column).Value();
  Variant parent_app = parent.Fields().Item(column).Value();
  if (current_app.IsNull() || parent_app.IsNull() || current_app == parent_app) return false;
  return KindsDiffer(connection, current_app.ToString(), parent_app.ToString());
}

}  // namespace

Boolean TOVRHandleMigProf::ValidateDerivation(Integer& i_intMPRF, Integer& i_intPPRF) {
  std::shared_ptr<ado::Recordset> current;
  std::shared_ptr<ado::Recordset> parent;
  try {
    current = ado::Recordset::Create();
    query::OpenQuery(
        *current,
        "select vers, rele, cust, sapp,tapp from qzmap100 where mprf=" + SqlNumber(i_intMPRF),
        getNewConnection());
    RefreshSessionConnection();
    parent = ado::Recordset::Create();
    query::OpenQuery(
        *parent,
        "select vers, rele, cust, sapp,tapp from qzmap100 where mprf=" + SqlNumber(i_intPPRF),
        getNewConnection());
    if (ApplicationsOfDifferentKinds(*m_Conn, *current, *parent, "sapp")) {
      Refuse(profiles::kHeterogeneousDerivation, profiles::kSourceKindsDiffer);
      return kFalse;
    }
    if (ApplicationsOfDifferentKinds(*m_Conn, *current, *parent, "tapp")) {
      Refuse(profiles::kHeterogeneousDerivation, profiles::kTargetKindsDiffer);
      return kFalse;
    }
    current->Close();
    parent->Close();
    return kTrue;
  } catch (...) {
    RecordFailure(CurrentFailure());
    query::CloseIfOpen(current);
    query::CloseIfOpen(parent);
    return kFalse;
  }
}

}  // namespace migprof
