// UpdateMap100: description, application name, revision control and parent
// of an existing profile, with the configuration-management component.
#include <vector>

#include "component/change_lock.h"
#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "migprof/object_registry.h"
#include "profiles/profile_text.h"

namespace migprof {
namespace {

// A stored text differs from a given one; a null never does.
bool Differs(const Variant& stored, const String& given) {
  return !stored.IsNull() && stored.ToString() != given;
}

std::shared_ptr<ConfigMgt> CreateConfigMgt() {
  std::shared_ptr<ConfigMgt> component =
      std::dynamic_pointer_cast<ConfigMgt>(CreateObject(kConfigMgtProgId));
  // An object registered under the ProgID without the component's members
  // cannot stand in for it.
  if (!component) throw ComError(errc::kCannotCreateObject, errtext::kCannotCreateObject);
  return component;
}

}  // namespace

Boolean TOVRHandleMigProf::UpdateMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSCME,
                                        String i_StrVers, String i_StrRele, String i_StrCust,
                                        String i_StrLapn, String i_StrDVRC, String i_strUsrn,
                                        String i_StrPath, String i_StrDver, String i_StrDrel,
                                        String i_StrDCus) {
  const ChangeScope change_scope(*this);
  std::shared_ptr<ado::Recordset> rsProfile;
  try {
    m_objConfigMgt = CreateConfigMgt();
    rsProfile = ado::Recordset::Create();
    m_objConfigMgt->DatabaseName(database_name_);
    m_objConfigMgt->DatabasePassword(database_password_);
    m_objConfigMgt->DatabaseServer(database_server_);
    m_objConfigMgt->DatabaseUser(database_user_);
    RefreshSessionConnection();

    String mprf = SqlNumber(i_intMPRF);
    query::OpenQuery(*rsProfile, "select * from qzmap100 where mprf=" + mprf, getNewConnection());
    if (rsProfile->BOF() && rsProfile->EndOfFile()) return kFalse;

    std::vector<String> parent_parts = profiles::SplitText(i_StrDVRC, "_");
    const String new_vers = profiles::Piece(parent_parts, 0);
    const String new_rele = profiles::Piece(parent_parts, 1);
    const String new_cust = profiles::Piece(parent_parts, 2);
    String derivation_clause;
    String depth_clause;
    String rebuild_entry;

    ado::Fields profile = rsProfile->Fields();
    if (Differs(profile.Item(String("verf")).Value(), new_vers) ||
        Differs(profile.Item(String("relf")).Value(), new_rele) ||
        Differs(profile.Item(String("cusf")).Value(), new_cust)) {
      String profile_text = mprf;
      rebuild_entry = mprf + "_" + GetProfileChildren(profile_text);
      derivation_clause = " verf='" + SqlText(new_vers) + "', relf='" + SqlText(new_rele) +
                          "', cusf='" + SqlText(new_cust) + "'";
      String statement;
      if (i_StrDVRC == "__") {
        statement = "delete from qzmap101 where mprf=" + mprf + " and levl>1";
      } else {
        std::shared_ptr<ado::Recordset> parent = m_Conn->Execute(
            "select mprf from qzmap100 where vers='" + SqlText(new_vers) + "' and rele='" +
            SqlText(new_rele) + "' and cust='" + SqlText(new_cust) + "'");
        Integer parent_mprf = parent->Fields().Item(String("mprf")).Value().ToInteger();
        Integer current_mprf = i_intMPRF;
        if (!ValidateDerivation(current_mprf, parent_mprf).IsTrue()) {
          parent->Close();
          rsProfile->Close();
          return kFalse;
        }
        statement = "update qzmap101 set  pprf=" + SqlNumber(parent_mprf) + ", vers='" +
                    SqlText(new_vers) + "',rele='" + SqlText(new_rele) + "',cust='" +
                    SqlText(new_cust) + "' where mprf=" + mprf + " and levl=2";
      }
      m_Conn->Execute(statement);
      depth_clause = " deph= " + SqlNumber(GetProfileDepth(new_vers, new_rele, new_cust));
    }

    // The switch is compared trimmed and ignoring case (a null stored switch
    // counts as unchanged, as a null parent does); which way it went is then
    // decided on the argument exactly as given.
    Variant stored_scme = profile.Item(String("scme")).Value();
    bool scme_changed = !stored_scme.IsNull() &&
                        profiles::UpperAscii(profiles::TrimBlanks(i_StrSCME)) !=
                            profiles::UpperAscii(profiles::TrimBlanks(stored_scme.ToString()));
    String scme_clause;
    if (scme_changed && i_StrSCME == "N") {
      // The arguments go by reference, as the late-bound call passes them:
      // what the component leaves in them is what the update goes on with.
      m_objConfigMgt
          ->Global_Undo_Check_Out(i_strUsrn, i_intMPRF, i_StrVers, i_StrRele, i_StrCust, i_StrPath)
          .ToBoolean();
      m_objConfigMgt
          ->Delete_Revisions(i_intMPRF, i_StrVers, i_StrRele, i_StrCust, i_strUsrn, i_StrPath)
          .ToBoolean();
      mprf = SqlNumber(i_intMPRF);
      m_Conn->Execute("delete from qzmap105 where mprf =" + mprf);
      scme_clause = "scme = 'N'";
    } else if (scme_changed) {
      m_Conn->Execute("insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values (" + mprf +
                      ",'" + SqlText(i_StrVers) + "','" + SqlText(i_StrRele) + "','" +
                      SqlText(i_StrCust) + "','" + SqlText(i_StrDver) + "','" + SqlText(i_StrDrel) +
                      "','" + SqlText(i_StrDCus) + "')");
      scme_clause = "scme = 'Y'";
    } else if (i_StrSCME != "Y") {
      scme_clause = "scme = 'N'";
    } else {
      auto development = ado::Recordset::Create();
      query::OpenQuery(*development, "select dver,drel,dcus from qzmap105 where mprf =" + mprf,
                       getNewConnection());
      String dver, drel, dcus;
      if (!development->BOF() && !development->EndOfFile()) {
        dver = development->Fields().Item(Integer{0}).Value().ToString();
        drel = development->Fields().Item(Integer{1}).Value().ToString();
        dcus = development->Fields().Item(Integer{2}).Value().ToString();
      }
      development->Close();
      development = nullptr;
      if (i_StrDver != dver || i_StrDrel != drel || i_StrDCus != dcus) {
        m_objConfigMgt->OpenConnection(getNewConnection());
        Boolean may_change = m_objConfigMgt->Check_Check_Out(i_intMPRF).ToBoolean();
        mprf = SqlNumber(i_intMPRF);
        err_description_ = m_objConfigMgt->ErrDescription();
        if (!may_change.value) {
          m_objConfigMgt = nullptr;
          return kFalse;
        }
        m_Conn->Execute("update qzmap105 set dver ='" + SqlText(i_StrDver) + "', drel = '" +
                        SqlText(i_StrDrel) + "', dcus = '" + SqlText(i_StrDCus) +
                        "' where mprf = " + mprf);
      }
      scme_clause = "scme = 'Y'";
    }

    String update = "update qzmap100 set dsca ='" + SqlText(i_StrDesc) + "'," + scme_clause +
                    ", apln ='" + SqlText(i_StrLapn) + "'";
    if (!derivation_clause.empty()) update += "," + derivation_clause;
    if (!depth_clause.empty()) update += "," + depth_clause;
    m_Conn->Execute(update + " where mprf= " + mprf);

    if (!rebuild_entry.empty()) {
      std::vector<String> entries{rebuild_entry};
      RebuildDerivationLevels(entries);
    }
    rsProfile->Close();
    m_objConfigMgt = nullptr;
    return kTrue;
  } catch (...) {
    RecordFailure(CurrentFailure());
    query::CloseIfOpen(rsProfile);
    return kFalse;
  }
}

}  // namespace migprof
