#include "cli/help_text.h"

#include <map>
#include <vector>

namespace migprof::cli {
namespace {

const char* TypeName(dispatch::ParamType type) {
  switch (type) {
    case dispatch::ParamType::kInteger:
      return "Integer";
    case dispatch::ParamType::kBoolean:
      return "Boolean";
    case dispatch::ParamType::kString:
      return "String";
    case dispatch::ParamType::kVariant:
      return "Variant";
    case dispatch::ParamType::kConnection:
      return "Connection";
  }
  return "Variant";
}

const char* ResultName(dispatch::ResultType type) {
  switch (type) {
    case dispatch::ResultType::kNone:
      return nullptr;
    case dispatch::ResultType::kBoolean:
      return "Boolean";
    case dispatch::ResultType::kDouble:
      return "Double";
    case dispatch::ResultType::kString:
      return "String";
    case dispatch::ResultType::kConnection:
      return "Connection";
  }
  return nullptr;
}

constexpr const char* kArgumentRules =
    "Argument values: true/false are True/False (-1/0); numbers and numeric text\n"
    "convert to Integer (1 stays 1, which is not True; out of range is error 6\n"
    "Overflow); null passes no Connection; {\"binary\": \"<hex>\"} is binary data;\n"
    "omitted optional arguments are \"\".\n";

constexpr const char* kCallAnswer =
    "Answer of a call, one JSON line:\n"
    "  {\"result\": <value or null>, \"ErrorNumber\": <n>, \"ErrDescription\": \"<text>\"}\n"
    "  plus \"byref\": [...]    the by-reference arguments after the call,\n"
    "  plus \"raised\": {\"number\": n, \"description\": \"...\"}  when the call raised,\n"
    "  plus \"statements\": [...]  with --trace, the statements the call sent.\n"
    "ErrorNumber and ErrDescription are the object's error state after the call.\n";

constexpr const char* kSqlAnswer =
    "Answer of a statement, one JSON line:\n"
    "  {\"columns\": [...], \"rows\": [[...], ...]}  for a statement with rows\n"
    "  {\"columns\": [], \"rows\": [], \"rowsAffected\": n}  for one without\n"
    "  {\"raised\": {\"number\": n, \"description\": \"...\"}}  when it fails\n"
    "Null is null and binary values are {\"binary\": \"<lowercase hex>\"}.\n"
    "Statements are written as for SQL Server, as the component writes its own.\n";

// Lines of at most kWidth characters, broken after ", " where needed.
std::string WrapAtCommas(const std::string& text, const std::string& first_indent,
                         const std::string& indent) {
  constexpr std::size_t kWidth = 100;
  std::string lines;
  std::string line = first_indent;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find(", ", begin);
    end = end == std::string::npos ? text.size() : end + 2;
    std::string piece = text.substr(begin, end - begin);
    if (line.size() + piece.size() > kWidth && line.size() > indent.size()) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      lines += line + "\n";
      line = indent;
    }
    line += piece;
    begin = end;
  }
  return lines + line + "\n";
}

}  // namespace

std::string MemberSignature(const dispatch::Member& member) {
  std::string text = member.name;
  if (!member.params.empty()) {
    text += '(';
    for (std::size_t i = 0; i < member.params.size(); ++i) {
      const dispatch::Param& param = member.params[i];
      if (i > 0) text += ", ";
      if (param.optional) text += "Optional ";
      if (param.by_ref) text += "ByRef ";
      text += param.name + " As " + TypeName(param.type);
    }
    text += ')';
  }
  if (const char* result = ResultName(member.result)) text += std::string(" As ") + result;
  return text;
}

std::string ToolFooter() {
  return "Examples:\n"
         "  migprof init /tmp/profiles.db\n"
         "  migprof sql --database sqlite:/tmp/profiles.db \"select mprf, vers from qzmap100\"\n"
         "  migprof call --database sqlite:/tmp/profiles.db ValidateDerivation 12 1\n"
         "  migprof session --database sqlite:/tmp/profiles.db < requests.jsonl\n"
         "  migprof backup --database sqlite:/tmp/profiles.db /tmp/profiles-copy.db\n"
         "\n"
         "Run 'migprof <command> --help' for the JSON forms of a command.";
}

std::string InitFooter() {
  return "The file must not exist yet; an existing file is never overwritten.\n"
         "Example:\n"
         "  $ migprof init /tmp/profiles.db\n"
         "  Created /tmp/profiles.db; use it with --database sqlite:/tmp/profiles.db\n"
         "With --demo the new file gets a demo estate to try the members on; the\n"
         "summary printed after it lists the profiles, their owners and calls to try:\n"
         "  $ migprof init --demo /tmp/demo.db";
}

std::string BackupFooter() {
  return "The copy is taken in one read transaction, so it is consistent even while\n"
         "other processes write; it includes every committed row, also those still in\n"
         "the -wal file, and is one self-contained file. The target must not exist.\n"
         "Example:\n"
         "  $ migprof backup --database sqlite:/var/lib/p.db /backup/p-monday.db\n"
         "  Backed up /var/lib/p.db to /backup/p-monday.db";
}

std::string UpgradeFooter() {
  return "Databases created before the profile number became a key of qzmap100 (and\n"
         "number and level of qzmap101) lack that protection against two callers\n"
         "creating the same profile at once. The upgrade adds both keys in one\n"
         "transaction; when rows already share a number it changes nothing and names\n"
         "them. Databases made before every table had its primary key (the surrogate\n"
         "rowkey) get it: each table is rebuilt with its rows in their order. Files\n"
         "made before the rule tables' table code indexes (where used) get them.\n"
         "Running it again is harmless.\n"
         "Example:\n"
         "  $ migprof upgrade /var/lib/p.db\n"
         "  Upgraded /var/lib/p.db:\n"
         "    unique qzmap100_mprf\n"
         "    unique qzmap101_mprf\n"
         "    primary key rowkey of qzddi100\n"
         "    ...";
}

std::string SessionFooter() {
  return std::string(
             "Requests, one JSON object per line on standard input:\n"
             "  {\"call\": \"<member>\", \"args\": [...]}  call a member (any letter case)\n"
             "  {\"sql\": \"<statement>\"}  run one statement on a new connection\n"
             "All calls go to one object, so its error state carries from call to call.\n"
             "Settings are members too: {\"call\": \"DatabaseName\", \"args\": "
             "[\"sqlite:/tmp/p.db\"]}.\n"
             "\n") +
         kCallAnswer + "\n" + kSqlAnswer +
         "A malformed request is answered {\"error\": \"<what is wrong>\"} and the\n"
         "session goes on; the end of the input ends it.\n"
         "\n" +
         kArgumentRules +
         "\n"
         "Example:\n"
         "  $ migprof session --database sqlite:/tmp/p.db\n"
         "  {\"call\": \"ErrorNumber\"}\n"
         "  {\"result\":0,\"ErrorNumber\":0,\"ErrDescription\":\"\"}\n"
         "  {\"sql\": \"select count(*) as n from qzmap100\"}\n"
         "  {\"columns\":[\"n\"],\"rows\":[[0]]}";
}

std::string SqlFooter() {
  return std::string(kSqlAnswer) +
         "Exit status: 0, or 1 when the statement failed.\n"
         "\n"
         "Example:\n"
         "  $ migprof sql --database sqlite:/tmp/p.db \"select 'a' + 'b' as ab, null as n\"\n"
         "  {\"columns\":[\"ab\",\"n\"],\"rows\":[[\"ab\",null]]}";
}

std::string ExamplesFooter(const std::string& command) {
  static const std::map<std::string, std::vector<const char*>> kExamples = {
      {"checkout",
       {"migprof checkout --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date",
        "migprof checkout --database sqlite:/tmp/p.db 100 V11_R1_STD --table orsls400",
        "migprof checkout --database sqlite:/tmp/p.db --force 100 V11_R1_STD map_uom"}},
      {"checkin",
       {"migprof checkin --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date --comment "
        "\"Two-digit "
        "years\""}},
      {"undo-checkout",
       {"migprof undo-checkout --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date"}},
      {"edit-function",
       {"migprof edit-function --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date --definition "
        "\"return date(s)\""}},
      {"edit-rule",
       {"migprof edit-rule --database sqlite:/tmp/p.db 100 V11_R1_STD --table orsls400 --field "
        "odat "
        "--set \"mrul=conv_date(ORDHDR.ORDT)\""}},
      {"history",
       {"migprof history --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date",
        "migprof history --database sqlite:/tmp/p.db 100 V11_R1_STD --table orsls400"}},
      {"diff",
       {"migprof diff --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date 1 2",
        "migprof diff --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date 2    # 2 to the rows "
        "now"}},
      {"restore",
       {"migprof restore --database sqlite:/tmp/p.db 100 V11_R1_STD conv_date 1 --comment \"Back "
        "to "
        "the first\""}},
      {"checkouts",
       {"migprof checkouts --database sqlite:/tmp/p.db",
        "migprof checkouts --database sqlite:/tmp/p.db 100"}},
      {"preview",
       {"migprof preview --database sqlite:/tmp/p.db --as alice ExpireMapRules 120 V10U R1 ACMENL "
        "or sls 400 '\"\"' false true",
        "migprof preview --database sqlite:/tmp/p.db --as bob DeleteMap100 110"}},
      {"compare",
       {"migprof compare --database sqlite:/tmp/p.db 110 100",
        "migprof compare --database sqlite:/tmp/p.db 100:V11_R1_STD 100:V10_R1_STD"}},
      {"where-used",
       {"migprof where-used --database sqlite:/tmp/p.db 100",
        "migprof where-used --database sqlite:/tmp/p.db --table orsls400",
        "migprof where-used --database sqlite:/tmp/p.db --function conv_date"}},
      {"export",
       {"# the profile's rows only: no revision history and no check-out records",
        "migprof export --database sqlite:/tmp/p.db 100 > profile-100.json",
        "migprof import --database sqlite:/tmp/other.db profile-100.json"}},
      {"import",
       {"migprof import --database sqlite:/tmp/other.db --dry-run profile-100.json",
        "migprof import --database sqlite:/tmp/other.db profile-100.json"}},
      {"token",
       {"migprof token add alice --database sqlite:/tmp/p.db    # of an account; printed once",
        "migprof token list --database sqlite:/tmp/p.db",
        "migprof token list alice --database sqlite:/tmp/p.db",
        "migprof token revoke <id> --database sqlite:/tmp/p.db"}},
  };
  auto found = kExamples.find(command);
  if (found == kExamples.end()) return "";
  std::string text = "Examples:";
  for (const char* line : found->second) text += std::string("\n  ") + line;
  return text;
}

std::string CallFooter() {
  std::string text =
      "Arguments are words, each read as JSON when it is JSON (12, true, null, "
      "'\"12\"')\n"
      "and as text otherwise (alice), or one JSON array with --args. Put -- before\n"
      "the words when one starting with '-' is taken for an option.\n" +
      std::string(kArgumentRules) + "\n" + kCallAnswer +
      "Exit status: 0; 1 when the call raised; 2 for a malformed request.\n"
      "\n"
      "Example:\n"
      "  $ migprof call --database sqlite:/tmp/missing.db getNewConnection\n"
      "  {\"result\":null,\"ErrorNumber\":0,\"ErrDescription\":\"\",\"raised\":{\"number\":"
      "-2147467259,...}}\n"
      "\n"
      "Members:\n";
  for (const dispatch::Member& member : dispatch::Members()) {
    text += WrapAtCommas(MemberSignature(member), "  ", "      ");
  }
  text.pop_back();
  return text;
}

}  // namespace migprof::cli
