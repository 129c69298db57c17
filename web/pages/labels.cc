#include "web/pages/labels.h"

#include <map>

#include "app/reads.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

struct TableWords {
  const char* plural;
  const char* singular;
};

const std::map<std::string, TableWords>& Tables() {
  static const std::map<std::string, TableWords> kTables = {
      {"qzmap100", {"Profiles", "Profile"}},
      {"qzmap101", {"Derivation levels", "Derivation level"}},
      {"qzmap105", {"Development VRCs", "Development VRC"}},
      {"qzmap110", {"Rule items (target table)", "Rule item"}},
      {"qzmap120", {"Table rules", "Table rule"}},
      {"qzmap125", {"Rule items (table rule)", "Rule item"}},
      {"qzmap130", {"Source tables", "Source table"}},
      {"qzmap135", {"Rule items (source table)", "Rule item"}},
      {"qzmap140", {"Field rules", "Field rule"}},
      {"qzmap145", {"Rule items (field rule)", "Rule item"}},
      {"qzmap160", {"Rule functions", "Rule function"}},
      {"qzmap165", {"Rule items (rule function)", "Rule item"}},
      {"qzmap170", {"Table links", "Table link"}},
      {"qzmap175", {"Rule items (table link)", "Rule item"}},
      {"qzusr100", {"User settings", "User setting"}},
      {"qzusr110", {"Profile owners", "Profile owner"}},
      {"qzlib100", {"Library functions", "Library function"}},
      {"qzlib105", {"Function entries", "Function entry"}},
      {"qzcfg100", {"Revisions", "Revision"}},
      {"qzcfg110", {"Check-outs", "Check-out"}},
  };
  return kTables;
}

// Column words shared by every table, and the few that mean something else
// in one table.
const std::map<std::string, std::string>& Columns() {
  static const std::map<std::string, std::string> kColumns = {
      {"mprf", "Profile"},
      {"vers", "Version"},
      {"rele", "Release"},
      {"cust", "Customer"},
      {"sapp", "Source application"},
      {"tapp", "Target application"},
      {"verf", "Parent version"},
      {"relf", "Parent release"},
      {"cusf", "Parent customer"},
      {"dsca", "Description"},
      {"scme", "Revision control"},
      {"deph", "Depth"},
      {"ownr", "Owner"},
      {"apln", "Application name"},
      {"levl", "Level"},
      {"pprf", "Profile at level"},
      {"dver", "Development version"},
      {"drel", "Development release"},
      {"dcus", "Development customer"},
      {"tcpac", "Package"},
      {"tcmod", "Module"},
      {"tflno", "Table"},
      {"prtx", "Print text"},
      {"logn", "Log"},
      {"stat", "Status"},
      {"lusr", "Last user"},
      {"comt", "Comment"},
      {"vari", "Variant"},
      {"stbl", "Sub-table"},
      {"isms", "Is MS"},
      {"txtn", "Text"},
      {"ldat", "Last change"},
      {"scpac", "Source package"},
      {"scmod", "Source module"},
      {"sflno", "Source table"},
      {"icod", "Code"},
      {"qury", "Query"},
      {"fdnm", "Field"},
      {"dnum", "Element"},
      {"mrul", "Rule"},
      {"type", "Type"},
      {"func", "Function"},
      {"bpac", "Base package"},
      {"bmod", "Base module"},
      {"bflno", "Base table"},
      {"cpac", "Child package"},
      {"cmod", "Child module"},
      {"cflno", "Child table"},
      {"defa", "Default profile"},
      {"usrn", "User"},
      {"fnam", "Function"},
      {"lurn", "Last user"},
      {"fdef", "Definition"},
      {"curn", "Checked out by"},
      {"rowkey", "Row"},
  };
  return kColumns;
}

}  // namespace

std::string TableLabel(const std::string& table) {
  auto found = Tables().find(table);
  return found == Tables().end() ? table : found->second.plural;
}

std::string RowKindLabel(const std::string& table) {
  auto found = Tables().find(table);
  return found == Tables().end() ? table : found->second.singular;
}

std::string ColumnLabel(const std::string& table, const std::string& column) {
  if (table == "qzlib100" && column == "ldat") return "Last date";
  auto found = Columns().find(column);
  return found == Columns().end() ? column : found->second;
}

std::string ValueText(const std::string& table, const std::string& column, const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return CellText(value);
  if (column == "ownr" || (table == "qzusr110" && column == "usrn")) {
    std::string bytes;
    if (value.type() == Variant::Type::kBinary) {
      bytes.assign(value.AsBinary().begin(), value.AsBinary().end());
    } else {
      bytes = value.ToString();
    }
    if (column == "usrn") return bytes;
    if (std::optional<String> clear = app::DecipherOwner(bytes)) return *clear;
    return "(enciphered, unreadable)";
  }
  const std::string text = CellText(value);
  if (column == "scme") return text == "Y" ? "yes (Y)" : text == "N" ? "no (N)" : text;
  if (column == "stat") {
    if (text == "X") return "X expired";
    if (text == "M") return "M reinstated";
    if (text == "C" && table == "qzlib100") return "C checked out";
  }
  return text;
}

}  // namespace migprof::web
