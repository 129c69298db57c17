// The page every change passes before it is made: the member runs on a
// snapshot of the database, and the page shows its result and error state
// and the rows it would add, change and remove, table by table, with Apply
// (the same request again, marked to be applied) and Cancel.
#ifndef MIGPROF_WEB_PAGES_PREVIEW_H_
#define MIGPROF_WEB_PAGES_PREVIEW_H_

#include <string>
#include <vector>

#include "app/changes.h"
#include "web/pages/pages.h"

namespace migprof::web {

// What the preview page says about the change and where its buttons lead.
struct PendingChange {
  std::string title;        // "Copy 3 tables into 6_0_T"
  std::string action_url;   // Apply posts the request's fields here
  std::string apply_label;  // "Copy 3 tables"
  std::string cancel_url;
  std::vector<Crumb> crumbs;
  // When not empty, Apply asks for this number typed again (a profile delete).
  std::string confirm_number;
  // A refusal of the typed number, shown above the buttons.
  std::string problem;
  bool destructive = false;  // Apply drawn as a danger button
};

// True when the request is the one Apply sends.
bool ApplyRequested(const httplib::Request& req);

// The preview page of change: Apply sends the request's fields again to
// change.action_url, marked to be applied; a failing call gets no Apply.
void SendPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change,
                 const app::PreviewResult& result);

// Previews what as the signed-in principal (app::Preview), then
// SendPreview; a change the principal may not make is answered 403.
void ShowPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change, const app::Change& what);

// Rows of each table shown per page of a plan.
inline constexpr long kPlanRows = 50;

// The changes of a preview as the plan partial's data: a summary row per
// table, and the rows of page (1-based) of every table, changed cells marked
// with their old value.
Data PlanData(const std::vector<insight::TableChanges>& changes, long page);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_PREVIEW_H_
