// Shared setup of the function-library tests.
#ifndef MIGPROF_TESTS_FUNCLIB_LIBRARY_FIXTURE_H_
#define MIGPROF_TESTS_FUNCLIB_LIBRARY_FIXTURE_H_

#include <string>
#include <vector>

#include "testing/test_database.h"

namespace migprof::testing {

using Texts = std::vector<std::string>;
using Table = std::vector<Texts>;

// A text literal for a test statement, or NULL.
inline std::string Lit(const char* text) {
  return text ? "'" + std::string(text) + "'" : std::string("NULL");
}

class LibraryTest : public ComponentTest {
 protected:
  void Insert(const std::string& table, const std::string& columns, const std::string& values) {
    db_.Exec("insert into " + table + " (" + columns + ") values (" + values + ")");
  }
  // vers and stat of the qzlib100 rows of a profile, by descending version.
  Table Statuses(int mprf) {
    return db_.Rows("select vers, stat from qzlib100 where mprf = " + std::to_string(mprf) +
                    " order by vers desc");
  }
};

}  // namespace migprof::testing

#endif  // MIGPROF_TESTS_FUNCLIB_LIBRARY_FIXTURE_H_
