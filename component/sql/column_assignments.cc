#include "component/sql/column_assignments.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <tuple>

namespace migprof::tsql {
namespace {

bool IsName(const Token& t) { return t.kind == Kind::kWord || t.kind == Kind::kQuoted; }

bool IsWord(const Token& t, std::string_view lower) {
  return t.kind == Kind::kWord && Lower(t.text) == lower;
}

class StatementReader {
 public:
  StatementReader(const std::vector<Token>& tokens, const std::vector<std::size_t>& match,
                  std::size_t begin, std::size_t end)
      : tokens_(tokens), match_(match), end_(end) {
    // The tokens of the statement's own level, blanks left out.
    for (std::size_t i = begin; i < end; ++i) {
      if (tokens[i].kind == Kind::kSpace) continue;
      level_.push_back(i);
      if (tokens[i].kind == Kind::kOpen && match[i] < end) i = match[i];
    }
  }

  void Read() {
    if (level_.empty()) return;
    if (IsWord(At(0), "insert")) ReadInsert();
    if (IsWord(At(0), "update")) ReadUpdate();
  }
  const std::vector<ColumnAssignment>& wraps() const { return wraps_; }
  const std::vector<ImplicitColumnList>& lists() const { return lists_; }

 private:
  const Token& At(std::size_t k) const { return tokens_[level_[k]]; }
  bool Has(std::size_t k) const { return k < level_.size(); }

  // Reads a possibly qualified name at level position *k; the last part,
  // lower case, or nullopt.
  std::optional<std::string> ReadName(std::size_t* k) const {
    if (!Has(*k) || !IsName(At(*k))) return std::nullopt;
    std::string name = NameOf(At(*k));
    while (Has(*k + 2) && At(*k + 1).text == "." && IsName(At(*k + 2))) {
      *k += 2;
      name = NameOf(At(*k));
    }
    ++*k;
    return name;
  }

  // The parts of a group's contents separated by commas: token ranges.
  std::vector<std::pair<std::size_t, std::size_t>> Parts(std::size_t open) const {
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    const std::size_t close = std::min(match_[open], end_);
    std::size_t start = open + 1;
    for (std::size_t i = open + 1; i < close; ++i) {
      if (tokens_[i].kind == Kind::kOpen) {
        i = std::min(match_[i], close);
        continue;
      }
      if (tokens_[i].kind == Kind::kOp && tokens_[i].text == ",") {
        parts.emplace_back(start, i);
        start = i + 1;
      }
    }
    parts.emplace_back(start, close);
    return parts;
  }

  // A range without the blanks around it.
  std::pair<std::size_t, std::size_t> Trimmed(std::size_t first, std::size_t last) const {
    while (first < last && tokens_[first].kind == Kind::kSpace) ++first;
    while (last > first && tokens_[last - 1].kind == Kind::kSpace) --last;
    return {first, last};
  }

  void Add(const std::string& table, const std::string& column, std::size_t first,
           std::size_t last) {
    const ColumnType* type = tsql::ProfileColumnType(table, column);
    std::tie(first, last) = Trimmed(first, last);
    if (type != nullptr && type->kind != ColumnType::Kind::kOther && first < last) {
      wraps_.push_back({first, last, type});
    }
  }

  void ReadInsert() {
    std::size_t k = 1;
    if (Has(k) && IsWord(At(k), "into")) ++k;
    const std::optional<std::string> table = ReadName(&k);
    const std::vector<tsql::Column>* all = table ? tsql::ProfileTableColumns(*table) : nullptr;
    if (all == nullptr) return;
    std::vector<std::string> columns;
    if (Has(k) && At(k).kind == Kind::kOpen) {
      for (const auto& [first, last] : Parts(level_[k])) {
        const auto [f, l] = Trimmed(first, last);
        if (l != f + 1 || !IsName(tokens_[f])) return;  // not a plain list of names
        columns.push_back(NameOf(tokens_[f]));
      }
      ++k;
    } else {
      for (const tsql::Column& column : *all) {
        if (!column.identity) columns.push_back(column.name);
      }
      if (columns.size() < all->size() && Has(k) &&
          (IsWord(At(k), "values") || IsWord(At(k), "select"))) {
        lists_.push_back({level_[k - 1] + 1, all});
      }
    }
    if (Has(k) && IsWord(At(k), "values")) {
      for (++k; Has(k) && At(k).kind == Kind::kOpen; k += 2) {
        const auto parts = Parts(level_[k]);
        if (parts.size() == columns.size()) {
          for (std::size_t c = 0; c < parts.size(); ++c) {
            Add(*table, columns[c], parts[c].first, parts[c].second);
          }
        }
        if (!Has(k + 1) || At(k + 1).text != ",") break;
      }
    } else if (Has(k) && IsWord(At(k), "select")) {
      ReadSelectList(*table, columns, k);
    }
  }

  // The items of the select list of an INSERT ... SELECT at level position k.
  void ReadSelectList(const std::string& table, const std::vector<std::string>& columns,
                      std::size_t k) {
    for (std::size_t m = k; Has(m); ++m) {
      for (std::string_view word : {"union", "except", "intersect"}) {
        if (IsWord(At(m), word)) return;
      }
    }
    ++k;
    if (Has(k) && (IsWord(At(k), "all") || IsWord(At(k), "distinct"))) ++k;
    if (Has(k) && IsWord(At(k), "top")) {
      k += 2;
      if (Has(k) && (IsWord(At(k), "percent") || IsWord(At(k), "with"))) return;
    }
    if (!Has(k)) return;
    std::size_t from = k;
    while (Has(from) && !IsWord(At(from), "from") && !IsWord(At(from), "into")) ++from;
    const std::size_t end = Has(from) ? level_[from] : end_;
    std::vector<std::pair<std::size_t, std::size_t>> items;
    std::size_t start = level_[k];
    for (std::size_t m = k; m < from; ++m) {
      if (At(m).kind == Kind::kOp && At(m).text == ",") {
        items.emplace_back(start, level_[m]);
        start = level_[m] + 1;
      }
    }
    items.emplace_back(start, end);
    if (items.size() != columns.size()) return;
    for (std::size_t c = 0; c < items.size(); ++c) {
      auto [first, last] = Trimmed(items[c].first, items[c].second);
      std::vector<std::size_t> item;  // the item's own level
      for (std::size_t m : level_) {
        if (m >= first && m < last) item.push_back(m);
      }
      if (item.empty() || tokens_[item.back()].text == "*") continue;
      std::size_t value_end = last;
      for (std::size_t m : item) {
        if (IsWord(tokens_[m], "as")) value_end = m;
      }
      if (value_end == last && item.size() >= 2) {
        // "e alias": a name straight after an operand.
        const Token& alias = tokens_[item.back()];
        const Token& before = tokens_[item[item.size() - 2]];
        const bool alias_like =
            (alias.kind == Kind::kWord && !tsql::IsKeyword(Lower(alias.text))) ||
            alias.kind == Kind::kQuoted || alias.kind == Kind::kString;
        const bool operand_like = IsName(before) || before.kind == Kind::kNumber ||
                                  before.kind == Kind::kString || before.kind == Kind::kOpen;
        if (alias_like && operand_like) continue;
      }
      Add(table, columns[c], first, value_end);
    }
  }

  void ReadUpdate() {
    std::size_t k = 1;
    if (Has(k) && IsWord(At(k), "top")) k += 2;
    const std::optional<std::string> table = ReadName(&k);
    if (!table || !Has(k) || !IsWord(At(k), "set")) return;
    for (++k; Has(k);) {
      const std::optional<std::string> column = ReadName(&k);
      if (!column || !Has(k) || At(k).text != "=") return;
      const std::size_t first = level_[k] + 1;
      std::size_t m = ++k;
      while (Has(m) && At(m).text != "," && !IsWord(At(m), "from") && !IsWord(At(m), "where") &&
             !IsWord(At(m), "option") && !IsWord(At(m), "output")) {
        ++m;
      }
      Add(*table, *column, first, Has(m) ? level_[m] : end_);
      if (!Has(m) || At(m).text != ",") return;
      k = m + 1;
    }
  }

  const std::vector<Token>& tokens_;
  const std::vector<std::size_t>& match_;
  const std::size_t end_;
  std::vector<std::size_t> level_;
  std::vector<ColumnAssignment> wraps_;
  std::vector<ImplicitColumnList> lists_;
};

// Reads each statement of the outermost level of tokens and hands its reader
// to found.
template <typename Found>
void ReadStatements(const std::vector<Token>& tokens, Found found) {
  // The closing parenthesis of each opening one (tokens.size() for none).
  std::vector<std::size_t> match(tokens.size(), tokens.size());
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == Kind::kOpen) open.push_back(i);
    if (tokens[i].kind == Kind::kClose && !open.empty()) {
      match[open.back()] = i;
      open.pop_back();
    }
  }
  for (std::size_t begin = 0; begin < tokens.size();) {
    std::size_t end = begin;
    while (end < tokens.size() && !(tokens[end].kind == Kind::kOp && tokens[end].text == ";")) {
      if (tokens[end].kind == Kind::kOpen && match[end] < tokens.size()) end = match[end];
      ++end;
    }
    StatementReader reader(tokens, match, begin, end);
    reader.Read();
    found(reader);
    begin = end + 1;
  }
}

}  // namespace

std::vector<ColumnAssignment> FindColumnAssignments(const std::vector<Token>& tokens) {
  std::vector<ColumnAssignment> assignments;
  ReadStatements(tokens, [&assignments](const StatementReader& reader) {
    assignments.insert(assignments.end(), reader.wraps().begin(), reader.wraps().end());
  });
  return assignments;
}

std::vector<ImplicitColumnList> FindImplicitColumnLists(const std::vector<Token>& tokens) {
  std::vector<ImplicitColumnList> lists;
  ReadStatements(tokens, [&lists](const StatementReader& reader) {
    lists.insert(lists.end(), reader.lists().begin(), reader.lists().end());
  });
  return lists;
}

}  // namespace migprof::tsql
