#include "web/handles.h"

namespace migprof::web {

std::shared_ptr<HandleSlot> HandlePool::For(const std::string& session_hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  for (auto it = slots_.begin(); it != slots_.end();) {
    it = now - it->second->last_use > kIdle ? slots_.erase(it) : std::next(it);
  }
  std::shared_ptr<HandleSlot>& slot = slots_[session_hash];
  if (!slot) {
    slot = std::make_shared<HandleSlot>();
    slot->settings = settings_;
  }
  slot->last_use = now;
  return slot;
}

void HandlePool::Drop(const std::string& session_hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  slots_.erase(session_hash);
}

void HandlePool::Close() {
  std::map<std::string, std::shared_ptr<HandleSlot>> slots;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slots.swap(slots_);
  }
  for (auto& [hash, slot] : slots) {
    // Waits for a call still running on the object.
    std::lock_guard<std::mutex> busy(slot->mutex);
  }
}

}  // namespace migprof::web
