// The collation and SQL functions that give the embedded database SQL
// Server's answers; Register() installs them on a connection.
#include <algorithm>
#include <bit>
#include <bitset>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "component/sql/tsql_lexer.h"
#include "component/sqlite/dialect.h"
#include "component/sqlite/sqlite_values.h"
#include "component/text/cp1252.h"

namespace migprof::sqlite_dialect {
namespace {

using tsql::IsBlank;
using tsql::IsDigit;

constexpr sqlite3_int64 kDefaultCastLength = 30;  // CAST without a length.

// The value as varchar bytes: text through cp1252, a blob as it is, a number
// as its decimal text.
std::string Cp1252Of(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_BLOB) return std::string(BlobOf(v));
  return text::Utf8ToCp1252(TextOf(v));
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int k = 0; k < argc; ++k) {
    if (sqlite3_value_type(argv[k]) == SQLITE_NULL) return true;
  }
  return false;
}

// The optional length argument; false, with the error set, when it is below 1.
bool ReadLength(sqlite3_context* ctx, int argc, sqlite3_value** argv, std::size_t* length) {
  sqlite3_int64 n = kDefaultCastLength;
  if (argc > 1) n = sqlite3_value_int64(argv[1]);
  if (n < 1) {
    sqlite3_result_error(ctx, "invalid length in a varchar or varbinary cast", -1);
    return false;
  }
  *length = static_cast<std::size_t>(n);
  return true;
}

// A number cut to its last `length` bytes; string types are cut on the right.
std::string_view LastBytes(std::string_view bytes, std::size_t length) {
  return bytes.substr(bytes.size() - std::min(length, bytes.size()));
}

// Binary to int the way SQL Server converts varbinary: the last 4 bytes,
// big-endian, a shorter value padded with zero bytes on the left.
sqlite3_int64 BlobToInt(std::string_view bytes) {
  std::uint32_t u = 0;
  for (char c : LastBytes(bytes, 4)) u = (u << 8) | static_cast<unsigned char>(c);
  return static_cast<std::int32_t>(u);
}

void VarbinaryOf(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool number_as_bytes) {
  std::size_t length = 0;
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  if (!ReadLength(ctx, argc, argv, &length)) return;
  sqlite3_value* v = argv[0];
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT:
      ResultBlob(ctx, std::string_view(text::Utf8ToCp1252(TextOf(v))).substr(0, length));
      return;
    case SQLITE_BLOB:
      ResultBlob(ctx, BlobOf(v).substr(0, length));
      return;
    default:
      break;
  }
  const std::string bytes = NumberBytes(v);
  if (number_as_bytes) {
    ResultBlob(ctx, LastBytes(bytes, length));
  } else if (length >= bytes.size()) {
    sqlite3_result_value(ctx, v);
  } else if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    // What the cut bytes are worth once converted back to int.
    sqlite3_int64 value = 0;
    for (char c : LastBytes(bytes, length)) value = (value << 8) | static_cast<unsigned char>(c);
    sqlite3_result_int64(ctx, value);
  } else {
    ResultBlob(ctx, LastBytes(bytes, length));
  }
}

// cast(<number> as varbinary) keeps the number. SQL Server would make the
// big-endian bytes, but int outranks varbinary, so wherever those bytes meet
// an int column (=, IN, SET, VALUES) they are converted straight back to the
// same int; SQLite instead never finds an INTEGER equal to a BLOB, and would
// store the blob in an INTEGER column. Keeping the number gives SQL Server's
// answer in all those places. Only a result column shows the difference,
// which is why Translate() calls mssql_varbinary_bytes in the select list of
// a top-level SELECT.
void MssqlVarbinary(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  VarbinaryOf(ctx, argc, argv, false);
}

void MssqlVarbinaryBytes(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  VarbinaryOf(ctx, argc, argv, true);
}

void MssqlVarchar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::size_t length = 0;
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  if (!ReadLength(ctx, argc, argv, &length)) return;
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    // SQL Server shows a number too long for the target as "*".
    const std::string digits(TextOf(v));
    ResultText(ctx, digits.size() > length ? "*" : digits);
    return;
  }
  ResultText(ctx, text::Cp1252ToUtf8(std::string_view(Cp1252Of(v)).substr(0, length)));
}

struct Number {
  bool is_int = true;
  sqlite3_int64 i = 0;
  double d = 0;
  double AsDouble() const { return is_int ? static_cast<double>(i) : d; }
};

// Text converted for arithmetic as SQL Server converts varchar: blanks
// around the digits are allowed and an empty text is 0.
bool ParseNumber(std::string_view s, Number* out) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  *out = Number{};
  if (s.empty()) return true;
  std::string_view digits = s;
  if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
  if (!digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit)) {
    const std::string_view unsigned_part = s.front() == '+' ? digits : s;
    const auto [ptr, ec] =
        std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), out->i);
    if (ec == std::errc()) return true;
  }
  if (s.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return false;
  const std::string copy(s);
  char* end = nullptr;
  out->is_int = false;
  out->d = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size();
}

bool NumberOf(sqlite3_value* v, Number* out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      *out = Number{true, sqlite3_value_int64(v), 0};
      return true;
    case SQLITE_FLOAT:
      *out = Number{false, 0, sqlite3_value_double(v)};
      return true;
    case SQLITE_BLOB:
      *out = Number{true, BlobToInt(BlobOf(v)), 0};
      return true;
    default:
      return ParseNumber(TextOf(v), out);
  }
}

void MssqlAdd(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  if (AnyNull(2, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  const int ta = sqlite3_value_type(argv[0]);
  const int tb = sqlite3_value_type(argv[1]);
  const auto is_string = [](int t) { return t == SQLITE_TEXT || t == SQLITE_BLOB; };
  if (is_string(ta) && is_string(tb)) {
    if (ta == SQLITE_BLOB && tb == SQLITE_BLOB) {
      ResultBlob(ctx, std::string(BlobOf(argv[0])) + std::string(BlobOf(argv[1])));
    } else {
      // varchar outranks varbinary: a blob operand is read as cp1252 text.
      const auto utf8 = [](sqlite3_value* v) {
        return sqlite3_value_type(v) == SQLITE_BLOB ? text::Cp1252ToUtf8(BlobOf(v))
                                                    : std::string(TextOf(v));
      };
      ResultText(ctx, utf8(argv[0]) + utf8(argv[1]));
    }
    return;
  }
  Number a;
  Number b;
  for (int k = 0; k < 2; ++k) {
    if (!NumberOf(argv[k], k == 0 ? &a : &b)) {
      const std::string message = "Conversion failed when converting the varchar value '" +
                                  std::string(TextOf(argv[k])) + "' to data type int.";
      sqlite3_result_error(ctx, message.c_str(), -1);
      return;
    }
  }
  if (!a.is_int || !b.is_int) {
    sqlite3_result_double(ctx, a.AsDouble() + b.AsDouble());
    return;
  }
  sqlite3_int64 sum = 0;
  const bool int_operands = FitsInt32(a.i) && FitsInt32(b.i);
  if (__builtin_add_overflow(a.i, b.i, &sum) || (int_operands && !FitsInt32(sum))) {
    sqlite3_result_error(ctx,
                         int_operands
                             ? "Arithmetic overflow error converting expression to data type int."
                             : "Arithmetic overflow error converting expression to data type "
                               "bigint.",
                         -1);
    return;
  }
  sqlite3_result_int64(ctx, sum);
}

// mssql_single_value(e): the value of a compared subquery's one row, NULL
// without rows, an error like SQL Server's on a second row.
struct SingleValue {
  sqlite3_value* value;
  sqlite3_int64 rows;
};

void SingleValueStep(sqlite3_context* ctx, int /*argc*/, sqlite3_value** argv) {
  auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, sizeof(SingleValue)));
  if (state == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (++state->rows > 1) {
    sqlite3_result_error(ctx,
                         "Subquery returned more than 1 value. This is not permitted when the "
                         "subquery follows =, !=, <, <= , >, >= or when the subquery is used as "
                         "an expression.",
                         -1);
    return;
  }
  state->value = sqlite3_value_dup(argv[0]);
  if (state->value == nullptr) sqlite3_result_error_nomem(ctx);
}

void SingleValueFinal(sqlite3_context* ctx) {
  auto* state = static_cast<SingleValue*>(sqlite3_aggregate_context(ctx, 0));
  if (state == nullptr || state->value == nullptr) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_value(ctx, state->value);
  sqlite3_value_free(state->value);
  state->value = nullptr;
}

// One element of a LIKE pattern; sets hold folded bytes.
struct PatternElement {
  enum class Type { kAnyRun, kAnyOne, kSet } type;
  std::bitset<256> set;
  bool negated = false;

  bool Matches(unsigned char c) const {
    return type == Type::kAnyOne || (set.test(text::UpperCp1252(c)) != negated);
  }
};

std::vector<PatternElement> CompilePattern(std::string_view p, int escape) {
  using Type = PatternElement::Type;
  std::vector<PatternElement> out;
  const auto literal = [&out](unsigned char c) {
    PatternElement e{Type::kSet, {}, false};
    e.set.set(text::UpperCp1252(c));
    out.push_back(e);
  };
  for (std::size_t i = 0; i < p.size(); ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (escape >= 0 && c == escape) {
      literal(static_cast<unsigned char>(i + 1 < p.size() ? p[++i] : p[i]));
    } else if (c == '%') {
      if (out.empty() || out.back().type != Type::kAnyRun) out.push_back({Type::kAnyRun, {}});
    } else if (c == '_') {
      out.push_back({Type::kAnyOne, {}});
    } else if (c == '[') {
      // [abc], [^abc], [a-f]; a range holds a byte when the byte or its case
      // partner lies between the ends. ']' right after '[' or '[^' is a member.
      // A '[' without its ']' is an ordinary character.
      PatternElement e{Type::kSet, {}, false};
      std::size_t k = i + 1;
      if (k < p.size() && p[k] == '^') {
        e.negated = true;
        ++k;
      }
      const std::size_t close = k < p.size() ? p.find(']', k + 1) : std::string_view::npos;
      if (close == std::string_view::npos) {
        literal(c);
        continue;
      }
      for (; k < close; ++k) {
        const auto lo = static_cast<unsigned char>(p[k]);
        if (k + 2 < close && p[k + 1] == '-') {
          const auto hi = static_cast<unsigned char>(p[k + 2]);
          for (unsigned b = lo; b <= hi; ++b) e.set.set(text::UpperCp1252(b));
          k += 2;
        } else {
          e.set.set(text::UpperCp1252(lo));
        }
      }
      out.push_back(e);
      i = close;
    } else {
      literal(c);
    }
  }
  return out;
}

// Wildcard match with one backtracking point, enough because every element
// but '%' consumes exactly one byte.
bool LikeMatch(const std::vector<PatternElement>& pattern, std::string_view value) {
  using Type = PatternElement::Type;
  std::size_t p = 0;
  std::size_t v = 0;
  std::size_t star = std::string::npos;
  std::size_t resume = 0;
  while (v < value.size()) {
    if (p < pattern.size() && pattern[p].type == Type::kAnyRun) {
      star = p++;
      resume = v;
    } else if (p < pattern.size() && pattern[p].Matches(static_cast<unsigned char>(value[v]))) {
      ++p;
      ++v;
    } else if (star != std::string::npos) {
      p = star + 1;
      v = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p].type == Type::kAnyRun) ++p;
  return p == pattern.size();
}

// like(pattern, value[, escape]), called by SQLite for "value LIKE pattern".
void MssqlLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) {
    sqlite3_result_null(ctx);
    return;
  }
  int escape = -1;
  if (argc == 3) {
    const std::string e = Cp1252Of(argv[2]);
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
    escape = static_cast<unsigned char>(e[0]);
  }
  std::string value = Cp1252Of(argv[1]);
  value.erase(value.find_last_not_of(' ') + 1);
  sqlite3_result_int(ctx, LikeMatch(CompilePattern(Cp1252Of(argv[0]), escape), value) ? 1 : 0);
}

std::string_view TrimTrailingBlanks(const void* p, int n) {
  std::string_view s(static_cast<const char*>(p), static_cast<std::size_t>(n));
  // 0x20 never occurs inside a multi-byte UTF-8 character, so trimming the
  // UTF-8 text trims the cp1252 text.
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Orders texts by their folded cp1252 bytes after trailing blanks. Every
// result derives from comparing those byte sequences, so the order is total
// and consistent, as SQLite requires. A run of equal ASCII bytes at the start
// folds to equal bytes and is passed over at once: the keys of an index
// mostly share their leading columns whole.
int CompareSqlServer(void* /*arg*/, int n1, const void* p1, int n2, const void* p2) {
  const std::string_view a = TrimTrailingBlanks(p1, n1);
  const std::string_view b = TrimTrailingBlanks(p2, n2);
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t same = 0;
  while (same < common && a[same] == b[same] && static_cast<unsigned char>(a[same]) < 0x80) {
    ++same;
  }
  std::size_t i = same;
  std::size_t j = same;
  while (i < a.size() && j < b.size()) {
    const unsigned char x = text::UpperCp1252(text::NextCp1252Byte(a, &i));
    const unsigned char y = text::UpperCp1252(text::NextCp1252Byte(b, &j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

void Register(sqlite3* db) {
  Check(db,
        sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, CompareSqlServer,
                                    nullptr),
        kCollationName);
  for (int args : {1, 2}) {
    AddFunction(db, "mssql_varbinary", args, MssqlVarbinary);
    AddFunction(db, "mssql_varbinary_bytes", args, MssqlVarbinaryBytes);
    AddFunction(db, "mssql_varchar", args, MssqlVarchar);
  }
  AddFunction(db, "mssql_add", 2, MssqlAdd);
  Check(db,
        sqlite3_create_function_v2(db, "mssql_single_value", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, nullptr, SingleValueStep, SingleValueFinal, nullptr),
        "mssql_single_value");
  AddFunction(db, "like", 2, MssqlLike);
  AddFunction(db, "like", 3, MssqlLike);
  RegisterColumnFunctions(db);
}

}  // namespace migprof::sqlite_dialect
