// The object's settings, error state and connection factory.
#include "migprof/handle_mig_prof.h"

#include "component/change_lock.h"
#include "migprof/data_source.h"

namespace migprof {

void TOVRHandleMigProf::OpenConnection(std::shared_ptr<ado::Connection> /*i_Conn*/) {
  // The argument is not used: the session connection is always built from
  // the settings. A failure to connect reaches the caller.
  RefreshSessionConnection();
}

String TOVRHandleMigProf::ErrDescription() const { return err_description_; }

Double TOVRHandleMigProf::ErrorNumber() const { return error_number_; }

void TOVRHandleMigProf::DatabaseServer(String strParDBSERVER) {
  database_server_ = std::move(strParDBSERVER);
}

void TOVRHandleMigProf::DatabaseName(String strParDATABASE) {
  database_name_ = std::move(strParDATABASE);
}

void TOVRHandleMigProf::DatabaseUser(String strParDBUSER) {
  database_user_ = std::move(strParDBUSER);
}

void TOVRHandleMigProf::DatabasePassword(String strParDBPASSWORD) {
  database_password_ = std::move(strParDBPASSWORD);
}

std::shared_ptr<ado::Connection> TOVRHandleMigProf::getNewConnection() {
  std::shared_ptr<ado::Connection> connection =
      OpenDataSource({database_name_, database_user_, database_password_}, kComponentTimeouts);
  // The first connection a changing member opens takes the change lock
  // before any statement runs on it; a lock that cannot be had fails the
  // connection as a failed login would.
  if (change_depth_ > 0 && !change_lock_) {
    change_lock_ =
        detail::TakeChangeLock(connection->ConnectionString(), connection->ConnectionTimeout(),
                               connection->CommandTimeout());
  }
  return connection;
}

void TOVRHandleMigProf::RefreshSessionConnection() { m_Conn = getNewConnection(); }

void TOVRHandleMigProf::RecordFailure(const ComError& error) {
  error_number_ = error.number();
  err_description_ = error.description();
}

void TOVRHandleMigProf::Refuse(Double number, const String& description) {
  error_number_ = number;
  err_description_ = description;
}

}  // namespace migprof
