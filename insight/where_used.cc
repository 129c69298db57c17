// Where used: a profile's ancestors and derived profiles, and the profiles
// whose rules name a table or a function.
#include <algorithm>
#include <map>
#include <set>

#include "component/sql_text.h"
#include "insight/rows.h"
#include "migprof/com_error.h"

namespace migprof::insight {
namespace {

Scope ScopeOf(const Row& row) {
  return Scope{static_cast<long long>(row[0].ToDouble()), TextOf(row[1]), TextOf(row[2]),
               TextOf(row[3])};
}

std::vector<Use> Uses(const std::map<Scope, std::vector<std::string>>& uses) {
  std::vector<Use> list;
  for (const auto& [scope, tables] : uses) list.push_back(Use{scope, tables});
  return list;
}

// The derived profiles below mprf, each with its own derived profiles.
std::vector<Derived> DerivedTree(long long mprf,
                                 const std::multimap<long long, long long>& children,
                                 const std::map<long long, Scope>& profiles,
                                 std::set<long long>& seen) {
  std::vector<Derived> list;
  auto [first, last] = children.equal_range(mprf);
  for (auto it = first; it != last; ++it) {
    if (!seen.insert(it->second).second) continue;  // levels that loop are shown once
    auto profile = profiles.find(it->second);
    Derived item;
    item.known = profile != profiles.end();
    item.scope = item.known ? profile->second : Scope{it->second, "", "", ""};
    item.derived = DerivedTree(it->second, children, profiles, seen);
    list.push_back(std::move(item));
  }
  return list;
}

// Each rule table with the columns that can name a table, and the role
// the table then plays.
struct Reference {
  const char* table;
  const char* pac;
  const char* mod;
  const char* flno;
  const char* role;
};
constexpr Reference kReferences[] = {
    {"qzmap110", "tcpac", "tcmod", "tflno", "qzmap110"},
    {"qzmap120", "tcpac", "tcmod", "tflno", "qzmap120"},
    {"qzmap125", "tcpac", "tcmod", "tflno", "qzmap125"},
    {"qzmap130", "tcpac", "tcmod", "tflno", "qzmap130"},
    {"qzmap130", "scpac", "scmod", "sflno", "qzmap130 source"},
    {"qzmap135", "tcpac", "tcmod", "tflno", "qzmap135"},
    {"qzmap140", "tcpac", "tcmod", "tflno", "qzmap140"},
    {"qzmap145", "tcpac", "tcmod", "tflno", "qzmap145"},
    {"qzmap160", "tcpac", "tcmod", "tflno", "qzmap160"},
    {"qzmap165", "tcpac", "tcmod", "tflno", "qzmap165"},
    {"qzmap170", "bpac", "bmod", "bflno", "qzmap170"},
    {"qzmap170", "cpac", "cmod", "cflno", "qzmap170 child"},
    {"qzmap175", "bpac", "bmod", "bflno", "qzmap175"},
};

// "<pac> = '...' and <mod> = '...' and <flno> = '...'" for one reference.
String NamesTable(const Reference& ref, const String& tcpac, const String& tcmod,
                  const String& tflno) {
  return String(ref.pac) + " = '" + SqlText(tcpac) + "' and " + ref.mod + " = '" + SqlText(tcmod) +
         "' and " + ref.flno + " = '" + SqlText(tflno) + "'";
}

String Count(const String& scopes) { return "select count(*) from (" + scopes + ") c"; }

long long CountOf(ado::Connection& connection, const String& sql) {
  const std::vector<Row> rows = ReadRows(connection, sql);
  return rows.empty() || rows[0].empty() ? 0 : static_cast<long long>(rows[0][0].ToDouble());
}

// One page of the scopes, ordered by profile and VRC.
std::vector<Scope> ScopesPage(ado::Connection& connection, const String& scopes, long offset,
                              long count, const PageClause& page_clause) {
  std::vector<Scope> page;
  for (const Row& row : ReadRows(
           connection, scopes + " order by mprf, vers, rele, cust" + page_clause(offset, count))) {
    page.push_back(ScopeOf(row));
  }
  return page;
}

// " and mprf in (...)": the profiles of a page, so that the rows naming its
// scopes are read through the profile column of each table's index.
String AndProfilesOf(const std::vector<Scope>& page) {
  String list;
  for (const Scope& scope : page) list += (list.empty() ? "" : ", ") + std::to_string(scope.mprf);
  return " and mprf in (" + list + ")";
}

}  // namespace

ProfileLineage Lineage(const DataSource& source, Integer mprf) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  // qzmap101 names every ancestor of a profile at each of its levels: the
  // profiles derived from mprf, at any depth, are those with mprf above
  // them. Only they and mprf itself are read.
  const String below =
      "select mprf from qzmap101 where pprf = " + SqlNumber(mprf) + " and levl > 1";
  // Two selects, each through the profile index: with "or" between them
  // MariaDB read every profile.
  std::map<long long, Scope> profiles;
  for (const Row& row :
       ReadRows(*connection, "select mprf, vers, rele, cust from qzmap100" + WhereProfile(mprf) +
                                 " union all select mprf, vers, rele, cust from qzmap100 "
                                 "where mprf in (" +
                                 below + ")")) {
    Scope scope = ScopeOf(row);
    profiles.emplace(scope.mprf, scope);
  }
  auto own = profiles.find(mprf);
  if (own == profiles.end()) {
    throw ComError(kInsightRefused, "Profile " + std::to_string(mprf) + " does not exist");
  }
  ProfileLineage lineage;
  lineage.profile = own->second;
  for (const Row& row :
       ReadRows(*connection, "select levl, pprf, vers, rele, cust from qzmap101" +
                                 WhereProfile(mprf) + " and levl > 1 order by levl")) {
    lineage.ancestors.push_back(
        Ancestor{row[0], row[1], TextOf(row[2]), TextOf(row[3]), TextOf(row[4])});
  }
  // A profile's parent is the profile at its level 2.
  std::multimap<long long, long long> children;
  for (const Row& row : ReadRows(*connection,
                                 "select pprf, mprf from qzmap101 where levl = 2 and "
                                 "mprf in (" +
                                     below + ") order by mprf")) {
    children.emplace(static_cast<long long>(row[0].ToDouble()),
                     static_cast<long long>(row[1].ToDouble()));
  }
  std::set<long long> seen{mprf};
  lineage.derived = DerivedTree(mprf, children, profiles, seen);
  return lineage;
}

TableUsage TableUse(const DataSource& source, const String& tcpac, const String& tcmod,
                    const String& tflno) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  std::map<Scope, std::vector<std::string>> uses;
  for (const Reference& ref : kReferences) {
    String sql = String("select distinct mprf, vers, rele, cust from ") + ref.table + " where " +
                 NamesTable(ref, tcpac, tcmod, tflno);
    for (const Row& row : ReadRows(*connection, sql)) uses[ScopeOf(row)].push_back(ref.role);
  }
  return TableUsage{tcpac, tcmod, tflno, Uses(uses)};
}

FunctionUsage FunctionUse(const DataSource& source, const String& name) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  std::map<Scope, String> holds;
  for (const Row& row :
       ReadRows(*connection, "select mprf, vers, rele, cust, stat from qzlib100 where fnam = '" +
                                 SqlText(name) + "'")) {
    holds[ScopeOf(row)] = TextOf(row[4]);
  }
  FunctionUsage usage{name, {}, {}};
  for (const auto& [scope, stat] : holds) usage.holds.push_back(FunctionHolder{scope, stat});
  std::map<Scope, std::vector<std::string>> calls;
  for (const Row& row :
       ReadRows(*connection,
                "select distinct mprf, vers, rele, cust, tcpac, tcmod, tflno from qzmap160 "
                "where func = '" +
                    SqlText(name) + "'")) {
    calls[ScopeOf(row)].push_back(TextOf(row[4]) + TextOf(row[5]) + TextOf(row[6]));
  }
  usage.calls = Uses(calls);
  return usage;
}

UsagePage<Use> TableUsePage(const DataSource& source, const String& tcpac, const String& tcmod,
                            const String& tflno, long offset, long count,
                            const PageClause& page_clause) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  // The scopes up to the count looked ahead to are read once, and both the
  // count and the page are taken from them: a server that gathers a union
  // whole before it stops (MariaDB) then gathers it once.
  const long long ahead = offset + kUsesCountedAhead;
  const long wanted = static_cast<long>(std::max<long long>(ahead + 1, offset + count));
  // One select per reference, joined by union and ordered as a whole. Each
  // select stops at the first scopes wanted, read in order from its table's
  // index: the first scopes of the union are among them. A table used by
  // every profile otherwise has the server gather and sort the hundreds of
  // thousands of rules that name it before it stops.
  String scopes;
  int branch = 0;
  for (const Reference& ref : kReferences) {
    scopes += String(scopes.empty() ? "" : " union ") +
              "select mprf, vers, rele, cust from (select distinct mprf, vers, rele, cust from " +
              ref.table + " where " + NamesTable(ref, tcpac, tcmod, tflno) +
              " order by mprf, vers, rele, cust" + page_clause(0, wanted) + ") r" +
              std::to_string(++branch);
  }
  const std::vector<Row> counted =
      ReadRows(*connection, scopes + " order by mprf, vers, rele, cust" + page_clause(0, wanted));
  const auto read = static_cast<long long>(counted.size());
  UsagePage<Use> result;
  result.total = std::min(read, ahead);
  result.more = read > ahead;
  std::vector<Scope> page;
  for (long long i = offset; i < std::min<long long>(offset + count, read); ++i) {
    page.push_back(ScopeOf(counted[static_cast<std::size_t>(i)]));
  }
  if (page.empty()) return result;
  // The roles of the page's scopes, each reference read once, in the
  // references' order as TableUse names them.
  std::map<Scope, std::vector<std::string>> uses;
  for (const Scope& scope : page) uses[scope];
  for (const Reference& ref : kReferences) {
    const String sql = String("select distinct mprf, vers, rele, cust from ") + ref.table +
                       " where " + NamesTable(ref, tcpac, tcmod, tflno) + AndProfilesOf(page);
    for (const Row& row : ReadRows(*connection, sql)) {
      auto use = uses.find(ScopeOf(row));
      if (use != uses.end()) use->second.push_back(ref.role);
    }
  }
  for (const Scope& scope : page) result.items.push_back(Use{scope, uses[scope]});
  return result;
}

UsagePage<FunctionHolder> FunctionHoldersPage(const DataSource& source, const String& name,
                                              long offset, long count,
                                              const PageClause& page_clause) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  const String holders =
      "select mprf, vers, rele, cust, stat from qzlib100 where fnam = '" + SqlText(name) + "'";
  UsagePage<FunctionHolder> result;
  result.total = CountOf(*connection, Count(holders));
  for (const Row& row : ReadRows(*connection, holders + " order by mprf, vers, rele, cust" +
                                                  page_clause(offset, count))) {
    result.items.push_back(FunctionHolder{ScopeOf(row), TextOf(row[4])});
  }
  return result;
}

UsagePage<Use> FunctionCallsPage(const DataSource& source, const String& name, long offset,
                                 long count, const PageClause& page_clause) {
  std::shared_ptr<ado::Connection> connection = Connect(source);
  const String calling = " from qzmap160 where func = '" + SqlText(name) + "'";
  const String scopes = "select distinct mprf, vers, rele, cust" + calling;
  UsagePage<Use> result;
  result.total = CountOf(*connection, Count(scopes));
  const std::vector<Scope> page = ScopesPage(*connection, scopes, offset, count, page_clause);
  if (page.empty()) return result;
  std::map<Scope, std::vector<std::string>> calls;
  for (const Scope& scope : page) calls[scope];
  for (const Row& row :
       ReadRows(*connection, "select distinct mprf, vers, rele, cust, tcpac, tcmod, tflno" +
                                 calling + AndProfilesOf(page))) {
    auto call = calls.find(ScopeOf(row));
    if (call != calls.end())
      call->second.push_back(TextOf(row[4]) + TextOf(row[5]) + TextOf(row[6]));
  }
  for (const Scope& scope : page) result.items.push_back(Use{scope, calls[scope]});
  return result;
}

}  // namespace migprof::insight
