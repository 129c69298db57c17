#include "app/demo_estate.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/sql_text.h"
#include "migprof/ado.h"
#include "migprof/com_error.h"

namespace migprof::app {
namespace {

// Applications and their kind (qzddi100.extn): 1 for Orvo applications, 0
// for the legacy ones.
struct DemoApplication {
  const char* appl;
  const char* extn;
  const char* title;
};
constexpr DemoApplication kApplications[] = {
    {"LEGERP", "0", "legacy ERP"},
    {"LEGCRM", "0", "legacy CRM"},
    {"ORVOERP", "1", "Orvo ERP"},
    {"ORVOCRM", "1", "Orvo CRM"},
};

// A field of a target table. domain is the package code followed by the
// domain name ("" for none). rule is the mapping of each element ("" for a
// field without a rule); in an array field "#" stands for the element number.
struct DemoField {
  const char* name;
  int depth;
  const char* domain;
  const char* type;
  const char* rule;
};

// A target table of an Orvo application with the rule of the standard
// profile that fills it from a legacy table, through a library function.
struct DemoTable {
  const char* appl;
  const char* pac;
  const char* mod;
  const char* flno;
  const char* title;
  const char* stat;  // "X" expired, "M" reinstated, "N" untouched
  const char* source_app;
  const char* source;  // the legacy table (package qz, module tbl)
  const char* function;
  std::vector<DemoField> fields;
};

const std::vector<DemoTable>& Tables() {
  static const std::vector<DemoTable> tables = {
      {"ORVOERP",
       "or",
       "itm",
       "001",
       "Items",
       "N",
       "LEGERP",
       "ITMMST",
       "fmt_item_code",
       {{"item", 0, "oritem", "F", "fmt_item_code(ITMMST.ITNO)"},
        {"dsca", 0, "", "D", "ITMMST.ITDS"},
        {"cuni", 0, "oruom", "F", "map_uom(ITMMST.UNMS)"},
        {"pric", 3, "oramnt", "D", "ITMMST.PRC#"},
        {"wght", 0, "orqty", "D", "ITMMST.WGHT"},
        {"cdat", 0, "ordate", "", ""}}},
      {"ORVOERP",
       "or",
       "cus",
       "100",
       "Customers",
       "X",
       "LEGERP",
       "CUSMST",
       "map_country",
       {{"cust", 0, "orcust", "D", "CUSMST.CUNO"},
        {"nama", 0, "", "D", "CUSMST.CUNM"},
        {"addr", 2, "", "D", "CUSMST.ADR#"},
        {"ccty", 0, "orctry", "F", "map_country(CUSMST.CNTY)"},
        {"crlm", 0, "oramnt", "C", "0"}}},
      {"ORVOERP",
       "or",
       "sls",
       "400",
       "Sales orders",
       "N",
       "LEGERP",
       "ORDHDR",
       "conv_date",
       {{"orno", 0, "ororno", "D", "ORDHDR.ORNO"},
        {"cust", 0, "orcust", "D", "ORDHDR.CUNO"},
        {"odat", 0, "ordate", "F", "conv_date(ORDHDR.ORDT)"},
        {"ccur", 0, "orccur", "C", "'EUR'"}}},
      {"ORVOERP",
       "or",
       "sls",
       "401",
       "Sales order lines",
       "M",
       "LEGERP",
       "ORDLIN",
       "map_uom",
       {{"orno", 0, "ororno", "D", "ORDLIN.ORNO"},
        {"pono", 0, "orpono", "D", "ORDLIN.LINE"},
        {"item", 0, "oritem", "F", "fmt_item_code(ORDLIN.ITNO)"},
        {"qoor", 0, "orqty", "D", "ORDLIN.QTY"},
        {"pric", 0, "oramnt", "D", "ORDLIN.PRIC"},
        {"disc", 3, "orperc", "D", "ORDLIN.DSC#"}}},
      {"ORVOCRM",
       "cr",
       "acc",
       "010",
       "Accounts",
       "N",
       "LEGCRM",
       "ACCT",
       "fmt_phone",
       {{"acct", 0, "cracct", "D", "ACCT.ACNO"},
        {"nama", 0, "", "D", "ACCT.ACNM"},
        {"phon", 2, "crphon", "F", "fmt_phone(ACCT.TEL#)"},
        {"ownr", 0, "crusr", "D", "ACCT.REP"}}},
      {"ORVOCRM",
       "cr",
       "con",
       "020",
       "Contacts",
       "N",
       "LEGCRM",
       "CONT",
       "fmt_phone",
       {{"acct", 0, "cracct", "D", "CONT.ACNO"},
        {"cont", 0, "crcont", "D", "CONT.CTNO"},
        {"mail", 0, "", "D", "CONT.EMAL"},
        {"phon", 2, "crphon", "F", "fmt_phone(CONT.TEL#)"}}},
  };
  return tables;
}

// The field lists of the legacy tables (qzlgy150, package qz, module tbl).
struct DemoLegacyTable {
  const char* appl;
  const char* flno;
  std::vector<const char*> fields;
};
const std::vector<DemoLegacyTable>& LegacyTables() {
  static const std::vector<DemoLegacyTable> tables = {
      {"LEGERP", "ITMMST", {"ITNO", "ITDS", "UNMS", "PRC1", "PRC2", "PRC3", "WGHT"}},
      {"LEGERP", "CUSMST", {"CUNO", "CUNM", "ADR1", "ADR2", "CNTY", "CRLM"}},
      {"LEGERP", "ORDHDR", {"ORNO", "CUNO", "ORDT", "CURR"}},
      {"LEGERP", "ORDLIN", {"ORNO", "LINE", "ITNO", "QTY", "PRIC", "DSC1", "DSC2", "DSC3"}},
      {"LEGCRM", "ACCT", {"ACNO", "ACNM", "TEL1", "TEL2", "REP"}},
      {"LEGCRM", "CONT", {"ACNO", "CTNO", "EMAL", "TEL1", "TEL2"}},
  };
  return tables;
}

// Table links of the standard ERP profile: base table, child table.
struct DemoLink {
  const char* base[3];
  const char* child[3];
};
constexpr DemoLink kLinks[] = {
    {{"or", "cus", "100"}, {"or", "sls", "400"}},
    {{"or", "sls", "400"}, {"or", "sls", "401"}},
};

// Library functions. Each is stored in its profile's own VRC and, for a
// profile under revision control, also in the development VRC with
// dev_stat; entries is the number of qzlib105 rows it has.
struct DemoFunction {
  Integer mprf;
  const char* fnam;
  const char* dsca;
  const char* fdef;
  const char* comt;
  const char* lurn;
  const char* stat;
  const char* dev_stat;
  const char* curn;
  int entries;
};
constexpr DemoFunction kFunctions[] = {
    {kDemoStandardProfile, "conv_date", "Legacy date (YYMMDD) to a date",
     "return date(2000 + val(left(s, 2)), val(mid(s, 3, 2)), val(right(s, 2)))",
     "Years before 2000 do not occur in the legacy data", "bob", "N", "M", "", 2},
    {kDemoStandardProfile, "fmt_item_code", "Legacy item number to an item code",
     "return \"IT\" + right(\"000000\" + trim(s), 6)", "Pads to six digits", "alice", "N", "N", "",
     0},
    {kDemoStandardProfile, "map_country", "Legacy country name to an ISO code",
     "return lookup(\"countries\", s)", "Unknown names map to ZZ", "alice", "N", "N", "", 1},
    {kDemoStandardProfile, kDemoCheckedOutFunction, "Legacy unit of measure to an Orvo unit",
     "return lookup(\"units\", upper(s))", "Being extended for pallets", "alice", "C", "C",
     kDemoCheckedOutBy, 1},
    {kDemoStandardProfile, "old_price", "Price with the old surcharge", "return p * 1.05",
     "Surcharge dropped; kept for reference", "bob", "X", "X", "", 0},
    {200, "fmt_phone", "Legacy phone number to international form", "return \"+\" + digits(s)",
     "Assumes country code 31 when none is given", "bob", "N", "", "", 1},
};

// Users and their default profile (qzusr100).
struct DemoUser {
  const char* usrn;
  Integer defa;
};
constexpr DemoUser kUsers[] = {{"alice", kDemoStandardProfile}, {"bob", 200}};

// The fixed date of everything the estate inserts itself.
constexpr const char* kDate = "2026-01-15 09:30:00";

// Rules are copied into derived profiles table by table: profile, tables
// as a list of table codes (the first one is the main table).
struct DemoCopy {
  Integer mprf;
  std::vector<const char*> tables;
};
const std::vector<DemoCopy>& Copies() {
  static const std::vector<DemoCopy> copies = {
      {110, {"orcus100", "orsls400", "orsls401"}},
      {120, {"orsls400"}},
  };
  return copies;
}

// Functions copied into derived profiles: profile, function.
struct DemoFunctionCopy {
  Integer mprf;
  const char* fnam;
};
constexpr DemoFunctionCopy kFunctionCopies[] = {{110, "conv_date"}, {110, "fmt_item_code"}};

constexpr DemoProfile kProfiles[] = {
    {kDemoStandardProfile, "Legacy ERP to Orvo ERP, standard", "LEGERP", "ORVOERP", "V10", "R1",
     "STD", "__", "Y", "Orvo ERP", "alice", "V11", "R1", "STD", 0},
    {110, "Legacy ERP to Orvo ERP for Acme", "LEGERP", "ORVOERP", "V10U", "R1", "ACME",
     "V10_R1_STD", "N", "Orvo ERP", "bob", "", "", "", 100},
    {120, "Legacy ERP to Orvo ERP for Acme Netherlands", "LEGERP", "ORVOERP", "V10U", "R1",
     "ACMENL", "V10U_R1_ACME", "N", "Orvo ERP", "alice", "", "", "", 110},
    {200, "Legacy CRM to Orvo CRM, standard", "LEGCRM", "ORVOCRM", "C20", "R1", "STD", "__", "N",
     "Orvo CRM", "bob", "", "", "", 0},
    {300, "Orvo ERP customers into Orvo CRM", "ORVOERP", "ORVOCRM", "I30", "R1", "STD", "__", "N",
     "Orvo CRM", "bob", "", "", "", 0},
};

const DemoProfile& Profile(Integer mprf) {
  for (const DemoProfile& profile : kProfiles) {
    if (profile.mprf == mprf) return profile;
  }
  throw ComError(errc::kInvalidArgument, "no demo profile " + std::to_string(mprf));
}

// The profile whose own rules fill the target application's tables.
const DemoProfile& StandardProfileFor(const char* tapp) {
  for (const DemoProfile& profile : kProfiles) {
    if (std::string(profile.parent) == "__" && std::string(profile.tapp) == tapp &&
        std::string(profile.sapp) != profile.tapp) {
      return profile;
    }
  }
  throw ComError(errc::kInvalidArgument, std::string("no standard profile for ") + tapp);
}

std::string Quoted(const std::string& text) { return "'" + SqlText(text) + "'"; }

// "{mprf},'{vers}','{rele}','{cust}'" for statements keyed by profile and VRC.
std::string Key(Integer mprf, const std::string& vers, const std::string& rele,
                const std::string& cust) {
  return SqlNumber(mprf) + "," + Quoted(vers) + "," + Quoted(rele) + "," + Quoted(cust);
}

// The element names of a field: the name itself, or name(1) ... name(depth).
std::vector<std::string> Elements(const DemoField& field) {
  if (field.depth == 0) return {field.name};
  std::vector<std::string> names;
  for (int i = 1; i <= field.depth; ++i) {
    names.push_back(std::string(field.name) + "(" + std::to_string(i) + ")");
  }
  return names;
}

std::string ElementRule(const DemoField& field, int element) {
  std::string rule = field.rule;
  std::string::size_type mark = rule.find('#');
  if (mark != std::string::npos) rule.replace(mark, 1, std::to_string(element));
  return rule;
}

class Populator {
 public:
  explicit Populator(TOVRHandleMigProf& object)
      : object_(object), connection_(object.getNewConnection()) {}

  void Run() {
    Dictionary();
    for (const DemoProfile& profile : kProfiles) CreateProfile(profile);
    for (const DemoUser& user : kUsers) {
      Exec("insert into qzusr100 (usrn, defa) values (" + Quoted(user.usrn) + "," +
           SqlNumber(user.defa) + ")");
    }
    for (const DemoTable& table : Tables()) TableRules(table);
    for (const DemoLink& link : kLinks) Link(link);
    for (const DemoFunction& function : kFunctions) Function(function);
    for (const DemoCopy& copy : Copies()) CopyRules(copy);
    for (const DemoFunctionCopy& copy : kFunctionCopies) CopyFunction(copy);
  }

 private:
  void Exec(const std::string& statement) { connection_->Execute(statement); }

  // A member's refusal or recorded failure, raised with its error state.
  [[noreturn]] void Refused(const std::string& what) {
    throw ComError(static_cast<std::int32_t>(object_.ErrorNumber()),
                   what + ": " + object_.ErrDescription());
  }

  void Dictionary() {
    for (const DemoApplication& app : kApplications) {
      Exec("insert into qzddi100 (appl, extn) values (" + Quoted(app.appl) + "," +
           Quoted(app.extn) + ")");
    }
    for (const DemoTable& table : Tables()) {
      for (const DemoField& field : table.fields) {
        Exec("insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values (" +
             Quoted(table.appl) + "," + Quoted(table.pac) + "," + Quoted(table.mod) + "," +
             Quoted(table.flno) + "," + Quoted(field.name) + "," + SqlNumber(field.depth) + "," +
             (*field.domain ? Quoted(field.domain) : "NULL") + ")");
        // Every domain a field uses is defined for its application (package
        // code and name in columns of their own), so rules copy completely.
        std::string domain = field.domain;
        if (domain.empty() || defined_domains_.count(table.appl + domain)) continue;
        defined_domains_.insert(table.appl + domain);
        Exec("insert into qzddi220 (appl, cpac, cdom) values (" + Quoted(table.appl) + "," +
             Quoted(domain.substr(0, 2)) + "," + Quoted(domain.substr(2)) + ")");
      }
    }
    for (const DemoLegacyTable& table : LegacyTables()) {
      for (const char* field : table.fields) {
        Exec("insert into qzlgy150 (appl, cpac, cmod, flno, flna) values (" + Quoted(table.appl) +
             ",'qz','tbl'," + Quoted(table.flno) + "," + Quoted(field) + ")");
      }
    }
  }

  void CreateProfile(const DemoProfile& p) {
    if (!object_
             .InsertInMap100(p.mprf, p.description, p.sapp, p.tapp, p.vers, p.rele, p.cust,
                             p.parent, p.scme, p.apln, p.owner, p.dver, p.drel, p.dcus)
             .IsTrue()) {
      Refused("InsertInMap100 " + std::to_string(p.mprf));
    }
  }

  // The standard profile's rule of one target table, under its own VRC.
  void TableRules(const DemoTable& table) {
    const DemoProfile& p = StandardProfileFor(table.appl);
    const std::string key = Key(p.mprf, p.vers, p.rele, p.cust) + "," + Quoted(table.pac) + "," +
                            Quoted(table.mod) + "," + Quoted(table.flno);
    Exec(
        "insert into qzmap120 (mprf,vers,rele,cust,tcpac,tcmod,tflno,prtx,logn,stat,lusr,comt,"
        "vari,stbl,isms,ldat) values (" +
        key + "," + Quoted(std::string(table.title) + " from " + table.source) + ",''," +
        Quoted(table.stat) + "," + Quoted(p.owner) + "," +
        Quoted(std::string("Fills ") + table.title + " from the legacy table " + table.source) +
        ",'N','N','N'," + Quoted(kDate) + ")");
    Exec(
        "insert into qzmap130 (mprf,vers,rele,cust,tcpac,tcmod,tflno,scpac,scmod,sflno,icod,qury) "
        "values (" +
        key + ",'qz','tbl'," + Quoted(table.source) + ",'1'," +
        Quoted(std::string("select * from ") + table.source) + ")");
    Exec("insert into qzmap160 (mprf,vers,rele,cust,tcpac,tcmod,tflno,func) values (" + key + "," +
         Quoted(table.function) + ")");
    for (const DemoField& field : table.fields) {
      if (*field.rule == '\0') continue;  // a field left without a rule
      const std::vector<std::string> elements = Elements(field);
      for (std::size_t i = 0; i < elements.size(); ++i) {
        const int element = field.depth == 0 ? 0 : static_cast<int>(i) + 1;
        Exec(
            "insert into qzmap140 (mprf,vers,rele,cust,tcpac,tcmod,tflno,fdnm,dnum,mrul,type,"
            "stat) values (" +
            key + "," + Quoted(elements[i]) + "," + SqlNumber(element) + "," +
            Quoted(ElementRule(field, element)) + "," + Quoted(field.type) + ",'N')");
      }
    }
  }

  void Link(const DemoLink& link) {
    const DemoProfile& p = Profile(kDemoStandardProfile);
    Exec("insert into qzmap170 (mprf,vers,rele,cust,bpac,bmod,bflno,cpac,cmod,cflno) values (" +
         Key(p.mprf, p.vers, p.rele, p.cust) + "," + Quoted(link.base[0]) + "," +
         Quoted(link.base[1]) + "," + Quoted(link.base[2]) + "," + Quoted(link.child[0]) + "," +
         Quoted(link.child[1]) + "," + Quoted(link.child[2]) + ")");
  }

  void FunctionRow(const DemoFunction& f, const std::string& key, const char* stat) {
    Exec(
        "insert into qzlib100 (mprf,vers,rele,cust,fnam,dsca,lurn,ldat,fdef,comt,stat,curn) "
        "values (" +
        key + "," + Quoted(f.fnam) + "," + Quoted(f.dsca) + "," + Quoted(f.lurn) + "," +
        Quoted(kDate) + "," + Quoted(f.fdef) + "," + Quoted(f.comt) + "," + Quoted(stat) + "," +
        Quoted(f.curn) + ")");
    for (int i = 0; i < f.entries; ++i) {
      Exec("insert into qzlib105 (mprf,vers,rele,cust,fnam) values (" + key + "," + Quoted(f.fnam) +
           ")");
    }
  }

  void Function(const DemoFunction& f) {
    const DemoProfile& p = Profile(f.mprf);
    FunctionRow(f, Key(p.mprf, p.vers, p.rele, p.cust), f.stat);
    if (std::string(p.scme) == "Y") FunctionRow(f, Key(p.mprf, p.dver, p.drel, p.dcus), f.dev_stat);
  }

  // Fills a derived profile's own VRC with its parent's rules of the listed
  // tables (with their table links when there are several).
  void CopyRules(const DemoCopy& copy) {
    const DemoProfile& p = Profile(copy.mprf);
    const std::string main = copy.tables.front();
    std::string list;
    for (const char* table : copy.tables) list += (list.empty() ? "" : ",") + std::string(table);
    const Boolean several = Boolean::From(copy.tables.size() > 1);
    if (!object_
             .CopyToCurrentVRC(p.rule_source, p.mprf, p.vers, p.rele, p.cust, main.substr(0, 2),
                               main.substr(2, 3), main.substr(5), p.owner, Variant(), list, several)
             .IsTrue()) {
      Refused("CopyToCurrentVRC " + std::to_string(p.rule_source) + " into " +
              std::to_string(p.mprf));
    }
  }

  void CopyFunction(const DemoFunctionCopy& copy) {
    const DemoProfile& p = Profile(copy.mprf);
    if (!object_
             .Func_CopyToCurrentVRC(p.rule_source, p.mprf, p.vers, p.rele, p.cust, copy.fnam,
                                    p.owner)
             .IsTrue()) {
      Refused(std::string("Func_CopyToCurrentVRC ") + copy.fnam);
    }
  }

  TOVRHandleMigProf& object_;
  std::shared_ptr<ado::Connection> connection_;
  std::set<std::string> defined_domains_;
};

}  // namespace

std::span<const DemoProfile> DemoProfiles() { return kProfiles; }

void PopulateDemoEstate(TOVRHandleMigProf& object) { Populator(object).Run(); }

void WriteDemoSummary(std::ostream& out, const std::string& path) {
  out << "Filled with a demo estate:\n  applications:";
  for (const DemoApplication& app : kApplications) {
    out << ' ' << app.appl << " (" << app.title << ", kind " << app.extn << ")";
  }
  out << "\n  profiles:\n";
  for (const DemoProfile& p : kProfiles) {
    out << "    " << p.mprf << ' ' << p.vers << '_' << p.rele << '_' << p.cust << "  " << p.sapp
        << " -> " << p.tapp << ", owner " << p.owner;
    if (std::string(p.parent) == "__") {
      out << ", standard";
    } else {
      out << ", derived from " << p.parent;
    }
    if (std::string(p.scme) == "Y") {
      out << ", under revision control (development VRC " << p.dver << '_' << p.drel << '_'
          << p.dcus << ")";
    }
    out << '\n';
  }
  out << "  users:";
  for (const DemoUser& user : kUsers) out << ' ' << user.usrn;
  const DemoProfile& standard = Profile(kDemoStandardProfile);
  const DemoProfile& child = Profile(Copies().front().mprf);
  const std::string db = "migprof call --database sqlite:" + path + " --as ";
  out << "\nTry first (a member's user argument names the user the tool acts as, --as):\n"
      << "  " << db << "alice GetUserOwnerProfiles alice\n"
      << "  " << db << child.owner << " CopyToCurrentVRC " << standard.mprf << ' ' << child.mprf
      << ' ' << child.vers << ' ' << child.rele << ' ' << child.cust << ' ' << kDemoUncopiedTable[0]
      << ' ' << kDemoUncopiedTable[1] << ' ' << kDemoUncopiedTable[2] << ' ' << child.owner
      << " '' '' 0\n"
      << "  " << db << kDemoCheckedOutBy << " Func_Expire " << standard.mprf << ' ' << standard.vers
      << ' ' << standard.rele << ' ' << standard.cust << ' ' << kDemoCheckedOutFunction << ' '
      << kDemoCheckedOutBy << " true\n"
      << "  migprof session --database sqlite:" << path
      << " --as alice   (one call per line, as JSON)\n";
}

}  // namespace migprof::app
