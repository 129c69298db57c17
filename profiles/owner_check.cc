// ProfileCipher, EncryptOwnerName and ValidateUser: the owner of a profile in
// its stored, enciphered form.
#include <optional>

#include "component/failure.h"
#include "component/query_form.h"
#include "component/text/cp1252.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/owner_cipher.h"
#include "profiles/profile_text.h"

namespace migprof {

String TOVRHandleMigProf::ProfileCipher(const String& text, Boolean encipher) {
  std::string bytes = text::Utf8ToCp1252(text);
  std::optional<std::string> result =
      encipher.value != 0 ? profiles::Encipher(bytes) : profiles::Decipher(bytes);
  // The format's 8-bit stream index overflowed: the text is too long to
  // encipher, or is no cipher text.
  if (!result) RaiseOverflow();
  return text::Cp1252ToUtf8(*result);
}

Boolean TOVRHandleMigProf::EncryptOwnerName(const String& name, Variant& cipherText) {
  std::optional<std::string> cipher =
      profiles::Encipher(text::Utf8ToCp1252(name), &profiles::IsStorableCipher);
  if (!cipher) return kFalse;
  cipherText = Variant(text::Cp1252ToUtf8(*cipher));
  return kTrue;
}

Boolean TOVRHandleMigProf::ValidateUser(String i_StrUserName, String i_intMPRF) {
  try {
    m_rsShared = ado::Recordset::Create();
    std::shared_ptr<ado::Connection> connection = getNewConnection();
    // The number goes into the statement unquoted: only a number may.
    if (!profiles::IsNumericLiteral(i_intMPRF)) {
      throw ComError(errc::kErrorsInCommand, "The profile number must be a whole number.");
    }
    query::OpenQuery(*m_rsShared,
                     "select cast(ownr as varchar) from qzmap100 where mprf = " + i_intMPRF,
                     connection);
    String owner;
    if (query::HasRow(*m_rsShared)) {
      owner = ProfileCipher(m_rsShared->Fields().Item(Integer{0}).Value().ToString(), kFalse);
    }
    m_rsShared->Close();
    m_rsShared = nullptr;
    return Boolean::From(owner == i_StrUserName);
  } catch (...) {
    RecordFailure(CurrentFailure());
    return kFalse;
  }
}

}  // namespace migprof
