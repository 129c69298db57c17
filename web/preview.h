// The page every change passes before it is made: the member runs on a
// snapshot of the database, and the page shows its result and error state
// and the rows it would add, change and remove, table by table, with Apply
// (the same request again, marked to be applied) and Cancel.
#ifndef MIGPROF_WEB_PREVIEW_H_
#define MIGPROF_WEB_PREVIEW_H_

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "web/app.h"

namespace migprof::web {

// A member call as a route makes it: answers the member's success.
using MemberCall = std::function<bool(TOVRHandleMigProf&)>;

// What the preview page says about the change and where its buttons lead.
struct PendingChange {
  std::string title;        // "Copy 3 tables into 6_0_T"
  std::string action_url;   // Apply posts the request's fields here
  std::string apply_label;  // "Copy 3 tables"
  std::string cancel_url;
  std::vector<Crumb> crumbs;
  // The profiles whose rows a snapshot of a server needs.
  std::vector<Integer> profiles;
  // When not empty, Apply asks for this number typed again (a profile delete).
  std::string confirm_number;
  // A refusal of the typed number, shown above the buttons.
  std::string problem;
  bool destructive = false;  // Apply drawn as a danger button
};

// True when the request is the one Apply sends.
bool ApplyRequested(const httplib::Request& req);

// What the call did on the snapshot: its outcome and the rows it changed
// ({"<table>": {"added", "changed", "removed"}}).
struct PreviewResult {
  Outcome outcome;
  nlohmann::ordered_json changes;
};

// Runs call on a fresh object over a snapshot of the database (for a server,
// with the rules of profiles). The database itself is not written.
PreviewResult RunPreview(WebApp& app, const std::vector<Integer>& profiles, const MemberCall& call);

// The preview page of change: Apply sends the request's fields again to
// change.action_url, marked to be applied; a failing call gets no Apply.
void SendPreview(WebApp& app, const SessionRecord& session, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change, const PreviewResult& result);

// RunPreview, then SendPreview.
inline void ShowPreview(WebApp& app, const SessionRecord& session, const httplib::Request& req,
                        httplib::Response& res, const PendingChange& change,
                        const MemberCall& call) {
  SendPreview(app, session, req, res, change, RunPreview(app, change.profiles, call));
}

// Rows of each table shown per page of a plan.
inline constexpr long kPlanRows = 50;

// The "changes" of a preview as the plan partial's data: a summary row per
// table, and the rows of page (1-based) of every table, changed cells marked
// with their old value.
Data PlanData(const nlohmann::ordered_json& changes, long page);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PREVIEW_H_
