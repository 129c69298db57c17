// The error object of the automation interface and the one catalogue of the
// numbers and texts the front end knows from ADO, the ODBC driver manager and
// the Automation runtime.
#ifndef MIGPROF_COM_ERROR_H_
#define MIGPROF_COM_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace migprof {

// Error numbers, as the Automation error object carries them (32-bit signed).
namespace errc {
// E_FAIL from the OLE DB provider for ODBC: data source not found, login
// refused, server unreachable. The text is the driver's.
inline constexpr std::int32_t kProviderFailure = -2147467259;  // 0x80004005
// DB_E_ERRORSINCOMMAND: a statement the database rejects. Database's text.
inline constexpr std::int32_t kErrorsInCommand = -2147217900;  // 0x80040E14
// DB_E_INTEGRITYVIOLATION: a constraint of the database refused a row.
inline constexpr std::int32_t kIntegrityViolation = -2147217873;  // 0x80040E2F
// DB_E_ABORTLIMITREACHED: the command timeout ran out (database busy).
inline constexpr std::int32_t kQueryTimeout = -2147217871;  // 0x80040E31
// XACT_E_ABORTED: the database undid the statement because a change to the
// same rows made at the same moment elsewhere came first (SQLSTATE 40001: a
// deadlock victim, or a Galera cluster's certification conflict). Nothing
// is wrong with the call; run it again.
inline constexpr std::int32_t kWriteConflict = -2147168231;  // 0x8004D019
// adErrNoCurrentRecord (3021).
inline constexpr std::int32_t kNoCurrentRecord = -2146825267;  // 0x800A0BCD
// adErrItemNotFound (3265).
inline constexpr std::int32_t kItemNotFound = -2146825023;  // 0x800A0CC1
// adErrObjectClosed (3704).
inline constexpr std::int32_t kObjectClosed = -2146824584;  // 0x800A0E78
// adErrObjectOpen (3705).
inline constexpr std::int32_t kObjectOpen = -2146824583;  // 0x800A0E79
// adErrInTransaction (3246).
inline constexpr std::int32_t kInTransaction = -2146825042;  // 0x800A0CAE
// adErrInvalidConnection (3709): no open connection to run on.
inline constexpr std::int32_t kConnectionInvalid = -2146824579;  // 0x800A0E7D
// adErrInvalidArgument (3001).
inline constexpr std::int32_t kInvalidArgument = -2146825287;  // 0x800A0BB9
// XACT_E_NOTRANSACTION: commit or rollback without an open transaction.
inline constexpr std::int32_t kNoTransaction = -2147168242;  // 0x8004D00E
// The Visual Basic runtime's trappable errors.
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
// ActiveX component can't create object (unknown ProgID).
inline constexpr std::int32_t kCannotCreateObject = 429;
// A late-bound call with too many or too few arguments.
inline constexpr std::int32_t kWrongArgCount = 450;
// adErrFeatureNotAvailable: the recordset's rows cannot be changed (the
// description says why).
inline constexpr std::int32_t kCannotUpdate = -2146825037;  // 0x800A0CB3
// DB_E_CANTLOCATE-like: the row to change is no longer in its table.
inline constexpr std::int32_t kRowNotLocated = -2147217864;  // 0x80040E38
}  // namespace errc

namespace errtext {
inline constexpr const char* kDataSourceNotFound =
    "[Microsoft][ODBC Driver Manager] Data source name not found and no default driver specified";
inline constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
inline constexpr const char* kItemNotFound =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";
inline constexpr const char* kObjectClosed = "Operation is not allowed when the object is closed.";
inline constexpr const char* kObjectOpen = "Operation is not allowed when the object is open.";
inline constexpr const char* kConnectionInvalid =
    "The connection cannot be used to perform this operation. It is either closed or invalid in "
    "this context.";
inline constexpr const char* kInvalidArgument =
    "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
    "another.";
inline constexpr const char* kNoTransaction = "No transaction is active.";
inline constexpr const char* kQueryTimeout = "Query timeout expired";
// Begins the description of errc::kWriteConflict; the database's own text
// follows.
inline constexpr const char* kWriteConflict =
    "The change was not made: another change to the same rows, made at the same moment through "
    "another connection or another node of the database cluster, was committed first (deadlock "
    "or certification conflict). Run the call again. The database said: ";
inline constexpr const char* kOverflow = "Overflow";
inline constexpr const char* kOutOfMemory = "Out of memory";
inline constexpr const char* kInternalError = "Internal error";
inline constexpr const char* kSubscriptOutOfRange = "Subscript out of range";
inline constexpr const char* kTypeMismatch = "Type mismatch";
inline constexpr const char* kInvalidUseOfNull = "Invalid use of Null";
inline constexpr const char* kCannotCreateObject = "ActiveX component can't create object";
// DeleteData refuses any text but one select statement (number
// errc::kInvalidArgument).
inline constexpr const char* kSelectStatementOnly =
    "DeleteData accepts exactly one select statement and nothing else; the text was not run.";
// A text with more than one statement is refused before it runs (number
// errc::kErrorsInCommand).
inline constexpr const char* kOneStatementOnly =
    "Only one statement can be run at a time: text follows the first \";\".";
// A text whose parentheses nest deeper than the translations follow
// (tsql::kMaxNesting) is refused before it runs (errc::kErrorsInCommand).
inline constexpr const char* kNestedTooDeeply =
    "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
    "smaller queries.";
inline constexpr const char* kWrongArgCount =
    "Wrong number of arguments or invalid property assignment";
inline constexpr const char* kRowNotLocated =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";
// A NUL character ends a statement text early for every database; outside a
// string literal it is refused before the text runs (number
// errc::kErrorsInCommand). Inside a literal it is part of the value.
inline constexpr const char* kNulInStatement =
    "The statement text holds a NUL character outside a string literal; it was not run.";
}  // namespace errtext

// A failure raised to the caller: the number and description of the
// Automation error object. Members that trap failures record exactly these
// two values in ErrorNumber / ErrDescription.
class ComError : public std::runtime_error {
 public:
  ComError(std::int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

// Shorthands for the runtime's own errors.
[[noreturn]] inline void RaiseTypeMismatch() {
  throw ComError(errc::kTypeMismatch, errtext::kTypeMismatch);
}
[[noreturn]] inline void RaiseOverflow() { throw ComError(errc::kOverflow, errtext::kOverflow); }
[[noreturn]] inline void RaiseSubscriptOutOfRange() {
  throw ComError(errc::kSubscriptOutOfRange, errtext::kSubscriptOutOfRange);
}

// Call only inside a catch block: the exception being handled as ComError.
// A ComError is returned as it is; std::bad_alloc becomes 7 "Out of memory";
// any other exception becomes 51 "Internal error" with its message.
ComError CurrentFailure();

}  // namespace migprof

#endif  // MIGPROF_COM_ERROR_H_
