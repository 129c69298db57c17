// The migration-profile handler: the one class of the component, with its
// dual interface _TOVRHandleMigProf.
//
// A front end creates the object, sets DatabaseName, DatabaseUser,
// DatabasePassword (and DatabaseServer), calls operations and, after an
// operation reports failure, reads ErrorNumber and ErrDescription. Failures
// are either recorded there (the member returns its failure value) or raised
// to the caller as ComError, as each member's comment says. The error state
// is never cleared by a call that succeeds.
//
// Calls on one object must not overlap: an object belongs to the thread that
// uses it. Two objects share nothing but the database.
#ifndef MIGPROF_HANDLE_MIG_PROF_H_
#define MIGPROF_HANDLE_MIG_PROF_H_

#include <memory>
#include <vector>

#include "migprof/ado.h"
#include "migprof/automation.h"
#include "migprof/com_error.h"

namespace migprof {

namespace maprules {
struct RuleCopyContext;
}  // namespace maprules

class ConfigMgt;
class ChangeScope;

namespace detail {
class ChangeLock;
}  // namespace detail

// The interface, member by member in its fixed order (the order is the
// vtable layout the front end is compiled against).
class _TOVRHandleMigProf {
 public:
  virtual ~_TOVRHandleMigProf() = default;

  // 1. Replaces the session connection by a new one from getNewConnection();
  // the argument is not used. A failure to connect is raised.
  virtual void OpenConnection(std::shared_ptr<ado::Connection> i_Conn) = 0;
  // 2. The text of the last recorded failure.
  virtual String ErrDescription() const = 0;
  // 3. The number of the last recorded failure.
  virtual Double ErrorNumber() const = 0;
  // 4. Copies the mapping rules of profile i_IntSMPRF, stored under that
  // profile's own VRC, into profile i_IntUMPRF under the VRC
  // i_StrVers/i_StrRele/i_StrCust: of the main table
  // i_StrTcpac/i_StrTcmod/i_StrTflno, or, when i_IntIsms is True (-1), of the
  // tables of the comma-separated list i_StrChilds (entries "ppmmmn...":
  // package code, module, table number), then with their table links. In
  // order: table links (list mode), table rules (qzmap120: texts trimmed,
  // logn empty, lusr = i_strUsrn lower-cased, ldat now), source-table rules,
  // the domain check of the main table, field rules element by element from
  // the target application's dictionary, function rules. i_StrPath is not
  // used. Refuses with False and ErrDescription only when the target already
  // has the main table's rule ("Record Already Exists With the User
  // Profile"), the source profile is unknown ("Profile Does Not Exist") or
  // holds no selected table rule ("No Record Exists for the Source
  // Profile"); with ErrorNumber 110 and a warning naming the domains when
  // domains of the main table's fields are missing. Any other failure is
  // recorded (False). Nothing inserted is undone. On success ErrDescription
  // is empty and the result True.
  virtual Boolean CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF, String i_StrVers,
                                   String i_StrRele, String i_StrCust, String i_StrTcpac,
                                   String i_StrTcmod, String i_StrTflno, String i_strUsrn,
                                   Variant i_StrPath, String i_StrChilds, Boolean i_IntIsms) = 0;

  // 5. True when i_StrUserName is exactly (letter case counts) the owner of
  // profile i_intMPRF, deciphered from qzmap100.ownr; a number without a
  // profile has the owner "". i_intMPRF is the profile number as text and
  // goes into the query unquoted: a text other than a whole number (blanks
  // around it allowed) is refused as the database refuses a statement
  // (errc::kErrorsInCommand recorded, False) before the query runs. Failures
  // are recorded (False).
  virtual Boolean ValidateUser(String i_StrUserName, String i_intMPRF) = 0;
  // 6. Creates profile i_intMPRF: standard when i_StrDVRC is "__", else
  // derived from the profile whose VRC i_StrDVRC gives as
  // "{vers}_{rele}_{cust}". Refuses (ErrorNumber and ErrDescription set,
  // False), in this order: 108 when the owner name cannot be enciphered; for
  // a derived profile 101 when its source or target application is of
  // another kind than the parent's, 103 when its applications differ from the
  // parent's and the version holds a U, 102 when they are the parent's and a
  // 3- or 4-character version does not end in U; for a standard profile 106
  // when the version holds a U; 109 when another profile has the same source
  // and target applications (standard profiles, and derived ones with other
  // applications than the parent's); 104 when the number exists; 105 when the
  // VRC exists. Then writes the qzmap100 row (depth: 1 standard, parent's + 1
  // derived, 0 when the parent VRC names no profile), one qzmap101 row per
  // derivation level, the qzmap105 row when i_StrSCME is "Y" and the qzusr110
  // owner link, committing each on its own. When the levels cannot be written
  // it deletes the profile's qzmap100 and qzmap101 rows again and returns
  // False with ErrorNumber 107. Other failures are recorded (False) and leave
  // what was written.
  virtual Boolean InsertInMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSappl,
                                 String i_StrTappl, String i_StrVers, String i_StrRele,
                                 String i_StrCust, String i_StrDVRC, String i_StrSCME,
                                 String i_StrLapn, String i_StrOwnr, String i_StrDver = "",
                                 String i_StrDrel = "", String i_StrDCus = "") = 0;
  // 7. Changes profile i_intMPRF: description, application name, revision
  // control (i_StrSCME "Y"/"N", with the development VRC
  // i_StrDver/i_StrDrel/i_StrDCus) and parent (i_StrDVRC as in
  // InsertInMap100). A new parent must pass ValidateDerivation; the levels of
  // the profile and of every profile derived from it are rebuilt. Drives the
  // configuration-management component (kConfigMgtProgId), created on every
  // call: switching revision control off undoes its check-outs and deletes
  // its revisions; changing the development VRC needs its Check_Check_Out,
  // whose ErrDescription is copied into ErrDescription (also on success).
  // False without recording anything when the profile does not exist; False
  // with ValidateDerivation's refusal, or with the component's text when the
  // check-out check says no. Failures are recorded (False); nothing that
  // already ran is undone.
  virtual Boolean UpdateMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSCME,
                               String i_StrVers, String i_StrRele, String i_StrCust,
                               String i_StrLapn, String i_StrDVRC, String i_strUsrn,
                               String i_StrPath, String i_StrDver = "", String i_StrDrel = "",
                               String i_StrDCus = "") = 0;
  // 8. Deletes profile i_intMPRF and everything stored under it (mapping
  // rules, owner links, levels, development VRC, function library) and sets
  // users' default profile 0 where it was this one, statement by statement.
  // Refuses with ErrorNumber 2 when another profile names this one's VRC as
  // its parent. Failures are recorded (False); statements that ran stay.
  virtual Boolean DeleteMap100(Integer i_intMPRF) = 0;
  // 9. The profiles linked to user i_strUsrn in qzusr110 that still exist,
  // highest number first, joined by "~"; "0" when there are none. On a
  // failure "0", with ErrDescription "Errors Occured." (ErrorNumber kept).
  virtual String GetUserOwnerProfiles(String i_strUsrn) = 0;
  // 10. Of the "~"-separated profile numbers i_StrMPRF, those whose source
  // application has kind (qzddi100.extn) 1 when i_BoolOrvoOrLeg is True
  // (-1), else kind 0, in reverse order, joined by "~"; "0" when none. Empty
  // items are skipped; an item other than a whole number (blanks around it
  // allowed) makes the answer "0" before any query runs. On a failure "0";
  // the error state is not touched.
  virtual String GetOrvoOrLegacyProfiles(String i_StrMPRF, Boolean i_BoolOrvoOrLeg) = 0;

  // 11. Deletes the mapping rules of profile i_intMPRF in the VRC
  // i_StrVers/i_StrRele/i_StrCust for the main table
  // i_StrTcpac/i_StrTcmod/i_StrTflno, or, when i_IntIsms is True (-1), for the
  // tables of the list i_StrChilds together with their table links (qzmap170,
  // qzmap175). qzmap120 to qzmap145 are emptied row by row through DeleteData,
  // qzmap160, qzmap165 and qzmap110 by delete statements on a new session
  // connection. No transaction: a failure leaves earlier deletions in place.
  // Data-access failures are raised; the error state is not touched.
  virtual void DeleteMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele,
                              String i_StrCust, String i_StrTcpac, String i_StrTcmod,
                              String i_StrTflno, String i_StrChilds, Boolean i_IntIsms) = 0;
  // 12. Deletes, one by one, the rows that the select statement i_StrSelect
  // yields; the other arguments are not used. A text that is not exactly one
  // select statement is refused before anything runs: raises
  // ComError(errc::kInvalidArgument, errtext::kSelectStatementOnly).
  // Data-access failures are raised; the error state is not touched.
  virtual void DeleteData(String i_StrSelect, Integer i_intMPRF, String i_StrVers, String i_StrRele,
                          String i_StrCust) = 0;
  // 13. Sets the status of the table rules (qzmap120) of profile i_intMPRF
  // for the main table, or for the list i_StrChilds when i_IntIsms is True,
  // to "X" when i_BolExpi is True and to "M" otherwise. The rules of the
  // profile's development VRC (qzmap105) are changed when it has one, else
  // those of i_StrVers/i_StrRele/i_StrCust. Replaces the session connection.
  // Data-access failures are raised; the error state is not touched.
  virtual void ExpireMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele,
                              String i_StrCust, String i_StrTcpac, String i_StrTcmod,
                              String i_StrTflno, String i_StrChilds, Boolean i_IntIsms,
                              Boolean i_BolExpi) = 0;
  // 14. Copies the library function i_StrFname of profile i_IntSMPRF (looked
  // up in that profile's own VRC) into profile i_IntUMPRF under the VRC
  // i_StrVers/i_StrRele/i_StrCust, keeping the source's description, user,
  // date, definition and comment; the copy's status is "N" when the source's
  // is "N", else "M". Refuses (ErrDescription only, False) when the target
  // already holds exactly one such function ("Function already exist in users
  // VRC"), or several with the first checked out ("C"). True without copying
  // when the target holds several not checked out, or the source profile does
  // not exist. i_strUsrn is not used. Data-access failures are raised.
  virtual Boolean Func_CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF, String i_StrVers,
                                        String i_StrRele, String i_StrCust, String i_StrFname,
                                        String i_strUsrn) = 0;
  // 15. Expires (status "X", i_bolExpireFlag nonzero) or reinstates the
  // library function i_StrFname of profile i_IntUMPRF. Under revision control
  // (scme exactly "Y") the function of the profile's development VRC is
  // changed whatever VRC is passed, only by the user who has it checked out
  // (curn), and a reinstated function gets "C"; otherwise the function of the
  // given VRC is changed by anyone and a reinstated one gets "M". Refusals
  // set ErrDescription only and return False. Replaces the session
  // connection. Data-access failures are raised.
  virtual Boolean Func_Expire(Integer i_IntUMPRF, String i_StrVers, String i_StrRele,
                              String i_StrCust, String i_StrFname, String i_strUsrn,
                              Boolean i_bolExpireFlag) = 0;
  // 16. Deletes the library function i_StrFname of profile i_IntUMPRF in the
  // given VRC with its qzlib105 entries (both deletes in one transaction),
  // unless it is checked out ("Checked out function can not be deleted!",
  // ErrDescription only). A function that does not exist counts as deleted.
  // i_strUsrn is not used. Failures are recorded (False); a failure after the
  // transaction began rolls it back. Replaces the session connection.
  virtual Boolean Func_Delete(Integer i_IntUMPRF, String i_StrVers, String i_StrRele,
                              String i_StrCust, String i_StrFname, String i_strUsrn) = 0;

  // 17. True when profile i_intMPRF may be derived from profile i_intPPRF:
  // where their source (then target) applications differ, the two must not
  // have exactly two distinct kinds in qzddi100. Refuses with 101 and the
  // source or target message. Either profile missing, or any other failure,
  // is recorded (False). Both arguments are only read.
  virtual Boolean ValidateDerivation(Integer& i_intMPRF, Integer& i_intPPRF) = 0;

  // 18-21. Write-only settings; each stores its value and does nothing else.
  virtual void DatabaseServer(String strParDBSERVER) = 0;
  virtual void DatabaseName(String strParDATABASE) = 0;
  virtual void DatabaseUser(String strParDBUSER) = 0;
  virtual void DatabasePassword(String strParDBPASSWORD) = 0;
  // 22. A new connection, opened with
  // "DSN={DatabaseName};uid={DatabaseUser};pwd={DatabasePassword};" and both
  // timeouts at 10000 seconds. A failure to connect is raised.
  virtual std::shared_ptr<ado::Connection> getNewConnection() = 0;
};

// The creatable class.
class TOVRHandleMigProf final : public _TOVRHandleMigProf {
 public:
  TOVRHandleMigProf() = default;

  void OpenConnection(std::shared_ptr<ado::Connection> i_Conn) override;
  String ErrDescription() const override;
  Double ErrorNumber() const override;
  Boolean CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF, String i_StrVers,
                           String i_StrRele, String i_StrCust, String i_StrTcpac, String i_StrTcmod,
                           String i_StrTflno, String i_strUsrn, Variant i_StrPath,
                           String i_StrChilds, Boolean i_IntIsms) override;
  Boolean ValidateUser(String i_StrUserName, String i_intMPRF) override;
  Boolean InsertInMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSappl, String i_StrTappl,
                         String i_StrVers, String i_StrRele, String i_StrCust, String i_StrDVRC,
                         String i_StrSCME, String i_StrLapn, String i_StrOwnr,
                         String i_StrDver = "", String i_StrDrel = "",
                         String i_StrDCus = "") override;
  Boolean UpdateMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSCME, String i_StrVers,
                       String i_StrRele, String i_StrCust, String i_StrLapn, String i_StrDVRC,
                       String i_strUsrn, String i_StrPath, String i_StrDver = "",
                       String i_StrDrel = "", String i_StrDCus = "") override;
  Boolean DeleteMap100(Integer i_intMPRF) override;
  String GetUserOwnerProfiles(String i_strUsrn) override;
  String GetOrvoOrLegacyProfiles(String i_StrMPRF, Boolean i_BoolOrvoOrLeg) override;

  void DeleteMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele, String i_StrCust,
                      String i_StrTcpac, String i_StrTcmod, String i_StrTflno, String i_StrChilds,
                      Boolean i_IntIsms) override;
  void DeleteData(String i_StrSelect, Integer i_intMPRF, String i_StrVers, String i_StrRele,
                  String i_StrCust) override;
  void ExpireMapRules(Integer i_intMPRF, String i_StrVers, String i_StrRele, String i_StrCust,
                      String i_StrTcpac, String i_StrTcmod, String i_StrTflno, String i_StrChilds,
                      Boolean i_IntIsms, Boolean i_BolExpi) override;
  Boolean Func_CopyToCurrentVRC(Integer i_IntSMPRF, Integer i_IntUMPRF, String i_StrVers,
                                String i_StrRele, String i_StrCust, String i_StrFname,
                                String i_strUsrn) override;
  Boolean Func_Expire(Integer i_IntUMPRF, String i_StrVers, String i_StrRele, String i_StrCust,
                      String i_StrFname, String i_strUsrn, Boolean i_bolExpireFlag) override;
  Boolean Func_Delete(Integer i_IntUMPRF, String i_StrVers, String i_StrRele, String i_StrCust,
                      String i_StrFname, String i_strUsrn) override;
  Boolean ValidateDerivation(Integer& i_intMPRF, Integer& i_intPPRF) override;

  void DatabaseServer(String strParDBSERVER) override;
  void DatabaseName(String strParDATABASE) override;
  void DatabaseUser(String strParDBUSER) override;
  void DatabasePassword(String strParDBPASSWORD) override;
  std::shared_ptr<ado::Connection> getNewConnection() override;

 private:
  // Records a trapped failure: its number and description become the error
  // state.
  void RecordFailure(const ComError& error);
  // Records a refusal with a code of the component's own.
  void Refuse(Double number, const String& description);
  // Replaces the session connection by a new one (raises on failure).
  void RefreshSessionConnection();

  // Settings.
  String database_server_;
  String database_user_;
  String database_password_;
  String database_name_;

  // Working references kept between calls; each is replaced by the next call
  // that uses it and released with the object.
  std::shared_ptr<ado::Recordset> m_rsShared;
  std::shared_ptr<ado::Connection> m_Conn;

  // Mapping rules: the stages of CopyToCurrentVRC, in calling order. Each
  // raises data-access failures to the copy's trap.
  // Copies the selected tables' links (qzmap170).
  void CopyTableRelations(const maprules::RuleCopyContext& context);
  // Copies the selected table rules (qzmap120); false when the source holds
  // none.
  bool CopyTableRules(const maprules::RuleCopyContext& context);
  // Copies the selected source-table rules (qzmap130).
  void CopySourceTableRules(const maprules::RuleCopyContext& context);
  // False, with ErrorNumber 110 and the warning set, when fields of the main
  // table use domains the target application does not define.
  bool CheckFieldDomains(const maprules::RuleCopyContext& context);
  // Copies the field rules (qzmap140) of every selected table.
  void CopyFieldRules(const maprules::RuleCopyContext& context);
  // Copies the selected function rules (qzmap160).
  void CopyFunctionRules(const maprules::RuleCopyContext& context);
  // The cursors of the copy, kept until the next call replaces them: the
  // target check and table-rule source, the source-table and field-rule
  // sources, the insert cursor of the table links, and the insert cursor of
  // the other rules (which DeleteData also uses for its deletions).
  std::shared_ptr<ado::Recordset> m_rsTableRules;
  std::shared_ptr<ado::Recordset> m_rsSourceTables;
  std::shared_ptr<ado::Recordset> m_rsFieldRules;
  std::shared_ptr<ado::Recordset> m_rsRelations;
  std::shared_ptr<ado::Recordset> m_rsWork;

  // Function library.
  // Finds the development VRC of profile mprf (qzmap105) and stores it in
  // m_StrDver/m_StrDrel/m_StrDcus; False with a message in ErrDescription
  // when the profile, its revision control or that row is missing. Raises
  // data-access failures.
  Boolean GetDevelopmentVRC(Integer mprf);
  // The development VRC that GetDevelopmentVRC found last.
  String m_StrDver;
  String m_StrDrel;
  String m_StrDcus;

  // Profile maintenance.
  // The cipher text of text under a fresh salt (encipher True), or the clear
  // text of the cipher text text (encipher False); characters are taken as
  // their Windows-1252 codes. Raises 6 "Overflow" for a clear text of more
  // than 127 characters, or a text that deciphering cannot run through.
  String ProfileCipher(const String& text, Boolean encipher);
  // Puts into cipherText a cipher text of name that the creation statement
  // can carry (see IsStorableCipher); False when name is too long to be
  // enciphered.
  Boolean EncryptOwnerName(const String& name, Variant& cipherText);
  // The depth a child of the profile with this VRC gets: 1 when a part is
  // empty, the profile's depth + 1, or 0 when there is no such profile.
  // Records a failure and answers 0.
  Integer GetProfileDepth(const String& vers, const String& rele, const String& cust);
  // "{mprf}~{vers}~{rele}~{cust}~{verf}~{relf}~{cusf}" of the profile with
  // this VRC, "" when there is none; records a failure and answers "Error".
  String FindProfileByVRC(const String& vers, const String& rele, const String& cust);
  // Writes the deph level rows of profile mprf, walking up from the parent
  // VRC. False with ErrDescription set when a level row exists already or a
  // lookup failed; records other failures (False).
  Boolean InsertDerivationLevels(Integer mprf, String vers, String rele, String cust, Integer deph,
                                 String pVers, String pRele, String pCust);
  // The update's procedures. The mprf of every qzmap101 row whose pprf is
  // profile, joined by ", " ("" on a failure, which is not recorded).
  String GetProfileChildren(String& profile);
  // The pprf of profile's level-2 row, "" when it has none. Raises.
  String GetProfileParent(Long& profile);
  // vrc becomes {profile, vers, rele, cust, ""} from qzmap100 (parts empty
  // when there is no row). Raises.
  void GetProfileVRC(String& profile, std::vector<String>& vrc);
  // For each entry "{P}_{descendants}", replaces the levels of each
  // descendant above P by P's current ancestors and sets its depth. A
  // failure ends it without being recorded.
  void RebuildDerivationLevels(std::vector<String>& entries);
  std::shared_ptr<ado::Recordset> m_rsLevels;
  std::shared_ptr<ConfigMgt> m_objConfigMgt;

  // Error state.
  Double error_number_ = 0;
  String err_description_;

  // The lock that makes concurrent changing members end as if run one after
  // another (component/change_lock.h): the depth of nested changing members
  // running, and the lock their first connection took.
  friend class ChangeScope;
  int change_depth_ = 0;
  std::shared_ptr<detail::ChangeLock> change_lock_;
};

}  // namespace migprof

#endif  // MIGPROF_HANDLE_MIG_PROF_H_
