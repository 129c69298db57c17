// The rows a benchmark of CopyToCurrentVRC copies, written through the
// component into whatever database its object names (the embedded one or an
// ODBC data source), and the copy itself.
#ifndef MIGPROF_BENCH_COPY_FIXTURE_H_
#define MIGPROF_BENCH_COPY_FIXTURE_H_

#include <memory>
#include <string>

#include "migprof/ado.h"
#include "migprof/handle_mig_prof.h"

namespace migprof::bench {

// Array fields of this depth make up the table's field elements.
inline constexpr int kCopyDepth = 10;

// Source profile 1 holding the rules of table xy/uvw/123 (one table rule,
// two source-table rules, two function rules and one field rule per field
// element) and target profile 2 whose application describes the table with
// elements / kCopyDepth array fields. One transaction.
inline void FillCopySource(migprof::ado::Connection& c, int elements) {
  c.BeginTrans();
  c.Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (1, 'SV', 'SR', 'SC', 'SAPP')");
  c.Execute(
      "insert into qzmap100 (mprf, vers, rele, cust, tapp) values (2, 'UV', 'UR', 'UC', 'UAPP')");
  const std::string key = "1, 'SV', 'SR', 'SC', 'xy', 'uvw', '123'";
  c.Execute(
      "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat, comt, "
      "isms) values (" +
      key + ", ' rule ', 'A', ' note ', '0')");
  for (const char* s : {"7", "8"}) {
    c.Execute(
        "insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, "
        "sflno, icod, qury) values (" +
        key + ", 'ab', 'cde', '" + s + "', 'I', 'q')");
    c.Execute("insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) values (" +
              key + ", 'f" + s + "')");
  }
  for (int field = 0; field < elements / kCopyDepth; ++field) {
    std::string name = "fld" + std::to_string(field);
    c.Execute(
        "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept) values ('UAPP', 'xy', "
        "'uvw', '123', '" +
        name + "', " + std::to_string(kCopyDepth) + ")");
    for (int i = 1; i <= kCopyDepth; ++i) {
      c.Execute(
          "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, "
          "mrul, type, stat) values (" +
          key + ", '" + name + "(" + std::to_string(i) + ")', " + std::to_string(i) +
          ", 'rule', 'T', 'A')");
    }
  }
  c.CommitTrans();
}

// Removes what a copy wrote into profile 2.
inline void ClearCopyTarget(migprof::TOVRHandleMigProf& object) {
  std::shared_ptr<migprof::ado::Connection> c = object.getNewConnection();
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160"}) {
    c->Execute(std::string("delete from ") + table + " where mprf = 2");
  }
}

// The field rules profile 2 holds.
inline long CopyTargetFieldRules(migprof::TOVRHandleMigProf& object) {
  auto rs = object.getNewConnection()->Execute("select count(*) from qzmap140 where mprf = 2");
  return rs->Fields().Item(migprof::Integer{0}).Value().ToLong();
}

// The copy measured: table xy/uvw/123 of profile 1 into profile 2.
inline bool CopyRules(migprof::TOVRHandleMigProf& object) {
  return object
      .CopyToCurrentVRC(1, 2, "UV", "UR", "UC", "xy", "uvw", "123", "Bench", migprof::Variant(), "",
                        migprof::kFalse)
      .IsTrue();
}

}  // namespace migprof::bench

#endif  // MIGPROF_BENCH_COPY_FIXTURE_H_
