// The ProgID registry of late-bound components, which starts out with the
// configuration-management component of this folder. One process-wide
// table, guarded by a mutex, so that a host may register components while
// objects on other threads create them.
#include "migprof/object_registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <utility>

#include "configmgt/config_mgt.h"
#include "migprof/com_error.h"

namespace migprof {
namespace {

// ProgIDs are looked up ignoring letter case.
std::string Key(std::string_view prog_id) {
  std::string key(prog_id);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return key;
}

struct Registry {
  std::mutex mutex;
  std::map<std::string, ObjectFactory> factories;
};

// The built-in components are part of the table from the start, so no static
// registrar (which a static library may leave out of the link) is needed.
Registry& TheRegistry() {
  static Registry* registry = [] {
    auto* r = new Registry();
    r->factories[Key(kConfigMgtProgId)] = &configmgt::NewConfigMgt;
    return r;
  }();
  return *registry;
}

}  // namespace

void RegisterObjectFactory(std::string_view prog_id, ObjectFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.factories[Key(prog_id)] = std::move(factory);
}

void UnregisterObjectFactory(std::string_view prog_id) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.factories.erase(Key(prog_id));
}

std::optional<ObjectFactory> FindObjectFactory(std::string_view prog_id) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.factories.find(Key(prog_id));
  if (found == registry.factories.end() || !found->second) return std::nullopt;
  return found->second;
}

std::shared_ptr<LateBoundObject> CreateObject(std::string_view prog_id) {
  // The factory runs outside the lock: it may itself create objects.
  std::optional<ObjectFactory> factory = FindObjectFactory(prog_id);
  std::shared_ptr<LateBoundObject> object = factory ? (*factory)() : nullptr;
  if (!object) throw ComError(errc::kCannotCreateObject, errtext::kCannotCreateObject);
  return object;
}

ScopedObjectFactory::ScopedObjectFactory(std::string prog_id, ObjectFactory factory)
    : prog_id_(std::move(prog_id)), previous_(FindObjectFactory(prog_id_)) {
  RegisterObjectFactory(prog_id_, std::move(factory));
}

ScopedObjectFactory::~ScopedObjectFactory() {
  if (previous_) {
    RegisterObjectFactory(prog_id_, std::move(*previous_));
  } else {
    UnregisterObjectFactory(prog_id_);
  }
}

}  // namespace migprof
