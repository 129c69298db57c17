#include <algorithm>

#include "component/ado/observer.h"
#include "component/ado/session.h"
#include "component/ado/surrogate_key.h"
#include "component/sql/row_key_select.h"
#include "component/sql/tsql_lexer.h"
#include "component/text/ascii.h"
#include "migprof/ado.h"

namespace migprof::ado {
namespace {

using text::EqualsIgnoreCase;

[[noreturn]] void RaiseNoCurrentRecord() {
  throw ComError(errc::kNoCurrentRecord, errtext::kNoCurrentRecord);
}

[[noreturn]] void RaiseCannotUpdate(const String& why) { throw ComError(errc::kCannotUpdate, why); }

}  // namespace

namespace detail {

ResultRows Session::RunKeyed(const String& sql, const String& table, const RowKey& key,
                             String& refusal) {
  tsql::RowKeySelect keyed = tsql::AppendRowKey(sql, table, key.expressions);
  if (!keyed.refusal.empty()) {
    refusal = keyed.refusal;
    return {};
  }
  return Run(keyed.sql);
}

}  // namespace detail

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
  detail::CheckStatementText(source_);
  if (!connection_ || connection_->State() != adStateOpen) {
    throw ComError(errc::kConnectionInvalid, errtext::kConnectionInvalid);
  }
  detail::Session& session = connection_->session();
  row_source_ = std::make_unique<detail::RowSource>();
  columns_ = session.Describe(source_, &row_source_->target);
  hidden_ = detail::SurrogateKeyPositions(columns_);
  detail::RemovePositions(columns_, hidden_);
  detail::RemovePositions(row_source_->target.base_columns, hidden_);
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
// An updatable recordset reads each row's key in the same statement as the
// row itself, so that a change reaches exactly the row that was read.
void Recordset::Fetch() {
  if (fetched_) return;
  detail::Session& session = connection_->session();
  detail::RowSource& source = *row_source_;
  detail::ResultRows result;
  source.keyed = false;
  source.keys.clear();
  if (source.target.refusal.empty()) {
    source.key = session.KeyOf(source.target.table);
    String refusal;
    if (source.key.expressions.empty()) {
      refusal =
          tsql::RecordsetRefusal("no column of " + source.target.table + " tells its rows apart.");
    } else {
      result = session.RunKeyed(source_, source.target.table, source.key, refusal);
    }
    if (refusal.empty()) {
      const std::size_t hidden = source.key.expressions.size();
      for (std::vector<Variant>& row : result.rows) {
        const auto split = row.end() - static_cast<std::ptrdiff_t>(hidden);
        source.keys.emplace_back(split, row.end());
        row.erase(split, row.end());
      }
      source.keyed = true;
    } else {
      source.target.refusal = refusal;
    }
  }
  if (!source.keyed) result = session.Run(source_);
  if (!hidden_.empty()) {
    for (std::vector<Variant>& row : result.rows) detail::RemovePositions(row, hidden_);
  }
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

// The row source, when the recordset's rows can be changed; otherwise raises
// errc::kCannotUpdate naming the change and the reason.
detail::RowSource& Recordset::ChangeableRows(const char* change) {
  if (!row_source_) {
    RaiseCannotUpdate(String("The rows a statement returns through Execute are read-only; ") +
                      change + " is not possible.");
  }
  if (!row_source_->target.refusal.empty()) RaiseCannotUpdate(row_source_->target.refusal);
  return *row_source_;
}

// The table's names of the fields written since AddNew or on the current
// row; a field that is no column of the table refuses the change.
std::vector<String> Recordset::BaseColumns(const detail::RowSource& source) const {
  std::vector<String> names;
  for (const auto& entry : pending_) {
    const auto index = static_cast<std::size_t>(entry.first);
    const String& base =
        index < source.target.base_columns.size() ? source.target.base_columns[index] : String();
    if (base.empty()) {
      RaiseCannotUpdate("The field " + columns_[index] + " is no column of the table " +
                        source.target.table + " and cannot be written.");
    }
    names.push_back(base);
  }
  return names;
}

void Recordset::Update() {
  RequireOpen();
  detail::Session& session = connection_->session();
  if (adding_) {
    detail::RowSource& source = ChangeableRows("adding a row");
    std::vector<String> columns = BaseColumns(source);
    std::vector<Variant> values;
    for (const auto& [index, value] : pending_) values.push_back(value);
    session.InsertRow(source.target.table, columns, values);
    detail::NotifyRowsChanged(connection_.get(), session.InTransaction(),
                              tsql::Lower(source.target.table), 1);
    adding_ = false;
    if (fetched_) {
      std::vector<Variant> row(columns_.size(), Variant::Null());
      for (const auto& [index, value] : pending_) row[static_cast<std::size_t>(index)] = value;
      rows_.push_back(std::move(row));
      deleted_.push_back(false);
      // The new row's key is not known: it cannot be changed through this
      // recordset until the recordset is opened again.
      if (source.keyed) source.keys.emplace_back();
      position_ = rows_.size() - 1;
    }
    pending_.clear();
    return;
  }
  if (pending_.empty()) return;
  if (!HasCurrentRow()) RaiseNoCurrentRecord();
  detail::RowSource& source = ChangeableRows("changing a row");
  std::vector<String> set_columns = BaseColumns(source);
  std::vector<Variant> set_values;
  for (const auto& [index, value] : pending_) set_values.push_back(value);
  std::vector<Variant>& key = CurrentKey(source);
  const detail::RowUpdate update =
      session.UpdateRow(source.target.table, source.key, key, set_columns, set_values);
  if (update.located == 0) throw ComError(errc::kRowNotLocated, errtext::kRowNotLocated);
  detail::NotifyRowsChanged(connection_.get(), session.InTransaction(),
                            tsql::Lower(source.target.table), update.changed);
  // A key made of the table's columns follows the values written into them.
  for (std::size_t i = 0; i < set_columns.size(); ++i) {
    for (std::size_t k = 0; k < source.key.columns.size() && k < key.size(); ++k) {
      if (EqualsIgnoreCase(source.key.columns[k], set_columns[i])) key[k] = set_values[i];
    }
  }
  for (const auto& [index, value] : pending_)
    rows_[position_][static_cast<std::size_t>(index)] = value;
  pending_.clear();
}

std::vector<Variant>& Recordset::CurrentKey(detail::RowSource& source) {
  if (!source.keyed || position_ >= source.keys.size() || source.keys[position_].empty()) {
    RaiseCannotUpdate(
        "A row added through this recordset can be changed only after the recordset is opened "
        "again.");
  }
  return source.keys[position_];
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
  detail::RowSource& source = ChangeableRows("deleting a row");
  const std::vector<Variant>& key = CurrentKey(source);
  pending_.clear();
  // A row that is gone already (deleted by another cursor, or met twice in
  // a join) leaves nothing to delete.
  detail::Session& session = connection_->session();
  const long removed = session.DeleteRow(source.target.table, source.key, key);
  detail::NotifyRowsChanged(connection_.get(), session.InTransaction(),
                            tsql::Lower(source.target.table), removed);
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
