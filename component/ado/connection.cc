#include <string_view>

#include "component/ado/observer.h"
#include "component/ado/session.h"
#include "component/ado/surrogate_key.h"
#include "component/sql/tsql_lexer.h"
#include "migprof/ado.h"

namespace migprof::ado {

std::shared_ptr<Connection> Connection::Create() {
  return std::shared_ptr<Connection>(new Connection());
}

Connection::~Connection() {
  // A connection released with its transaction open rolls it back.
  if (session_ && session_->InTransaction()) {
    detail::NotifyTransactionEnded(this, /*committed=*/false);
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

namespace detail {

namespace {

// True for a string literal token that its closing quote ends.
bool IsTerminatedLiteral(std::string_view text) {
  std::size_t i = text.find('\'');
  if (i == std::string_view::npos) return false;
  for (++i; i < text.size(); ++i) {
    if (text[i] != '\'') continue;
    if (i + 1 < text.size() && text[i + 1] == '\'') {
      ++i;
      continue;
    }
    return i + 1 == text.size();
  }
  return false;
}

}  // namespace

void CheckStatementText(const String& text) {
  if (text.find('\0') == String::npos) return;
  for (const tsql::Token& token : tsql::Tokenize(text)) {
    if (token.text.find('\0') == std::string_view::npos) continue;
    if (token.kind == tsql::Kind::kString && IsTerminatedLiteral(token.text)) continue;
    throw ComError(errc::kErrorsInCommand, errtext::kNulInStatement);
  }
}

}  // namespace detail

detail::Session& Connection::session() {
  if (!session_) throw ComError(errc::kObjectClosed, errtext::kObjectClosed);
  return *session_;
}

std::shared_ptr<Recordset> Connection::Execute(const String& command_text,
                                               Variant* records_affected, long /*options*/) {
  detail::NotifyStatement(command_text);
  detail::CheckStatementText(command_text);
  detail::ResultRows result = session().Run(command_text);
  if (records_affected) *records_affected = Variant(static_cast<Long>(result.rows_affected));
  // Counted are the rows whose values changed; the statement's own answer
  // stays the rows it affected.
  const long changed = result.rows_changed >= 0 ? result.rows_changed : result.rows_affected;
  if (changed > 0 && detail::CountingChanges()) {
    detail::NotifyRowsChanged(this, session_->InTransaction(), detail::ChangedTable(command_text),
                              changed);
  }
  if (!result.has_columns) return Recordset::Create();
  const std::vector<std::size_t> hidden = detail::SurrogateKeyPositions(result.columns);
  if (!hidden.empty()) {
    detail::RemovePositions(result.columns, hidden);
    for (std::vector<Variant>& row : result.rows) detail::RemovePositions(row, hidden);
  }
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
  detail::NotifyTransactionEnded(this, /*committed=*/true);
}

void Connection::RollbackTrans() {
  if (!session().InTransaction()) throw ComError(errc::kNoTransaction, errtext::kNoTransaction);
  session_->Rollback();
  detail::NotifyTransactionEnded(this, /*committed=*/false);
}

std::optional<std::vector<String>> TableChecksums(Connection& connection,
                                                  const std::vector<String>& tables) {
  return connection.session().TableChecksums(tables);
}

}  // namespace migprof::ado
