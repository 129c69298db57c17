// The MariaDB translation on any statement text: it never fails (no
// exception but the refusal of too deep nesting), gives the same text for the same input, and a
// closed string literal of the input is still in its output unless it was
// the operand of a cast to varbinary (written as its bytes, X'..').
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
  if (migprof::tsql::Lower(sql).find("varbinary") == std::string::npos) {
    for (const std::string& literal : migprof::fuzz::PlainLiterals(sql)) {
      FUZZ_CHECK(translated.find(literal) != std::string::npos);
    }
  }
  return 0;
}
