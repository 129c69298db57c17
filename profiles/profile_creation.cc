// InsertInMap100 and its routines GetProfileDepth, FindProfileByVRC and
// InsertDerivationLevels.
#include <vector>

#include "component/change_lock.h"
#include "component/failure.h"
#include "component/query_form.h"
#include "component/sql_text.h"
#include "migprof/handle_mig_prof.h"
#include "profiles/profile_messages.h"
#include "profiles/profile_text.h"

namespace migprof {
namespace {

using profiles::Refusal;
using query::HasRow;
using query::OpenQuery;

Variant Column(ado::Recordset& recordset, Integer position) {
  return recordset.Fields().Item(position).Value();
}

String VrcCondition(const String& vers, const String& rele, const String& cust) {
  return "vers = '" + SqlText(vers) + "' and rele = '" + SqlText(rele) + "' and cust = '" +
         SqlText(cust) + "'";
}

}  // namespace

Boolean TOVRHandleMigProf::InsertInMap100(Integer i_intMPRF, String i_StrDesc, String i_StrSappl,
                                          String i_StrTappl, String i_StrVers, String i_StrRele,
                                          String i_StrCust, String i_StrDVRC, String i_StrSCME,
                                          String i_StrLapn, String i_StrOwnr, String i_StrDver,
                                          String i_StrDrel, String i_StrDCus) {
  const ChangeScope change_scope(*this);
  std::shared_ptr<ado::Recordset> rs;
  try {
    rs = ado::Recordset::Create();
    Variant owner_cipher;
    if (!EncryptOwnerName(i_StrOwnr, owner_cipher).IsTrue()) {
      throw Refusal{profiles::kInvalidUser, profiles::kInvalidUserText};
    }

    // Another profile with this application pair; checked where a profile
    // does not continue a derivation line of the same applications.
    auto check_pair = [&] {
      OpenQuery(*rs,
                "select mprf,vers,rele,cust from qzmap100 where sapp = '" + SqlText(i_StrSappl) +
                    "' and tapp = '" + SqlText(i_StrTappl) + "'",
                getNewConnection());
      if (HasRow(*rs)) {
        throw Refusal{profiles::kPairExists,
                      profiles::kPairExistsBefore + Column(*rs, 0).ToString() + "[" +
                          Column(*rs, 1).ToString() + "_" + Column(*rs, 2).ToString() + "_" +
                          Column(*rs, 3).ToString() + "]" + profiles::kPairExistsAfter};
      }
      rs->Close();
    };

    String p0, p1, p2;
    if (i_StrDVRC != "__") {
      std::vector<String> parts = profiles::SplitText(i_StrDVRC, "_");
      p0 = profiles::Piece(parts, 0);
      p1 = profiles::Piece(parts, 1);
      p2 = profiles::Piece(parts, 2);
      const String parent_vrc = VrcCondition(p0, p1, p2);

      // The kind of the parent's application, then the new one's. The
      // parent's kind is kept when the target lookup finds none.
      String parent_kind;
      auto check_kind = [&](const char* column, const String& application, const char* message) {
        OpenQuery(*rs,
                  "select extn from qzddi100 where appl = (select " + String(column) +
                      " from qzmap100 where " + parent_vrc + ")",
                  getNewConnection());
        if (HasRow(*rs)) parent_kind = Column(*rs, 0).ToString();
        rs->Close();
        OpenQuery(*rs, "select extn from qzddi100 where appl = '" + SqlText(application) + "'",
                  getNewConnection());
        if (HasRow(*rs)) {
          Variant kind = Column(*rs, 0);
          if (!kind.IsNull() && kind.ToString() != parent_kind) {
            throw Refusal{profiles::kHeterogeneousDerivation, message};
          }
        }
        rs->Close();
      };
      check_kind("sapp", i_StrSappl, profiles::kSourceKindsDiffer);
      check_kind("tapp", i_StrTappl, profiles::kTargetKindsDiffer);

      String parent_sapp, parent_tapp;
      OpenQuery(*rs, "select sapp,tapp from qzmap100 where " + parent_vrc, getNewConnection());
      if (HasRow(*rs)) {
        parent_sapp = Column(*rs, 0).ToString();
        parent_tapp = Column(*rs, 1).ToString();
      }
      rs->Close();

      if (i_StrSappl != parent_sapp || i_StrTappl != parent_tapp) {
        if (profiles::HoldsU(i_StrVers)) {
          throw Refusal{profiles::kUNotAllowedInVersion, profiles::kUNotAllowedInVersionText};
        }
        check_pair();
      } else if (!profiles::PassesUPositionRule(i_StrVers)) {
        throw Refusal{profiles::kUMissingInVersion, profiles::kUMissingInVersionText};
      }
    } else {
      if (profiles::HoldsU(i_StrVers)) {
        throw Refusal{profiles::kUInStandardVersion, profiles::kUInStandardVersionText};
      }
      check_pair();
    }

    OpenQuery(*rs, "select mprf from qzmap100 where mprf =" + SqlNumber(i_intMPRF),
              getNewConnection());
    if (HasRow(*rs)) throw Refusal{profiles::kNumberExists, profiles::kNumberExistsText};
    rs->Close();
    OpenQuery(*rs,
              "select mprf from qzmap100 where " + VrcCondition(i_StrVers, i_StrRele, i_StrCust),
              getNewConnection());
    if (HasRow(*rs)) throw Refusal{profiles::kVrcExists, profiles::kVrcExistsText};
    rs->Close();

    Integer deph = GetProfileDepth(p0, p1, p2);
    const String mprf = SqlNumber(i_intMPRF);
    RefreshSessionConnection();
    m_Conn->Execute(
        "insert into qzmap100(mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph,ownr,"
        "apln) values(" +
        mprf + ",'" + SqlText(i_StrSappl) + "','" + SqlText(i_StrTappl) + "','" +
        SqlText(i_StrVers) + "','" + SqlText(i_StrRele) + "','" + SqlText(i_StrCust) + "','" +
        SqlText(p0) + "','" + SqlText(p1) + "','" + SqlText(p2) + "','" + SqlText(i_StrDesc) +
        "','" + SqlText(i_StrSCME) + "'," + SqlNumber(deph) + ",cast('" +
        SqlText(owner_cipher.ToString()) + "' as varbinary),'" + SqlText(i_StrLapn) + "')");
    if (!InsertDerivationLevels(i_intMPRF, i_StrVers, i_StrRele, i_StrCust, deph, p0, p1, p2)
             .IsTrue()) {
      m_Conn->Execute("delete from qzmap100 where mprf = " + mprf);
      m_Conn->Execute("delete from qzmap101 where mprf = " + mprf);
      // The description stays what InsertDerivationLevels left.
      error_number_ = profiles::kLevelsNotWritten;
      return kFalse;
    }
    if (i_StrSCME == "Y") {
      m_Conn->Execute("insert into qzmap105 (mprf,vers,rele,cust,dver,drel,dcus) values(" + mprf +
                      ",'" + SqlText(i_StrVers) + "','" + SqlText(i_StrRele) + "','" +
                      SqlText(i_StrCust) + "','" + SqlText(i_StrDver) + "','" + SqlText(i_StrDrel) +
                      "','" + SqlText(i_StrDCus) + "')");
    }
    m_Conn->Execute("insert into qzusr110(mprf,usrn) values (cast(" + mprf + " as int),cast('" +
                    SqlText(i_StrOwnr) + "' as varbinary))");
    return kTrue;
  } catch (const Refusal& refusal) {
    query::CloseIfOpen(rs);
    Refuse(refusal.code, refusal.text);
    return kFalse;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return kFalse;
  }
}

Integer TOVRHandleMigProf::GetProfileDepth(const String& vers, const String& rele,
                                           const String& cust) {
  try {
    m_rsShared = ado::Recordset::Create();
    if (vers.empty() || rele.empty() || cust.empty()) return 1;
    // The blank after the customer is part of the stored statement; the
    // database ignores trailing blanks when it compares.
    OpenQuery(*m_rsShared,
              "select deph from qzmap100 where  vers ='" + SqlText(vers) + "' and rele ='" +
                  SqlText(rele) + "' and cust ='" + SqlText(cust) + " '",
              getNewConnection());
    Integer depth = 0;
    if (HasRow(*m_rsShared)) depth = Variant(Column(*m_rsShared, 0).ToDouble() + 1).ToInteger();
    m_rsShared->Close();
    return depth;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return 0;
  }
}

String TOVRHandleMigProf::FindProfileByVRC(const String& vers, const String& rele,
                                           const String& cust) {
  try {
    m_rsShared = ado::Recordset::Create();
    OpenQuery(*m_rsShared,
              "select * from qzmap100 where vers ='" + SqlText(vers) + "' and rele ='" +
                  SqlText(rele) + "' and cust ='" + SqlText(cust) + " '",
              getNewConnection());
    String found;
    if (HasRow(*m_rsShared)) {
      const char* const kColumns[] = {"mprf", "vers", "rele", "cust", "verf", "relf", "cusf"};
      for (const char* column : kColumns) {
        if (column != kColumns[0]) found += "~";
        found += m_rsShared->Fields().Item(String(column)).Value().ToString();
      }
    }
    m_rsShared->Close();
    return found;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return "Error";
  }
}

Boolean TOVRHandleMigProf::InsertDerivationLevels(Integer mprf, String vers, String rele,
                                                  String cust, Integer deph, String pVers,
                                                  String pRele, String pCust) {
  try {
    m_rsLevels = ado::Recordset::Create();
    Integer pprf = 0;
    for (int level = 1; level <= deph; ++level) {
      const Integer levl = static_cast<Integer>(level);
      // No blank between the number and "and": the stored statement reads
      // that way and the database takes it.
      OpenQuery(*m_rsLevels,
                "select * from qzmap101 where mprf = " + SqlNumber(mprf) +
                    "and levl = " + SqlNumber(levl),
                getNewConnection());
      if (!m_rsLevels->BOF() || !m_rsLevels->EndOfFile()) {
        err_description_ = profiles::kLevelExistsText;
        return kFalse;
      }
      if (levl == 1) pprf = mprf;
      m_rsLevels->AddNew();
      ado::Fields fields = m_rsLevels->Fields();
      fields.Item(String("mprf")).Value(Variant(mprf));
      fields.Item(String("levl")).Value(Variant(levl));
      fields.Item(String("vers")).Value(Variant(vers));
      fields.Item(String("rele")).Value(Variant(rele));
      fields.Item(String("cust")).Value(Variant(cust));
      fields.Item(String("pprf")).Value(Variant(pprf));
      m_rsLevels->Update();
      m_rsLevels->Close();

      if (!pVers.empty() && !pRele.empty() && !pCust.empty()) {
        String ancestor = FindProfileByVRC(pVers, pRele, pCust);
        if (ancestor == "Error") {
          err_description_ = profiles::kLevelLookupFailedText;
          return kFalse;
        }
        // The next level is the profile just found; the one after it, its
        // parent. Without a find the next level repeats this one.
        if (!ancestor.empty()) {
          std::vector<String> pieces = profiles::SplitText(ancestor, "~");
          pprf = Variant(profiles::Piece(pieces, 0)).ToInteger();
          vers = profiles::Piece(pieces, 1);
          rele = profiles::Piece(pieces, 2);
          cust = profiles::Piece(pieces, 3);
          pVers = profiles::Piece(pieces, 4);
          pRele = profiles::Piece(pieces, 5);
          pCust = profiles::Piece(pieces, 6);
        }
      }
    }
    return kTrue;
  } catch (...) {
    RecordFailure(CurrentFailure());
    return kFalse;
  }
}

}  // namespace migprof
