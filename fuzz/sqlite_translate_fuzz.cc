// The embedded database's translation on any statement text: it never fails
// (no exception but the refusal of too deep nesting), gives the same text for the same input, and
// every closed string literal of the input is still in its output (a plain
// one through code page 1252, as SQL Server reads it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "component/sqlite/dialect.h"
#include "component/text/cp1252.h"
#include "fuzz/check.h"
#include "fuzz/literals.h"
#include "migprof/com_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  std::string translated;
  try {
    translated = migprof::sqlite_dialect::Translate(sql);
  } catch (const migprof::ComError& error) {
    // Only parentheses nested beyond what the translation follows.
    FUZZ_CHECK(error.description() == migprof::errtext::kNestedTooDeeply);
    return 0;
  } catch (...) {
    FUZZ_CHECK(!"Translate raised");
  }
  FUZZ_CHECK(migprof::sqlite_dialect::Translate(sql) == translated);
  for (const std::string& literal : migprof::fuzz::PlainLiterals(sql)) {
    const std::string cp1252 = migprof::text::Cp1252ToUtf8(migprof::text::Utf8ToCp1252(literal));
    FUZZ_CHECK(translated.find(literal) != std::string::npos ||
               translated.find(cp1252) != std::string::npos);
  }
  return 0;
}
