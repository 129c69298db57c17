// Profiles: the derivation tree, a profile's page, and creating, changing
// and deleting profiles through the component's members.
#include <map>
#include <set>
#include <sstream>

#include "web/app.h"
#include "web/preview.h"
#include "web/reads.h"

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

// The profiles as nested lists: each profile under its level-2 parent when
// that parent is shown too, otherwise at the top.
List TreeNodes(const std::vector<ProfileSummary>& profiles) {
  std::set<Integer> shown;
  for (const ProfileSummary& p : profiles) shown.insert(p.mprf);
  std::map<Integer, std::vector<const ProfileSummary*>> children;
  std::vector<const ProfileSummary*> roots;
  for (const ProfileSummary& p : profiles) {
    if (p.parent && *p.parent != p.mprf && shown.count(*p.parent)) {
      children[*p.parent].push_back(&p);
    } else {
      roots.push_back(&p);
    }
  }
  std::set<Integer> placed;
  std::function<Data(const ProfileSummary&)> node = [&](const ProfileSummary& p) {
    placed.insert(p.mprf);
    Data d = ProfileData(p);
    List kids;
    for (const ProfileSummary* child : children[p.mprf]) {
      if (!placed.count(child->mprf)) kids.push_back(node(*child));
    }
    d.set("has_children", Flag(!kids.empty()));
    d.set("children", kids);
    return d;
  };
  List out;
  for (const ProfileSummary* root : roots) out.push_back(node(*root));
  // Profiles on a cycle of parents are not below any root; list them at the top.
  for (const ProfileSummary& p : profiles) {
    if (!placed.count(p.mprf)) out.push_back(node(p));
  }
  return out;
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

  Data ToData(const std::vector<ProfileSummary>& profiles) const {
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
    d.set("standard_selected", Flag(parent == "__"));
    List parents;
    for (const ProfileSummary& p : profiles) {
      if (std::to_string(p.mprf) == mprf) continue;
      Data option;
      option.set("value", p.vrc.Text());
      option.set("label", std::to_string(p.mprf) + " " + p.description + " (" + p.vrc.Text() + ")");
      option.set("selected", Flag(p.vrc.Text() == parent));
      parents.push_back(option);
    }
    d.set("parents", parents);
    return d;
  }
};

// ValidateDerivation of mprf from the profile with parent_vrc, when both
// exist; nullopt when there is nothing to check.
std::optional<Outcome> CheckDerivation(WebApp& app, HandleSlot& slot, Integer mprf,
                                       const std::string& parent_vrc) {
  std::optional<Vrc> vrc = ParseVrc(parent_vrc);
  if (!vrc || !FindProfile(app.db, mprf)) return std::nullopt;
  std::optional<Integer> parent = FindProfileByVrc(app.db, *vrc);
  if (!parent) return std::nullopt;
  Integer child = mprf, pprf = *parent;
  Outcome outcome = CallMember(slot, [&](TOVRHandleMigProf& object) {
    return object.ValidateDerivation(child, pprf).IsTrue();
  });
  return outcome;
}

void ShowForm(WebApp& app, const SessionRecord& session, httplib::Response& res, bool create,
              const ProfileForm& form, const std::optional<Outcome>& refusal) {
  std::vector<ProfileSummary> profiles = ListProfiles(app.db, "");
  Data data = form.ToData(profiles);
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

void ListRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SessionRecord> session = RequireSession(app, req, res);
  if (!session) return;
  const std::string kind = Param(req, "kind");
  const std::string search = Param(req, "q");
  std::vector<ProfileSummary> all = ListProfiles(app.db, "");
  std::map<std::string, const ProfileSummary*> by_number;
  for (const ProfileSummary& p : all) by_number[std::to_string(p.mprf)] = &p;

  auto slot = app.handles.For(session->id_hash);
  std::string own_list;
  CallMember(*slot, [&](TOVRHandleMigProf& object) {
    own_list = object.GetUserOwnerProfiles(session->user);
    return true;
  });
  List own;
  for (const std::string& number : SplitTilde(own_list)) {
    if (by_number.count(number)) own.push_back(ProfileData(*by_number[number]));
  }

  std::vector<ProfileSummary> shown = search.empty() ? all : ListProfiles(app.db, search);
  if (kind == "orvo" || kind == "legacy") {
    std::string numbers;
    for (const ProfileSummary& p : shown) numbers += std::to_string(p.mprf) + "~";
    std::string kept;
    CallMember(*slot, [&](TOVRHandleMigProf& object) {
      kept = object.GetOrvoOrLegacyProfiles(numbers, kind == "orvo" ? kTrue : kFalse);
      return true;
    });
    std::vector<std::string> kept_numbers = SplitTilde(kept);
    std::set<std::string> keep(kept_numbers.begin(), kept_numbers.end());
    std::vector<ProfileSummary> filtered;
    for (const ProfileSummary& p : shown) {
      if (keep.count(std::to_string(p.mprf))) filtered.push_back(p);
    }
    shown = std::move(filtered);
  }
  Data data;
  data.set("own", own);
  data.set("has_own", Flag(!own.empty()));
  data.set("tree", TreeNodes(shown));
  data.set("has_tree", Flag(!shown.empty()));
  data.set("empty_database", Flag(all.empty()));
  data.set("q", search);
  data.set("count", std::to_string(shown.size()));
  data.set("kind_all", Flag(kind != "orvo" && kind != "legacy"));
  data.set("kind_orvo", Flag(kind == "orvo"));
  data.set("kind_legacy", Flag(kind == "legacy"));
  SendHtml(res, RenderPage(Frame(app, *session, "Profiles", {{"Profiles", ""}}), "profiles", data));
}

void ShowRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
  if (!profile) return;
  auto slot = app.handles.For(session->id_hash);
  Outcome owner = CallMember(*slot, [&](TOVRHandleMigProf& object) {
    return object.ValidateUser(session->user, std::to_string(profile->mprf)).IsTrue();
  });
  Data data = ProfileData(*profile);
  data.set("owner_known", Flag(!owner.raised));
  data.set("owned", Flag(owner.ok));
  data.set("user", session->user);
  if (!profile->parent_vrc.Empty()) {
    if (std::optional<Integer> parent = FindProfileByVrc(app.db, profile->parent_vrc)) {
      data.set("parent_url", ProfileUrl(*parent));
      data.set("parent_number", std::to_string(*parent));
    }
  }
  if (std::optional<Vrc> dev = DevelopmentVrc(app.db, profile->mprf)) {
    data.set("development_vrc", dev->Text());
  }
  List vrcs;
  for (const Vrc& vrc : ProfileVrcs(app.db, *profile)) {
    Data v;
    v.set("vrc", vrc.Text());
    v.set("rules_url", ProfileUrl(profile->mprf) + "/rules" + VrcQuery(vrc));
    v.set("functions_url", ProfileUrl(profile->mprf) + "/functions" + VrcQuery(vrc));
    v.set("rules", std::to_string(CountTableRules(app.db, profile->mprf, vrc)));
    v.set("functions", std::to_string(CountLibraryFunctions(app.db, profile->mprf, vrc)));
    vrcs.push_back(v);
  }
  data.set("vrcs", vrcs);
  List levels;
  for (const Level& level : DerivationLevels(app.db, profile->mprf)) {
    Data l;
    l.set("level", std::to_string(level.level));
    l.set("vrc", level.vrc.Text());
    l.set("profile", level.profile);
    l.set("url", "/profiles/" + level.profile);
    levels.push_back(l);
  }
  data.set("levels", levels);
  data.set("derive_url", "/profiles/new?parent=" + UrlEncode(profile->vrc.Text()) +
                             "&sapp=" + UrlEncode(profile->source_app) +
                             "&tapp=" + UrlEncode(profile->target_app));
  const std::string label = std::to_string(profile->mprf) + " " + profile->description;
  SendHtml(res, RenderPage(Frame(app, *session, "Profile " + label,
                                 {{"Profiles", "/profiles"}, {label, ""}}),
                           "profile", data));
}

void CreateRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  std::optional<SessionRecord> session = RequireSession(app, req, res);
  if (!session || !CheckCsrf(app, *session, req, res)) return;
  ProfileForm form = ProfileForm::FromRequest(req);
  std::optional<Integer> mprf = ParseProfileNumber(form.mprf);
  if (!mprf) {
    ShowForm(app, *session, res, true, form,
             Outcome{false, false, 0,
                     "The profile number must be a whole number from -32768 to 32767."});
    return;
  }
  auto slot = app.handles.For(session->id_hash);
  if (std::optional<Outcome> check = CheckDerivation(app, *slot, *mprf, form.parent);
      check && !check->ok) {
    ShowForm(app, *session, res, true, form, check);
    return;
  }
  const MemberCall insert = [&](TOVRHandleMigProf& object) {
    return object
        .InsertInMap100(*mprf, form.description, form.sapp, form.tapp, form.vers, form.rele,
                        form.cust, form.parent, form.scme, form.apln, session->user, form.dver,
                        form.drel, form.dcus)
        .IsTrue();
  };
  if (!ApplyRequested(req)) {
    PendingChange change{"Create profile " + form.mprf,
                         "/profiles",
                         "Create profile " + form.mprf,
                         "/profiles",
                         {{"Profiles", "/profiles"}, {"New profile", ""}, {"Preview", ""}},
                         {*mprf},
                         "",
                         "",
                         false};
    PreviewResult preview = RunPreview(app, change.profiles, insert);
    if (!preview.outcome.ok) {
      ShowForm(app, *session, res, true, form, preview.outcome);
      return;
    }
    SendPreview(app, *session, req, res, change, preview);
    return;
  }
  Outcome outcome = CallMember(*slot, insert);
  if (!outcome.ok) {
    ShowForm(app, *session, res, true, form, outcome);
    return;
  }
  RedirectWithFlash(app, *session, res, ProfileUrl(*mprf), "Profile " + form.mprf + " created");
}

void UpdateRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  ProfileForm form = ProfileForm::FromRequest(req);
  // The profile's number, applications and own VRC are not changed here.
  ProfileForm fixed = ProfileForm::FromProfile(*profile, std::nullopt);
  form.mprf = fixed.mprf;
  form.sapp = fixed.sapp;
  form.tapp = fixed.tapp;
  form.vers = fixed.vers;
  form.rele = fixed.rele;
  form.cust = fixed.cust;
  auto slot = app.handles.For(session->id_hash);
  if (form.parent != profile->parent_vrc.Text()) {
    if (std::optional<Outcome> check = CheckDerivation(app, *slot, profile->mprf, form.parent);
        check && !check->ok) {
      ShowForm(app, *session, res, false, form, check);
      return;
    }
  }
  const MemberCall update = [&](TOVRHandleMigProf& object) {
    return object
        .UpdateMap100(profile->mprf, form.description, form.scme, form.vers, form.rele, form.cust,
                      form.apln, form.parent, session->user, "", form.dver, form.drel, form.dcus)
        .IsTrue();
  };
  auto refuse = [&](Outcome outcome) {
    if (outcome.description.empty()) outcome.description = "The profile was not changed.";
    ShowForm(app, *session, res, false, form, outcome);
  };
  if (!ApplyRequested(req)) {
    const std::string label = std::to_string(profile->mprf) + " " + profile->description;
    PendingChange change{"Change profile " + form.mprf,
                         ProfileUrl(profile->mprf) + "/edit",
                         "Save profile " + form.mprf,
                         ProfileUrl(profile->mprf),
                         {{"Profiles", "/profiles"},
                          {label, ProfileUrl(profile->mprf)},
                          {"Edit", ProfileUrl(profile->mprf) + "/edit"},
                          {"Preview", ""}},
                         {profile->mprf},
                         "",
                         "",
                         false};
    PreviewResult preview = RunPreview(app, change.profiles, update);
    if (!preview.outcome.ok) {
      refuse(preview.outcome);
      return;
    }
    SendPreview(app, *session, req, res, change, preview);
    return;
  }
  Outcome outcome = CallMember(*slot, update);
  if (!outcome.ok) {
    refuse(outcome);
    return;
  }
  RedirectWithFlash(app, *session, res, ProfileUrl(profile->mprf),
                    "Profile " + form.mprf + " updated");
}

// The deletion's preview, with the profile number to type again.
void DeleteConfirmRoute(WebApp& app, const httplib::Request& req, httplib::Response& res,
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
                       {mprf},
                       std::to_string(mprf),
                       problem,
                       /*destructive=*/true};
  ShowPreview(app, *session, req, res, change,
              [mprf](TOVRHandleMigProf& object) { return object.DeleteMap100(mprf).IsTrue(); });
}

void DeleteRoute(WebApp& app, const httplib::Request& req, httplib::Response& res) {
  auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/true);
  if (!profile) return;
  if (Param(req, "confirm") != std::to_string(profile->mprf)) {
    DeleteConfirmRoute(app, req, res, "Type the profile number to confirm the deletion.");
    return;
  }
  auto slot = app.handles.For(session->id_hash);
  Outcome outcome = CallMember(*slot, [&](TOVRHandleMigProf& object) {
    return object.DeleteMap100(profile->mprf).IsTrue();
  });
  if (!outcome.ok) {
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
    ListRoute(app, req, res);
  });
  server.Get("/profiles/new", [&app](const httplib::Request& req, httplib::Response& res) {
    std::optional<SessionRecord> session = RequireSession(app, req, res);
    if (!session) return;
    ProfileForm form = ProfileForm::FromRequest(req);
    ShowForm(app, *session, res, true, form, std::nullopt);
  });
  server.Post("/profiles", [&app](const httplib::Request& req, httplib::Response& res) {
    CreateRoute(app, req, res);
  });
  server.Get(R"(/profiles/(-?\d+))", [&app](const httplib::Request& req, httplib::Response& res) {
    ShowRoute(app, req, res);
  });
  server.Get(R"(/profiles/(-?\d+)/edit)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               auto [session, profile] = OpenProfileRequest(app, req, res, /*changing=*/false);
               if (!profile) return;
               ShowForm(app, *session, res, false,
                        ProfileForm::FromProfile(*profile, DevelopmentVrc(app.db, profile->mprf)),
                        std::nullopt);
             });
  server.Post(
      R"(/profiles/(-?\d+)/edit)",
      [&app](const httplib::Request& req, httplib::Response& res) { UpdateRoute(app, req, res); });
  server.Get(R"(/profiles/(-?\d+)/delete)",
             [&app](const httplib::Request& req, httplib::Response& res) {
               DeleteConfirmRoute(app, req, res, "");
             });
  server.Post(
      R"(/profiles/(-?\d+)/delete)",
      [&app](const httplib::Request& req, httplib::Response& res) { DeleteRoute(app, req, res); });
}

}  // namespace migprof::web
