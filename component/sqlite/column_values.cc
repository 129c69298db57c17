#include "component/sqlite/column_values.h"

#include <string_view>

#include "component/sql/column_assignments.h"
#include "component/sql/column_types.h"
#include "component/sqlite/dialect.h"

namespace migprof::sqlite_dialect {
namespace {

using tsql::ColumnType;
using tsql::Kind;
using tsql::Token;

// The column function for a type, or null for a type not checked.
const char* FunctionFor(const ColumnType& type) {
  switch (type.kind) {
    case ColumnType::Kind::kInt:
      return kIntColumnFunction;
    case ColumnType::Kind::kVarchar:
      return kVarcharColumnFunction;
    case ColumnType::Kind::kVarbinary:
      return kVarbinaryColumnFunction;
    case ColumnType::Kind::kOther:
      break;
  }
  return nullptr;
}

bool IsDecimal(std::string_view number) {
  return number.find('.') != std::string_view::npos &&
         number.find_first_of("eExX") == std::string_view::npos;
}

}  // namespace

std::string ColumnCall(std::string_view table, std::string_view column, std::string value) {
  const ColumnType* type = tsql::ProfileColumnType(table, column);
  const char* function = type ? FunctionFor(*type) : nullptr;
  if (function == nullptr) return value;
  if (type->kind == ColumnType::Kind::kInt) return std::string(function) + "(" + value + ")";
  return std::string(function) + "(" + value + "," + std::to_string(type->length) + ")";
}

std::vector<Token> AddImplicitColumnLists(const std::vector<Token>& tokens) {
  const std::vector<tsql::ImplicitColumnList> lists = tsql::FindImplicitColumnLists(tokens);
  if (lists.empty()) return tokens;
  std::vector<Token> out;
  std::size_t next = 0;
  for (const tsql::ImplicitColumnList& list : lists) {
    out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(next),
               tokens.begin() + static_cast<std::ptrdiff_t>(list.at));
    out.push_back({Kind::kSpace, " "});
    out.push_back({Kind::kOpen, "("});
    bool first = true;
    for (const tsql::Column& column : *list.columns) {
      if (column.identity) continue;
      if (!first) out.push_back({Kind::kOp, ","});
      out.push_back({Kind::kWord, column.name});
      first = false;
    }
    out.push_back({Kind::kClose, ")"});
    next = list.at;
  }
  out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(next), tokens.end());
  return out;
}

std::vector<Token> WrapColumnValues(const std::vector<Token>& tokens, TokenTexts* texts) {
  const std::vector<tsql::ColumnAssignment> wraps = tsql::FindColumnAssignments(tokens);
  if (wraps.empty()) return tokens;
  std::vector<Token> out;
  out.reserve(tokens.size() + 6 * wraps.size());
  std::size_t next = 0;
  for (const tsql::ColumnAssignment& wrap : wraps) {
    out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(next),
               tokens.begin() + static_cast<std::ptrdiff_t>(wrap.first));
    out.push_back({Kind::kWord, FunctionFor(*wrap.type)});
    out.push_back({Kind::kOpen, "("});
    const Token& only = tokens[wrap.first];
    if (wrap.type->kind == ColumnType::Kind::kVarchar && wrap.last == wrap.first + 1 &&
        only.kind == Kind::kNumber && IsDecimal(only.text)) {
      out.push_back({Kind::kString, texts->emplace_back("'" + std::string(only.text) + "'")});
    } else {
      out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(wrap.first),
                 tokens.begin() + static_cast<std::ptrdiff_t>(wrap.last));
    }
    if (wrap.type->kind != ColumnType::Kind::kInt) {
      out.push_back({Kind::kOp, ","});
      out.push_back({Kind::kNumber, texts->emplace_back(std::to_string(wrap.type->length))});
    }
    out.push_back({Kind::kClose, ")"});
    next = wrap.last;
  }
  out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(next), tokens.end());
  return out;
}

}  // namespace migprof::sqlite_dialect
