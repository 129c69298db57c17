// What a principal may do, decided in one place. The decision is data: a
// table of (role, relation to the profile, operation) rows that are allowed;
// anything not in it is refused.
#ifndef MIGPROF_APP_PERMISSIONS_H_
#define MIGPROF_APP_PERMISSIONS_H_

#include <span>

#include "app/principal.h"

namespace migprof::app {

enum class Operation {
  kRead,             // pages, lists, compare, where-used, export, previews of reads
  kCreateProfile,    // a new profile owned by the principal (standard or derived)
  kEditProfile,      // description, revision control, parent
  kDeleteProfile,
  kChangeRules,      // copy into, delete, expire and reinstate mapping rules
  kChangeFunctions,  // copy into, expire, reinstate and delete library functions
  kRevise,           // check out, edit, check in, undo, take over, restore
  kImport,           // a whole profile from a document, with the document's owner
  kManageAccounts,   // accounts, their roles, passwords, sessions and tokens
  kRunStatements,    // any SQL statement, past every other check (the tool's `sql`)
};

// How the principal stands to the profile an operation acts on.
enum class Relation {
  kNone,   // the operation acts on no existing profile
  kOwner,  // the component records the principal as the profile's owner
  kOther,  // another user's profile, or one that does not exist
};

struct Permission {
  Role role;
  Relation relation;
  Operation operation;
};

// Every allowed combination.
std::span<const Permission> PermissionTable();

bool Allowed(Role role, Relation relation, Operation operation);

// "change the rules of", "delete", ... for messages.
const char* OperationWords(Operation operation);
// The operation's name in the activity log and the API ("change-rules").
const char* OperationName(Operation operation);

}  // namespace migprof::app

#endif  // MIGPROF_APP_PERMISSIONS_H_
