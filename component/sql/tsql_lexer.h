// Reads SQL Server statement text into tokens and a tree of parenthesised
// groups. Both dialect translations (embedded database, MariaDB) start from
// here and differ only in how they write the tokens back.
#ifndef MIGPROF_COMPONENT_SQL_TSQL_LEXER_H_
#define MIGPROF_COMPONENT_SQL_TSQL_LEXER_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "migprof/com_error.h"

namespace migprof::tsql {

enum class Kind {
  kSpace,   // blanks, or a comment ("--..." to the line end, "/*...*/")
  kWord,    // a keyword or an unquoted name
  kQuoted,  // a quoted name: "x", [x] or `x`
  kNumber,  // 12, 1.5, 2e3, 0x1F
  kString,  // 'text' or N'text', quotes doubled inside
  kParam,   // ? or :name
  kOpen,    // (
  kClose,   // )
  kOp,      // any other character, or one of <> != <= >= !< !> || == << >>
};

struct Token {
  Kind kind;
  std::string_view text;
};

bool IsDigit(char c);
// Blank, tab and line-break characters.
bool IsBlank(char c);
// Bytes of a multi-byte UTF-8 character count as letters, as in SQL Server.
bool IsWordStart(char c);
// ASCII letters in lower case; other bytes unchanged.
std::string Lower(std::string_view s);
// True for a comment token (a kSpace that is not blanks).
// The text of a name without its quotes ([x], "x", `x`), in lower case.
std::string NameOf(const Token& token);
bool IsComment(const Token& token);
// Words that can stand directly before an expression: a '+' or '-' after one
// is unary, and one followed by '(' is no function call. Join words are left
// out so that LEFT(...) and RIGHT(...) stay functions. Takes a lower-case word.
bool IsKeyword(std::string_view lower_word);

// Splits statement text into tokens; their texts, joined, give `sql` back,
// except that a number glued to a letter ("10and") is followed by an extra
// kSpace token " ", since SQL Server ends the number there. An unterminated
// quoted run takes the rest of the text, so the database reports it.
std::vector<Token> Tokenize(std::string_view sql);

// A string literal token ('...' or N'...') holding NUL characters, cut at
// each NUL into literals of the pieces between them ("'a<NUL>b'" gives 'a'
// and 'b'; the N prefix is dropped). Each dialect joins the pieces with its
// own spelling of the NUL character, since no database reads a NUL inside a
// literal as part of it. Empty for a literal without NUL.
std::vector<std::string> LiteralPiecesAroundNul(std::string_view literal);

// True when anything but blanks, comments and ';' follows the first ';' that
// ends a statement (one outside literals, names and comments).
bool HasSeveralStatements(std::string_view sql);

// Where the outermost level of a statement text stands, word by word: the
// current statement's first word, and whether a word is in the select list
// of a SELECT statement (between its SELECT and its FROM).
class StatementPosition {
 public:
  // Notes a word of the outermost level (lower case); true when it is the
  // first word of its statement.
  bool Word(const std::string& lower_word) {
    const bool first = first_word_.empty();
    if (first) first_word_ = lower_word;
    if (lower_word == "select" && first_word_ == "select") in_select_list_ = true;
    if (lower_word == "from") in_select_list_ = false;
    return first;
  }
  // A ';' of the outermost level ends the statement.
  void EndStatement() {
    first_word_.clear();
    in_select_list_ = false;
  }
  bool in_select_list() const { return in_select_list_; }

 private:
  std::string first_word_;
  bool in_select_list_ = false;
};

// Parentheses nested deeper than this are refused: the translations walk
// the groups recursively, and no statement of the component comes near it.
inline constexpr int kMaxNesting = 1000;

// Nests tokens into groups: an Item {kind, text, children, closed} per token,
// where an opening parenthesis holds the items up to its closing one (closed
// = true) or to the end of the text. A surplus ')' stays an item. Tokens and
// items are each dialect's own types (a dialect may keep rewritten texts);
// both have `kind` and `text`. Raises errc::kErrorsInCommand beyond
// kMaxNesting.
template <typename Item, typename TokenT>
std::vector<Item> BuildTree(const std::vector<TokenT>& tokens, std::size_t* pos = nullptr,
                            bool* closed = nullptr, int depth = 0) {
  if (depth > kMaxNesting) throw ComError(errc::kErrorsInCommand, errtext::kNestedTooDeeply);
  std::size_t start = 0;
  if (pos == nullptr) pos = &start;
  std::vector<Item> items;
  while (*pos < tokens.size()) {
    const TokenT& t = tokens[(*pos)++];
    if (t.kind == Kind::kClose && closed != nullptr) {
      *closed = true;
      return items;
    }
    Item item{t.kind, t.text, {}, false};
    if (t.kind == Kind::kOpen) {
      item.children = BuildTree<Item>(tokens, pos, &item.closed, depth + 1);
    }
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace migprof::tsql

#endif  // MIGPROF_COMPONENT_SQL_TSQL_LEXER_H_
