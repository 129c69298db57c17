#include "app/sign_in_throttle.h"

#include <algorithm>

namespace migprof::app {

std::chrono::seconds SignInThrottle::WaitFor(Count& count, Clock::time_point now,
                                             bool& locked) const {
  if (count.failures > 0 && now - count.last >= rules_.forget) count = Count{};
  if (count.failures >= rules_.lock_after) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(count.last + rules_.lock - now);
    if (left > std::chrono::seconds::zero()) {
      locked = true;
      return left;
    }
    return std::chrono::seconds::zero();
  }
  if (count.failures < rules_.free_failures) return std::chrono::seconds::zero();
  const int doublings = std::min(count.failures - rules_.free_failures, 20);
  const std::chrono::seconds wait =
      std::min<std::chrono::seconds>(rules_.first_wait * (1LL << doublings), rules_.longest_wait);
  const auto left = std::chrono::ceil<std::chrono::seconds>(count.last + wait - now);
  return std::max(left, std::chrono::seconds::zero());
}

std::chrono::seconds SignInThrottle::Wait(const std::string& name, const std::string& address,
                                          Clock::time_point now, bool* locked) {
  std::lock_guard<std::mutex> lock(mutex_);
  bool is_locked = false;
  std::chrono::seconds wait{0};
  for (const std::string& key : {"name:" + name, "address:" + address}) {
    auto it = counts_.find(key);
    if (it != counts_.end()) wait = std::max(wait, WaitFor(it->second, now, is_locked));
  }
  if (locked != nullptr) *locked = is_locked;
  return wait;
}

bool SignInThrottle::Failed(const std::string& name, const std::string& address,
                            Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Forgotten counts go, so that guesses at made-up names cannot fill memory
  // beyond what an hour of them adds.
  std::erase_if(counts_,
                [&](const auto& entry) { return now - entry.second.last >= rules_.forget; });
  bool locked_now = false;
  for (const std::string& key : {"name:" + name, "address:" + address}) {
    Count& count = counts_[key];
    ++count.failures;
    count.last = now;
    locked_now = locked_now || count.failures == rules_.lock_after;
  }
  return locked_now;
}

void SignInThrottle::Succeeded(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  counts_.erase("name:" + name);
}

}  // namespace migprof::app
