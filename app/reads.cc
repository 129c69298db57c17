#include "app/reads.h"

#include <algorithm>

#include "component/sql_text.h"
#include "component/text/cp1252.h"
#include "profiles/owner_cipher.h"

namespace migprof::app {
namespace {

String Q(const String& text) { return "'" + SqlText(text) + "'"; }

String VrcCondition(Integer mprf, const Vrc& vrc) {
  return "mprf = " + SqlNumber(mprf) + " and vers = " + Q(vrc.vers) + " and rele = " + Q(vrc.rele) +
         " and cust = " + Q(vrc.cust);
}

String TableCondition(const TableKey& key) {
  return "tcpac = " + Q(key.tcpac) + " and tcmod = " + Q(key.tcmod) +
         " and tflno = " + Q(key.tflno);
}

String BaseCondition(const TableKey& key) {
  return "bpac = " + Q(key.tcpac) + " and bmod = " + Q(key.tcmod) + " and bflno = " + Q(key.tflno);
}

constexpr const char* kProfileColumns =
    "select p.mprf, p.dsca, p.sapp, p.tapp, p.apln, p.scme, p.vers, p.rele, p.cust, p.verf, "
    "p.relf, p.cusf, p.deph, l.pprf from qzmap100 p left join qzmap101 l on l.mprf = p.mprf "
    "and l.levl = 2";

ProfileSummary ToProfile(const Row& r) {
  ProfileSummary p;
  p.mprf = static_cast<Integer>(std::stoi(r[0]));
  p.description = r[1];
  p.source_app = r[2];
  p.target_app = r[3];
  p.application_name = r[4];
  p.revision_control = r[5];
  p.vrc = {r[6], r[7], r[8]};
  p.parent_vrc = {r[9], r[10], r[11]};
  p.depth = r[12].empty() ? 0 : std::stol(r[12]);
  if (!r[13].empty()) p.parent = static_cast<Integer>(std::stoi(r[13]));
  return p;
}

long long Count(const Db& db, const String& table, const String& condition) {
  return db.QueryNumber("select count(*) from " + table + " where " + condition);
}

}  // namespace

std::optional<String> ProfileOwner(const Db& db, Integer mprf) {
  std::optional<Row> row = db.QueryOne(
      "select cast(ownr as varchar(255)) from qzmap100 where mprf = " + SqlNumber(mprf));
  if (!row || (*row)[0].empty()) return std::nullopt;
  return DecipherOwner(text::Utf8ToCp1252((*row)[0]));
}

std::optional<String> DecipherOwner(const std::string& stored) {
  std::optional<std::string> clear = profiles::Decipher(stored);
  if (!clear) return std::nullopt;
  return text::Cp1252ToUtf8(*clear);
}

namespace {

String ProfileSearchCondition(const String& search) {
  if (search.empty()) return "";
  const String pattern = "'%" + SqlText(search) + "%'";
  return " where cast(p.mprf as varchar(10)) like " + pattern + " or p.dsca like " + pattern;
}

}  // namespace

std::vector<ProfileSummary> ListProfiles(const Db& db, const String& search) {
  std::vector<ProfileSummary> out;
  for (const Row& row :
       db.Query(kProfileColumns + ProfileSearchCondition(search) + " order by p.mprf")) {
    out.push_back(ToProfile(row));
  }
  return out;
}

std::vector<ProfileSummary> ListProfiles(const Db& db, const String& search, long offset,
                                         long count) {
  std::vector<ProfileSummary> out;
  for (const Row& row : db.Query(kProfileColumns + ProfileSearchCondition(search) +
                                 " order by p.mprf" + db.PageClause(offset, count))) {
    out.push_back(ToProfile(row));
  }
  return out;
}

namespace {

// Derived profiles are found through their level-2 rows (the parent's VRC),
// which the VRC index of qzmap101 finds without reading every profile.
String ParentCondition(const Vrc& vrc) {
  return " where p.mprf in (select x.mprf from qzmap101 x where x.vers = " + Q(vrc.vers) +
         " and x.rele = " + Q(vrc.rele) + " and x.cust = " + Q(vrc.cust) + " and x.levl = 2)";
}

}  // namespace

long long CountDerivedProfiles(const Db& db, const Vrc& vrc) {
  return db.QueryNumber("select count(*) from qzmap100 p" + ParentCondition(vrc));
}

namespace {

constexpr const char* kStandard =
    " where (p.verf is null or p.verf = '') and (p.relf is null or "
    "p.relf = '') and (p.cusf is null or p.cusf = '')";

// The profiles whose numbers the select numbers gives (columns mprf and n),
// read in full and joined to their levels, in order; n follows the
// profile's columns.
String ProfilesNumbered(const String& numbers, const String& order) {
  return "select p.mprf, p.dsca, p.sapp, p.tapp, p.apln, p.scme, p.vers, p.rele, p.cust, "
         "p.verf, p.relf, p.cusf, p.deph, l.pprf, k.n from (" +
         numbers +
         ") k join qzmap100 p on p.mprf = k.mprf left join qzmap101 l on l.mprf = p.mprf and "
         "l.levl = 2" +
         order;
}

// One scan finds the page's numbers and counts all the profiles condition
// selects (a window count is taken before the page is cut); only the
// page's profiles are then read in full and joined to their levels.
// Joining every profile before the offset and sorting them whole, then
// counting them in a second statement, cost three times as much on the
// tree's last pages; the tree's nodes, each with its count, took twice as
// many statements.
ProfilePage PagedProfiles(const Db& db, const String& condition, long offset, long count) {
  const String rows = " from qzmap100 p" + condition;
  const String order = " order by p.mprf";
  ProfilePage page;
  for (const Row& row : db.Query(ProfilesNumbered(
           "select p.mprf, count(*) over () n" + rows + order + db.PageClause(offset, count),
           order))) {
    page.profiles.push_back(ToProfile(row));
    page.total = std::stoll(row[14]);
  }
  // A page past the last one holds no row to carry the count.
  if (page.profiles.empty() && offset > 0) page.total = db.QueryNumber("select count(*)" + rows);
  return page;
}

}  // namespace

ProfilePage DerivedProfilePage(const Db& db, const Vrc& vrc, long offset, long count) {
  return PagedProfiles(db, ParentCondition(vrc), offset, count);
}

ProfilePage StandardProfiles(const Db& db, long offset, long count) {
  return PagedProfiles(db, kStandard, offset, count);
}

ProfilePage OwnedProfiles(const Db& db, const String& user, long count, long count_limit) {
  const String owned = "u.usrn = cast(" + Q(user) + " as varbinary)";
  ProfilePage page;
  // Counted first, in no order, so that the count stops at the limit.
  page.total = db.QueryNumber(
      "select count(*) from (select u.mprf from qzusr110 u join qzmap100 p on p.mprf = u.mprf "
      "where " +
      owned + db.FirstRowsClause(count_limit) + ") x");
  // The user's links found by name and sorted cost as many as the user
  // has; for an owner of thousands, the profiles are walked from the
  // highest number down (a cross join keeps SQLite to that order) until
  // count of them are the user's.
  const String numbers =
      page.total < count_limit
          ? "select u.mprf, 0 n from qzusr110 u join qzmap100 p on p.mprf = u.mprf where " + owned +
                " order by u.mprf desc"
          : "select u.mprf, 0 n from qzmap100 p cross join qzusr110 u where u.mprf = p.mprf and " +
                owned + " order by p.mprf desc";
  for (const Row& row :
       db.Query(ProfilesNumbered(numbers + db.PageClause(0, count), " order by p.mprf desc"))) {
    page.profiles.push_back(ToProfile(row));
  }
  return page;
}

long long CountProfiles(const Db& db, const String& search) {
  return db.QueryNumber("select count(*) from qzmap100 p" + ProfileSearchCondition(search));
}

std::optional<ProfileSummary> FindProfile(const Db& db, Integer mprf) {
  std::optional<Row> row =
      db.QueryOne(String(kProfileColumns) + " where p.mprf = " + SqlNumber(mprf));
  if (!row) return std::nullopt;
  return ToProfile(*row);
}

std::vector<ProfileSummary> FindProfiles(const Db& db, const std::vector<Integer>& numbers) {
  constexpr std::size_t kChunk = 500;
  std::vector<ProfileSummary> found;
  for (std::size_t first = 0; first < numbers.size(); first += kChunk) {
    String list;
    for (std::size_t i = first; i < std::min(numbers.size(), first + kChunk); ++i) {
      list += (list.empty() ? "" : ", ") + SqlNumber(numbers[i]);
    }
    for (const Row& row : db.Query(String(kProfileColumns) + " where p.mprf in (" + list + ")")) {
      found.push_back(ToProfile(row));
    }
  }
  std::sort(found.begin(), found.end(),
            [](const ProfileSummary& a, const ProfileSummary& b) { return a.mprf < b.mprf; });
  return found;
}

std::optional<Integer> FindProfileByVrc(const Db& db, const Vrc& vrc) {
  std::optional<Row> row = db.QueryOne("select mprf from qzmap100 where vers = " + Q(vrc.vers) +
                                       " and rele = " + Q(vrc.rele) + " and cust = " + Q(vrc.cust));
  if (!row) return std::nullopt;
  return static_cast<Integer>(std::stoi((*row)[0]));
}

std::optional<Vrc> DevelopmentVrc(const Db& db, Integer mprf) {
  std::optional<Row> row =
      db.QueryOne("select dver, drel, dcus from qzmap105 where mprf = " + SqlNumber(mprf));
  if (!row) return std::nullopt;
  return Vrc{(*row)[0], (*row)[1], (*row)[2]};
}

std::vector<Vrc> ProfileVrcs(const Db& db, const ProfileSummary& profile) {
  std::vector<Vrc> out{profile.vrc};
  auto add = [&out](const Vrc& vrc) {
    for (const Vrc& known : out) {
      if (known == vrc) return;
    }
    out.push_back(vrc);
  };
  if (std::optional<Vrc> development = DevelopmentVrc(db, profile.mprf)) add(*development);
  const String number = SqlNumber(profile.mprf);
  for (const Row& r :
       db.Query("select distinct vers, rele, cust from qzmap120 where mprf = " + number +
                " union select distinct vers, rele, cust from qzlib100 where mprf = " + number)) {
    add(Vrc{r[0], r[1], r[2]});
  }
  return out;
}

std::vector<Level> DerivationLevels(const Db& db, Integer mprf) {
  std::vector<Level> out;
  for (const Row& r : db.Query("select levl, vers, rele, cust, pprf from qzmap101 where mprf = " +
                               SqlNumber(mprf) + " order by levl")) {
    out.push_back(Level{std::stol(r[0]), Vrc{r[1], r[2], r[3]}, r[4]});
  }
  return out;
}

long long CountTableRules(const Db& db, Integer mprf, const Vrc& vrc) {
  return Count(db, "qzmap120", VrcCondition(mprf, vrc));
}

namespace {

String TableRuleSelect(Integer mprf, const Vrc& vrc) {
  const String same =
      "x.mprf = t.mprf and x.vers = t.vers and x.rele = t.rele and x.cust = "
      "t.cust";
  const String table = " and x.tcpac = t.tcpac and x.tcmod = t.tcmod and x.tflno = t.tflno";
  return "select t.tcpac, t.tcmod, t.tflno, t.stat, t.comt, t.lusr, t.ldat, "
         "(select count(*) from qzmap140 x where " +
         same + table + "), (select count(*) from qzmap130 x where " + same + table +
         "), (select count(*) from qzmap160 x where " + same + table +
         "), (select count(*) from qzmap170 x where " + same +
         " and x.bpac = t.tcpac and x.bmod = t.tcmod and x.bflno = t.tflno) from qzmap120 t "
         "where t.mprf = " +
         SqlNumber(mprf) + " and t.vers = " + Q(vrc.vers) + " and t.rele = " + Q(vrc.rele) +
         " and t.cust = " + Q(vrc.cust);
}

TableRuleSummary ToTableRule(const Row& r) {
  TableRuleSummary s;
  s.key = {r[0], r[1], r[2]};
  s.status = r[3];
  s.comment = r[4];
  s.last_user = r[5];
  s.last_date = r[6];
  s.fields = std::stoll(r[7]);
  s.sources = std::stoll(r[8]);
  s.functions = std::stoll(r[9]);
  s.links = std::stoll(r[10]);
  return s;
}

}  // namespace

std::vector<TableRuleSummary> ListTableRules(const Db& db, Integer mprf, const Vrc& vrc,
                                             long offset, long count) {
  return ListTableRules(db, mprf, vrc, "", offset, count);
}

namespace {

// The condition on t's key for a table search: a code typed either way,
// matched from its start ("or", "orit", "or itm 0", "oritm001").
String TableSearchCondition(const String& search) {
  String squeezed;
  for (char c : search) {
    if (c != ' ' && c != '\t') squeezed += c;
  }
  if (squeezed.empty()) return "";
  // The package has two characters and the module three: a prefix is split
  // as a code is.
  const String pac = squeezed.substr(0, std::min<std::size_t>(2, squeezed.size()));
  const String mod = squeezed.size() > 2 ? squeezed.substr(2, 3) : "";
  const String fln = squeezed.size() > 5 ? squeezed.substr(5) : "";
  auto starts = [](const String& column, const String& prefix, bool whole) {
    return whole ? column + " = " + Q(prefix) : column + " like '" + SqlText(prefix) + "%'";
  };
  String out = " and " + starts("t.tcpac", pac, squeezed.size() > 2);
  if (!mod.empty()) out += " and " + starts("t.tcmod", mod, squeezed.size() > 5);
  if (!fln.empty()) out += " and " + starts("t.tflno", fln, false);
  return out;
}

}  // namespace

long long CountTableRules(const Db& db, Integer mprf, const Vrc& vrc, const String& search) {
  return db.QueryNumber("select count(*) from qzmap120 t where t." + VrcCondition(mprf, vrc) +
                        TableSearchCondition(search));
}

std::vector<TableRuleSummary> ListTableRules(const Db& db, Integer mprf, const Vrc& vrc,
                                             const String& search, long offset, long count) {
  std::vector<TableRuleSummary> out;
  for (const Row& r :
       db.Query(TableRuleSelect(mprf, vrc) + TableSearchCondition(search) +
                " order by t.tcpac, t.tcmod, t.tflno" + db.PageClause(offset, count))) {
    out.push_back(ToTableRule(r));
  }
  return out;
}

std::vector<TableKey> TablesPresent(const Db& db, Integer mprf, const Vrc& vrc,
                                    const std::vector<TableKey>& tables) {
  std::vector<TableKey> out;
  for (const TableKey& key : tables) {
    if (Count(db, "qzmap120", VrcCondition(mprf, vrc) + " and " + TableCondition(key)) > 0) {
      out.push_back(key);
    }
  }
  return out;
}

std::optional<TableRuleSummary> FindTableRule(const Db& db, Integer mprf, const Vrc& vrc,
                                              const TableKey& key) {
  std::optional<Row> row =
      db.QueryOne(TableRuleSelect(mprf, vrc) + " and t.tcpac = " + Q(key.tcpac) +
                  " and t.tcmod = " + Q(key.tcmod) + " and t.tflno = " + Q(key.tflno));
  if (!row) return std::nullopt;
  return ToTableRule(*row);
}

std::vector<Row> FieldRules(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key,
                            long offset, long count) {
  return db.Query("select fdnm, dnum, mrul, type, stat from qzmap140 where " +
                  VrcCondition(mprf, vrc) + " and " + TableCondition(key) + " order by fdnm, dnum" +
                  db.PageClause(offset, count));
}

std::vector<Row> SourceTables(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key) {
  return db.Query("select scpac, scmod, sflno, icod from qzmap130 where " +
                  VrcCondition(mprf, vrc) + " and " + TableCondition(key) +
                  " order by scpac, scmod, sflno");
}

std::vector<Row> RuleFunctions(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key) {
  return db.Query("select func from qzmap160 where " + VrcCondition(mprf, vrc) + " and " +
                  TableCondition(key) + " order by func");
}

std::vector<Row> TableLinks(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key) {
  return db.Query("select cpac, cmod, cflno from qzmap170 where " + VrcCondition(mprf, vrc) +
                  " and " + BaseCondition(key) + " order by cpac, cmod, cflno");
}

long long CountLibraryFunctions(const Db& db, Integer mprf, const Vrc& vrc) {
  return Count(db, "qzlib100", VrcCondition(mprf, vrc));
}

std::vector<LibraryFunction> ListLibraryFunctions(const Db& db, Integer mprf, const Vrc& vrc,
                                                  long offset, long count) {
  std::vector<LibraryFunction> out;
  for (const Row& r :
       db.Query("select fnam, dsca, stat, curn, lurn, ldat from qzlib100 where " +
                VrcCondition(mprf, vrc) + " order by fnam" + db.PageClause(offset, count))) {
    out.push_back(LibraryFunction{r[0], r[1], r[2], r[3], r[4], r[5]});
  }
  return out;
}

std::vector<CopyCount> CompareCopy(const Db& db, Integer source, Integer target,
                                   const Vrc& target_vrc, const std::vector<TableKey>& tables) {
  std::vector<CopyCount> out;
  std::optional<ProfileSummary> source_profile = FindProfile(db, source);
  for (const TableKey& key : tables) {
    CopyCount count;
    count.key = key;
    static constexpr const char* kTables[] = {"qzmap120", "qzmap130", "qzmap140", "qzmap160"};
    for (int i = 0; i < 4; ++i) {
      if (source_profile) {
        count.source[i] =
            Count(db, kTables[i],
                  VrcCondition(source, source_profile->vrc) + " and " + TableCondition(key));
      }
      count.target[i] =
          Count(db, kTables[i], VrcCondition(target, target_vrc) + " and " + TableCondition(key));
    }
    if (source_profile) {
      count.source[4] = Count(
          db, "qzmap170", VrcCondition(source, source_profile->vrc) + " and " + BaseCondition(key));
    }
    count.target[4] =
        Count(db, "qzmap170", VrcCondition(target, target_vrc) + " and " + BaseCondition(key));
    out.push_back(count);
  }
  return out;
}

// Revision screens.

std::optional<FunctionDetail> FindFunction(const Db& db, Integer mprf, const Vrc& vrc,
                                           const String& name) {
  std::optional<Row> r =
      db.QueryOne("select fnam, dsca, fdef, comt, stat, curn, lurn, ldat from qzlib100 where " +
                  VrcCondition(mprf, vrc) + " and fnam = " + Q(name));
  if (!r) return std::nullopt;
  const Row& c = *r;
  return FunctionDetail{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
}

std::optional<std::vector<std::pair<String, String>>> FieldRuleValues(const Db& db, Integer mprf,
                                                                      const Vrc& vrc,
                                                                      const TableKey& key,
                                                                      const String& fdnm) {
  String columns;
  for (const char* column : kFieldRuleColumns)
    columns += (columns.empty() ? "" : ", ") + String(column);
  std::optional<Row> r =
      db.QueryOne("select " + columns + " from qzmap140 where " + VrcCondition(mprf, vrc) +
                  " and " + TableCondition(key) + " and fdnm = " + Q(fdnm) + " order by dnum");
  if (!r) return std::nullopt;
  std::vector<std::pair<String, String>> values;
  std::size_t i = 0;
  for (const char* column : kFieldRuleColumns) values.emplace_back(column, (*r)[i++]);
  return values;
}

}  // namespace migprof::app
