// The changes the pages offer, as typed requests. Each becomes one member
// call acting as the principal (the member's user argument is always the
// principal's name), goes through the same permission decision and activity
// record as any other call, and can be previewed first on a snapshot.
#ifndef MIGPROF_APP_CHANGES_H_
#define MIGPROF_APP_CHANGES_H_

#include <memory>
#include <variant>
#include <vector>

#include "app/members.h"
#include "app/values.h"
#include "migprof/insight.h"

namespace migprof::insight {
class SnapshotKeeper;
}

namespace migprof::app {

struct CreateProfile {
  Integer mprf = 0;
  String description, source_app, target_app;
  Vrc vrc;
  String parent_vrc = "__";  // "{vers}_{rele}_{cust}", "__" for a standard profile
  bool revision_control = false;
  String application_name;
  Vrc development;
};

struct UpdateProfile {
  Integer mprf = 0;
  String description;
  bool revision_control = false;
  Vrc vrc;  // the profile's own, which an update does not change
  String application_name;
  String parent_vrc = "__";
  Vrc development;
};

struct DeleteProfile {
  Integer mprf = 0;
};

// The rules of tables copied from source's own VRC into target's vrc.
struct CopyRules {
  Integer source = 0, target = 0;
  Vrc vrc;
  std::vector<TableKey> tables;  // one: single-table mode; several: list mode
};

struct DeleteRules {
  Integer mprf = 0;
  Vrc vrc;
  std::vector<TableKey> tables;
};

// Expires (expire true) or reinstates the rules of tables.
struct ExpireRules {
  Integer mprf = 0;
  Vrc vrc;
  std::vector<TableKey> tables;
  bool expire = true;
};

struct CopyFunction {
  Integer source = 0, target = 0;
  Vrc vrc;
  String name;
};

struct ExpireFunction {
  Integer mprf = 0;
  Vrc vrc;
  String name;
  bool expire = true;
};

struct DeleteFunction {
  Integer mprf = 0;
  Vrc vrc;
  String name;
};

using Change = std::variant<CreateProfile, UpdateProfile, DeleteProfile, CopyRules, DeleteRules,
                            ExpireRules, CopyFunction, ExpireFunction, DeleteFunction>;

// The member call that makes change, acting as user.
MemberCall ToCall(const Change& change, const String& user);

// The profiles whose rows a snapshot of a server needs to preview change.
std::vector<Integer> ProfilesOf(const Change& change);

// Makes the change (Call).
MemberOutcome Apply(Application& app, const Principal& principal, const Change& change);

// What the change would do: the member runs on a snapshot of the database
// and its answer and the rows it changed there are returned; the database
// itself is not written and nothing is recorded. Raises Forbidden when the
// principal may not make the change.
struct PreviewResult {
  MemberOutcome outcome;
  std::vector<insight::TableChanges> changes;
};
PreviewResult Preview(Application& app, const Principal& principal, const Change& change);

// The same for any changing member call; profiles are those whose rows a
// snapshot of a server needs. Raises Invalid for a member that changes
// nothing.
PreviewResult PreviewCall(Application& app, const Principal& principal, const MemberCall& call,
                          const std::vector<Integer>& profiles);

// While it lives, what previews of app's embedded database copy whole is
// kept up to date in the background after each commit, so that a preview
// does not wait for it (insight::SnapshotKeeper). A server keeps one.
class PreviewsKeptReady {
 public:
  explicit PreviewsKeptReady(const Application& app);
  ~PreviewsKeptReady();
  PreviewsKeptReady(const PreviewsKeptReady&) = delete;
  PreviewsKeptReady& operator=(const PreviewsKeptReady&) = delete;

 private:
  std::unique_ptr<insight::SnapshotKeeper> keeper_;
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_CHANGES_H_
