// A caller's statement text as a MariaDB session reads it: what it may leave
// behind on the connection, and its translation (mariadb_dialect.h). Both
// are kept per text with its plain string literals taken out: the component
// sends the same few texts again and again, differing only in the values of
// their literals, and reading one anew costs more than the round trip of a
// keyed read.
#ifndef MIGPROF_COMPONENT_ODBC_CALLER_STATEMENT_H_
#define MIGPROF_COMPONENT_ODBC_CALLER_STATEMENT_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "component/odbc/mariadb_dialect.h"
#include "component/sql/tsql_lexer.h"

namespace migprof::odbc {

// What a statement of the caller's may leave behind.
struct CallerStatement {
  // A query or a row change leaves the connection as it found it; anything
  // else (SET, USE, LOCK, CREATE TEMPORARY, a transaction started by text, a
  // user variable) may leave state behind that a new connection would not
  // have.
  bool leaves_no_session_state = true;
  // Anything but a query or a row change may change a table's columns or
  // keys.
  bool may_change_tables = false;
};

// A query whose compared literals travel as values: the translation with
// each such literal replaced by a '?' marker, and the literals' values (the
// quotes taken off, doubled quotes made single) in marker order.
struct ParameterizedQuery {
  std::string sql;
  std::vector<std::string> values;
};

// Reads the text in one pass. Does not depend on the contents of string
// literals.
CallerStatement ReadCallerStatement(std::string_view sql);

// One text, read once: its plain string literals ('...' closed, without NUL)
// are replaced by markers, and what is known about the marked text is looked
// up in a process-wide table (thread-safe).
//
// The translation of the marked text holds each marker once, in a literal
// copied as written, unless a literal was rewritten (a cast of it to
// varbinary becomes its bytes): the dialect never decides anything by a
// plain literal's contents otherwise. Putting the literals back into that
// translation therefore gives the text's own translation; where a marker
// is missing or repeated, the text is translated as it is, every time.
class MariaDbCallerText {
 public:
  struct Cut;  // the kept translation of a marked text (caller_statement.cc)

  // Keeps a reference to sql, which must outlive this object.
  explicit MariaDbCallerText(const std::string& sql);
  // The same for a text already tokenized: tokens is tsql::Tokenize(sql).
  MariaDbCallerText(const std::string& sql, const std::vector<tsql::Token>& tokens);

  CallerStatement Caller() const;
  // Equal to TranslateForMariaDb(sql, text_type).
  std::string Translate(const MariaDbTextType& text_type) const;

  // For a SELECT whose shape was read before, the translation with each
  // literal that is compared directly (`c = 'x'`, `c <> 'x'`, ... ending the
  // condition) as a value: the server may then run a statement prepared once
  // for every text of the shape. A comparison with a value gives what the
  // same comparison with the literal gives, as both take the connection's
  // text type and collation. nullopt for any other text, for a text of a
  // shape not read before (a text run once costs less sent as it is), and
  // for a literal that is not valid UTF-8 or longer than a varchar.
  std::optional<ParameterizedQuery> Parameterize(const MariaDbTextType& text_type) const;

 private:
  // The kept translation for the text type, looked up once per object and
  // text type; read_before tells whether the table held it already.
  const Cut& CutFor(const MariaDbTextType& text_type, bool& read_before) const;

  const std::string& sql_;
  std::string key_;                         // the text with markers
  std::vector<std::string_view> literals_;  // the literals taken out, in order
  mutable std::optional<CallerStatement> caller_;
  mutable std::shared_ptr<const Cut> cut_;
  mutable MariaDbTextType cut_type_;
  mutable bool cut_read_before_ = false;
};

}  // namespace migprof::odbc

#endif  // MIGPROF_COMPONENT_ODBC_CALLER_STATEMENT_H_
