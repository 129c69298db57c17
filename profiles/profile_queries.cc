// GetUserOwnerProfiles and GetOrvoOrLegacyProfiles: lists of profile numbers
// joined by "~", "0" for none.
#include <vector>

#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/profile_messages.h"
#include "profiles/profile_text.h"

namespace migprof {
namespace {

// A list built with a "~" after (or before) every number, answered without
// that last character; "0" when empty.
String ListResult(const String& list) {
  return list.empty() ? String("0") : list.substr(0, list.size() - 1);
}

}  // namespace

String TOVRHandleMigProf::GetUserOwnerProfiles(String i_strUsrn) {
  try {
    m_rsShared = ado::Recordset::Create();
    auto owner_rows = ado::Recordset::Create();
    query::OpenQuery(*owner_rows,
                     "select cast(usrn as varchar),cast(mprf as int) from qzusr110 where "
                     "usrn = cast('" +
                         SqlText(i_strUsrn) + "' as varbinary) order by mprf DESC",
                     getNewConnection());
    String list;
    while (!owner_rows->EndOfFile()) {
      Integer m = owner_rows->Fields().Item(Integer{1}).Value().ToInteger();
      query::OpenQuery(
          *m_rsShared,
          "select cast(ownr as varchar),mprf from qzmap100 where mprf = " + SqlNumber(m),
          getNewConnection());
      while (!m_rsShared->EndOfFile()) {
        list += m_rsShared->Fields().Item(Integer{1}).Value().ToString() + "~";
        m_rsShared->MoveNext();
      }
      m_rsShared->Close();
      owner_rows->MoveNext();
    }
    owner_rows->Close();
    return ListResult(list);
  } catch (...) {
    err_description_ = profiles::kQueryFailedText;
    return "0";
  }
}

String TOVRHandleMigProf::GetOrvoOrLegacyProfiles(String i_StrMPRF, Boolean i_BoolOrvoOrLeg) {
  std::shared_ptr<ado::Recordset> extn_rows;
  try {
    m_rsShared = ado::Recordset::Create();
    extn_rows = ado::Recordset::Create();
    String list;
    if (profiles::TrimBlanks(i_StrMPRF) != "~") {
      std::vector<String> items = profiles::SplitText(i_StrMPRF, "~");
      // Items go into the statements unquoted; a list with anything but
      // numbers is answered as a failed query would be, before any runs.
      for (const String& item : items) {
        if (!profiles::TrimBlanks(item).empty() && !profiles::IsNumericLiteral(item)) {
          return "0";
        }
      }
      for (const String& item : items) {
        if (profiles::TrimBlanks(item).empty()) continue;
        query::OpenQuery(*m_rsShared, "select sapp from qzmap100 where mprf = " + item,
                         getNewConnection());
        if (m_rsShared->BOF() || m_rsShared->EndOfFile()) {
          m_rsShared->Close();
          continue;
        }
        String sapp = m_rsShared->Fields().Item(Integer{0}).Value().ToString();
        query::OpenQuery(*extn_rows,
                         "select extn from qzddi100 where appl = '" + SqlText(sapp) + "'",
                         getNewConnection());
        if (extn_rows->BOF() || extn_rows->EndOfFile()) {
          extn_rows->Close();
          m_rsShared->Close();
          continue;
        }
        // A kind is compared as a number; a null kind is neither 1 nor 0.
        Variant extn = extn_rows->Fields().Item(Integer{0}).Value();
        if (!extn.IsNull()) {
          Double kind = extn.ToDouble();
          bool orvo = i_BoolOrvoOrLeg.IsTrue();
          if ((kind == 1 && orvo) || (kind == 0 && !orvo)) list = item + "~" + list;
        }
        extn_rows->Close();
        m_rsShared->Close();
      }
    }
    return ListResult(list);
  } catch (...) {
    query::CloseIfOpen(extn_rows);
    query::CloseIfOpen(m_rsShared);
    return "0";
  }
}

}  // namespace migprof
