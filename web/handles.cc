#include "web/handles.h"

namespace migprof::web {

std::shared_ptr<HandleSlot> HandlePool::For(const std::string& session_hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<HandleSlot>& slot = slots_[session_hash];
  if (!slot) {
    slot = std::make_shared<HandleSlot>();
    settings_.ApplyTo(slot->object);
  }
  return slot;
}

void HandlePool::Drop(const std::string& session_hash) {
  std::lock_guard<std::mutex> lock(mutex_);
  slots_.erase(session_hash);
}

}  // namespace migprof::web
