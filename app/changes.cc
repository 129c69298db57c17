#include "app/changes.h"

#include "app/errors.h"
#include "insight/snapshot.h"

namespace migprof::app {
namespace {

String JoinCodes(const std::vector<TableKey>& tables) {
  String out;
  for (const TableKey& key : tables) out += (out.empty() ? "" : ",") + key.Code();
  return out;
}

Variant BooleanArgument(bool on) { return Variant(Boolean::From(on)); }

// The arguments of the three rule members that take a table selection: the
// main table, and in list mode the whole list.
void AddSelection(std::vector<Variant>& args, const std::vector<TableKey>& tables) {
  const TableKey main = tables.empty() ? TableKey{} : tables.front();
  const bool list_mode = tables.size() > 1;
  args.insert(args.end(), {main.tcpac, main.tcmod, main.tflno});
  args.push_back(list_mode ? JoinCodes(tables) : String());
  args.push_back(BooleanArgument(list_mode));
}

struct CallOf {
  const String& user;

  MemberCall operator()(const CreateProfile& c) const {
    return MakeCall(
        "InsertInMap100",
        {c.mprf, c.description, c.source_app, c.target_app, c.vrc.vers, c.vrc.rele, c.vrc.cust,
         c.parent_vrc, String(c.revision_control ? "Y" : "N"), c.application_name, user,
         c.development.vers, c.development.rele, c.development.cust});
  }
  MemberCall operator()(const UpdateProfile& c) const {
    return MakeCall("UpdateMap100",
                    {c.mprf, c.description, String(c.revision_control ? "Y" : "N"), c.vrc.vers,
                     c.vrc.rele, c.vrc.cust, c.application_name, c.parent_vrc, user, String(),
                     c.development.vers, c.development.rele, c.development.cust});
  }
  MemberCall operator()(const DeleteProfile& c) const { return MakeCall("DeleteMap100", {c.mprf}); }
  MemberCall operator()(const CopyRules& c) const {
    std::vector<Variant> args{c.source, c.target, c.vrc.vers, c.vrc.rele, c.vrc.cust};
    const TableKey main = c.tables.empty() ? TableKey{} : c.tables.front();
    const bool list_mode = c.tables.size() > 1;
    args.insert(args.end(), {main.tcpac, main.tcmod, main.tflno, user, Variant()});
    args.push_back(list_mode ? JoinCodes(c.tables) : String());
    args.push_back(BooleanArgument(list_mode));
    return MakeCall("CopyToCurrentVRC", args);
  }
  MemberCall operator()(const DeleteRules& c) const {
    std::vector<Variant> args{c.mprf, c.vrc.vers, c.vrc.rele, c.vrc.cust};
    AddSelection(args, c.tables);
    return MakeCall("DeleteMapRules", args);
  }
  MemberCall operator()(const ExpireRules& c) const {
    std::vector<Variant> args{c.mprf, c.vrc.vers, c.vrc.rele, c.vrc.cust};
    AddSelection(args, c.tables);
    args.push_back(BooleanArgument(c.expire));
    return MakeCall("ExpireMapRules", args);
  }
  MemberCall operator()(const CopyFunction& c) const {
    return MakeCall("Func_CopyToCurrentVRC",
                    {c.source, c.target, c.vrc.vers, c.vrc.rele, c.vrc.cust, c.name, user});
  }
  MemberCall operator()(const ExpireFunction& c) const {
    return MakeCall("Func_Expire", {c.mprf, c.vrc.vers, c.vrc.rele, c.vrc.cust, c.name, user,
                                    BooleanArgument(c.expire)});
  }
  MemberCall operator()(const DeleteFunction& c) const {
    return MakeCall("Func_Delete", {c.mprf, c.vrc.vers, c.vrc.rele, c.vrc.cust, c.name, user});
  }
};

struct ProfilesOfChange {
  std::vector<Integer> operator()(const CopyRules& c) const { return {c.source, c.target}; }
  std::vector<Integer> operator()(const CopyFunction& c) const { return {c.source, c.target}; }
  template <typename Other>
  std::vector<Integer> operator()(const Other& c) const {
    return {c.mprf};
  }
};

}  // namespace

MemberCall ToCall(const Change& change, const String& user) {
  return std::visit(CallOf{user}, change);
}

std::vector<Integer> ProfilesOf(const Change& change) {
  return std::visit(ProfilesOfChange{}, change);
}

MemberOutcome Apply(Application& app, const Principal& principal, const Change& change) {
  return Call(app, principal, ToCall(change, principal.name));
}

PreviewResult Preview(Application& app, const Principal& principal, const Change& change) {
  return PreviewCall(app, principal, ToCall(change, principal.name), ProfilesOf(change));
}

PreviewResult PreviewCall(Application& app, const Principal& principal, const MemberCall& call,
                          const std::vector<Integer>& profiles) {
  if (PolicyOf(*call.member).operation == Operation::kRead) {
    throw Invalid("\"" + call.member->name + "\" is not a member that changes the database");
  }
  Authorize(app, principal, call);
  PreviewResult preview;
  preview.changes = insight::Preview(app.source(), profiles, [&](const DataSource& snapshot) {
    TOVRHandleMigProf object;
    ApplyTo(snapshot, object);
    Invoke(object, call, preview.outcome);
  });
  for (const insight::TableChanges& table : preview.changes) {
    preview.outcome.rows[table.table] =
        static_cast<long long>(table.added.size() + table.changed.size() + table.removed.size());
  }
  return preview;
}

PreviewsKeptReady::PreviewsKeptReady(const Application& app)
    : keeper_(std::make_unique<insight::SnapshotKeeper>(app.source())) {}

PreviewsKeptReady::~PreviewsKeptReady() = default;

}  // namespace migprof::app
