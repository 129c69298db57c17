#include "cli/coverage_commands.h"

#include "app/coverage.h"
#include "app/errors.h"
#include "cli/commands.h"
#include "cli/insight_commands.h"
#include "cli/request.h"
#include "migprof/com_error.h"
#include "wire/coverage_json.h"

namespace migprof::cli {

CoverageCommands::CoverageCommands(CLI::App& app) {
  coverage_ = app.add_subcommand(
      "coverage",
      "How far a profile's rules cover the target application's dictionary, table by table");
  coverage_
      ->add_option("--database", settings_.database,
                   "Data source name (DatabaseName), such as sqlite:/tmp/profiles.db")
      ->required();
  coverage_->add_option("--user", settings_.user, "Database user name (DatabaseUser)");
  coverage_->add_option("--password", settings_.password, "Database password (DatabasePassword)");
  coverage_->add_option("--as", settings_.as,
                        "The account to act as (default: $MIGPROF_AS, else your login name)");
  coverage_
      ->add_option("profile", profile_,
                   "<mprf> for the profile's own VRC, or <mprf>:<vers>_<rele>_<cust>")
      ->required();
  coverage_->add_flag("--json", json_,
                      "Print JSON instead of the table (every table with its element names)");
  coverage_->add_flag("--unmapped", unmapped_, "List the target fields without a field rule");
  coverage_->add_flag("--stale", stale_,
                      "List the field rules naming a field or table the dictionary lacks");
  coverage_->add_option("--xlsx", xlsx_,
                        "Write the sign-off spreadsheet to this file (.xlsx): a summary, one\n"
                        "sheet per kind of rule and the unmapped fields; the table is printed too");
  coverage_->footer(
      "A target field of array depth n counts as its n elements, name(1) ... name(n), as the\n"
      "rule copy names them. Mapped: a field rule in force; Expired: only rules whose own or\n"
      "whose table rule's status is X; Unmapped: no field rule. Stale: field rules of a\n"
      "field or table the dictionary does not have. NoSource: source tables (qzmap130) that\n"
      "neither application's dictionary or legacy field list has; NoFunc: functions\n"
      "(qzmap160) the profile's library holds under the VRC in no row in force. For a\n"
      "derived profile the field rules are also counted as inherited, overridden or local\n"
      "against its parent. Reads only; needs no check-out.\n\n"
      "Example:\n"
      "  migprof coverage --database sqlite:/tmp/demo.db --as alice 110 --unmapped\n"
      "  migprof coverage --database sqlite:/tmp/demo.db --as alice 100 --xlsx /tmp/100.xlsx");
}

std::optional<int> CoverageCommands::RunChosen(std::ostream& out, std::ostream& err) const {
  if (!coverage_->parsed()) return std::nullopt;
  try {
    std::unique_ptr<app::Application> application = OpenApplication(settings_);
    const app::Principal who = ActingPrincipal(*application, settings_);
    const insight::RuleSet set = ParseRuleSet(profile_);
    const insight::Coverage coverage = xlsx_
                                           ? app::WriteSignoffSheet(*application, who, set, *xlsx_)
                                           : app::Coverage(*application, who, set);
    if (json_) {
      out << wire::CoverageJson(coverage).dump(2, ' ', false, Json::error_handler_t::replace)
          << '\n';
    } else {
      wire::WriteCoverageTable(out, coverage, unmapped_, stale_);
    }
    return kExitOk;
  } catch (const BadRequest& error) {
    err << "migprof coverage: " << error.what() << '\n';
    return kExitBadRequest;
  } catch (const app::Forbidden& error) {
    err << "migprof coverage: " << error.what() << '\n';
    return kExitForbidden;
  } catch (const ComError& error) {
    err << "migprof coverage: " << error.description() << " (" << error.number() << ")\n";
    return kExitFailed;
  } catch (const std::runtime_error& error) {
    err << "migprof coverage: " << error.what() << '\n';
    return kExitFailed;
  } catch (...) {
    err << "migprof coverage: " << FailureText() << '\n';
    return kExitFailed;
  }
}

}  // namespace migprof::cli
