// The MariaDB translation on any statement text: it never fails (no
// exception but the refusal of too deep nesting), gives the same text for the same input, and a
// closed string literal of the input is still in its output unless it was
// the operand of a cast to varbinary (written as its bytes, X'..'). A
// session's reading of the text through the table it keeps per text shape
// gives the same translation, also for a text of the same shape with other
// literals read right after it, and a query of that shape sending its
// compared literals as values gives its translation with the values put back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "component/odbc/caller_statement.h"
#include "component/odbc/mariadb_dialect.h"
#include "component/sql/tsql_lexer.h"
#include "fuzz/check.h"
#include "fuzz/literals.h"
#include "migprof/com_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  std::string translated;
  try {
    translated = migprof::odbc::TranslateForMariaDb(sql);
  } catch (const migprof::ComError& error) {
    // Only parentheses nested beyond what the translation follows.
    FUZZ_CHECK(error.description() == migprof::errtext::kNestedTooDeeply);
    return 0;
  } catch (...) {
    FUZZ_CHECK(!"TranslateForMariaDb raised");
  }
  FUZZ_CHECK(migprof::odbc::TranslateForMariaDb(sql) == translated);
  const std::string text(sql);
  FUZZ_CHECK(migprof::odbc::MariaDbCallerText(text).Translate({}) == translated);
  // The same text with a 'z' added to each plain literal's value (the tokens
  // cover the whole text).
  std::string other;
  std::size_t covered = 0;
  for (const migprof::tsql::Token& token : migprof::tsql::Tokenize(sql)) {
    const std::string_view t = token.text;
    covered += t.size();
    const bool plain = token.kind == migprof::tsql::Kind::kString && t.size() >= 2 &&
                       t.front() == '\'' && t.back() == '\'' &&
                       t.find('\0') == std::string_view::npos;
    other += plain ? std::string(t.substr(0, t.size() - 1)) + "z'" : std::string(t);
  }
  if (covered == sql.size()) {
    const migprof::odbc::MariaDbCallerText again(other);
    FUZZ_CHECK(again.Translate({}) == migprof::odbc::TranslateForMariaDb(other));
    // Read a second time, a query of the shape may send its compared
    // literals as values: put back, they give its translation (a marker glued
    // to a word gets a blank).
    if (const auto query = again.Parameterize({})) {
      std::string back;
      std::size_t next = 0;
      for (const char c : query->sql) {
        if (c != '?') {
          if (c != ' ') back += c;
          continue;
        }
        FUZZ_CHECK(next < query->values.size());
        back += '\'';
        for (const char v : query->values[next])
          back += v == '\'' ? std::string("''") : std::string(1, v);
        back += '\'';
        ++next;
      }
      FUZZ_CHECK(next == query->values.size());
      std::string expected = migprof::odbc::TranslateForMariaDb(other);
      std::erase(expected, ' ');
      std::erase(back, ' ');
      FUZZ_CHECK(back == expected);
    }
  }
  if (migprof::tsql::Lower(sql).find("varbinary") == std::string::npos) {
    for (const std::string& literal : migprof::fuzz::PlainLiterals(sql)) {
      FUZZ_CHECK(translated.find(literal) != std::string::npos);
    }
  }
  return 0;
}
