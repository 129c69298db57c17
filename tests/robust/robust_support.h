// Small helpers shared by the tests of behaviour under faults and bad input.
#ifndef MIGPROF_TESTS_ROBUST_ROBUST_SUPPORT_H_
#define MIGPROF_TESTS_ROBUST_ROBUST_SUPPORT_H_

#include <cstdlib>
#include <string>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {

// Rounds or trials for a stress test: `quick` in the normal run, `full` when
// MIGPROF_ROBUST_LONG is set.
inline int Rounds(int quick, int full) { return std::getenv("MIGPROF_ROBUST_LONG") ? full : quick; }

// The arguments of a `migprof session` on db, acting as alice (the user the
// requests name).
inline std::vector<std::string> ToolOptions(const TestDatabase& db) {
  return {"session", "--database", db.dsn(), "--user",  db.uid(),
          "--password", db.pwd(),    "--as",     "alice"};
}

// A JSON request line calling InsertInMap100 for a standard profile.
inline std::string CreateRequest(int mprf, const std::string& vers, const std::string& sapp,
                                 const std::string& tapp) {
  return R"({"call":"InsertInMap100","args":[)" + std::to_string(mprf) + R"(,"d",")" + sapp +
         R"(",")" + tapp + R"(",")" + vers + R"(","R","C","__","N","app","alice"]})";
}

// Source profile 1 (SV/SR/SC) whose table xy/uvw/123 has a table rule, a
// function rule (the copy's last stage) and one field of `elements`
// elements, each with a field rule, in the dictionary of the user's profile
// 2 (UV/UR/UC, application UAPP): a long CopyToCurrentVRC.
void LongCopySource(const TestDatabase& db, int elements);

// Every name in a folder and its sub-folders with its size and contents, to
// see that nothing was created or changed.
std::vector<std::string> FolderSnapshot(const std::string& folder);

// Runs statements with SQLite itself, outside the component (with the
// collation the profile tables declare), and gives the first column of the
// rows they yield. A "file:" URI path is opened read-only; any other path is
// opened for writing, created when missing.
std::vector<std::string> SqliteColumn(const std::string& path, const std::string& sql);

// Whether SQLite finds the database file sound.
inline bool FileIsSound(const std::string& path) {
  return SqliteColumn(path, "pragma integrity_check") == std::vector<std::string>{"ok"};
}

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_ROBUST_ROBUST_SUPPORT_H_
