#include "configmgt/snapshot.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>

namespace migprof::configmgt {
namespace {

[[noreturn]] void Malformed() { throw ComError(errc::kTypeMismatch, errtext::kTypeMismatch); }

String Escape(const String& text) {
  String out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

String Unescape(const String& text) {
  String out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) Malformed();
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        Malformed();
    }
  }
  return out;
}

String Hex(const Binary& bytes) {
  static const char* kDigits = "0123456789abcdef";
  String out;
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

Binary FromHex(const String& text) {
  if (text.size() % 2 != 0) Malformed();
  Binary out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    long byte = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0') Malformed();
    out.push_back(static_cast<std::uint8_t>(byte));
  }
  return out;
}

// A type letter and the value's text.
String EncodeValue(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
      return "e";
    case Variant::Type::kNull:
      return "~";
    case Variant::Type::kInteger:
      return "i" + std::to_string(value.AsInteger());
    case Variant::Type::kLong:
      return "l" + std::to_string(value.AsLong());
    case Variant::Type::kDouble: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.AsDouble());
      return String("d") + buffer;
    }
    case Variant::Type::kString:
      return "s" + Escape(value.AsString());
    case Variant::Type::kBinary:
      return "b" + Hex(value.AsBinary());
    case Variant::Type::kDate:
      return "t" + value.AsDate().ToString();
  }
  Malformed();
}

long long WholeNumber(const String& text) {
  char* end = nullptr;
  long long number = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') Malformed();
  return number;
}

Variant DecodeValue(const String& text) {
  if (text.empty()) Malformed();
  const String payload = text.substr(1);
  switch (text[0]) {
    case 'e':
      return Variant();
    case '~':
      return Variant::Null();
    case 'i':
      return Variant(static_cast<Integer>(WholeNumber(payload)));
    case 'l':
      return Variant(static_cast<Long>(WholeNumber(payload)));
    case 'd':
      return Variant(std::strtod(payload.c_str(), nullptr));
    case 's':
      return Variant(Unescape(payload));
    case 'b':
      return Variant(FromHex(payload));
    case 't': {
      DateTime date;
      if (std::sscanf(payload.c_str(), "%d-%d-%d %d:%d:%d", &date.year, &date.month, &date.day,
                      &date.hour, &date.minute, &date.second) != 6) {
        Malformed();
      }
      return Variant(date);
    }
  }
  Malformed();
}

}  // namespace

std::optional<Variant> StoredRow::Get(const String& column) const {
  for (const auto& [name, value] : values) {
    if (strcasecmp(name.c_str(), column.c_str()) == 0) return value;
  }
  return std::nullopt;
}

String EncodeSnapshot(const Snapshot& rows) {
  String out;
  for (const StoredRow& row : rows) {
    out += Escape(row.table);
    for (const auto& [name, value] : row.values) {
      out += "\t" + Escape(name) + "=" + EncodeValue(value);
    }
    out += "\n";
  }
  return out;
}

Snapshot DecodeSnapshot(const String& text) {
  Snapshot rows;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) Malformed();
    const String line = text.substr(start, end - start);
    start = end + 1;
    std::vector<String> parts;
    for (std::size_t from = 0;;) {
      std::size_t tab = line.find('\t', from);
      parts.push_back(line.substr(from, tab == std::string::npos ? String::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    StoredRow row{Unescape(parts[0]), {}};
    for (std::size_t i = 1; i < parts.size(); ++i) {
      std::size_t equals = parts[i].find('=');
      if (equals == std::string::npos) Malformed();
      row.values.emplace_back(Unescape(parts[i].substr(0, equals)),
                              DecodeValue(parts[i].substr(equals + 1)));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

Snapshot ReadRows(const std::shared_ptr<ado::Connection>& connection, const String& table,
                  const String& condition, const String& order) {
  auto rs = ado::Recordset::Create();
  rs->Open("select * from " + table + condition + order, connection, ado::adOpenStatic,
           ado::adLockReadOnly);
  Snapshot rows;
  while (!rs->EndOfFile()) {
    StoredRow row{table, {}};
    ado::Fields fields = rs->Fields();
    for (long i = 0; i < fields.Count(); ++i) {
      ado::Field field = fields.Item(static_cast<Integer>(i));
      row.values.emplace_back(field.Name(), field.Value());
    }
    rows.push_back(std::move(row));
    rs->MoveNext();
  }
  rs->Close();
  return rows;
}

void ReplaceRows(const std::shared_ptr<ado::Connection>& connection, const String& table,
                 const String& condition, const Snapshot& rows) {
  connection->Execute("delete from " + table + condition);
  auto rs = ado::Recordset::Create();
  rs->Open("select * from " + table + condition, connection, ado::adOpenDynamic,
           ado::adLockOptimistic);
  for (const StoredRow& row : rows) {
    if (row.table != table) continue;
    rs->AddNew();
    for (const auto& [name, value] : row.values) {
      if (!value.IsEmpty()) rs->Fields().Item(name).Value(value);
    }
    rs->Update();
  }
  rs->Close();
}

std::optional<String> DisplayText(const Variant& value) {
  if (value.IsNull()) return std::nullopt;
  if (value.type() == Variant::Type::kBinary) return Hex(value.AsBinary());
  return value.ToString();
}

}  // namespace migprof::configmgt
