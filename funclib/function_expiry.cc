// Func_Expire and GetDevelopmentVRC: expiring and reinstating a library
// function.
#include "component/automation/variant_text.h"
#include "component/change_lock.h"
#include "component/failure.h"
#include "component/sql_text.h"
#include "funclib/function_condition.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {
namespace {

String TrimBlanks(const String& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == String::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

String UpperCase(String text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// A null development version or release is kept as empty text.

}  // namespace

Boolean TOVRHandleMigProf::GetDevelopmentVRC(Integer mprf) {
  auto profile = ado::Recordset::Create();
  profile->Open("Select vers,rele,cust,scme from qzmap100 where mprf = " + SqlNumber(mprf),
                getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                ado::adCmdUnspecified);
  if (profile->BOF() && profile->EndOfFile()) {
    err_description_ = "This migration profile does not exist !";
    return kFalse;
  }
  ado::Fields fields = profile->Fields();
  // Unlike Func_Expire's own test, the flag is trimmed and case-blind here.
  String scme = UpperCase(TrimBlanks(fields.Item("scme").Value().ToString()));
  String vers = TrimBlanks(fields.Item("vers").Value().ToString());
  String rele = TrimBlanks(fields.Item("rele").Value().ToString());
  String cust = TrimBlanks(fields.Item("cust").Value().ToString());
  if (scme != "Y") {
    err_description_ = "No revision control exist for this migration profile!";
    return kFalse;
  }
  profile->Close();

  auto development = ado::Recordset::Create();
  development->Open(
      "Select dver,drel,dcus from qzmap105 where mprf = " + SqlNumber(mprf) + " AND vers='" +
          SqlText(vers) + "' AND rele='" + SqlText(rele) + "' AND cust='" + SqlText(cust) + "'",
      getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic, ado::adCmdUnspecified);
  if (development->BOF() && development->EndOfFile()) {
    err_description_ = "Developement VRC does not exist !";
    return kFalse;
  }
  ado::Fields row = development->Fields();
  String dver = TextOr(row.Item("dver").Value());
  String drel = TextOr(row.Item("drel").Value());
  String dcus = row.Item("dcus").Value().ToString();
  // Stored only once all three are read, so a failed read changes nothing.
  m_StrDver = std::move(dver);
  m_StrDrel = std::move(drel);
  m_StrDcus = std::move(dcus);
  development->Close();
  return kTrue;
}

Boolean TOVRHandleMigProf::Func_Expire(Integer i_IntUMPRF, String i_StrVers, String i_StrRele,
                                       String i_StrCust, String i_StrFname, String i_strUsrn,
                                       Boolean i_bolExpireFlag) {
  const ChangeScope change_scope(*this);
  try {
    auto profile = ado::Recordset::Create();
    profile->Open(" Select scme from qzmap100 where mprf = " + SqlNumber(i_IntUMPRF),
                  getNewConnection(), ado::adOpenDynamic, ado::adLockOptimistic,
                  ado::adCmdUnspecified);
    RefreshSessionConnection();
    if (profile->BOF() && profile->EndOfFile()) {
      err_description_ = "Migration Profile does not exist.Operation cancelled !";
      return kFalse;
    }
    // Exactly "Y": no trimming, no case folding; a null is no revision control.
    bool revision_control = funclib::IsText(profile->Fields().Item("scme").Value(), "Y");
    profile.reset();

    String vers = i_StrVers;
    String rele = i_StrRele;
    String cust = i_StrCust;
    if (revision_control) {
      // The caller's VRC is ignored: functions under revision control are
      // maintained in the development VRC.
      if (!GetDevelopmentVRC(i_IntUMPRF).IsTrue()) return kFalse;
      vers = m_StrDver;
      rele = m_StrDrel;
      cust = m_StrDcus;
    }
    String condition = " ";
    condition += funclib::FunctionCondition(i_IntUMPRF, vers, rele, cust, i_StrFname);

    auto function = ado::Recordset::Create();
    function->CursorLocation(ado::adUseServer);
    function->Open("Select * from qzlib100 " + condition, getNewConnection(), ado::adOpenDynamic,
                   ado::adLockOptimistic, ado::adCmdUnspecified);
    if (function->EndOfFile() || function->BOF()) {
      err_description_ =
          revision_control ? "No Checkout information present" : "Profile Does Not Exist";
      return kFalse;
    }
    if (revision_control) {
      // Only the user holding the check-out may change it; a function nobody
      // holds (null curn) is open to all.
      Variant curn = function->Fields().Item("curn").Value();
      if (!curn.IsNull() && curn.ToString() != i_strUsrn) {
        err_description_ = "Function checked out by another user.So Can't change expire status!";
        return kFalse;
      }
    }

    const char* status = i_bolExpireFlag.value != 0 ? "X" : (revision_control ? "C" : "M");
    m_Conn->Execute("Update qzlib100 set stat = '" + String(status) + "'" + condition, nullptr,
                    ado::adCmdUnspecified);
    function->Close();
    return kTrue;
  } catch (...) {
    throw CurrentFailure();  // a ComError passes unchanged
  }
}

}  // namespace migprof
