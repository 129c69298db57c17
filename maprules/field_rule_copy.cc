// The stages of CopyToCurrentVRC driven by the target application's data
// dictionary: the domain check of the main table and the field-rule copy.
#include "component/sql_text.h"
#include "maprules/cursor_rows.h"
#include "maprules/field_element.h"
#include "maprules/rule_copy_context.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {
namespace {

using maprules::ColumnValue;
using maprules::CopyColumnUnlessNull;
using maprules::RuleCopyContext;
using maprules::TableCode;
using maprules::WriteColumn;
using maprules::WriteTargetKey;
using query::OpenQuery;

// The code the copy errors with when it finds missing domains.
constexpr Double kMissingDomains = 110;

String TargetApplication(const RuleCopyContext& context) {
  return "( select tapp from qzmap100 where mprf = " + SqlNumber(context.target_mprf) + ")";
}

// The field names and depths of one table. The legacy field list serves
// package "qz", module "tbl" (compared exactly) in single-table mode only.
String FieldListQuery(const RuleCopyContext& context, const TableCode& table) {
  bool legacy = !context.selection.multi_table && table.pac == "qz" && table.mod == "tbl";
  String head = legacy ? "select flna,0 from qzlgy150" : "select fdnm,dept from qzddi150";
  return head + " where appl = " + TargetApplication(context) + " and cpac = '" +
         SqlText(table.pac) + "' and cmod ='" + SqlText(table.mod) + "' and flno = '" +
         SqlText(table.flno) + "'";
}

String FieldRuleQuery(const RuleCopyContext& context, const TableCode& table,
                      const String& element) {
  return "select * from qzmap140 where mprf =" + SqlNumber(context.source_mprf) + " and vers ='" +
         SqlText(context.source_vers) + "' and rele = '" + SqlText(context.source_rele) +
         "' and cust ='" + SqlText(context.source_cust) + "' and tcpac ='" + SqlText(table.pac) +
         "' and tcmod ='" + SqlText(table.mod) + "' and tflno ='" + SqlText(table.flno) +
         "' and fdnm = '" + SqlText(element) + "'";
}

}  // namespace

bool TOVRHandleMigProf::CheckFieldDomains(const RuleCopyContext& context) {
  String application;
  String domains;
  bool found = false;
  const TableCode& main = context.main_table;
  const String mprf = SqlNumber(context.target_mprf);
  ado::Recordset& cursor = *context.local_cursor;
  OpenQuery(cursor,
            "SELECT DISTINCT appl, cdom FROM qzddi150 WHERE appl = ( SELECT tapp FROM qzmap100 "
            "WHERE mprf = " +
                mprf + ") AND cpac = '" + SqlText(main.pac) + "' AND cmod ='" + SqlText(main.mod) +
                "' AND flno = '" + SqlText(main.flno) +
                "' AND (qzddi150.cdom IS NOT NULL) AND (qzddi150.cdom<>'') AND NOT EXISTS "
                "(SELECT NULL FROM qzddi220 t220 WHERE (appl=( SELECT tapp FROM qzmap100 WHERE "
                "mprf = " +
                mprf + ") ) AND (t220.cpac+t220.cdom)=qzddi150.cdom)",
            getNewConnection());
  while (!cursor.EndOfFile()) {
    found = true;
    if (application.empty()) application = cursor.Fields().Item(Integer{0}).Value().ToString();
    domains += cursor.Fields().Item(Integer{1}).Value().ToString() + " ";
    cursor.MoveNext();
  }
  cursor.Close();
  if (!found) return true;
  Refuse(kMissingDomains, "WARNING: [" + main.pac + main.mod + main.flno +
                              "] Field(s) skipped due to missing Domains for Application [" +
                              application + "]: " + domains);
  return false;
}

void TOVRHandleMigProf::CopyFieldRules(const RuleCopyContext& context) {
  ado::Recordset& fields = *context.local_cursor;
  for (const TableCode& table : context.selection.tables) {
    OpenQuery(fields, FieldListQuery(context, table), getNewConnection());
    while (!fields.EndOfFile()) {
      const String name = fields.Fields().Item(Integer{0}).Value().ToString();
      const Integer depth = fields.Fields().Item(Integer{1}).Value().ToInteger();
      for (maprules::FieldElements elements(depth); elements.Next();) {
        ado::Recordset& source = *m_rsFieldRules;
        OpenQuery(source, FieldRuleQuery(context, table, elements.Name(name)), getNewConnection());
        if (context.selection.multi_table) {
          OpenQuery(*m_rsWork, "select * from qzmap140", getNewConnection());
        } else {
          // Reopened on the connection and settings of its previous opening.
          m_rsWork->Open("select * from qzmap140", nullptr, ado::adOpenUnspecified,
                         ado::adLockUnspecified, ado::adCmdUnspecified);
        }
        if (!(source.BOF() || source.EndOfFile())) {
          while (!source.EndOfFile()) {
            const Integer dnum = ColumnValue(source, "dnum").ToInteger();
            const String fdnm = ColumnValue(source, "fdnm").ToString();
            const Variant mrul = ColumnValue(source, "mrul");
            const Variant type = ColumnValue(source, "type");
            const Variant stat = ColumnValue(source, "stat");
            m_rsWork->AddNew();
            WriteTargetKey(*m_rsWork, context);
            // The key as spelled in the selection, not as the source row has it.
            WriteColumn(*m_rsWork, "tcpac", Variant(table.pac));
            WriteColumn(*m_rsWork, "tcmod", Variant(table.mod));
            WriteColumn(*m_rsWork, "tflno", Variant(table.flno));
            WriteColumn(*m_rsWork, "dnum", Variant(dnum));
            WriteColumn(*m_rsWork, "fdnm", Variant(fdnm));
            WriteColumn(*m_rsWork, "mrul", mrul);
            WriteColumn(*m_rsWork, "type", type);
            WriteColumn(*m_rsWork, "stat", stat);
            CopyColumnUnlessNull(*m_rsWork, source, "txtn");
            m_rsWork->Update();
            source.MoveNext();
          }
        }
        source.Close();
        m_rsWork->Close();
      }
      fields.MoveNext();
    }
    fields.Close();
  }
}

}  // namespace migprof
