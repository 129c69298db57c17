#include "configmgt/config_mgt.h"

#include <algorithm>

#include "component/failure.h"
#include "component/sql_text.h"
#include "configmgt/checkout_store.h"
#include "configmgt/revision_control.h"
#include "configmgt/revision_store.h"
#include "configmgt/tables.h"
#include "migprof/com_error.h"
#include "migprof/data_source.h"

namespace migprof::configmgt {
namespace {

// Runs body; a refusal or failure becomes False with its text in
// description.
template <typename Body>
Variant Answer(String& description, Body body) {
  try {
    body();
    description.clear();
    return Variant(kTrue);
  } catch (const Refusal& refusal) {
    description = refusal.what();
  } catch (...) {
    description = CurrentFailure().description();
  }
  return Variant(kFalse);
}

}  // namespace

std::shared_ptr<ado::Connection> ConfigMgtComponent::OwnConnection() const {
  return OpenDataSource({database_name_, database_user_, database_password_}, kComponentTimeouts);
}

std::vector<Vrc> ConfigMgtComponent::VrcsOf(const std::shared_ptr<ado::Connection>& connection,
                                            Integer mprf, const Vrc& vrc) const {
  std::vector<Vrc> vrcs{vrc};
  auto rs = ado::Recordset::Create();
  rs->Open("select dver, drel, dcus from qzmap105 where mprf = " + SqlNumber(mprf) +
               " and vers = '" + SqlText(vrc.vers) + "' and rele = '" + SqlText(vrc.rele) +
               "' and cust = '" + SqlText(vrc.cust) + "'",
           connection, ado::adOpenStatic, ado::adLockReadOnly);
  for (; !rs->EndOfFile(); rs->MoveNext()) {
    auto text = [](const Variant& v) { return v.IsNull() ? String() : v.ToString(); };
    ado::Fields f = rs->Fields();
    Vrc development{text(f["dver"].Value()), text(f["drel"].Value()), text(f["dcus"].Value())};
    if (std::find(vrcs.begin(), vrcs.end(), development) == vrcs.end()) {
      vrcs.push_back(development);
    }
  }
  rs->Close();
  return vrcs;
}

Variant ConfigMgtComponent::Global_Undo_Check_Out(String& i_strUsrn, Integer& i_intMPRF,
                                                  String& i_StrVers, String& i_StrRele,
                                                  String& i_StrCust, String&) {
  return Answer(err_description_, [&] {
    auto connection = OwnConnection();
    RevisionControl control(connection, i_strUsrn);
    for (const Vrc& vrc : VrcsOf(connection, i_intMPRF, {i_StrVers, i_StrRele, i_StrCust})) {
      control.UndoOwnCheckOuts(i_intMPRF, vrc);
    }
  });
}

Variant ConfigMgtComponent::Delete_Revisions(Integer& i_intMPRF, String& i_StrVers,
                                             String& i_StrRele, String& i_StrCust, String&,
                                             String&) {
  return Answer(err_description_, [&] {
    auto connection = OwnConnection();
    EnsureTables(*connection);
    for (const Vrc& vrc : VrcsOf(connection, i_intMPRF, {i_StrVers, i_StrRele, i_StrCust})) {
      DeleteRevisionsOf(connection, i_intMPRF, vrc);
    }
  });
}

Variant ConfigMgtComponent::Check_Check_Out(Integer& i_intMPRF) {
  if (!connection_ || connection_->State() != ado::adStateOpen) {
    throw ComError(errc::kConnectionInvalid, errtext::kConnectionInvalid);
  }
  EnsureTables(*connection_);
  std::vector<CheckOutRecord> open = ListCheckOuts(connection_, i_intMPRF);
  if (open.empty()) {
    err_description_.clear();
    return Variant(kTrue);
  }
  err_description_ = "The development version of migration profile " + SqlNumber(i_intMPRF) +
                     " cannot be changed while it has check-outs:";
  for (const CheckOutRecord& held : open) {
    err_description_ += "<LI>" + ItemLabel(held.item) + " (" + held.item.vrc.Text() +
                        ") is checked out by <B> " +
                        (held.holder.empty() ? "an unknown user" : held.holder) + " </B>";
  }
  return Variant(kFalse);
}

std::shared_ptr<LateBoundObject> NewConfigMgt() { return std::make_shared<ConfigMgtComponent>(); }

}  // namespace migprof::configmgt
