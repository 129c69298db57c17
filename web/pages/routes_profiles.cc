// Profiles: the derivation tree, a profile's page, and creating, changing
// and deleting profiles through the component's members.
#include <map>
#include <set>
#include <sstream>

#include "app/changes.h"
#include "app/coverage.h"
#include "app/permissions.h"
#include "web/pages/pages.h"
#include "web/pages/preview.h"
#include "wire/coverage_json.h"

namespace migprof::web {
namespace {

std::vector<std::string> SplitTilde(const std::string& list) {
  std::vector<std::string> out;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, '~');) {
    if (!item.empty() && item != "0") out.push_back(item);
  }
  return out;
}

Data ProfileData(const ProfileSummary& p) {
  Data d;
  d.set("mprf", std::to_string(p.mprf));
  d.set("url", ProfileUrl(p.mprf));
  d.set("description", p.description);
  d.set("sapp", p.source_app);
  d.set("tapp", p.target_app);
  d.set("apln", p.application_name);
  d.set("vrc", p.vrc.Text());
  d.set("rules_url", ProfileUrl(p.mprf) + "/rules" + VrcQuery(p.vrc));
  d.set("functions_url", ProfileUrl(p.mprf) + "/functions" + VrcQuery(p.vrc));
  d.set("depth", std::to_string(p.depth));
  d.set("derived", Flag(!p.parent_vrc.Empty()));
  d.set("parent_vrc", p.parent_vrc.Text());
  d.set("revision_control", Flag(p.revision_control == "Y"));
  return d;
}

struct ProfileForm {
  std::string mprf, description, sapp, tapp, vers, rele, cust, parent, scme, apln, dver, drel, dcus;

  static ProfileForm FromRequest(const httplib::Request& req) {
    ProfileForm f{Param(req, "mprf"), Param(req, "description"), Param(req, "sapp"),
                  Param(req, "tapp"), Param(req, "vers"),        Param(req, "rele"),
                  Param(req, "cust"), Param(req, "parent"),      Param(req, "scme"),
                  Param(req, "apln"), Param(req, "dver"),        Param(req, "drel"),
                  Param(req, "dcus")};
    if (f.parent.empty()) f.parent = "__";
    if (f.scme != "Y") f.scme = "N";
    return f;
  }
  static ProfileForm FromProfile(const ProfileSummary& p, const std::optional<Vrc>& dev) {
    ProfileForm f{std::to_string(p.mprf),
                  p.description,
                  p.source_app,
                  p.target_app,
                  p.vrc.vers,
                  p.vrc.rele,
                  p.vrc.cust,
                  p.parent_vrc.Text(),
                  p.revision_control,
                  p.application_name,
                  "",
                  "",
                  ""};
    if (dev) {
      f.dver = dev->vers;
      f.drel = dev->rele;
      f.dcus = dev->cust;
    }
    return f;
  }

  Data ToData() const {
    Data d;
    d.set("mprf", mprf);
    d.set("description", description);
    d.set("sapp", sapp);
    d.set("tapp", tapp);
    d.set("vers", vers);
    d.set("rele", rele);
    d.set("cust", cust);
    d.set("apln", apln);
    d.set("dver", dver);
    d.set("drel", drel);
    d.set("dcus", dcus);
    d.set("scme_checked", Flag(scme == "Y"));
    // The parent is typed as its VRC (the form does not list the estate);
    // blank for a standard profile.
    d.set("parent", parent == "__" ? "" : parent);
    return d;
  }
};

// ValidateDerivation of mprf from the profile with parent_vrc, when both
// exist; nullopt when there is nothing to check.
std::optional<MemberOutcome> CheckDerivation(WebApp& app, const Principal& principal, Integer mprf,
                                             const std::string& parent_vrc) {
  std::optional<Vrc> vrc = app::ParseVrc(parent_vrc);
  if (!vrc || !FindProfile(app.db(), mprf)) return std::nullopt;
  std::optional<Integer> parent = FindProfileByVrc(app.db(), *vrc);
  if (!parent) return std::nullopt;
  return app::Call(app.core, principal, app::MakeCall("ValidateDerivation", {mprf, *parent}));
}

// The outcome of a page's own refusal, shown as a member's would be.
MemberOutcome PageRefusal(const std::string& message) {
  MemberOutcome outcome;
  outcome.member = dispatch::FindMember("InsertInMap100");
  outcome.result = Variant(kFalse);
  outcome.error_description = message;
  return outcome;
}

void ShowForm(WebApp& app, const SignedIn& session, httplib::Response& res, bool create,
              const ProfileForm& form, const std::optional<MemberOutcome>& refusal) {
  Data data = form.ToData();
  data.set("create", Flag(create));
  data.set("action",
           create ? std::string("/profiles") : ProfileUrl(std::stoi(form.mprf)) + "/edit");
  data.set("has_refusal", Flag(refusal.has_value()));
  if (refusal) data.set("refusal", OutcomeData(*refusal));
  std::vector<Crumb> crumbs{{"Profiles", "/profiles"}};
  if (!create)
    crumbs.push_back({form.mprf + " " + form.description, ProfileUrl(std::stoi(form.mprf))});
  crumbs.push_back({create ? "New profile" : "Edit", ""});
  SendHtml(
      res,
      RenderPage(Frame(app, session, create ? "New profile" : "Edit profile " + form.mprf, crumbs),
                 "profile_form", data),
      refusal ? 422 : 200);
}

// A text answer of a read member, "" when it raised.
std::string TextOf(const MemberOutcome& outcome) {
  return outcome.raised || outcome.result.IsEmpty() ? std::string() : outcome.result.ToString();
}

// How many standard profiles one page of the tree shows, and how many of
// each one's derived profiles; the rest are a link away (the profile page
// lists its derived profiles a page at a time). No page grows with the
// estate.
constexpr long kTreeRoots = 25;
constexpr long kTreeChildren = 8;
constexpr long kOwnShown = 20;
// How far the profiles the user owns are counted.
constexpr long kOwnCounted = 1001;

Data TreeNode(WebApp& app, const ProfileSummary& p, long depth_left) {
  Data d = ProfileData(p);
  List kids;
  // A node shown with its children reads them and their count in one
  // statement; the last level shows only the count.
  long long derived = 0;
  if (depth_left > 0) {
    app::ProfilePage page = DerivedProfilePage(app.db(), p.vrc, 0, kTreeChildren);
    derived = page.total;
    for (const ProfileSummary& child : page.profiles) {
      if (child.mprf != p.mprf) kids.push_back(TreeNode(app, child, depth_left - 1));
    }
  } else {
    derived = CountDerivedProfiles(app.db(), p.vrc);
  }
  d.set("has_children", Flag(!kids.empty()));
  d.set("children", kids);
  const long long hidden = derived - static_cast<long long>(kids.size());
  d.set("has_hidden", Flag(hidden > 0));
  d.set("hidden", Count(hidden, "more derived profile", "more derived profiles"));
  return d;
}

void ProfileListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session) return;
  const Principal& who = session->principal;
  const std::string kind = Param(req, "kind");
  const std::string search = Param(req, "q");
  const long page = PageNumber(req);
  const long long total_profiles = CountProfiles(app.db(), "");

  // The first of the profiles the user owns, counted up to a limit: an
  // owner of thousands gets a page as quick as an owner of one.
  const app::ProfilePage owned = app::OwnedProfiles(app.db(), who.name, kOwnShown, kOwnCounted);
  List own;
  for (const ProfileSummary& p : owned.profiles) own.push_back(ProfileData(p));
  const long long own_more = owned.total - static_cast<long long>(owned.profiles.size());
  const std::string own_more_text =
      owned.total >= kOwnCounted ? "more (over " + std::to_string(kOwnCounted - 1) + " in all)"
                                 : Count(own_more, "more", "more");

  // Without a search, the tree: a page of standard profiles with their
  // first derived profiles two levels down. With one, the matching
  // profiles a page at a time, each with its place in the tree.
  std::vector<ProfileSummary> shown;
  long long total = 0;
  if (search.empty()) {
    app::ProfilePage roots = StandardProfiles(app.db(), (page - 1) * kTreeRoots, kTreeRoots);
    total = roots.total;
    shown = std::move(roots.profiles);
  } else {
    total = CountProfiles(app.db(), search);
    shown = ListProfiles(app.db(), search, (page - 1) * kPageSize, kPageSize);
  }
  if (kind == "orvo" || kind == "legacy") {
    std::string numbers;
    for (const ProfileSummary& p : shown) numbers += std::to_string(p.mprf) + "~";
    const std::string kept =
        TextOf(app::Call(app.core, who,
                         app::MakeCall("GetOrvoOrLegacyProfiles",
                                       {numbers, Variant(kind == "orvo" ? kTrue : kFalse)})));
    std::vector<std::string> kept_numbers = SplitTilde(kept);
    std::set<std::string> keep(kept_numbers.begin(), kept_numbers.end());
    std::vector<ProfileSummary> filtered;
    for (const ProfileSummary& p : shown) {
      if (keep.count(std::to_string(p.mprf))) filtered.push_back(p);
    }
    shown = std::move(filtered);
  }
  List tree;
  for (const ProfileSummary& p : shown) {
    Data node = search.empty() ? TreeNode(app, p, 2) : ProfileData(p);
    if (!search.empty() && p.parent) {
      node.set("has_parent", Flag(true));
      node.set("parent_number", std::to_string(*p.parent));
      node.set("parent_url", ProfileUrl(*p.parent));
    }
    tree.push_back(node);
  }
  Data data;
  data.set("own", own);
  data.set("has_own", Flag(!own.empty()));
  data.set("own_more", Flag(own_more > 0));
  data.set("own_more_text", own_more_text);
  data.set("tree", tree);
  data.set("searched", Flag(!search.empty()));
  data.set("has_tree", Flag(!shown.empty()));
  data.set("empty_database", Flag(total_profiles == 0));
  data.set("q", search);
  data.set("count", search.empty() ? Count(total, "standard profile", "standard profiles") +
                                         " of " + Count(total_profiles, "profile", "profiles")
                                   : Count(total, "profile matches", "profiles match"));
  SetPaging(data, "/profiles?q=" + UrlEncode(search) + "&kind=" + UrlEncode(kind), page,
            search.empty() ? (total + kTreeRoots - 1) / kTreeRoots * kPageSize : total);
  data.set("kind_all", Flag(kind != "orvo" && kind != "legacy"));
  data.set("kind_orvo", Flag(kind == "orvo"));
  data.set("kind_legacy", Flag(kind == "legacy"));
  data.set("may_create",
           Flag(app::Allowed(who.role, app::Relation::kNone, app::Operation::kCreateProfile)));
  SendHtml(res, RenderPage(Frame(app, *session, "Profiles", {{"Profiles", ""}}), "profiles", data));
}

void ShowRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  Data data = ProfileData(*profile);
  const ProfileRights rights = RightsOn(app, session->principal, profile->mprf);
  SetRights(data, rights);
  data.set("may_create", Flag(app::Allowed(session->principal.role, app::Relation::kNone,
                                           app::Operation::kCreateProfile)));
  data.set("rights_text", rights.edit ? "change and delete it, its rules and its functions"
                          : session->principal.role == app::Role::kViewer
                              ? "read it (your account is a viewer)"
                              : "read it, derive from it and copy from it; only its owner or an "
                                "administrator may change it");
  const std::optional<String> owner = app::ProfileOwner(app.db(), profile->mprf);
  data.set("has_owner", Flag(owner.has_value()));
  data.set("owner", owner.value_or(""));
  data.set("user", session->principal.name);
  data.set("activity_url", "/activity?profile=" + std::to_string(profile->mprf));
  if (!profile->parent_vrc.Empty()) {
    if (std::optional<Integer> parent = FindProfileByVrc(app.db(), profile->parent_vrc)) {
      data.set("parent_url", ProfileUrl(*parent));
      data.set("parent_number", std::to_string(*parent));
    }
  }
  if (std::optional<Vrc> dev = DevelopmentVrc(app.db(), profile->mprf)) {
    data.set("development_vrc", dev->Text());
  }
  List vrcs;
  for (const Vrc& vrc : ProfileVrcs(app.db(), *profile)) {
    Data v;
    v.set("vrc", vrc.Text());
    v.set("rules_url", ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc));
    v.set("functions_url", ProfileUrl(profile->mprf) + "/functions" + VrcQuery(vrc));
    v.set("rules", Count(CountTableRules(app.db(), profile->mprf, vrc), "table", "tables"));
    v.set("functions",
          Count(CountLibraryFunctions(app.db(), profile->mprf, vrc), "function", "functions"));
    v.set("coverage_url", ProfileUrl(profile->mprf) + "/coverage" + VrcQuery(vrc));
    v.set("sheet_url", ProfileUrl(profile->mprf) + "/coverage.xlsx" + VrcQuery(vrc));
    // Only the profile's own VRC is counted here, the others on their
    // coverage pages.
    if (vrc == profile->vrc) {
      v.set("coverage", wire::CoveragePercent(app::CoverageTotal(
                            app.core, session->principal,
                            {profile->mprf, std::vector<String>{vrc.vers, vrc.rele, vrc.cust}})));
    }
    vrcs.push_back(v);
  }
  data.set("vrcs", vrcs);
  List levels;
  for (const Level& level : DerivationLevels(app.db(), profile->mprf)) {
    Data l;
    l.set("level", std::to_string(level.level));
    l.set("vrc", level.vrc.Text());
    l.set("profile", level.profile);
    l.set("url", "/profiles/" + level.profile);
    levels.push_back(l);
  }
  data.set("levels", levels);
  // The profiles derived from this one, a page at a time.
  const long page = PageNumber(req);
  app::ProfilePage derived_page =
      DerivedProfilePage(app.db(), profile->vrc, (page - 1) * kPageSize, kPageSize);
  const long long derived = derived_page.total;
  List children;
  for (const ProfileSummary& child : derived_page.profiles) {
    Data c;
    c.set("mprf", std::to_string(child.mprf));
    c.set("description", child.description);
    c.set("vrc", child.vrc.Text());
    c.set("url", ProfileUrl(child.mprf));
    children.push_back(c);
  }
  data.set("children", children);
  data.set("has_children", Flag(derived > 0));
  data.set("children_count", Count(derived, "profile", "profiles"));
  SetPaging(data, ProfileUrl(profile->mprf) + "?", page, derived);
  data.set("derive_url", "/profiles/new?parent=" + UrlEncode(profile->vrc.Text()) +
                             "&sapp=" + UrlEncode(profile->source_app) +
                             "&tapp=" + UrlEncode(profile->target_app));
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(res, RenderPage(Frame(app, *session, "Profile " + label,
                                 {{"Profiles", "/profiles"}, {label, ""}}),
                           "profile", data));
}

app::CreateProfile CreationOf(const ProfileForm& form, Integer mprf) {
  app::CreateProfile change;
  change.mprf = mprf;
  change.description = form.description;
  change.source_app = form.sapp;
  change.target_app = form.tapp;
  change.vrc = {form.vers, form.rele, form.cust};
  change.parent_vrc = form.parent;
  change.revision_control = form.scme == "Y";
  change.application_name = form.apln;
  change.development = {form.dver, form.drel, form.dcus};
  return change;
}

void CreateRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  // GET /profiles/new/preview is the preview (and the form again when the
  // component refuses); only a POST marked apply=yes creates the profile.
  std::optional<SignedIn> session = RequireSession(app, req, res);
  if (!session || (req.method == "POST" && !CheckCsrf(app, *session, req, res))) return;
  if (RedirectToPreview(req, res, "/profiles/new/preview")) return;
  ProfileForm form = ProfileForm::FromRequest(req);
  std::optional<Integer> mprf = ParseProfileNumber(form.mprf);
  if (!mprf) {
    ShowForm(app, *session, res, true, form,
             PageRefusal("The profile number must be a whole number from -32768 to 32767."));
    return;
  }
  try {
    if (std::optional<MemberOutcome> check =
            CheckDerivation(app, session->principal, *mprf, form.parent);
        check && !check->Succeeded()) {
      ShowForm(app, *session, res, true, form, check);
      return;
    }
    const app::CreateProfile change = CreationOf(form, *mprf);
    if (!ApplyRequested(req)) {
      PendingChange pending{"Create profile " + form.mprf,
                            "/profiles",
                            "Create profile " + form.mprf,
                            "/profiles",
                            {{"Profiles", "/profiles"}, {"New profile", ""}, {"Preview", ""}},
                            "",
                            "",
                            false};
      app::PreviewResult preview = app::Preview(app.core, session->principal, change);
      if (!preview.outcome.Succeeded()) {
        ShowForm(app, *session, res, true, form, preview.outcome);
        return;
      }
      pending.preview_url = "/profiles/new/preview";
      SendPreview(app, *session, req, res, pending, preview);
      return;
    }
    MemberOutcome outcome = app::Apply(app.core, session->principal, change);
    if (!outcome.Succeeded()) {
      ShowForm(app, *session, res, true, form, outcome);
      return;
    }
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  RedirectWithFlash(app, *session, res, ProfileUrl(*mprf), "Profile " + form.mprf + " created");
}

void UpdateRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  // GET /profiles/N/edit/preview is the preview; only a POST marked
  // apply=yes saves.
  auto [session, profile] = OpenProfileRequest(app, req, res, req.method == "POST");
  if (!profile) return;
  if (RedirectToPreview(req, res, ProfileUrl(profile->mprf) + "/edit/preview")) return;
  ProfileForm form = ProfileForm::FromRequest(req);
  // The profile's number, applications and own VRC are not changed here.
  ProfileForm fixed = ProfileForm::FromProfile(*profile, std::nullopt);
  form.mprf = fixed.mprf;
  form.sapp = fixed.sapp;
  form.tapp = fixed.tapp;
  form.vers = fixed.vers;
  form.rele = fixed.rele;
  form.cust = fixed.cust;
  app::UpdateProfile change;
  change.mprf = profile->mprf;
  change.description = form.description;
  change.revision_control = form.scme == "Y";
  change.vrc = profile->vrc;
  change.application_name = form.apln;
  change.parent_vrc = form.parent;
  change.development = {form.dver, form.drel, form.dcus};
  auto refuse = [&, &session = session](MemberOutcome outcome) {
    if (outcome.FailureText().empty()) outcome.error_description = "The profile was not changed.";
    ShowForm(app, *session, res, false, form, outcome);
  };
  try {
    if (form.parent != profile->parent_vrc.Text()) {
      if (std::optional<MemberOutcome> check =
              CheckDerivation(app, session->principal, profile->mprf, form.parent);
          check && !check->Succeeded()) {
        ShowForm(app, *session, res, false, form, check);
        return;
      }
    }
    if (!ApplyRequested(req)) {
      const std::string label = std::to_string(profile->mprf) + " " + profile->description;
      PendingChange pending{"Change profile " + form.mprf,
                            ProfileUrl(profile->mprf) + "/edit",
                            "Save profile " + form.mprf,
                            ProfileUrl(profile->mprf),
                            {{"Profiles", "/profiles"},
                             {label, ProfileUrl(profile->mprf)},
                             {"Edit", ProfileUrl(profile->mprf) + "/edit"},
                             {"Preview", ""}},
                            "",
                            "",
                            false};
      pending.preview_url = ProfileUrl(profile->mprf) + "/edit/preview";
      app::PreviewResult preview = app::Preview(app.core, session->principal, change);
      if (!preview.outcome.Succeeded()) {
        refuse(preview.outcome);
        return;
      }
      SendPreview(app, *session, req, res, pending, preview);
      return;
    }
    MemberOutcome outcome = app::Apply(app.core, session->principal, change);
    if (!outcome.Succeeded()) {
      refuse(outcome);
      return;
    }
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  RedirectWithFlash(app, *session, res, ProfileUrl(profile->mprf),
                    "Profile " + form.mprf + " updated");
}

// The deletion's preview, with the profile number to type again.
void ProfileDeleteConfirmRoute(WebApp& app, const httplib::Request& req, httplib::Response& res,
                               const std::string& problem) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  const Integer mprf = profile->mprf;
  const std::string label = std::to_string(mprf) + " " + profile->description;
  PendingChange change{"Delete profile " + label,
                       ProfileUrl(mprf) + "/delete",
                       "Delete profile " + std::to_string(mprf),
                       ProfileUrl(mprf),
                       {{"Profiles", "/profiles"}, {label, ProfileUrl(mprf)}, {"Delete", ""}},
                       std::to_string(mprf),
                       problem,
                       /*destructive=*/true};
  ShowPreview(app, *session, req, res, change, app::DeleteProfile{mprf});
}

void ProfileDeleteRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  if (Param(req, "confirm") != std::to_string(profile->mprf)) {
    RedirectWithRefusal(app, *session, res, ProfileUrl(profile->mprf) + "/delete",
                        "Type the profile number to confirm the deletion.");
    return;
  }
  MemberOutcome outcome;
  try {
    outcome = app::Apply(app.core, session->principal, app::DeleteProfile{profile->mprf});
  } catch (const Forbidden& refusal) {
    SendForbidden(res, refusal);
    return;
  }
  if (!outcome.Succeeded()) {
    Data data = ProfileData(*profile);
    data.set("refusal", OutcomeData(outcome));
    const std::string label = std::to_string(profile->mprf) + " " + profile->description;
    SendHtml(res,
             RenderPage(Frame(app, *session, "Profile not deleted",
                              {{"Profiles", "/profiles"}, {label, ProfileUrl(profile->mprf)}}),
                        "refused", data),
             422);
    return;
  }
  RedirectWithFlash(app, *session, res, "/profiles",
                    "Profile " + std::to_string(profile->mprf) + " deleted");
}

}  // namespace

void AddProfileRoutes(httplib::Server& server, WebApp& app) {
  server.Get("/profiles", [&app](const httplib::Request& req, httplib::Response& res) {
    ProfileListRoute(app, req, res);
  });
  server.Get("/profiles/new", [&app](const httplib::Request& req, httplib::Response& res) {
    std::optional<SignedIn> session = RequireSession(app, req, res);
    if (!session) return;
    ProfileForm form = ProfileForm::FromRequest(req);
    ShowForm(app, *session, res, true, form, std::nullopt);
  });
  server.Post("/profiles", [&app](const httplib::Request& req, httplib::Response& res) {
    CreateRoute(app, req, res);
  });
  server.Get("/profiles/new/preview", [&app](const httplib::Request& req, httplib::Response& res) {
    CreateRoute(app, req, res);
  });
  server.Get(R"(/profiles/(-?\d+))", [&app](const httplib::Request& req, httplib::Response& res) {
    ShowRoute(app, req, res);
  });
  server.Get(R"(/profiles/(-?\d+)/edit)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
               if (!profile) return;
               if (!RightsOn(app, session->principal, profile->mprf).edit) {
                 SendForbidden(res, Forbidden(session->principal.name + " may not change profile " +
                                              std::to_string(profile->mprf) +
                                              ": only its owner or an administrator may"));
                 return;
               }
               ShowForm(app, *session, res, false,
                        ProfileForm::FromProfile(*profile, DevelopmentVrc(app.db(), profile->mprf)),
                        std::nullopt);
             });
  server.Get(
      R"(/profiles/(-?\d+)/edit/preview)",
      [&app](const httplib::Request& req, httplib::Response& res) { UpdateRoute(app, req, res); });
  server.Post(
      R"(/profiles/(-?\d+)/edit)",
      [&app](const httplib::Request& req, httplib::Response& res) { UpdateRoute(app, req, res); });
  server.Get(R"(/profiles/(-?\d+)/delete)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               ProfileDeleteConfirmRoute(app, req, res, "");
             });
  server.Post(R"(/profiles/(-?\d+)/delete)",
              [&app](const httplib::Request& req, httplib::Response& res) {
                ProfileDeleteRoute(app, req, res);
              });
}

}  // namespace migprof::web
