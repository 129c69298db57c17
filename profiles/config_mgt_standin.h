// The configuration-management component that ships with the library,
// registered under kConfigMgtProgId until a host registers its own.
#ifndef MIGPROF_PROFILES_CONFIG_MGT_STANDIN_H_
#define MIGPROF_PROFILES_CONFIG_MGT_STANDIN_H_

#include <memory>

#include "migprof/object_registry.h"

namespace migprof::profiles {

// This build keeps no revisions, so the stand-in does the least the update
// needs: it takes the settings and the connection, undoes and deletes
// nothing, and answers Check_Check_Out from the profile's function library.
class ConfigMgtStandIn final : public ConfigMgt {
 public:
  void DatabaseName(const String& value) override { database_name_ = value; }
  void DatabasePassword(const String& value) override { database_password_ = value; }
  void DatabaseServer(const String& value) override { database_server_ = value; }
  void DatabaseUser(const String& value) override { database_user_ = value; }
  void OpenConnection(std::shared_ptr<ado::Connection> connection) override {
    connection_ = std::move(connection);
  }

  // Return True and change nothing.
  Variant Global_Undo_Check_Out(String& i_strUsrn, Integer& i_intMPRF, String& i_StrVers,
                                String& i_StrRele, String& i_StrCust, String& i_StrPath) override;
  Variant Delete_Revisions(Integer& i_intMPRF, String& i_StrVers, String& i_StrRele,
                           String& i_StrCust, String& i_strUsrn, String& i_StrPath) override;
  // False, with ErrDescription naming the function, while a library function
  // of the profile (any VRC) has status "C" (checked out); True with an empty
  // ErrDescription otherwise. Reads through the connection given to
  // OpenConnection; without one raises 3709 (connection invalid).
  Variant Check_Check_Out(Integer& i_intMPRF) override;
  String ErrDescription() override { return err_description_; }

 private:
  String database_name_;
  String database_password_;
  String database_server_;
  String database_user_;
  std::shared_ptr<ado::Connection> connection_;
  String err_description_;
};

// A new stand-in, as the registry's factory.
std::shared_ptr<LateBoundObject> NewConfigMgtStandIn();

}  // namespace migprof::profiles

#endif  // MIGPROF_PROFILES_CONFIG_MGT_STANDIN_H_
