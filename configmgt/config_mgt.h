// The configuration-management component that UpdateMap100 creates by
// ProgID: it keeps check-outs and revisions of a profile's library functions
// and table rules (RevisionControl) and answers the update's three calls
// from them.
#ifndef MIGPROF_CONFIGMGT_CONFIG_MGT_H_
#define MIGPROF_CONFIGMGT_CONFIG_MGT_H_

#include <memory>
#include <vector>

#include "configmgt/item.h"
#include "migprof/object_registry.h"

namespace migprof::configmgt {

class ConfigMgtComponent final : public ConfigMgt {
 public:
  void DatabaseName(const String& value) override { database_name_ = value; }
  void DatabasePassword(const String& value) override { database_password_ = value; }
  void DatabaseServer(const String& value) override { database_server_ = value; }
  void DatabaseUser(const String& value) override { database_user_ = value; }
  void OpenConnection(std::shared_ptr<ado::Connection> connection) override {
    connection_ = std::move(connection);
  }

  // Undoes i_strUsrn's check-outs of profile i_intMPRF in the VRC given and
  // in the development VRCs qzmap105 lists for it, on a connection of its
  // own from the database settings. True when all went; False with the
  // reason in ErrDescription otherwise.
  Variant Global_Undo_Check_Out(String& i_strUsrn, Integer& i_intMPRF, String& i_StrVers,
                                String& i_StrRele, String& i_StrCust, String& i_StrPath) override;
  // Deletes every stored revision of the profile in the same VRCs. True, or
  // False with the reason in ErrDescription.
  Variant Delete_Revisions(Integer& i_intMPRF, String& i_StrVers, String& i_StrRele,
                           String& i_StrCust, String& i_strUsrn, String& i_StrPath) override;
  // False while anything of the profile is checked out (in any VRC), with
  // ErrDescription naming each item, its VRC and its holder; True with an
  // empty ErrDescription otherwise. Reads through the connection given to
  // OpenConnection; without one raises 3709 (connection invalid).
  Variant Check_Check_Out(Integer& i_intMPRF) override;
  String ErrDescription() override { return err_description_; }

 private:
  std::shared_ptr<ado::Connection> OwnConnection() const;
  // The VRC given and the development VRCs of the profile in it.
  std::vector<Vrc> VrcsOf(const std::shared_ptr<ado::Connection>& connection, Integer mprf,
                          const Vrc& vrc) const;

  String database_name_;
  String database_password_;
  String database_server_;
  String database_user_;
  std::shared_ptr<ado::Connection> connection_;
  String err_description_;
};

// A new component, as the ProgID registry's factory.
std::shared_ptr<LateBoundObject> NewConfigMgt();

}  // namespace migprof::configmgt

#endif  // MIGPROF_CONFIGMGT_CONFIG_MGT_H_
