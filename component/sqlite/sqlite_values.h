// What the dialect's SQL functions share: reading their arguments, setting
// their results, and registering them.
#ifndef MIGPROF_COMPONENT_SQLITE_SQLITE_VALUES_H_
#define MIGPROF_COMPONENT_SQLITE_SQLITE_VALUES_H_

#include <bit>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "component/sqlite/sqlite_api.h"

namespace migprof::sqlite_dialect {

inline std::string_view TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return {p, static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

inline std::string_view BlobOf(sqlite3_value* v) {
  const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
  return {p, static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

inline bool FitsInt32(sqlite3_int64 v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

// SQL Server's binary form of a number: big-endian, 4 bytes for an int, 8 for
// a bigint or a float.
inline std::string NumberBytes(sqlite3_value* v) {
  std::uint64_t bits = 0;
  int width = 8;
  if (sqlite3_value_type(v) == SQLITE_FLOAT) {
    bits = std::bit_cast<std::uint64_t>(sqlite3_value_double(v));
  } else {
    const sqlite3_int64 i = sqlite3_value_int64(v);
    bits = static_cast<std::uint64_t>(i);
    if (FitsInt32(i)) width = 4;
  }
  std::string out(static_cast<std::size_t>(width), '\0');
  for (int k = width - 1; k >= 0; --k, bits >>= 8) out[k] = static_cast<char>(bits & 0xFF);
  return out;
}

inline void ResultBlob(sqlite3_context* ctx, std::string_view bytes) {
  // A NULL pointer would make the result NULL instead of an empty blob.
  if (bytes.empty()) {
    sqlite3_result_zeroblob(ctx, 0);
  } else {
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  }
}

inline void ResultText(sqlite3_context* ctx, const std::string& utf8) {
  // Explicit length: a varchar may hold a 0 byte.
  sqlite3_result_text64(ctx, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

inline void ResultError(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

// Throws std::runtime_error when SQLite refuses a registration.
inline void Check(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK) {
    throw std::runtime_error(std::string("cannot register ") + what + ": " + sqlite3_errmsg(db));
  }
}

using SqlFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

inline void AddFunction(sqlite3* db, const char* name, int args, SqlFunction fn) {
  Check(db,
        sqlite3_create_function_v2(db, name, args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, fn,
                                   nullptr, nullptr, nullptr),
        name);
}

}  // namespace migprof::sqlite_dialect

#endif  // MIGPROF_COMPONENT_SQLITE_SQLITE_VALUES_H_
