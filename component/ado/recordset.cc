#include <algorithm>
#include <cctype>

#include "component/ado/observer.h"
#include "component/ado/session.h"
#include "migprof/ado.h"

namespace migprof::ado {
namespace {

bool EqualsIgnoreCase(const String& a, const String& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The table a row change goes to: the first name after the keyword "from"
// (outside quoted text) of the recordset's source statement.
String SourceTable(const String& sql) {
  bool quoted = false;
  for (std::size_t i = 0; i + 4 <= sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if ((i > 0 && IsWordChar(sql[i - 1])) || !EqualsIgnoreCase(sql.substr(i, 4), "from")) continue;
    std::size_t j = i + 4;
    if (j < sql.size() && IsWordChar(sql[j])) continue;
    while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
    std::size_t start = j;
    while (j < sql.size() && (IsWordChar(sql[j]) || sql[j] == '.')) ++j;
    return sql.substr(start, j - start);
  }
  return "";
}

[[noreturn]] void RaiseNoCurrentRecord() {
  throw ComError(errc::kNoCurrentRecord, errtext::kNoCurrentRecord);
}

}  // namespace

std::shared_ptr<Recordset> Recordset::Create() {
  return std::shared_ptr<Recordset>(new Recordset());
}

Recordset::~Recordset() = default;

std::shared_ptr<Recordset> Recordset::FromRows(std::shared_ptr<Connection> connection,
                                               const String& source, std::vector<String> columns,
                                               std::vector<std::vector<Variant>> rows) {
  std::shared_ptr<Recordset> rs = Create();
  rs->connection_ = std::move(connection);
  rs->source_ = source;
  rs->columns_ = std::move(columns);
  rs->rows_ = std::move(rows);
  rs->deleted_.assign(rs->rows_.size(), false);
  rs->fetched_ = true;
  rs->open_ = true;
  return rs;
}

void Recordset::ActiveConnection(std::shared_ptr<Connection> connection) {
  if (open_) throw ComError(errc::kObjectOpen, errtext::kObjectOpen);
  connection_ = std::move(connection);
}

void Recordset::Open(const String& source, std::shared_ptr<Connection> active_connection,
                     long cursor_type, long lock_type, long /*options*/) {
  if (open_) throw ComError(errc::kObjectOpen, errtext::kObjectOpen);
  if (active_connection) connection_ = std::move(active_connection);
  if (cursor_type != adOpenUnspecified) cursor_type_ = cursor_type;
  if (lock_type != adLockUnspecified) lock_type_ = lock_type;
  source_ = source;
  detail::NotifyStatement(source_);
  if (!connection_ || connection_->State() != adStateOpen) {
    throw ComError(errc::kConnectionInvalid, errtext::kConnectionInvalid);
  }
  detail::Session& session = connection_->session();
  columns_ = session.Describe(source_);
  rows_.clear();
  deleted_.clear();
  position_ = 0;
  adding_ = false;
  pending_.clear();
  if (columns_.empty()) {
    // A statement without rows runs now and leaves the recordset closed.
    session.Run(source_);
    return;
  }
  fetched_ = false;
  open_ = true;
}

void Recordset::Open() { Open(source_, nullptr, adOpenUnspecified, adLockUnspecified); }

void Recordset::Close() {
  RequireOpen();
  open_ = false;
  fetched_ = false;
  adding_ = false;
  pending_.clear();
  rows_.clear();
  deleted_.clear();
  columns_.clear();
}

void Recordset::RequireOpen() const {
  if (!open_) throw ComError(errc::kObjectClosed, errtext::kObjectClosed);
}

// Rows are read on first use rather than at Open: a recordset opened only to
// add rows never reads the table.
void Recordset::Fetch() {
  if (fetched_) return;
  detail::ResultRows result = connection_->session().Run(source_);
  rows_ = std::move(result.rows);
  deleted_.assign(rows_.size(), false);
  position_ = 0;
  fetched_ = true;
}

bool Recordset::BOF() {
  RequireOpen();
  Fetch();
  return rows_.empty();
}

bool Recordset::EndOfFile() {
  RequireOpen();
  Fetch();
  return position_ >= rows_.size();
}

void Recordset::MoveFirst() {
  RequireOpen();
  Fetch();
  if (rows_.empty()) RaiseNoCurrentRecord();
  if (adding_ || !pending_.empty()) Update();
  position_ = 0;
}

void Recordset::MoveNext() {
  RequireOpen();
  Fetch();
  if (adding_ || !pending_.empty()) Update();
  if (position_ >= rows_.size()) RaiseNoCurrentRecord();
  ++position_;
}

long Recordset::RecordCount() {
  RequireOpen();
  Fetch();
  return static_cast<long>(std::count(deleted_.begin(), deleted_.end(), false));
}

bool Recordset::HasCurrentRow() {
  Fetch();
  return position_ < rows_.size() && !deleted_[position_];
}

int Recordset::ColumnIndex(const String& name) const {
  RequireOpen();
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsIgnoreCase(columns_[i], name)) return static_cast<int>(i);
  }
  throw ComError(errc::kItemNotFound, errtext::kItemNotFound);
}

Variant Recordset::ReadField(int index) {
  RequireOpen();
  auto pending = pending_.find(index);
  if (adding_) return pending != pending_.end() ? pending->second : Variant::Null();
  if (!HasCurrentRow()) RaiseNoCurrentRecord();
  if (pending != pending_.end()) return pending->second;
  return rows_[position_][static_cast<std::size_t>(index)];
}

void Recordset::WriteField(int index, const Variant& value) {
  RequireOpen();
  if (!adding_ && !HasCurrentRow()) RaiseNoCurrentRecord();
  // Writing Empty into a field stores a database null.
  pending_[index] = value.IsEmpty() ? Variant::Null() : value;
}

void Recordset::AddNew() {
  RequireOpen();
  if (adding_ || !pending_.empty()) Update();
  adding_ = true;
  pending_.clear();
}

void Recordset::Update() {
  RequireOpen();
  detail::Session& session = connection_->session();
  String table = SourceTable(source_);
  if (adding_) {
    std::vector<String> columns;
    std::vector<Variant> values;
    for (const auto& [index, value] : pending_) {
      columns.push_back(columns_[static_cast<std::size_t>(index)]);
      values.push_back(value);
    }
    session.InsertRow(table, columns, values);
    adding_ = false;
    if (fetched_) {
      std::vector<Variant> row(columns_.size(), Variant::Null());
      for (const auto& [index, value] : pending_) row[static_cast<std::size_t>(index)] = value;
      rows_.push_back(std::move(row));
      deleted_.push_back(false);
      position_ = rows_.size() - 1;
    }
    pending_.clear();
    return;
  }
  if (pending_.empty()) return;
  if (!HasCurrentRow()) RaiseNoCurrentRecord();
  std::vector<String> set_columns;
  std::vector<Variant> set_values;
  for (const auto& [index, value] : pending_) {
    set_columns.push_back(columns_[static_cast<std::size_t>(index)]);
    set_values.push_back(value);
  }
  session.UpdateRow(table, columns_, rows_[position_], set_columns, set_values);
  for (const auto& [index, value] : pending_)
    rows_[position_][static_cast<std::size_t>(index)] = value;
  pending_.clear();
}

void Recordset::Delete(long affect) {
  RequireOpen();
  if (affect != adAffectCurrent) throw ComError(errc::kInvalidArgument, errtext::kInvalidArgument);
  if (adding_) {
    // Deleting a row that is being added only abandons it.
    adding_ = false;
    pending_.clear();
    return;
  }
  if (!HasCurrentRow()) RaiseNoCurrentRecord();
  pending_.clear();
  connection_->session().DeleteRow(SourceTable(source_), columns_, rows_[position_]);
  deleted_[position_] = true;
}

// Fields and Field.

long Fields::Count() const {
  owner_->RequireOpen();
  return static_cast<long>(owner_->columns_.size());
}

Field Fields::Item(Integer position) const {
  owner_->RequireOpen();
  if (position < 0 || static_cast<std::size_t>(position) >= owner_->columns_.size()) {
    throw ComError(errc::kItemNotFound, errtext::kItemNotFound);
  }
  return Field(owner_, position);
}

Field Fields::Item(const String& name) const { return Field(owner_, owner_->ColumnIndex(name)); }

const String& Field::Name() const { return owner_->columns_.at(static_cast<std::size_t>(index_)); }

Variant Field::Value() const { return owner_->ReadField(index_); }

void Field::Value(const Variant& value) { owner_->WriteField(index_, value); }

}  // namespace migprof::ado
