#include "component/ado/observer.h"
#include "component/ado/session.h"
#include "migprof/ado.h"

namespace migprof::ado {

std::shared_ptr<Connection> Connection::Create() {
  return std::shared_ptr<Connection>(new Connection());
}

Connection::~Connection() {
  // A connection released with its transaction open rolls it back.
  if (session_ && session_->InTransaction()) {
    try {
      session_->Rollback();
    } catch (...) {
    }
  }
}

void Connection::CommandTimeout(long seconds) {
  command_timeout_ = seconds;
  if (session_) session_->SetCommandTimeout(seconds);
}

void Connection::Open(const String& connection_string) {
  if (session_) throw ComError(errc::kObjectOpen, errtext::kObjectOpen);
  detail::ConnectionParameters parameters = detail::ParseConnectionString(connection_string);
  session_ =
      detail::OpenSession(connection_string, parameters, connection_timeout_, command_timeout_);
  connection_string_ = connection_string;
}

detail::Session& Connection::session() {
  if (!session_) throw ComError(errc::kObjectClosed, errtext::kObjectClosed);
  return *session_;
}

std::shared_ptr<Recordset> Connection::Execute(const String& command_text,
                                               Variant* records_affected, long /*options*/) {
  detail::NotifyStatement(command_text);
  detail::ResultRows result = session().Run(command_text);
  if (records_affected) *records_affected = Variant(static_cast<Long>(result.rows_affected));
  if (!result.has_columns) return Recordset::Create();
  return Recordset::FromRows(shared_from_this(), command_text, std::move(result.columns),
                             std::move(result.rows));
}

long Connection::BeginTrans() {
  session().Begin();
  return 1;
}

void Connection::CommitTrans() {
  if (!session().InTransaction()) throw ComError(errc::kNoTransaction, errtext::kNoTransaction);
  session_->Commit();
}

void Connection::RollbackTrans() {
  if (!session().InTransaction()) throw ComError(errc::kNoTransaction, errtext::kNoTransaction);
  session_->Rollback();
}

}  // namespace migprof::ado
