#include "component/ado/fault_plan.h"

#include <type_traits>
#include <utility>

namespace migprof::ado::detail {
namespace {

thread_local std::shared_ptr<FaultPlan> current_plan;

// Runs the plan's after_call with the plan suspended.
void AfterCall(const std::shared_ptr<FaultPlan>& plan) {
  if (!plan->after_call) return;
  std::shared_ptr<FaultPlan> suspended = std::exchange(current_plan, nullptr);
  try {
    plan->after_call();
  } catch (...) {
    current_plan = std::move(suspended);
    throw;
  }
  current_plan = std::move(suspended);
}

// Counts one call against plan: raises the plan's error when it is the one
// to fail, else runs body, then AfterCall.
template <typename Body>
auto Counted(const std::shared_ptr<FaultPlan>& plan, String what, Body body) {
  plan->calls.push_back(std::move(what));
  if (static_cast<long>(plan->calls.size()) == plan->fail_at) throw plan->error;
  if constexpr (std::is_void_v<decltype(body())>) {
    body();
    AfterCall(plan);
  } else {
    auto result = body();
    AfterCall(plan);
    return result;
  }
}

class CountingSession final : public Session {
 public:
  CountingSession(std::unique_ptr<Session> inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}

  void SetCommandTimeout(long seconds) override { inner_->SetCommandTimeout(seconds); }
  // Describing a statement and reading a table's key run no statement of the
  // member's; they are not counted.
  std::vector<String> Describe(const String& sql, RowTarget* target) override {
    return inner_->Describe(sql, target);
  }
  RowKey KeyOf(const String& table) override { return inner_->KeyOf(table); }
  ResultRows Run(const String& sql) override {
    return Counted(plan_, "run " + sql, [&] { return inner_->Run(sql); });
  }
  void InsertRow(const String& table, const std::vector<String>& columns,
                 const std::vector<Variant>& values) override {
    Counted(plan_, "insert " + table, [&] { inner_->InsertRow(table, columns, values); });
  }
  RowUpdate UpdateRow(const String& table, const RowKey& key,
                      const std::vector<Variant>& key_values,
                      const std::vector<String>& set_columns,
                      const std::vector<Variant>& set_values) override {
    return Counted(plan_, "update " + table, [&] {
      return inner_->UpdateRow(table, key, key_values, set_columns, set_values);
    });
  }
  long DeleteRow(const String& table, const RowKey& key,
                 const std::vector<Variant>& key_values) override {
    return Counted(plan_, "delete " + table,
                   [&] { return inner_->DeleteRow(table, key, key_values); });
  }
  void Begin() override {
    Counted(plan_, "begin", [&] { inner_->Begin(); });
  }
  void Commit() override {
    Counted(plan_, "commit", [&] { inner_->Commit(); });
  }
  // Rolling back is the clean-up of a failure; it is never made to fail.
  void Rollback() override { inner_->Rollback(); }
  bool InTransaction() const override { return inner_->InTransaction(); }

 private:
  std::unique_ptr<Session> inner_;
  std::shared_ptr<FaultPlan> plan_;
};

}  // namespace

ScopedFaultPlan::ScopedFaultPlan(std::shared_ptr<FaultPlan> plan)
    : previous_(std::exchange(current_plan, std::move(plan))) {}

ScopedFaultPlan::~ScopedFaultPlan() { current_plan = std::move(previous_); }

std::unique_ptr<Session> OpenUnderFaultPlan(const std::function<std::unique_ptr<Session>()>& open) {
  if (!current_plan) return open();
  std::shared_ptr<FaultPlan> plan = current_plan;
  std::unique_ptr<Session> session = Counted(plan, "open", open);
  return std::make_unique<CountingSession>(std::move(session), std::move(plan));
}

}  // namespace migprof::ado::detail
