// Every read the front end makes of the component's tables: the profile
// tree, a profile's summary, rule and function lists, and the row counts
// shown before a deletion and after a copy. Values enter the statements
// through the project's quoting helper; long lists are read a page at a time.
#ifndef MIGPROF_APP_READS_H_
#define MIGPROF_APP_READS_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/db.h"
#include "app/values.h"

namespace migprof::app {

struct ProfileSummary {
  Integer mprf = 0;
  String description, source_app, target_app, application_name, revision_control;
  Vrc vrc, parent_vrc;
  long depth = 0;
  // The profile at derivation level 2, when there is one.
  std::optional<Integer> parent;
};

// Profiles ordered by number; search (when not empty) keeps those whose
// number or description contains it.
std::vector<ProfileSummary> ListProfiles(const Db& db, const String& search);
// A page of ListProfiles (count rows from offset), and how many there are;
// choosers search and page on the server so that no page lists the estate.
std::vector<ProfileSummary> ListProfiles(const Db& db, const String& search, long offset,
                                         long count);
long long CountProfiles(const Db& db, const String& search);
std::optional<ProfileSummary> FindProfile(const Db& db, Integer mprf);
// The profiles of these numbers that exist, in the order of their numbers:
// one statement for each 500 numbers.
std::vector<ProfileSummary> FindProfiles(const Db& db, const std::vector<Integer>& numbers);
// How many profiles derive directly from the profile whose VRC this is
// (their derivation level 2 is vrc).
long long CountDerivedProfiles(const Db& db, const Vrc& vrc);
// A page of profiles in the order of their numbers, and how many there are
// in all.
struct ProfilePage {
  std::vector<ProfileSummary> profiles;
  long long total = 0;
};
// A page of the profiles derived directly from the profile whose VRC this
// is, and how many there are, in one statement.
ProfilePage DerivedProfilePage(const Db& db, const Vrc& vrc, long offset, long count);
// The standard profiles (no parent VRC), the roots of the derivation tree.
ProfilePage StandardProfiles(const Db& db, long offset, long count);
// The first count profiles that user owns (owner links, qzusr110), the
// highest number first, as GetUserOwnerProfiles lists them without a
// statement for each, and how many there are, counted up to count_limit (a
// total of count_limit means at least as many).
ProfilePage OwnedProfiles(const Db& db, const String& user, long count, long count_limit);
// The owner the component records for the profile (qzmap100.ownr,
// deciphered); nullopt when there is no such profile or no owner.
std::optional<String> ProfileOwner(const Db& db, Integer mprf);
// An owner as qzmap100.ownr stores it (its bytes, code page 1252), in
// clear; nullopt when it does not decipher.
std::optional<String> DecipherOwner(const std::string& stored);
// The profile whose own VRC this is.
std::optional<Integer> FindProfileByVrc(const Db& db, const Vrc& vrc);
// The development VRC (qzmap105), when the profile has one.
std::optional<Vrc> DevelopmentVrc(const Db& db, Integer mprf);
// The VRCs under which the profile holds rules or functions, its own first.
std::vector<Vrc> ProfileVrcs(const Db& db, const ProfileSummary& profile);

struct Level {
  long level = 0;
  Vrc vrc;
  String profile;
};
std::vector<Level> DerivationLevels(const Db& db, Integer mprf);

struct TableRuleSummary {
  TableKey key;
  String status, comment, last_user, last_date;
  long long fields = 0, sources = 0, functions = 0, links = 0;
};
long long CountTableRules(const Db& db, Integer mprf, const Vrc& vrc);
// The table rules of a VRC whose code (either spelling) starts with or, as
// "or itm", matches search; "" lists them all.
long long CountTableRules(const Db& db, Integer mprf, const Vrc& vrc, const String& search);
std::vector<TableRuleSummary> ListTableRules(const Db& db, Integer mprf, const Vrc& vrc,
                                             const String& search, long offset, long count);
// The keys of those of tables that the VRC holds rules for.
std::vector<TableKey> TablesPresent(const Db& db, Integer mprf, const Vrc& vrc,
                                    const std::vector<TableKey>& tables);
std::vector<TableRuleSummary> ListTableRules(const Db& db, Integer mprf, const Vrc& vrc,
                                             long offset, long count);
std::optional<TableRuleSummary> FindTableRule(const Db& db, Integer mprf, const Vrc& vrc,
                                              const TableKey& key);

// The rows under one table rule, columns as named in each function.
// fdnm, dnum, mrul, type, stat
std::vector<Row> FieldRules(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key,
                            long offset, long count);
// scpac, scmod, sflno, icod
std::vector<Row> SourceTables(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key);
// func
std::vector<Row> RuleFunctions(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key);
// cpac, cmod, cflno
std::vector<Row> TableLinks(const Db& db, Integer mprf, const Vrc& vrc, const TableKey& key);

struct LibraryFunction {
  String name, description, status, checked_out_by, last_user, last_date;
};
long long CountLibraryFunctions(const Db& db, Integer mprf, const Vrc& vrc);
std::vector<LibraryFunction> ListLibraryFunctions(const Db& db, Integer mprf, const Vrc& vrc,
                                                  long offset, long count);

// The rows of each selected table in the source profile's own VRC and in the
// target VRC: table rules, source tables, field rules, functions, links.
struct CopyCount {
  TableKey key;
  long long source[5] = {};
  long long target[5] = {};
};
std::vector<CopyCount> CompareCopy(const Db& db, Integer source, Integer target,
                                   const Vrc& target_vrc, const std::vector<TableKey>& tables);

// Revision screens: one library function with its definition, and the
// columns of one field rule that an edit may change.
struct FunctionDetail {
  String name, description, definition, comment, status, checked_out_by, last_user, last_date;
};
std::optional<FunctionDetail> FindFunction(const Db& db, Integer mprf, const Vrc& vrc,
                                           const String& name);
// The qzmap140 columns a field rule's edit form shows: not the key, nor the
// element number, which tells the rows of one field apart.
inline constexpr const char* kFieldRuleColumns[] = {"mrul", "type", "stat", "txtn"};
// (column, value) for each of kFieldRuleColumns of field fdnm's rule; nullopt
// when the table rule has no rule for that field.
std::optional<std::vector<std::pair<String, String>>> FieldRuleValues(const Db& db, Integer mprf,
                                                                      const Vrc& vrc,
                                                                      const TableKey& key,
                                                                      const String& fdnm);

}  // namespace migprof::app

#endif  // MIGPROF_APP_READS_H_
