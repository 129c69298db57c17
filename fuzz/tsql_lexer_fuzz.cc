// The T-SQL lexer on any text: its tokens give the text back (with only the
// documented blank after a number glued to a letter), the tree builder and
// the statement checks take whatever it produces (the tree refusing only too
// deep nesting), and a literal cut at its NUL characters leaves no NUL in a
// piece.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "component/sql/tsql_lexer.h"
#include "fuzz/check.h"

namespace {

namespace tsql = migprof::tsql;

struct Item {
  tsql::Kind kind;
  std::string_view text;
  std::vector<Item> children;
  bool closed;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  const std::vector<tsql::Token> tokens = tsql::Tokenize(sql);
  std::size_t offset = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const tsql::Token& token = tokens[i];
    FUZZ_CHECK(!token.text.empty());
    const bool inside = token.text.data() >= sql.data() &&
                        token.text.data() + token.text.size() <= sql.data() + sql.size();
    if (!inside) {
      // Only the blank that ends a number glued to a letter is not from sql.
      FUZZ_CHECK(token.kind == tsql::Kind::kSpace && token.text == " " && i > 0 &&
                 tokens[i - 1].kind == tsql::Kind::kNumber);
      continue;
    }
    FUZZ_CHECK(token.text.data() == sql.data() + offset);
    offset += token.text.size();
    if (token.kind == tsql::Kind::kString) {
      for (const std::string& piece : tsql::LiteralPiecesAroundNul(token.text)) {
        FUZZ_CHECK(piece.find('\0') == std::string::npos);
      }
    }
  }
  FUZZ_CHECK(offset == sql.size());
  try {
    (void)tsql::BuildTree<Item>(tokens);
  } catch (const migprof::ComError& error) {
    // The one refusal: parentheses nested beyond tsql::kMaxNesting.
    FUZZ_CHECK(error.description() == migprof::errtext::kNestedTooDeeply);
  }
  (void)tsql::HasSeveralStatements(sql);
  return 0;
}
