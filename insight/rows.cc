#include "insight/rows.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "component/sql_text.h"
#include "migprof/com_error.h"
#include "migprof/data_source.h"

namespace migprof::insight {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument("binary value with a character other than a hex digit");
}

}  // namespace

std::shared_ptr<ado::Connection> Connect(const DataSource& source) {
  return OpenDataSource(source, kComponentTimeouts);
}

void InsertRows(ado::Connection& connection, const TableInfo& table, const std::vector<Row>& rows) {
  std::shared_ptr<ado::Recordset> insert = ado::Recordset::Create();
  insert->Open(SelectAll(table, " where 1 = 0"), connection.shared_from_this(), ado::adOpenDynamic,
               ado::adLockOptimistic, ado::adCmdUnspecified);
  ado::Fields fields = insert->Fields();
  for (const Row& row : rows) {
    insert->AddNew();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (!row[i].IsNull() && !row[i].IsEmpty()) {
        fields.Item(static_cast<Integer>(i)).Value(row[i]);
      }
    }
    insert->Update();
  }
  insert->Close();
}

namespace {

// SyncRows without its fallback: nullopt when more than a quarter of the
// rows differ (some may have been written by then).
std::optional<long> SyncInPlace(ado::Connection& to, const TableInfo& table,
                                const std::vector<Row>& rows) {
  const long most = static_cast<long>(rows.size() / 4);
  std::shared_ptr<ado::Recordset> kept = ado::Recordset::Create();
  kept->Open(SelectAll(table, " order by rowkey"), to.shared_from_this(), ado::adOpenDynamic,
             ado::adLockOptimistic, ado::adCmdUnspecified);
  ado::Fields fields = kept->Fields();
  const long count = fields.Count();
  long written = 0;
  std::size_t place = 0;
  for (; !kept->EndOfFile(); kept->MoveNext(), ++place) {
    if (place >= rows.size()) {
      kept->Delete();
      ++written;
      continue;
    }
    const Row& row = rows[place];
    bool same = static_cast<long>(row.size()) == count;
    for (long i = 0; same && i < count; ++i) {
      const Variant value = fields.Item(static_cast<Integer>(i)).Value();
      // Null and Empty alike stand for a database null.
      const bool null = value.IsNull() || value.IsEmpty();
      const bool row_null = row[i].IsNull() || row[i].IsEmpty();
      same = null ? row_null : !row_null && value == row[i];
    }
    if (same) continue;
    if (++written > most) return std::nullopt;
    for (long i = 0; i < count; ++i) {
      const Variant& value = row[i];
      fields.Item(static_cast<Integer>(i))
          .Value(value.IsNull() || value.IsEmpty() ? Variant::Null() : value);
    }
    kept->Update();
  }
  kept->Close();
  if (place == 0) {
    InsertRows(to, table, rows);
  } else if (place < rows.size()) {
    InsertRows(to, table, std::vector<Row>(rows.begin() + static_cast<long>(place), rows.end()));
  }
  return written + static_cast<long>(rows.size() - std::min(place, rows.size()));
}

}  // namespace

long SyncRows(ado::Connection& to, const TableInfo& table, const std::vector<Row>& rows) {
  try {
    if (std::optional<long> written = SyncInPlace(to, table, rows)) return *written;
  } catch (const ComError&) {
    // A row moved to another place takes a key (a profile's number) that
    // the row still there holds, and the table's unique index refuses it.
  }
  to.Execute("delete from " + table.name);
  InsertRows(to, table, rows);
  return static_cast<long>(rows.size());
}

void CopyTableRows(ado::Connection& from, ado::Connection& to, const TableInfo& table,
                   const String& where) {
  const std::vector<Row> rows = ReadRows(from, SelectAll(table, where));
  if (!rows.empty()) InsertRows(to, table, rows);
}

String TextOf(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? String() : value.ToString();
}

std::vector<Row> ReadRows(ado::Connection& connection, const String& sql) {
  std::shared_ptr<ado::Recordset> rs = connection.Execute(sql);
  std::vector<Row> rows;
  ado::Fields fields = rs->Fields();
  const long count = fields.Count();
  while (!rs->EndOfFile()) {
    Row row;
    row.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) row.push_back(fields.Item(static_cast<Integer>(i)).Value());
    rows.push_back(std::move(row));
    rs->MoveNext();
  }
  rs->Close();
  return rows;
}

String SelectAll(const TableInfo& table, const String& tail) {
  return "select " + ColumnList(table) + " from " + table.name + tail;
}

String WhereProfile(Integer mprf) { return " where mprf = " + SqlNumber(mprf); }

String AndVrc(const String& vers, const String& rele, const String& cust) {
  return " and vers = '" + SqlText(vers) + "' and rele = '" + SqlText(rele) + "' and cust = '" +
         SqlText(cust) + "'";
}

Json ValueJson(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      return nullptr;
    case Variant::Type::kInteger:
      return value.AsInteger();
    case Variant::Type::kLong:
      return value.AsLong();
    case Variant::Type::kDouble: {
      double d = value.AsDouble();
      if (std::trunc(d) == d && std::fabs(d) < 9e15) return static_cast<long long>(d);
      return d;
    }
    case Variant::Type::kString:
      return value.AsString();
    case Variant::Type::kBinary: {
      static constexpr char kDigits[] = "0123456789abcdef";
      std::string hex;
      hex.reserve(value.AsBinary().size() * 2);
      for (std::uint8_t byte : value.AsBinary()) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xf];
      }
      return Json{{"binary", hex}};
    }
    case Variant::Type::kDate:
      return value.AsDate().ToString();
  }
  return nullptr;
}

Variant ValueFromJson(const Json& value) {
  if (value.is_null()) return Variant::Null();
  if (value.is_string()) return Variant(value.get<std::string>());
  if (value.is_number_integer()) {
    long long n = value.get<long long>();
    if (n >= std::numeric_limits<Long>::min() && n <= std::numeric_limits<Long>::max()) {
      return Variant(static_cast<Long>(n));
    }
    return Variant(static_cast<Double>(n));
  }
  if (value.is_number_float()) return Variant(value.get<double>());
  if (value.is_object() && value.size() == 1 && value.contains("binary") &&
      value["binary"].is_string()) {
    const std::string& hex = value["binary"].get_ref<const std::string&>();
    if (hex.size() % 2 != 0) throw std::invalid_argument("binary value of odd length");
    Binary bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      bytes.push_back(static_cast<std::uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
    }
    return Variant(std::move(bytes));
  }
  throw std::invalid_argument("value " + value.dump() + " is not a column value");
}

Json RowJson(const std::vector<std::string>& columns, const Row& row) {
  Json object = Json::object();
  for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
    object[columns[i]] = ValueJson(row[i]);
  }
  return object;
}

}  // namespace migprof::insight
