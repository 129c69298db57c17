// Slows down password guessing: failed sign-ins are counted per account
// name and per client address; after a few, each next try must wait longer
// (doubling), and after many the name or address is locked for a while.
// Kept in the memory of one server process: servers sharing a database
// count apart (each one's limit holds on its own).
#ifndef MIGPROF_APP_SIGN_IN_THROTTLE_H_
#define MIGPROF_APP_SIGN_IN_THROTTLE_H_

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace migprof::app {

struct ThrottleRules {
  int free_failures = 5;  // failures answered at once
  std::chrono::seconds first_wait{1};
  std::chrono::seconds longest_wait{60};
  int lock_after = 20;  // failures that lock the name or address
  std::chrono::seconds lock{900};
  std::chrono::seconds forget{3600};  // a count without failures this long starts afresh
};

class SignInThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SignInThrottle(ThrottleRules rules = {}) : rules_(rules) {}

  // How long a sign-in of name from address must wait before it is tried;
  // zero when it may be tried now. locked is set when the wait is a lock.
  std::chrono::seconds Wait(const std::string& name, const std::string& address,
                            Clock::time_point now, bool* locked = nullptr);
  // Counts a failure; true when it locked the name or the address.
  bool Failed(const std::string& name, const std::string& address, Clock::time_point now);
  // A right password: the name's count starts afresh (the address's stays,
  // as one address may guess at many names).
  void Succeeded(const std::string& name);

 private:
  struct Count {
    int failures = 0;
    Clock::time_point last;
  };
  std::chrono::seconds WaitFor(Count& count, Clock::time_point now, bool& locked) const;

  const ThrottleRules rules_;
  std::mutex mutex_;
  std::map<std::string, Count> counts_;  // "name:..." and "address:..."
};

}  // namespace migprof::app

#endif  // MIGPROF_APP_SIGN_IN_THROTTLE_H_
