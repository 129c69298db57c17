// The progress page of a rule copy: it refreshes itself while the copy runs
// and ends on the outcome (with the rows the copy wrote per table) and what
// the target holds per table.
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

void JobRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  std::optional<app::JobRecord> job = app.jobs.Find(req.matches[1].str(), session->principal.name);
  if (!job) {
    SendProblem(res, 404, "No such copy", "There is no copy of yours at this address.");
    return;
  }
  // A copy whose server stopped reporting has been recorded as failed by
  // Find, on whichever server reads it.
  const bool running = job->state == "running";
  const Vrc vrc = app::ParseVrc(job->vrc).value_or(Vrc{});
  Data data;
  data.set("running", Flag(running));
  data.set("source", std::to_string(job->source));
  data.set("target", std::to_string(job->target));
  data.set("vrc", job->vrc);
  std::string tables = job->tables;
  for (std::size_t at = tables.find(','); at != std::string::npos; at = tables.find(',', at + 2)) {
    tables.replace(at, 1, ", ");
  }
  data.set("tables", tables);
  data.set("done", std::to_string(job->done));
  const long long percent =
      running ? std::min<long long>(99, job->total > 0 ? job->done * 100 / job->total : 0) : 100;
  data.set("percent", std::to_string(percent));
  data.set("rules_url", ProfileUrl(job->target) + "/rules" + VrcQuery(vrc));
  if (!running) {
    const bool done = job->state == "done";
    Data outcome = RefusalData(job->error_description);
    outcome.set("ok", Flag(done));
    outcome.set("number", job->error_number);
    outcome.set("has_number", Flag(!job->error_number.empty() && job->error_number != "0"));
    // What the copy itself wrote, as the outcome of any other change says it.
    const std::string rows = RowsText(job->rows);
    outcome.set("rows", rows.empty() ? "No row was written." : rows + ".");
    data.set("outcome", outcome);
  }
  {
    // While the copy runs too: the rows written so far are what the target
    // holds.
    const std::vector<TableKey> tables = app::ParseTableList(job->tables);
    List rows;
    long long written = 0;
    for (const app::CopyCount& count :
         CompareCopy(app.db(), job->source, job->target, vrc, tables)) {
      Data row;
      row.set("code", count.key.Code());
      row.set("label", count.key.Label());
      // Only a table the target holds has a page to go to.
      if (count.target[0] > 0) row.set("table_url", TableUrl(job->target, vrc, count.key));
      List cells;
      bool complete = true, none = true, over = false;
      for (int i = 0; i < 5; ++i) {
        Data cell;
        cell.set("text",
                 std::to_string(count.target[i]) + " of " + std::to_string(count.source[i]));
        cell.set("short", Flag(count.target[i] != count.source[i]));
        cells.push_back(cell);
        complete = complete && count.target[i] >= count.source[i];
        over = over || count.target[i] > count.source[i];
        written += count.target[i];
        none = none && count.target[i] == 0;
      }
      row.set("cells", cells);
      // More rows than the source holds means the table was there before
      // the copy (its rules may now be there twice): not a clean success.
      row.set("verdict", over       ? "more rows than the source: was there before"
                         : complete ? "complete"
                         : none     ? "not copied"
                                    : "partly copied");
      row.set("complete", Flag(complete && !over));
      rows.push_back(row);
    }
    data.set("counts", rows);
    data.set("written", std::to_string(written));
  }
  PageFrame frame = Frame(app, *session, running ? "Copying rules" : "Copy finished",
                          {{"Profiles", "/profiles"},
                           {"Profile " + std::to_string(job->target), ProfileUrl(job->target)},
                           {"VRC " + job->vrc, ""},
                           {"Copy", ""}});
  if (running) frame.refresh_url = req.path;
  SendHtml(res, RenderPage(frame, "job", data));
}

}  // namespace

void AddJobRoutes(httplib::Server& server, WebApp& app) {
  server.Get(
      R"(/jobs/([0-9a-f]{32}))",
      [&app](const httplib::Request& req, httplib::Response& res) { JobRoute(app, req, res); });
}

}  // namespace migprof::web
