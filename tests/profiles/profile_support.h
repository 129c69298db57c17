// Shared pieces of the profile tests: a fixture that creates profiles
// through InsertInMap100 and reads their rows back, and a recording
// configuration-management component.
#ifndef MIGPROF_TESTS_PROFILES_PROFILE_SUPPORT_H_
#define MIGPROF_TESTS_PROFILES_PROFILE_SUPPORT_H_

#include <memory>
#include <string>
#include <vector>

#include "migprof/object_registry.h"
#include "testing/test_database.h"

namespace migprof::testing {

// Records every call as "Name(arg,arg,...)" and answers as configured.
class RecordingConfigMgt : public ConfigMgt {
 public:
  struct Log {
    std::vector<std::string> calls;
    Variant check_answer = Variant(kTrue);
    std::string err_description = "component text";
    bool fail_undo = false;
  };
  explicit RecordingConfigMgt(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  void DatabaseName(const String& v) override { Add("DatabaseName(" + v + ")"); }
  void DatabasePassword(const String& v) override { Add("DatabasePassword(" + v + ")"); }
  void DatabaseServer(const String& v) override { Add("DatabaseServer(" + v + ")"); }
  void DatabaseUser(const String& v) override { Add("DatabaseUser(" + v + ")"); }
  void OpenConnection(std::shared_ptr<ado::Connection> c) override {
    Add(std::string("OpenConnection(") + (c && c->State() == ado::adStateOpen ? "open" : "-") +
        ")");
  }
  Variant Global_Undo_Check_Out(String& u, Integer& m, String& v, String& r, String& c,
                                String& p) override {
    Add("Global_Undo_Check_Out(" + Join({u, std::to_string(m), v, r, c, p}) + ")");
    if (log_->fail_undo) throw ComError(1234, "undo failed");
    return Variant(kTrue);
  }
  Variant Delete_Revisions(Integer& m, String& v, String& r, String& c, String& u,
                           String& p) override {
    Add("Delete_Revisions(" + Join({std::to_string(m), v, r, c, u, p}) + ")");
    return Variant(kFalse);
  }
  Variant Check_Check_Out(Integer& m) override {
    Add("Check_Check_Out(" + std::to_string(m) + ")");
    return log_->check_answer;
  }
  String ErrDescription() override {
    Add("ErrDescription");
    return log_->err_description;
  }

 private:
  static std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : ",") + part;
    return out;
  }
  void Add(std::string call) { log_->calls.push_back(std::move(call)); }
  std::shared_ptr<Log> log_;
};

// A component test whose configuration-management ProgID makes recording
// fakes, with helpers for profile rows.
class ProfileTest : public ComponentTest {
 protected:
  ProfileTest()
      : config_(std::make_shared<RecordingConfigMgt::Log>()),
        fake_(kConfigMgtProgId,
              [log = config_] { return std::make_shared<RecordingConfigMgt>(log); }) {}

  // A profile with release "R" and customer "C", created by the component.
  Boolean Create(Integer mprf, const std::string& vers, const std::string& parent_vrc,
                 const std::string& sapp = "S", const std::string& tapp = "T",
                 const std::string& scme = "N", const std::string& owner = "owner") {
    return object_.InsertInMap100(mprf, "desc", sapp, tapp, vers, "R", "C", parent_vrc, scme,
                                  "lapn", owner);
  }
  // "levl vers pprf" of each level row of mprf, by level.
  std::vector<std::string> Levels(int mprf) const {
    std::vector<std::string> out;
    for (const auto& row : db_.Rows("select levl, vers, pprf from qzmap101 where mprf = " +
                                    std::to_string(mprf) + " order by levl")) {
      out.push_back(row[0] + " " + row[1] + " " + row[2]);
    }
    return out;
  }
  std::string Depth(int mprf) const {
    return db_.Value("select deph from qzmap100 where mprf = " + std::to_string(mprf));
  }
  void Kind(const std::string& app, const std::string& extn) const {
    db_.Exec("insert into qzddi100 (appl, extn) values ('" + app + "', " + extn + ")");
  }

  std::shared_ptr<RecordingConfigMgt::Log> config_;
  ScopedObjectFactory fake_;
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_PROFILES_PROFILE_SUPPORT_H_
