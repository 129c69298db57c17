// Rows changed per table, counted where the layer changes them.
#include <vector>

#include "component/ado/observer.h"
#include "component/sql/tsql_lexer.h"
#include "migprof/ado.h"

namespace migprof::ado {
namespace {

thread_local ScopedChangeCount* current_count = nullptr;

void Add(std::map<String, long long>& into, const std::map<String, long long>& rows) {
  for (const auto& [table, count] : rows) into[table] += count;
}

// The name token's text, brackets or quotes removed, in lower case; "" for
// a token that is no name.
String NamePart(const tsql::Token& token) {
  if (token.kind == tsql::Kind::kWord) return tsql::Lower(token.text);
  if (token.kind == tsql::Kind::kQuoted && token.text.size() >= 2) {
    return tsql::Lower(token.text.substr(1, token.text.size() - 2));
  }
  return "";
}

// The last part of the possibly qualified name starting at tokens[at]
// ("dbo.qzmap120", "[dbo].[qzmap120]").
String PlainName(const std::vector<tsql::Token>& tokens, std::size_t at) {
  if (at >= tokens.size()) return "";
  String name = NamePart(tokens[at]);
  while (!name.empty() && at + 2 < tokens.size() && tokens[at + 1].kind == tsql::Kind::kOp &&
         tokens[at + 1].text == ".") {
    at += 2;
    name = NamePart(tokens[at]);
  }
  return name;
}

}  // namespace

ScopedChangeCount::ScopedChangeCount() : previous_(current_count) { current_count = this; }

ScopedChangeCount::~ScopedChangeCount() {
  current_count = previous_;
  if (previous_ != nullptr) {
    Add(previous_->committed_, committed_);
    for (const auto& [connection, rows] : pending_) Add(previous_->pending_[connection], rows);
  }
}

void ScopedChangeCount::Changed(const void* connection, bool in_transaction, const String& table,
                                long long rows) {
  if (rows <= 0 || table.empty()) return;
  (in_transaction ? pending_[connection] : committed_)[table] += rows;
}

void ScopedChangeCount::TransactionEnded(const void* connection, bool committed) {
  auto found = pending_.find(connection);
  if (found == pending_.end()) return;
  if (committed) Add(committed_, found->second);
  pending_.erase(found);
}

namespace detail {

bool CountingChanges() { return current_count != nullptr; }

void NotifyRowsChanged(const void* connection, bool in_transaction, const String& table,
                       long long rows) {
  if (current_count != nullptr) current_count->Changed(connection, in_transaction, table, rows);
}

void NotifyTransactionEnded(const void* connection, bool committed) {
  if (current_count != nullptr) current_count->TransactionEnded(connection, committed);
}

String ChangedTable(const String& sql) {
  std::vector<tsql::Token> tokens;
  for (const tsql::Token& token : tsql::Tokenize(sql)) {
    if (token.kind != tsql::Kind::kSpace) tokens.push_back(token);
  }
  if (tokens.empty() || tokens[0].kind != tsql::Kind::kWord) return "";
  const String verb = tsql::Lower(tokens[0].text);
  std::size_t at = 1;
  if (verb == "insert" || verb == "delete") {
    const char* optional = verb == "insert" ? "into" : "from";
    if (at < tokens.size() && tokens[at].kind == tsql::Kind::kWord &&
        tsql::Lower(tokens[at].text) == optional) {
      ++at;
    }
  } else if (verb != "update") {
    return "";
  }
  return PlainName(tokens, at);
}

}  // namespace detail
}  // namespace migprof::ado
