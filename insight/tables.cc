#include "insight/tables.h"

#include <stdexcept>

namespace migprof::insight {
namespace {

std::vector<std::string> Keyed(std::vector<std::string> more) {
  std::vector<std::string> columns{"mprf", "vers", "rele", "cust"};
  columns.insert(columns.end(), more.begin(), more.end());
  return columns;
}

const std::vector<std::string> kTarget{"tcpac", "tcmod", "tflno"};
const std::vector<std::string> kBase{"bpac", "bmod", "bflno"};

std::vector<TableInfo> BuildTables() {
  std::vector<TableInfo> tables{
      {"qzmap100",
       TableKind::kProfile,
       Keyed({"sapp", "tapp", "verf", "relf", "cusf", "dsca", "scme", "deph", "ownr", "apln"}),
       {}},
      {"qzmap101", TableKind::kProfile, {"mprf", "levl", "vers", "rele", "cust", "pprf"}, {}},
      {"qzmap105", TableKind::kProfile, Keyed({"dver", "drel", "dcus"}), {}},
  };
  auto item = [&](const char* name) {
    tables.push_back({name, TableKind::kRule, Keyed(kTarget), kTarget});
  };
  item("qzmap110");
  tables.push_back({"qzmap120", TableKind::kRule,
                    Keyed({"tcpac", "tcmod", "tflno", "prtx", "logn", "stat", "lusr", "comt",
                           "vari", "stbl", "isms", "txtn", "ldat"}),
                    kTarget});
  item("qzmap125");
  tables.push_back(
      {"qzmap130",
       TableKind::kRule,
       Keyed({"tcpac", "tcmod", "tflno", "scpac", "scmod", "sflno", "icod", "qury", "txtn"}),
       {"tcpac", "tcmod", "tflno", "scpac", "scmod", "sflno"}});
  item("qzmap135");
  tables.push_back(
      {"qzmap140",
       TableKind::kRule,
       Keyed({"tcpac", "tcmod", "tflno", "fdnm", "dnum", "mrul", "type", "stat", "txtn"}),
       {"tcpac", "tcmod", "tflno", "fdnm", "dnum"}});
  item("qzmap145");
  tables.push_back({"qzmap160",
                    TableKind::kRule,
                    Keyed({"tcpac", "tcmod", "tflno", "func"}),
                    {"tcpac", "tcmod", "tflno", "func"}});
  item("qzmap165");
  tables.push_back({"qzmap170",
                    TableKind::kRule,
                    Keyed({"bpac", "bmod", "bflno", "cpac", "cmod", "cflno"}),
                    {"bpac", "bmod", "bflno", "cpac", "cmod", "cflno"}});
  tables.push_back({"qzmap175", TableKind::kRule, Keyed(kBase), kBase});
  tables.push_back({"qzusr100", TableKind::kUser, {"usrn", "defa"}, {}});
  tables.push_back({"qzusr110", TableKind::kUser, {"mprf", "usrn"}, {}});
  tables.push_back({"qzlib100",
                    TableKind::kFunction,
                    Keyed({"fnam", "dsca", "lurn", "ldat", "fdef", "comt", "stat", "curn"}),
                    {"fnam"}});
  tables.push_back({"qzlib105", TableKind::kFunction, Keyed({"fnam"}), {"fnam"}});
  tables.push_back({"qzddi100", TableKind::kDictionary, {"appl", "extn"}, {}});
  tables.push_back({"qzddi150",
                    TableKind::kDictionary,
                    {"appl", "cpac", "cmod", "flno", "fdnm", "dept", "cdom"},
                    {}});
  tables.push_back({"qzddi220", TableKind::kDictionary, {"appl", "cpac", "cdom"}, {}});
  tables.push_back(
      {"qzlgy150", TableKind::kDictionary, {"appl", "cpac", "cmod", "flno", "flna"}, {}});
  return tables;
}

}  // namespace

const std::vector<TableInfo>& AllTables() {
  static const std::vector<TableInfo> tables = BuildTables();
  return tables;
}

const TableInfo& TableNamed(const std::string& name) {
  for (const TableInfo& table : AllTables()) {
    if (table.name == name) return table;
  }
  throw std::out_of_range("no table " + name);
}

std::string ColumnList(const TableInfo& table) {
  std::string list;
  for (const std::string& column : table.columns) {
    if (!list.empty()) list += ", ";
    list += column;
  }
  return list;
}

}  // namespace migprof::insight
