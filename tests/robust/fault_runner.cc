#include "robust/fault_runner.h"

#include <algorithm>
#include <memory>

namespace migprof::testing {
namespace {

std::vector<String> clean_calls;

FaultOutcome RunOnce(const MemberUnderFault& member, std::shared_ptr<ado::detail::FaultPlan> plan,
                     std::vector<Snapshot>* snapshots) {
  TestDatabase db;
  {
    auto connection = db.Connect();
    connection->BeginTrans();
    member.setup(*connection);
    connection->CommitTrans();
  }
  FaultOutcome outcome;
  if (snapshots) {
    snapshots->push_back(TakeSnapshot(db));
    plan->after_call = [&] { snapshots->push_back(TakeSnapshot(db)); };
  }
  {
    TOVRHandleMigProf object;
    db.Configure(object);
    ado::detail::ScopedFaultPlan scope(plan);
    try {
      outcome.result = member.call(object);
    } catch (const ComError& error) {
      outcome.raised = error;
    } catch (const std::exception& error) {
      ADD_FAILURE() << "a foreign exception escaped: " << error.what();
    }
    outcome.error_number = object.ErrorNumber();
    outcome.error_description = object.ErrDescription();
  }  // the object and its session connection end here
  outcome.after = TakeSnapshot(db);
  return outcome;
}

}  // namespace

const ComError& InjectedError() {
  static const ComError error(errc::kProviderFailure, "[test] injected provider failure");
  return error;
}

Snapshot TakeSnapshot(const TestDatabase& db) {
  Snapshot rows;
  for (const std::string& table : TestDatabase::Tables()) {
    auto rs = ado::Recordset::Create();
    rs->Open("select * from " + table, db.Connect(), ado::adOpenDynamic, ado::adLockOptimistic);
    while (!rs->EndOfFile()) {
      std::string line = table;
      for (long i = 0; i < rs->Fields().Count(); ++i) {
        ado::Field field = rs->Fields().Item(static_cast<Integer>(i));
        if (field.Name() == "ldat" || field.Name() == "ownr") continue;
        Variant value = field.Value();
        line += "|" + (value.IsNull() ? std::string("NULL")
                       : value.type() == Variant::Type::kBinary
                           ? std::string(value.AsBinary().begin(), value.AsBinary().end())
                           : value.ToString());
      }
      rows.push_back(line);
      rs->MoveNext();
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

const std::vector<String>& FaultCalls() { return clean_calls; }

Snapshot Without(Snapshot snapshot, const std::vector<std::string>& prefixes) {
  std::erase_if(snapshot, [&](const std::string& row) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string& prefix) { return row.rfind(prefix, 0) == 0; });
  });
  return snapshot;
}

namespace {

// One run with call `step.index` failing, checked.
void CheckFailingCall(const MemberUnderFault& member, const std::vector<String>& calls,
                      const FailedStep& step, const std::vector<Snapshot>& snapshots) {
  auto plan = std::make_shared<ado::detail::FaultPlan>();
  plan->fail_at = step.index;
  plan->error = InjectedError();
  FaultOutcome outcome = RunOnce(member, plan, nullptr);
  // The run took the same path up to the failing call.
  ASSERT_GE(plan->calls.size(), static_cast<std::size_t>(step.index));
  // (Values after a cast such as the owner cipher differ from run to run.)
  auto same = [](const String& a, const String& b) {
    return a.substr(0, a.find("cast('")) == b.substr(0, b.find("cast('"));
  };
  ASSERT_TRUE(std::equal(calls.begin(), calls.begin() + step.index, plan->calls.begin(), same));
  auto exception = std::find_if(member.exceptions.begin(), member.exceptions.end(),
                                [&](const FaultException& e) { return e.matches(step); });
  if (exception != member.exceptions.end()) {
    exception->check(step, outcome, snapshots);
    return;
  }
  if (member.traps) {
    ASSERT_FALSE(outcome.raised) << outcome.raised->description();
    if (outcome.result) {
      EXPECT_FALSE(*outcome.result);
    }
    EXPECT_EQ(outcome.error_number, InjectedError().number());
    EXPECT_EQ(outcome.error_description, InjectedError().description());
  } else {
    ASSERT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.raised->number(), InjectedError().number());
    EXPECT_EQ(outcome.raised->description(), InjectedError().description());
    EXPECT_EQ(outcome.error_number, 0);  // the error state is not touched
  }
  EXPECT_EQ(outcome.after, snapshots[step.index - 1]);
}

}  // namespace

long CheckEveryCall(const MemberUnderFault& member) {
  auto counting = std::make_shared<ado::detail::FaultPlan>();
  std::vector<Snapshot> snapshots;
  FaultOutcome clean = RunOnce(member, counting, &snapshots);
  EXPECT_FALSE(clean.raised) << "the member fails without an injected failure";
  EXPECT_NE(clean.result, false) << "the fixture does not let the member succeed";
  const std::vector<String> calls = counting->calls;
  clean_calls = calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "begin"), member.uses_transaction ? 1 : 0);
  EXPECT_EQ(snapshots.size(), calls.size() + 1);
  for (long i = 1; i <= static_cast<long>(calls.size()); ++i) {
    FailedStep step{i, calls[i - 1]};
    if (step.text == "open" && i < static_cast<long>(calls.size())) step.text = calls[i];
    SCOPED_TRACE("call " + std::to_string(i) + " of " + std::to_string(calls.size()) + ": " +
                 calls[i - 1] + (calls[i - 1] == "open" ? " for " + step.text : ""));
    CheckFailingCall(member, calls, step, snapshots);
  }
  ::testing::Test::RecordProperty("database_calls", static_cast<int>(calls.size()));
  return static_cast<long>(calls.size());
}

}  // namespace migprof::testing
