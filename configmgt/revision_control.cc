#include "configmgt/revision_control.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

#include "component/sql_text.h"
#include "component/text/ascii.h"
#include "configmgt/messages.h"
#include "configmgt/tables.h"

namespace migprof::configmgt {
namespace {

// Rolls back unless committed, so a failure halfway leaves nothing behind.
class Transaction {
 public:
  explicit Transaction(ado::Connection& connection) : connection_(connection) {
    connection_.BeginTrans();
  }
  ~Transaction() {
    if (open_) {
      try {
        connection_.RollbackTrans();
      } catch (const ComError&) {
        // The connection is gone; its transaction went with it.
      }
    }
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    connection_.CommitTrans();
    open_ = false;
  }

 private:
  ado::Connection& connection_;
  bool open_ = true;
};

bool SameText(const String& a, const String& b) { return text::EqualsIgnoreCase(a, b); }

using text::Lower;
using text::Trimmed;

bool IsCheckedOutStatus(const Variant& stat) {
  return stat.type() == Variant::Type::kString && stat.AsString() == "C";
}

// The first row the item's main table (qzlib100 or qzmap120) holds in rows.
const StoredRow* MainRow(const Item& item, const Snapshot& rows) {
  const String table = ItemTables(item).front().table;
  for (const StoredRow& row : rows) {
    if (row.table == table) return &row;
  }
  return nullptr;
}

// Sets columns of every row that "select * from {table}{condition}" reads.
// Returns the number of rows changed.
int SetColumns(const std::shared_ptr<ado::Connection>& connection, const String& table,
               const String& condition, const std::vector<std::pair<String, Variant>>& values) {
  auto rs = ado::Recordset::Create();
  rs->Open("select * from " + table + condition, connection, ado::adOpenDynamic,
           ado::adLockOptimistic);
  int changed = 0;
  while (!rs->EndOfFile()) {
    for (const auto& [column, value] : values) rs->Fields()[column].Value(value);
    rs->Update();
    ++changed;
    rs->MoveNext();
  }
  rs->Close();
  return changed;
}

}  // namespace

RevisionControl::RevisionControl(std::shared_ptr<ado::Connection> connection, String user)
    : connection_(std::move(connection)), user_(std::move(user)) {
  EnsureTables(*connection_);
}

void RevisionControl::RequireUser() const {
  if (user_.empty()) throw Refusal(msg::kNoUser);
}

void RevisionControl::RequireDevelopmentVrc(const Item& item) {
  auto profile = ado::Recordset::Create();
  profile->Open("select scme from qzmap100 where mprf = " + SqlNumber(item.mprf), connection_,
                ado::adOpenStatic, ado::adLockReadOnly);
  if (profile->EndOfFile()) throw Refusal(msg::ProfileMissing(item.mprf));
  Variant scme = profile->Fields()["scme"].Value();
  profile->Close();
  if (scme.IsNull() || !SameText(Trimmed(scme.ToString()), "Y")) {
    throw Refusal(msg::NotUnderRevisionControl(item.mprf));
  }
  auto development = ado::Recordset::Create();
  development->Open("select dver, drel, dcus from qzmap105 where mprf = " + SqlNumber(item.mprf),
                    connection_, ado::adOpenStatic, ado::adLockReadOnly);
  bool found = false;
  for (; !development->EndOfFile() && !found; development->MoveNext()) {
    ado::Fields f = development->Fields();
    auto text = [](const Variant& v) { return v.IsNull() ? String() : v.ToString(); };
    found =
        Vrc{text(f["dver"].Value()), text(f["drel"].Value()), text(f["dcus"].Value())} == item.vrc;
  }
  development->Close();
  if (!found) throw Refusal(msg::NotDevelopmentVrc(item));
}

CheckOutRecord RevisionControl::RequireHeld(const Item& item) {
  std::optional<CheckOutRecord> held = FindCheckOut(connection_, item);
  if (!held) throw Refusal(msg::NotCheckedOut(item));
  if (held->holder != user_) throw Refusal(msg::CheckedOutBy(item, held->holder));
  return *held;
}

void RevisionControl::CheckOut(const Item& item, bool force) {
  RequireUser();
  RequireDevelopmentVrc(item);
  Snapshot rows = ReadItem(connection_, item);
  if (!MainRow(item, rows)) throw Refusal(msg::ItemMissing(item));
  std::optional<CheckOutRecord> held = FindCheckOut(connection_, item);
  if (held && (held->holder == user_ || !force)) {
    throw Refusal(msg::CheckedOutBy(item, held->holder));
  }
  try {
    Transaction transaction(*connection_);
    if (held && held->recorded) {
      SetCheckOutHolder(connection_, item, user_);
    } else {
      InsertCheckOut(connection_, item, user_, rows);
    }
    if (item.kind == ItemKind::kFunction) {
      SetColumns(connection_, "qzlib100", ItemTables(item).front().condition,
                 {{"stat", Variant("C")}, {"curn", Variant(user_)}});
    }
    if (held) {
      // Taking over is recorded with the rows last committed, which the
      // check-out keeps.
      Snapshot committed = held->recorded ? DecodeSnapshot(held->snapshot) : rows;
      AddRevision(connection_, item, user_,
                  "check-out taken over from " + (held->holder.empty() ? "?" : held->holder), "",
                  committed);
    }
    transaction.Commit();
  } catch (const ComError& error) {
    // The unique index refused a second check-out: someone else checked it
    // out since it was read. Rolled back by now, so the winner can be read.
    if (error.number() != errc::kIntegrityViolation) throw;
    std::optional<CheckOutRecord> winner = FindCheckOut(connection_, item);
    throw Refusal(msg::CheckedOutBy(item, winner ? winner->holder : String()));
  }
}

Long RevisionControl::CheckIn(const Item& item, const String& comment) {
  RequireUser();
  CheckOutRecord held = RequireHeld(item);
  Transaction transaction(*connection_);
  const Variant now(DateTime::Now());
  const String condition = ItemTables(item).front().condition;
  if (item.kind == ItemKind::kFunction) {
    // Back to the status and holder the function had before the check-out,
    // unless its holder changed the status meanwhile (expired it).
    Variant stat("M");
    Variant holder = Variant::Null();
    Snapshot before = held.recorded ? DecodeSnapshot(held.snapshot) : Snapshot();
    Snapshot now_rows = ReadItem(connection_, item);
    const StoredRow* current = MainRow(item, now_rows);
    const StoredRow* previous = MainRow(item, before);
    std::optional<Variant> current_stat = current ? current->Get("stat") : std::nullopt;
    std::optional<Variant> previous_stat = previous ? previous->Get("stat") : std::nullopt;
    if (current_stat && !IsCheckedOutStatus(*current_stat)) {
      stat = *current_stat;
    } else if (previous_stat && !IsCheckedOutStatus(*previous_stat)) {
      stat = *previous_stat;
    }
    if (std::optional<Variant> old_holder = previous ? previous->Get("curn") : std::nullopt) {
      holder = *old_holder;
    }
    SetColumns(connection_, "qzlib100", condition,
               {{"stat", stat}, {"curn", holder}, {"lurn", Variant(user_)}, {"ldat", now}});
  } else {
    SetColumns(connection_, "qzmap120", condition,
               {{"lusr", Variant(Lower(user_))}, {"ldat", now}});
  }
  Long number =
      AddRevision(connection_, item, user_, "check-in", comment, ReadItem(connection_, item));
  DeleteCheckOut(connection_, item);
  transaction.Commit();
  return number;
}

void RevisionControl::UndoCheckOut(const Item& item, bool force) {
  RequireUser();
  std::optional<CheckOutRecord> held = FindCheckOut(connection_, item);
  if (!held) throw Refusal(msg::NotCheckedOut(item));
  if (held->holder != user_ && !force) throw Refusal(msg::CheckedOutBy(item, held->holder));
  Transaction transaction(*connection_);
  if (held->recorded) {
    WriteItem(connection_, item, DecodeSnapshot(held->snapshot));
    DeleteCheckOut(connection_, item);
  } else {
    // Marked checked out elsewhere, with no rows to go back to: released.
    SetColumns(connection_, "qzlib100", ItemTables(item).front().condition,
               {{"stat", Variant("M")}, {"curn", Variant::Null()}});
  }
  if (held->holder != user_) {
    AddRevision(connection_, item, user_,
                "check-out of " + (held->holder.empty() ? "?" : held->holder) + " undone", "",
                ReadItem(connection_, item));
  }
  transaction.Commit();
}

void RevisionControl::EditFunction(const Item& item, const FunctionEdit& edit) {
  RequireUser();
  RequireHeld(item);
  std::vector<std::pair<String, Variant>> values;
  if (edit.definition) values.emplace_back("fdef", Variant(*edit.definition));
  if (edit.description) values.emplace_back("dsca", Variant(*edit.description));
  if (edit.comment) values.emplace_back("comt", Variant(*edit.comment));
  if (values.empty()) throw Refusal(msg::kNothingToChange);
  SetColumns(connection_, "qzlib100", ItemTables(item).front().condition, values);
}

void RevisionControl::EditRule(const Item& item, const std::optional<String>& field,
                               const std::vector<std::pair<String, String>>& values) {
  RequireUser();
  RequireHeld(item);
  if (values.empty()) throw Refusal(msg::kNothingToChange);
  static const char* kKeys[] = {"mprf", "vers", "rele", "cust", "tcpac", "tcmod", "tflno", "fdnm"};
  std::vector<ItemTable> tables = ItemTables(item);
  const ItemTable& target = field ? tables[1] : tables[0];
  const String condition =
      target.condition + (field ? " and fdnm = '" + SqlText(*field) + "'" : String());
  Snapshot rows = ReadRows(connection_, target.table, condition, "");
  if (rows.empty()) {
    throw Refusal(field ? msg::FieldMissing(item, *field) : msg::ItemMissing(item));
  }
  std::vector<std::pair<String, Variant>> typed;
  for (const auto& [column, value] : values) {
    for (const char* key : kKeys) {
      if (SameText(column, key)) throw Refusal(msg::KeyColumn(column));
    }
    if (!rows.front().Get(column)) throw Refusal(msg::NoSuchColumn(target.table, column));
    typed.emplace_back(column, Variant(value));
  }
  SetColumns(connection_, target.table, condition, typed);
}

std::vector<Revision> RevisionControl::History(const Item& item) {
  ItemTables(item);  // refuses a malformed table code
  return ListRevisions(connection_, item);
}

std::vector<Change> RevisionControl::Diff(const Item& item, Long from, std::optional<Long> to) {
  std::optional<Revision> older = FindRevision(connection_, item, from);
  if (!older) throw Refusal(msg::RevisionMissing(item, from));
  Snapshot after;
  if (to) {
    std::optional<Revision> newer = FindRevision(connection_, item, *to);
    if (!newer) throw Refusal(msg::RevisionMissing(item, *to));
    after = DecodeSnapshot(newer->snapshot);
  } else {
    after = ReadItem(connection_, item);
  }
  return DiffSnapshots(DecodeSnapshot(older->snapshot), after);
}

Long RevisionControl::Restore(const Item& item, Long number, const String& comment) {
  RequireUser();
  RequireDevelopmentVrc(item);
  if (std::optional<CheckOutRecord> held = FindCheckOut(connection_, item)) {
    throw Refusal(msg::CheckedOutBy(item, held->holder));
  }
  std::optional<Revision> revision = FindRevision(connection_, item, number);
  if (!revision) throw Refusal(msg::RevisionMissing(item, number));
  Transaction transaction(*connection_);
  WriteItem(connection_, item, DecodeSnapshot(revision->snapshot));
  Long restored =
      AddRevision(connection_, item, user_, "restore of revision " + std::to_string(number),
                  comment, ReadItem(connection_, item));
  transaction.Commit();
  return restored;
}

std::vector<CheckOutRecord> RevisionControl::CheckOuts(std::optional<Integer> mprf) {
  return ListCheckOuts(connection_, mprf);
}

int RevisionControl::UndoOwnCheckOuts(Integer mprf, const Vrc& vrc) {
  RequireUser();
  int undone = 0;
  for (const CheckOutRecord& held : ListCheckOuts(connection_, mprf)) {
    if (held.holder == user_ && held.item.vrc == vrc) {
      UndoCheckOut(held.item, /*force=*/false);
      ++undone;
    }
  }
  return undone;
}

}  // namespace migprof::configmgt
