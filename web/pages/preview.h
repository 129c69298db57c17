// The page every change passes before it is made: the member runs on a
// snapshot of the database, and the page shows its result and error state,
// the VRC the change acts on and the rows it would add, change and remove,
// table by table, with Apply (the same request again, marked to be applied)
// and Cancel. A preview is a GET page (a form posted without Apply is
// redirected to it), so Back and reload show it again; a change that would
// write no row offers no Apply.
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
  // The GET address of this preview without its query (default:
  // action_url); a form posted without Apply is redirected there.
  std::string preview_url{};
  // Which VRC the change acts on, in words ("VRC 2_0_D of profile 12, its
  // development VRC").
  std::string acts_on{};
  // Warnings about the selection shown above the plan, and a narrower
  // change to offer instead (a copy without the tables already there).
  std::vector<std::string> notices{};
  std::string alternative_url{}, alternative_label{};
};

// True when the request is the one Apply sends (a POST marked apply=yes).
bool ApplyRequested(const httplib::Request& req);

// The preview page of change: Apply sends the request's fields again to
// change.action_url, marked to be applied; a failing call, or one that would
// change no row, gets no Apply. A POST is answered with a 303 to the GET
// preview instead.
void SendPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change,
                 const app::PreviewResult& result);

// Previews what as the signed-in principal (app::Preview), then
// SendPreview; a change the principal may not make is answered 403. A POST
// is redirected to the GET preview before anything is run.
void ShowPreview(WebApp& app, const SignedIn& signed_in, const httplib::Request& req,
                 httplib::Response& res, const PendingChange& change, const app::Change& what);

// Rows of each table shown per page of a plan.
inline constexpr long kPlanRows = 50;

// The changes of a preview as the plan partial's data: a summary row per
// table, and the rows of page (1-based) of every table, changed cells marked
// with their old value; tables, columns and values in words.
Data PlanData(const std::vector<insight::TableChanges>& changes, long page);

// The VRCs whose rows the changes touch ("1_0_C, 2_0_D"), read from the
// rows' own vers, rele and cust; "" when no changed row has them.
std::string ChangedVrcs(const std::vector<insight::TableChanges>& changes);

// True (after answering with a 303 to the GET preview) when req is a POST
// that did not ask to apply.
bool RedirectToPreview(const httplib::Request& req, httplib::Response& res,
                       const std::string& preview_url);

}  // namespace migprof::web

#endif  // MIGPROF_WEB_PAGES_PREVIEW_H_
