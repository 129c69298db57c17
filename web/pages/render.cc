#include "web/pages/render.h"

#include <stdexcept>

#include "web/pages/assets.h"

namespace migprof::web {

std::string TemplateSource(const std::string& name) {
  const Asset* asset = FindAsset("templates/" + name + ".mustache");
  return asset == nullptr ? std::string() : std::string(asset->Text());
}

std::string RenderTemplate(const std::string& name, const Data& data) {
  const Asset* asset = FindAsset("templates/" + name + ".mustache");
  if (asset == nullptr) throw std::runtime_error("no template " + name);
  kainjow::mustache::mustache tmpl{std::string(asset->Text())};
  if (!tmpl.is_valid()) throw std::runtime_error("template " + name + ": " + tmpl.error_message());
  // The partials every template may use: {{>alert}} shows a member's
  // outcome, {{>node}} one profile of the tree with its children, {{>plan}}
  // the rows a change would write, {{>lineage}} one profile of a derived
  // tree, and {{>coverage_bar}} how far a table is mapped.
  Data with_partials = data;
  with_partials.set("alert", kainjow::mustache::partial([] { return TemplateSource("alert"); }));
  with_partials.set("node", kainjow::mustache::partial([] { return TemplateSource("tree_node"); }));
  with_partials.set("chooser", kainjow::mustache::partial([] { return TemplateSource("picker"); }));
  with_partials.set("plan", kainjow::mustache::partial([] { return TemplateSource("plan"); }));
  with_partials.set("lineage",
                    kainjow::mustache::partial([] { return TemplateSource("lineage_node"); }));
  with_partials.set("coverage_bar",
                    kainjow::mustache::partial([] { return TemplateSource("coverage_bar"); }));
  std::string out = tmpl.render(with_partials);
  if (!tmpl.is_valid()) throw std::runtime_error("template " + name + ": " + tmpl.error_message());
  return out;
}

std::string RenderPage(const PageFrame& frame, const std::string& name, Data data) {
  data.set("csrf", frame.csrf);
  Data layout;
  layout.set("title", frame.title);
  layout.set("user", frame.user);
  layout.set("signed_in", Flag(!frame.user.empty()));
  layout.set("role", frame.role);
  layout.set("administrator", Flag(frame.administrator));
  layout.set("csrf", frame.csrf);
  layout.set("flash", frame.flash);
  layout.set("flash_kind", frame.flash_kind);
  layout.set("flash_number", frame.flash_number);
  layout.set("has_flash_number", Flag(!frame.flash_number.empty()));
  layout.set("flash_html", frame.flash_html);
  layout.set("has_flash", Flag(!frame.flash.empty() || !frame.flash_html.empty()));
  layout.set("refresh_url", frame.refresh_url);
  layout.set("has_refresh", Flag(!frame.refresh_url.empty()));
  layout.set("bootstrap_css", StaticUrl("bootstrap.min.css"));
  layout.set("app_css", StaticUrl("app.css"));
  layout.set("app_js", StaticUrl("app.js"));
  List crumbs;
  for (std::size_t i = 0; i < frame.crumbs.size(); ++i) {
    Data crumb;
    crumb.set("label", frame.crumbs[i].label);
    crumb.set("href", frame.crumbs[i].href);
    crumb.set("link", Flag(!frame.crumbs[i].href.empty()));
    crumbs.push_back(crumb);
  }
  layout.set("crumbs", crumbs);
  layout.set("has_crumbs", Flag(!frame.crumbs.empty()));
  layout.set("body", RenderTemplate(name, data));
  return RenderTemplate("layout", layout);
}

}  // namespace migprof::web
