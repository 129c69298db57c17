// A small, realistic estate of migration profiles to try a maintenance front
// end on: applications of both kinds with their data dictionary, standard and
// derived profiles of two owners, mapping rules and a function library.
#ifndef MIGPROF_APP_DEMO_ESTATE_H_
#define MIGPROF_APP_DEMO_ESTATE_H_

#include <ostream>
#include <span>
#include <string>

#include "migprof/handle_mig_prof.h"

namespace migprof::app {

// One profile of the estate, as InsertInMap100 creates it. parent is the
// parent's VRC as "{vers}_{rele}_{cust}", "__" for a standard profile;
// rule_source is the profile whose rules the estate copies into this one (0
// for none).
struct DemoProfile {
  Integer mprf;
  const char* description;
  const char* sapp;
  const char* tapp;
  const char* vers;
  const char* rele;
  const char* cust;
  const char* parent;
  const char* scme;
  const char* apln;
  const char* owner;
  const char* dver;
  const char* drel;
  const char* dcus;
  Integer rule_source;
};

// The profiles of the estate, parents before their children.
std::span<const DemoProfile> DemoProfiles();

// The standard profile under revision control that holds the mapping rules
// and the function library.
inline constexpr Integer kDemoStandardProfile = 100;
// A table of that profile whose rules the estate does not copy into the
// derived profiles: package code, module, table number.
inline constexpr const char* kDemoUncopiedTable[] = {"or", "itm", "001"};
// The library function that is checked out, and the user who has it.
inline constexpr const char* kDemoCheckedOutFunction = "map_uom";
inline constexpr const char* kDemoCheckedOutBy = "alice";

// Fills the empty profile database that object's settings name: the
// dictionary and legacy field lists by plain inserts, the profiles through
// InsertInMap100, the standard profiles' rules and functions by plain
// inserts, and the derived profiles' rules through CopyToCurrentVRC and
// Func_CopyToCurrentVRC. The same database always gets the same rows, apart
// from the dates the copies stamp. Raises ComError when a statement fails or
// a member refuses (with the member's ErrorNumber and ErrDescription).
void PopulateDemoEstate(TOVRHandleMigProf& object);

// Describes the estate and a few calls to try on the file at path.
void WriteDemoSummary(std::ostream& out, const std::string& path);

}  // namespace migprof::app

#endif  // MIGPROF_APP_DEMO_ESTATE_H_
