#include "differential/random_case.h"

#include <cctype>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>

#include "testing/direct_call.h"

namespace migprof::testing {
namespace {

using wire::Json;

class Drawer {
 public:
  explicit Drawer(std::uint32_t draw) : rng_(draw) {}

  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(int percent) { return Number(1, 100) <= percent; }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[static_cast<std::size_t>(Number(0, static_cast<int>(N) - 1))];
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Number(0, static_cast<int>(items.size()) - 1))];
  }
  template <typename T>
  T Pick(std::initializer_list<T> items) {
    return items.begin()[Number(0, static_cast<int>(items.size()) - 1)];
  }

  // A text as written, or (hostile) changed the way users' input differs:
  // letter case, trailing blanks, a no-break space or soft hyphen at its
  // end, superscript digits or ordinal letters, characters outside code
  // page 1252, a quote, a leading blank, an accent, too many characters,
  // nothing at all.
  std::string Variant(const std::string& text, int percent_changed) {
    if (!Chance(percent_changed)) return text;
    std::string out = text;
    switch (Number(0, 13)) {
      case 0:
        for (char& c : out)
          c = static_cast<char>(std::islower(static_cast<unsigned char>(c))
                                    ? std::toupper(static_cast<unsigned char>(c))
                                    : std::tolower(static_cast<unsigned char>(c)));
        return out;
      case 1:
        return out + "  ";
      case 2:
        return out + "\u00A0";
      case 3:
        return out + "\u00AD";
      case 4:
        return Replaced(Replaced(out, "2", "\u00B2"), "1", "\u00B9");
      case 5:
        return Replaced(Replaced(out, "a", "\u00AA"), "A", "\u00AA");
      case 6:
        return out + "\u0141";
      case 7:
        return out + "'";
      case 8:
        return " " + out;
      case 9:
        return out + "\u00E9";
      case 10:
        return out + std::string(static_cast<std::size_t>(Number(250, 300)), 'w');
      case 11:
        return "";
      case 12:
        return out + "\u4E2D";
      default:
        return out + "\u00C9";
    }
  }

 private:
  std::mt19937 rng_;
};

// A text as a T-SQL literal.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

Json Sql(std::string statement) { return Json{{"sql", std::move(statement)}}; }

Json Call(const char* member, Json args) {
  return Json{{"call", member}, {"args", std::move(args)}};
}

struct Vrc {
  std::string vers, rele, cust;
};

struct Profile {
  int mprf = 0;
  Vrc vrc;
  Vrc dev;  // its development VRC, under revision control
  bool revision = false;
  std::string owner;
  std::size_t sapp = 0;  // index into kApplications
  std::size_t tapp = 0;
};

struct TableCode {
  std::string pac, mod, flno;
  std::string Code() const { return pac + mod + flno; }
};

const char* const kVersions[] = {"V1", "V2", "B1", "A1", "DV", "v1U"};
const char* const kReleases[] = {"R1", "R2", "01"};
const char* const kCustomers[] = {"C1", "STD", "Ca"};
const char* const kApplications[] = {"ERP", "CRM", "LEG", "ORVO", "MIX", "Erp"};
// The kind of each application (qzddi100.extn) as the estate mostly writes it.
const char* const kKinds[] = {"1", "1", "0", "1", "2", "1"};
const char* const kUsers[] = {"alice", "bob", "J\u00E9r\u00F4me", "a\u540D", "Alice", "carol"};
const char* const kFunctions[] = {"calc", "f1", "Calc", "fx2"};
const char* const kFields[] = {"NAME", "ADDR", "QTY", "name"};
const char* const kStatuses[] = {"A", "X", "M", "N", "C", ""};
const TableCode kTables[] = {{"xy", "uvw", "123"}, {"xy", "uvw", "124"}, {"qz", "tbl", "1"},
                             {"mm", "mmm", "1"},   {"XY", "UVW", "123"}, {"zz", "zzz", "0"}};
// Profile numbers written as text, as SQL Server would read them or not.
const char* const kNumberTexts[] = {"1", "10.0", " 7",  "1e3", "+2",    "2.5",      "x",
                                    "",  "3 ",   "007", "-1",  "4.0e0", "1 or 1=1", "0x1"};

class CaseDrawer {
 public:
  explicit CaseDrawer(std::uint32_t draw) : d_(draw) {}

  RandomCase Draw(int calls) {
    DrawDictionary();
    DrawProfiles();
    DrawRules();
    DrawLibrary();
    for (int i = 0; i < calls; ++i) DrawCall();
    return std::move(case_);
  }

 private:
  Vrc SomeVrc(int percent_changed) {
    if (!vrcs_.empty() && d_.Chance(70)) {
      const Vrc& v = d_.Pick(vrcs_);
      return {d_.Variant(v.vers, percent_changed), d_.Variant(v.rele, percent_changed),
              d_.Variant(v.cust, percent_changed)};
    }
    return {d_.Variant(d_.Pick(kVersions), percent_changed),
            d_.Variant(d_.Pick(kReleases), percent_changed),
            d_.Variant(d_.Pick(kCustomers), percent_changed)};
  }

  int SomeProfile() {
    if (!profiles_.empty() && d_.Chance(80)) return d_.Pick(profiles_).mprf;
    return d_.Pick({0, 1, 2, 3, 9, 12, 99, -1, 32767});
  }

  std::string Text(const char* const* begin, std::size_t count, int percent_changed) {
    return d_.Variant(begin[d_.Number(0, static_cast<int>(count) - 1)], percent_changed);
  }
  template <std::size_t N>
  std::string Text(const char* const (&items)[N], int percent_changed) {
    return Text(items, N, percent_changed);
  }

  TableCode SomeTable(int percent_changed) {
    const TableCode& t = d_.Pick(kTables);
    return {d_.Variant(t.pac, percent_changed / 2), d_.Variant(t.mod, percent_changed / 2),
            d_.Variant(t.flno, percent_changed / 2)};
  }

  std::string SomeChilds(int percent_changed) {
    std::string list;
    for (int n = d_.Number(0, 3); n > 0; --n) {
      if (!list.empty()) list += ",";
      list += SomeTable(percent_changed).Code();
    }
    return list;
  }

  Json SomeBool() {
    switch (d_.Number(0, 3)) {
      case 0:
        return false;
      case 1:
        return 1;
      default:
        return true;
    }
  }

  // Numbers written into int columns of the estate: mostly numbers, now and
  // then a text SQL Server takes.
  std::string IntLiteral(int value) {
    return d_.Chance(10) ? Quoted(" " + std::to_string(value)) : std::to_string(value);
  }

  void DrawDictionary() {
    for (std::size_t a = 0; a < std::size(kApplications); ++a) {
      const char* app = kApplications[a];
      if (d_.Chance(10)) continue;
      const int kinds = d_.Chance(10) ? 2 : 1;
      for (int k = 0; k < kinds; ++k) {
        const std::string extn =
            d_.Chance(85) ? kKinds[a] : d_.Pick({"0", "1", "2", "1 ", " 1", "01"});
        case_.setup.push_back(Sql("insert into qzddi100 (appl, extn) values (" +
                                  Quoted(d_.Variant(app, 10)) + ", " + Quoted(extn) + ")"));
      }
      for (int f = d_.Number(0, 3); f > 0; --f) {
        const TableCode& t = d_.Pick(kTables);
        const std::string domain = d_.Pick({"", "DOM", "xyDOM", "XYdom ", "DOM\u00B2"});
        case_.setup.push_back(
            Sql("insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values (" +
                Quoted(app) + ", " + Quoted(t.pac) + ", " + Quoted(t.mod) + ", " + Quoted(t.flno) +
                ", " + Quoted(Text(kFields, 15)) + ", " + IntLiteral(d_.Number(0, 2)) + ", " +
                (d_.Chance(20) ? std::string("NULL") : Quoted(domain)) + ")"));
      }
      if (d_.Chance(50)) {
        case_.setup.push_back(Sql("insert into qzddi220 (appl, cpac, cdom) values (" + Quoted(app) +
                                  ", " + Quoted(d_.Pick({"xy", "XY", "qz"})) + ", " +
                                  Quoted(d_.Pick({"DOM", "dom ", "DOM\u00B2"})) + ")"));
      }
      if (d_.Chance(40)) {
        const TableCode& t = d_.Pick(kTables);
        case_.setup.push_back(Sql("insert into qzlgy150 (appl, cpac, cmod, flno, flna) values (" +
                                  Quoted(app) + ", " + Quoted(t.pac) + ", " + Quoted(t.mod) + ", " +
                                  Quoted(t.flno) + ", " + Quoted(Text(kFields, 15)) + ")"));
      }
    }
    for (int u = d_.Number(0, 3); u > 0; --u) {
      case_.setup.push_back(Sql("insert into qzusr100 (usrn, defa) values (" +
                                Quoted(Text(kUsers, 10)) + ", " +
                                IntLiteral(d_.Pick({0, 1, 2, 3, 5})) + ")"));
    }
  }

  // Profiles are created as the front end creates them, so that their
  // levels, development VRC and owner are as the component keeps them:
  // standard profiles of their own application pair, profiles derived with
  // the parent's applications (a "U" in the version) or with others of the
  // same kinds. Now and then one the component refuses.
  void DrawProfiles() {
    for (int n = d_.Number(3, 8); n > 0; --n) {
      Profile p;
      p.mprf = d_.Number(1, 12);
      const int number = static_cast<int>(profiles_.size()) + 1;
      std::string parent = "__";
      std::size_t sapp = static_cast<std::size_t>(d_.Number(0, std::size(kApplications) - 1));
      std::size_t tapp = static_cast<std::size_t>(d_.Number(0, std::size(kApplications) - 1));
      if (profiles_.empty() || d_.Chance(40)) {
        p.vrc.vers = d_.Pick({"V", "A", "B", "C"}) + std::to_string(number);
      } else {
        const Profile& from = d_.Pick(profiles_);
        parent = from.vrc.vers + "_" + from.vrc.rele + "_" + from.vrc.cust;
        if (d_.Chance(50)) {
          sapp = from.sapp;
          tapp = from.tapp;
          p.vrc.vers = "D" + std::to_string(number % 10) + "U";
        } else {
          for (std::size_t k = 0; k < std::size(kApplications); ++k) {
            if (kKinds[k] == kKinds[from.sapp] && d_.Chance(50)) sapp = k;
            if (kKinds[k] == kKinds[from.tapp] && d_.Chance(50)) tapp = k;
          }
          p.vrc.vers = "W" + std::to_string(number);
        }
      }
      p.vrc.rele = d_.Pick(kReleases);
      p.vrc.cust = d_.Pick(kCustomers);
      p.vrc = {d_.Variant(p.vrc.vers, 8), d_.Variant(p.vrc.rele, 8), d_.Variant(p.vrc.cust, 8)};
      p.sapp = sapp;
      p.tapp = tapp;
      p.revision = d_.Chance(40);
      p.owner = Text(kUsers, 0);
      p.dev = {"DV" + std::to_string(number), "DR", "DC"};
      case_.setup.push_back(Call(
          "InsertInMap100", {p.mprf, d_.Variant("desc " + std::to_string(p.mprf), 8),
                             d_.Variant(kApplications[sapp], 5), d_.Variant(kApplications[tapp], 5),
                             p.vrc.vers, p.vrc.rele, p.vrc.cust, d_.Variant(parent, 5),
                             p.revision ? "Y" : "N", "lapn", p.owner, p.revision ? p.dev.vers : "",
                             p.revision ? p.dev.rele : "", p.revision ? p.dev.cust : ""}));
      profiles_.push_back(p);
      vrcs_.push_back(p.vrc);
      if (p.revision) vrcs_.push_back(p.dev);
    }
  }

  // A profile number and a VRC its rows are kept under: mostly a profile's
  // own or development VRC.
  std::pair<int, Vrc> Keyed(int percent_changed) {
    if (!profiles_.empty() && d_.Chance(75)) {
      const Profile& p = d_.Pick(profiles_);
      const Vrc& v = p.revision && d_.Chance(50) ? p.dev : p.vrc;
      return {p.mprf,
              {d_.Variant(v.vers, percent_changed), d_.Variant(v.rele, percent_changed),
               d_.Variant(v.cust, percent_changed)}};
    }
    return {SomeProfile(), SomeVrc(percent_changed)};
  }

  std::string Head(int mprf, const Vrc& v) {
    return std::to_string(mprf) + ", " + Quoted(v.vers) + ", " + Quoted(v.rele) + ", " +
           Quoted(v.cust);
  }

  void DrawRules() {
    for (int n = d_.Number(3, 14); n > 0; --n) {
      const auto [mprf, v] = Keyed(8);
      if (v.vers.size() > 255 || v.rele.size() > 255 || v.cust.size() > 255) continue;
      const TableCode t = SomeTable(10);
      const std::string key =
          Head(mprf, v) + ", " + Quoted(t.pac) + ", " + Quoted(t.mod) + ", " + Quoted(t.flno);
      rules_.push_back({mprf, t});
      const char* item = d_.Pick({"qzmap110", "qzmap125", "qzmap135", "qzmap145", "qzmap165"});
      case_.setup.push_back(Sql(std::string("insert into ") + item +
                                " (mprf, vers, rele, cust, tcpac, tcmod, tflno) values (" + key +
                                ")"));
      case_.setup.push_back(Sql(
          "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, logn, "
          "stat, lusr, comt, vari, stbl, isms, txtn, ldat) values (" +
          key + ", " + Quoted(d_.Variant(" print ", 10)) + ", 'log', " +
          Quoted(d_.Pick(kStatuses)) + ", " + Quoted(Text(kUsers, 10)) + ", " +
          Quoted(d_.Variant(" comment ", 10)) + ", 'v', 's', 'i', 't', '2003-04-05 06:07:08')"));
      if (d_.Chance(50)) {
        const TableCode s = SomeTable(10);
        case_.setup.push_back(
            Sql("insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, "
                "scmod, sflno, icod, qury, txtn) values (" +
                key + ", " + Quoted(s.pac) + ", " + Quoted(s.mod) + ", " + Quoted(s.flno) +
                ", 'I', 'select 1', 't')"));
      }
      for (int f = d_.Number(0, 2); f > 0; --f) {
        case_.setup.push_back(
            Sql("insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, "
                "mrul, type, stat, txtn) values (" +
                key + ", " + Quoted(Text(kFields, 15)) + ", " + IntLiteral(d_.Number(0, 3)) +
                ", 'rule', 'T', " + Quoted(d_.Pick(kStatuses)) + ", 't')"));
      }
      if (d_.Chance(40)) {
        case_.setup.push_back(Sql(
            "insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) values (" +
            key + ", " + Quoted(Text(kFunctions, 10)) + ")"));
      }
      if (d_.Chance(40)) {
        const TableCode c = SomeTable(10);
        case_.setup.push_back(Sql(
            "insert into qzmap170 (mprf, vers, rele, cust, bpac, bmod, bflno, cpac, cmod, cflno) "
            "values (" +
            key + ", " + Quoted(c.pac) + ", " + Quoted(c.mod) + ", " + Quoted(c.flno) + ")"));
        case_.setup.push_back(
            Sql("insert into qzmap175 (mprf, vers, rele, cust, bpac, bmod, bflno) values (" + key +
                ")"));
      }
    }
  }

  void DrawLibrary() {
    for (int n = d_.Number(1, 8); n > 0; --n) {
      const auto [mprf, v] = Keyed(8);
      if (v.vers.size() > 255 || v.rele.size() > 255 || v.cust.size() > 255) continue;
      const std::string function = Text(kFunctions, 10);
      const std::string key = Head(mprf, v) + ", " + Quoted(function);
      functions_.push_back({mprf, v, function});
      const std::string status = d_.Pick({"N", "M", "X", "C", "C", "n"});
      case_.setup.push_back(
          Sql("insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, comt, "
              "stat, curn) values (" +
              key + ", 'd', 'lu', '2003-04-05 06:07:08', " + Quoted(d_.Variant("def", 10)) +
              ", 'c', " + Quoted(status) + ", " + Quoted(Text(kUsers, 10)) + ")"));
      if (d_.Chance(50)) {
        case_.setup.push_back(
            Sql("insert into qzlib105 (mprf, vers, rele, cust, fnam) values (" + key + ")"));
      }
    }
  }

  Json NumberArgument() {
    if (d_.Chance(85)) return SomeProfile();
    return d_.Pick(kNumberTexts);  // the runtime's conversion of a text
  }

  void Add(Json call) { case_.calls.push_back(std::move(call)); }

  void DrawCall() {
    const int h = 30;  // percent of texts changed
    switch (d_.Number(1, 22)) {
      case 1:
        return Add(Call("OpenConnection", {nullptr}));
      case 2:
        return Add(Call("ErrDescription", Json::array()));
      case 3:
        return Add(Call("ErrorNumber", Json::array()));
      case 4: {
        // Mostly the rules of a table the source profile has.
        const auto [target, v] = Keyed(h / 2);
        Json source = NumberArgument();
        TableCode t = SomeTable(h);
        if (!rules_.empty() && d_.Chance(70)) {
          const Rule& rule = d_.Pick(rules_);
          source = rule.mprf;
          t = {d_.Variant(rule.table.pac, h / 3), d_.Variant(rule.table.mod, h / 3),
               d_.Variant(rule.table.flno, h / 3)};
        }
        std::string childs = SomeChilds(h);
        if (d_.Chance(30)) childs = childs.empty() ? t.Code() : t.Code() + "," + childs;
        return Add(
            Call("CopyToCurrentVRC",
                 {source, d_.Chance(80) ? Json(target) : NumberArgument(), v.vers, v.rele, v.cust,
                  t.pac, t.mod, t.flno, Text(kUsers, h), "path", childs, SomeBool()}));
      }
      case 5:
        if (!profiles_.empty() && d_.Chance(50)) {
          const Profile& p = d_.Pick(profiles_);
          return Add(Call("ValidateUser",
                          {d_.Variant(p.owner, h / 2),
                           d_.Chance(30) ? d_.Pick({"", " ", "+", "0"}) + std::to_string(p.mprf) +
                                               d_.Pick({"", ".0", " ", "e0"})
                                         : std::to_string(p.mprf)}));
        }
        return Add(Call("ValidateUser",
                        {Text(kUsers, h / 2), d_.Chance(40) ? std::string(d_.Pick(kNumberTexts))
                                                            : std::to_string(SomeProfile())}));
      case 6: {
        const Vrc v = SomeVrc(h);
        const Vrc p = SomeVrc(h / 2);
        const bool revision = d_.Chance(40);
        const std::string parent = d_.Chance(40) ? "__" : p.vers + "_" + p.rele + "_" + p.cust;
        return Add(Call(
            "InsertInMap100",
            {NumberArgument(), d_.Variant("new", h), Text(kApplications, h), Text(kApplications, h),
             v.vers, v.rele, v.cust, parent, revision ? "Y" : d_.Pick({"N", "y", ""}), "lapn",
             Text(kUsers, h), d_.Variant("DV", h), "DR", "DC"}));
      }
      case 7: {
        const auto [mprf, v] = Keyed(h / 2);
        const Vrc p = SomeVrc(h / 2);
        const std::string parent = d_.Chance(40) ? "__" : p.vers + "_" + p.rele + "_" + p.cust;
        return Add(Call("UpdateMap100",
                        {d_.Chance(80) ? Json(mprf) : NumberArgument(), d_.Variant("updated", h),
                         d_.Pick({"Y", "N", "n"}), v.vers, v.rele, v.cust, "l2", parent,
                         Text(kUsers, h), "path", d_.Variant("DV", h), "DR", "DC"}));
      }
      case 8:
        return Add(Call("DeleteMap100", {NumberArgument()}));
      case 9:
        return Add(Call("GetUserOwnerProfiles", {Text(kUsers, h)}));
      case 10: {
        std::string list;
        for (int n = d_.Number(1, 4); n > 0; --n) {
          if (!list.empty()) list += "~";
          list += d_.Chance(60) ? std::to_string(SomeProfile()) : d_.Pick(kNumberTexts);
        }
        return Add(Call("GetOrvoOrLegacyProfiles", {list, SomeBool()}));
      }
      case 11: {
        const auto [mprf, v] = Keyed(h);
        const TableCode t = SomeTable(h);
        return Add(
            Call("DeleteMapRules", {d_.Chance(80) ? Json(mprf) : NumberArgument(), v.vers, v.rele,
                                    v.cust, t.pac, t.mod, t.flno, SomeChilds(h), SomeBool()}));
      }
      case 12: {
        const auto [mprf, v] = Keyed(h);
        const TableCode t = SomeTable(h);
        const char* table = d_.Pick({"qzmap120", "qzmap125", "qzmap140", "qzmap145"});
        const std::string select =
            std::string("select * from ") + table + " where mprf = " + std::to_string(mprf) +
            " and vers = " + Quoted(v.vers) + " and tflno = " + Quoted(t.flno);
        return Add(Call("DeleteData", {select, SomeProfile(), v.vers, v.rele, v.cust}));
      }
      case 13: {
        const auto [mprf, v] = Keyed(h);
        const TableCode t = SomeTable(h);
        return Add(Call("ExpireMapRules",
                        {d_.Chance(80) ? Json(mprf) : NumberArgument(), v.vers, v.rele, v.cust,
                         t.pac, t.mod, t.flno, SomeChilds(h), SomeBool(), SomeBool()}));
      }
      case 14: {
        const auto [target, v] = Keyed(h);
        return Add(Call("Func_CopyToCurrentVRC",
                        {NumberArgument(), d_.Chance(80) ? Json(target) : NumberArgument(), v.vers,
                         v.rele, v.cust, Text(kFunctions, h), Text(kUsers, h)}));
      }
      case 15: {
        if (!functions_.empty() && d_.Chance(60)) {
          const Function& f = d_.Pick(functions_);
          return Add(
              Call("Func_Expire", {f.mprf, d_.Variant(f.vrc.vers, h / 3), f.vrc.rele, f.vrc.cust,
                                   d_.Variant(f.name, h / 3), Text(kUsers, h), SomeBool()}));
        }
        const auto [mprf, v] = Keyed(h);
        return Add(
            Call("Func_Expire", {d_.Chance(80) ? Json(mprf) : NumberArgument(), v.vers, v.rele,
                                 v.cust, Text(kFunctions, h), Text(kUsers, h), SomeBool()}));
      }
      case 16: {
        if (!functions_.empty() && d_.Chance(60)) {
          const Function& f = d_.Pick(functions_);
          return Add(Call("Func_Delete", {f.mprf, d_.Variant(f.vrc.vers, h / 3), f.vrc.rele,
                                          f.vrc.cust, d_.Variant(f.name, h / 3), Text(kUsers, h)}));
        }
        const auto [mprf, v] = Keyed(h);
        return Add(Call("Func_Delete", {d_.Chance(80) ? Json(mprf) : NumberArgument(), v.vers,
                                        v.rele, v.cust, Text(kFunctions, h), Text(kUsers, h)}));
      }
      case 17:
        return Add(Call("ValidateDerivation", {NumberArgument(), NumberArgument()}));
      case 18:
        return Add(Call("DatabaseServer", {d_.Variant("server", h)}));
      case 19:
        // Now and then a data source that does not exist, then the real one.
        if (d_.Chance(20)) {
          Add(Call("DatabaseName", {"sqlite:/nonexistent/profiles.db"}));
          if (d_.Chance(50)) Add(Call("ValidateDerivation", {SomeProfile(), SomeProfile()}));
        }
        return Add(Call("DatabaseName", {"$DSN"}));
      case 20:
        return Add(Call("DatabaseUser", {"$UID"}));
      case 21:
        return Add(Call("DatabasePassword", {"$PWD"}));
      default:
        return Add(Call("getNewConnection", Json::array()));
    }
  }

  Drawer d_;
  RandomCase case_;
  std::vector<Profile> profiles_;
  std::vector<Vrc> vrcs_;
  struct Rule {
    int mprf;
    TableCode table;
  };
  std::vector<Rule> rules_;  // rows written to qzmap120
  struct Function {
    int mprf;
    Vrc vrc;
    std::string name;
  };
  std::vector<Function> functions_;  // rows written to qzlib100
};

}  // namespace

RandomCase DrawCase(std::uint32_t draw, int calls) { return CaseDrawer(draw).Draw(calls); }

}  // namespace migprof::testing
