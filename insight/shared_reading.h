// One reading of the server shared by the callers that ask for it at once.
#ifndef MIGPROF_INSIGHT_SHARED_READING_H_
#define MIGPROF_INSIGHT_SHARED_READING_H_

#include <condition_variable>
#include <mutex>
#include <optional>

namespace migprof::insight {

// Each caller gets the value of a reading that began after it asked, so the
// value holds everything committed before it asked; a reading serves every
// caller that asked before it began. Eight callers asking at once cause two
// readings (the one under way when they ask cannot serve them, the next
// serves all of them), not eight. A reading that fails raises its failure in
// the caller that ran it; the others run one of their own.
template <typename Value>
class SharedReading {
 public:
  template <typename Read>
  Value Get(Read read) {
    std::unique_lock<std::mutex> lock(mutex_);
    const long needed = started_ + 1;  // the first reading to begin from now on
    ++waiting_;
    while (!(finished_ >= needed && value_) && reading_) wake_.wait(lock);
    --waiting_;
    if (finished_ >= needed && value_) return *value_;
    reading_ = true;
    const long mine = ++started_;
    lock.unlock();
    std::optional<Value> value;
    try {
      value.emplace(read());
    } catch (...) {
      lock.lock();
      reading_ = false;
      wake_.notify_all();
      throw;
    }
    lock.lock();
    reading_ = false;
    finished_ = mine;
    value_ = value;
    wake_.notify_all();
    return *value;
  }

  // How many callers wait for a reading, for tests.
  int waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool reading_ = false;
  long started_ = 0;
  long finished_ = 0;
  std::optional<Value> value_;  // of reading number finished_
  int waiting_ = 0;
};

}  // namespace migprof::insight

#endif  // MIGPROF_INSIGHT_SHARED_READING_H_
