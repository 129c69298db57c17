// The Coverage page of a profile and VRC: per target table how many of the
// dictionary's field elements have a rule, with filters for the tables that
// still have unmapped fields or stale rules, and links to each table's
// rules.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/coverage.h"
#include "web/pages/coverage_bar.h"
#include "web/pages/pages.h"

namespace migprof::web {
namespace {

Data Names(const std::vector<String>& names) {
  List list;
  for (const String& name : names) list.push_back(Data(name));
  return Data(list);
}

void CoverageRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  const std::string show = Param(req, "show");  // "", "unmapped" or "stale"
  const insight::Coverage coverage = app::Coverage(
      app.core, session->principal,
      insight::RuleSet{profile->mprf, std::vector<String>{vrc.vers, vrc.rele, vrc.cust}});
  const std::string base = ProfileUrl(profile->mprf) + "/coverage" + VrcQuery(vrc);
  Data data;
  data.set("mprf", std::to_string(profile->mprf));
  data.set("vrc", vrc.Text());
  data.set("tapp", coverage.target_app);
  data.set("rules_url", ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc));
  data.set("sheet_url", ProfileUrl(profile->mprf) + "/coverage.xlsx" + VrcQuery(vrc));
  data.set("all_url", base);
  data.set("unmapped_url", base + "&show=unmapped");
  data.set("stale_url", base + "&show=stale");
  data.set("show_all", Flag(show != "unmapped" && show != "stale"));
  data.set("show_unmapped", Flag(show == "unmapped"));
  data.set("show_stale", Flag(show == "stale"));
  data.set("derived_profile", Flag(coverage.parent.has_value()));
  if (coverage.parent) {
    data.set("parent",
             std::to_string(coverage.parent->mprf) + " VRC " +
                 Vrc{coverage.parent->vers, coverage.parent->rele, coverage.parent->cust}.Text());
    data.set("parent_url", ProfileUrl(static_cast<Integer>(coverage.parent->mprf)));
  }
  Data total;
  SetCoverageBar(total, coverage.total);
  data.set("total", total);
  List tables;
  for (const insight::TableCoverage& t : coverage.tables) {
    if (show == "unmapped" && t.unmapped.empty()) continue;
    if (show == "stale" && t.stale.empty() && t.in_dictionary) continue;
    Data r;
    SetCoverageBar(r, t.counts);
    r.set("code", t.tcpac + t.tcmod + t.tflno);
    r.set("table", t.tcpac + " " + t.tcmod + " " + t.tflno);
    r.set("in_dictionary", Flag(t.in_dictionary));
    r.set("has_rule", Flag(t.table_rule.has_value()));
    r.set("status", t.table_rule.value_or(""));
    r.set("expired_rule", Flag(t.table_rule.value_or("") == "X"));
    r.set("url", ProfileUrl(profile->mprf) + "/rules/table" + VrcQuery(vrc) +
                     "&tcpac=" + UrlEncode(t.tcpac) + "&tcmod=" + UrlEncode(t.tcmod) +
                     "&tflno=" + UrlEncode(t.tflno));
    r.set("unmapped_names", Names(t.unmapped));
    r.set("stale_names", Names(t.stale));
    r.set("missing_source_names", Names(t.missing_sources));
    r.set("missing_function_names", Names(t.missing_functions));
    r.set("list_unmapped", Flag(show == "unmapped" && !t.unmapped.empty()));
    r.set("list_stale", Flag(show == "stale" && !t.stale.empty()));
    r.set("has_missing", Flag(!t.missing_sources.empty() || !t.missing_functions.empty()));
    tables.push_back(r);
  }
  data.set("has_tables", Flag(!tables.empty()));
  data.set("tables", tables);
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(res, RenderPage(Frame(app, *session, "Coverage of " + label,
                                 {{"Profiles", "/profiles"},
                                  {label, ProfileUrl(profile->mprf)},
                                  {"VRC " + vrc.Text(), ""},
                                  {"Coverage", ""}}),
                           "coverage", data));
}

// The sign-off workbook as a download. It is written to a temporary file
// first (the writer needs a file) and sent from there a piece at a time.
void SheetRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Vrc vrc = RequestVrc(req, profile->vrc);
  static std::atomic<long> serial{0};
  const std::string path =
      (std::filesystem::temp_directory_path() /
       ("migprof-signoff-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".xlsx"))
          .string();
  try {
    app::WriteSignoffSheet(
        app.core, session->principal,
        insight::RuleSet{profile->mprf, std::vector<String>{vrc.vers, vrc.rele, vrc.cust}}, path);
  } catch (...) {
    std::remove(path.c_str());
    throw;
  }
  auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
  std::remove(path.c_str());  // the open stream keeps the data until it is closed
  res.set_header("Content-Disposition", "attachment; filename=\"profile-" +
                                            std::to_string(profile->mprf) + "-" + vrc.Text() +
                                            ".xlsx\"");
  res.set_content_provider(size,
                           "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                           [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             std::vector<char> buffer(std::min<std::size_t>(length, 64 * 1024));
                             file->seekg(static_cast<std::streamoff>(offset));
                             file->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                             const std::streamsize got = file->gcount();
                             if (got <= 0) return false;
                             sink.write(buffer.data(), static_cast<std::size_t>(got));
                             return true;
                           });
}

}  // namespace

void AddCoverageRoutes(httplib::Server& server, WebApp& app) {
  AddGet(server, app, R"(/profiles/(-?\d+)/coverage)", CoverageRoute);
  AddGet(server, app, R"(/profiles/(-?\d+)/coverage\.xlsx)", SheetRoute);
}

}  // namespace migprof::web
