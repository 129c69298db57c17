// The stages of CopyToCurrentVRC that copy whole tables of rules: table
// links, table rules, source-table rules and function rules.
#include "component/sql_text.h"
#include "maprules/cursor_rows.h"
#include "maprules/rule_copy_context.h"
#include "maprules/text_values.h"
#include "migprof/handle_mig_prof.h"

namespace migprof {
namespace {

using maprules::ColumnValue;
using maprules::CopyColumn;
using maprules::CopyColumnUnlessNull;
using maprules::RuleCopyContext;
using maprules::WriteColumn;
using maprules::WriteTargetKey;
using query::OpenQuery;

// The source VRC condition of the qzmap120 and qzmap130 selections: number
// and quotes run into "and" without a blank, and "' and" runs into the
// filter's own leading blank.
String CloseSourceSelection(const char* table, const RuleCopyContext& context) {
  return "select * from " + String(table) + " where mprf =" + SqlNumber(context.source_mprf) +
         "and vers ='" + SqlText(context.source_vers) + "'and rele = '" +
         SqlText(context.source_rele) + "'and cust ='" + SqlText(context.source_cust) + "' and" +
         context.selection.table_filter;
}

// The source VRC condition of the qzmap170 and qzmap160 selections: blanks
// on both sides of every "and", two before the filter.
String SpacedSourceSelection(const char* table, const RuleCopyContext& context,
                             const String& filter) {
  return "select * from " + String(table) + " where mprf =" + SqlNumber(context.source_mprf) +
         " and vers ='" + SqlText(context.source_vers) + "' and rele = '" +
         SqlText(context.source_rele) + "' and cust ='" + SqlText(context.source_cust) + "' and " +
         filter;
}

}  // namespace

void TOVRHandleMigProf::CopyTableRelations(const RuleCopyContext& context) {
  ado::Recordset& source = *context.local_cursor;
  OpenQuery(source, SpacedSourceSelection("qzmap170", context, context.selection.relation_filter),
            getNewConnection());
  OpenQuery(*m_rsRelations, "select * from qzmap170", getNewConnection());
  if (!(source.BOF() || source.EndOfFile())) {
    while (!source.EndOfFile()) {
      m_rsRelations->AddNew();
      WriteTargetKey(*m_rsRelations, context);
      for (const char* column : {"bpac", "bmod", "bflno", "cpac", "cmod", "cflno"}) {
        CopyColumn(*m_rsRelations, source, column);
      }
      m_rsRelations->Update();
      source.MoveNext();
    }
  }
  source.Close();
  m_rsRelations->Close();
}

bool TOVRHandleMigProf::CopyTableRules(const RuleCopyContext& context) {
  ado::Recordset& source = *m_rsTableRules;
  OpenQuery(source, CloseSourceSelection("qzmap120", context), getNewConnection());
  // An empty source ends the copy; its cursor stays open until the next call.
  if (source.BOF() || source.EndOfFile()) return false;
  OpenQuery(*m_rsWork, "select * from qzmap120", getNewConnection());
  const Variant last_user(maprules::LowerCase(context.user_name));
  while (!source.EndOfFile()) {
    Variant prtx = maprules::TrimmedValue(ColumnValue(source, "prtx"));
    Variant stat = ColumnValue(source, "stat");
    Variant comt = maprules::TrimmedValue(ColumnValue(source, "comt"));
    Variant vari = ColumnValue(source, "vari");
    Variant stbl = ColumnValue(source, "stbl");
    m_rsWork->AddNew();
    WriteTargetKey(*m_rsWork, context);
    for (const char* column : {"tcpac", "tcmod", "tflno"}) CopyColumn(*m_rsWork, source, column);
    WriteColumn(*m_rsWork, "prtx", prtx);
    WriteColumn(*m_rsWork, "logn", Variant(String()));
    WriteColumn(*m_rsWork, "stat", stat);
    WriteColumn(*m_rsWork, "lusr", last_user);
    WriteColumn(*m_rsWork, "comt", comt);
    WriteColumn(*m_rsWork, "vari", vari);
    WriteColumn(*m_rsWork, "stbl", stbl);
    CopyColumn(*m_rsWork, source, "isms");
    CopyColumnUnlessNull(*m_rsWork, source, "txtn");
    WriteColumn(*m_rsWork, "ldat", Variant(DateTime::Now()));
    m_rsWork->Update();
    source.MoveNext();
  }
  source.Close();
  m_rsWork->Close();
  return true;
}

void TOVRHandleMigProf::CopySourceTableRules(const RuleCopyContext& context) {
  ado::Recordset& source = *m_rsSourceTables;
  OpenQuery(source, CloseSourceSelection("qzmap130", context), getNewConnection());
  OpenQuery(*m_rsWork, "select * from qzmap130", getNewConnection());
  while (!source.EndOfFile()) {
    // The further table and its code must be texts: a Null ends the copy
    // before the row is started.
    String scpac = ColumnValue(source, "scpac").ToString();
    String scmod = ColumnValue(source, "scmod").ToString();
    String sflno = ColumnValue(source, "sflno").ToString();
    String icod = ColumnValue(source, "icod").ToString();
    Variant qury = ColumnValue(source, "qury");
    m_rsWork->AddNew();
    WriteTargetKey(*m_rsWork, context);
    for (const char* column : {"tcpac", "tcmod", "tflno"}) CopyColumn(*m_rsWork, source, column);
    WriteColumn(*m_rsWork, "scpac", Variant(scpac));
    WriteColumn(*m_rsWork, "scmod", Variant(scmod));
    WriteColumn(*m_rsWork, "sflno", Variant(sflno));
    WriteColumn(*m_rsWork, "icod", Variant(icod));
    WriteColumn(*m_rsWork, "qury", qury);
    CopyColumnUnlessNull(*m_rsWork, source, "txtn");
    m_rsWork->Update();
    source.MoveNext();
  }
  source.Close();
  m_rsWork->Close();
}

void TOVRHandleMigProf::CopyFunctionRules(const RuleCopyContext& context) {
  ado::Recordset& source = *context.local_cursor;
  OpenQuery(source, SpacedSourceSelection("qzmap160", context, context.selection.table_filter),
            getNewConnection());
  OpenQuery(*m_rsWork, "select * from qzmap160", getNewConnection());
  if (!(source.BOF() || source.EndOfFile())) {
    while (!source.EndOfFile()) {
      m_rsWork->AddNew();
      WriteTargetKey(*m_rsWork, context);
      for (const char* column : {"tcpac", "tcmod", "tflno", "func"}) {
        CopyColumn(*m_rsWork, source, column);
      }
      m_rsWork->Update();
      source.MoveNext();
    }
  }
  source.Close();
  m_rsWork->Close();
}

}  // namespace migprof
