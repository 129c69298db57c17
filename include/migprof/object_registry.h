// Late-bound components that the class creates by ProgID, as the platform's
// CreateObject does, and the interface of the one such component it drives:
// the configuration-management component of revision-controlled profiles.
//
// The registry maps a ProgID (letter case ignored) to a factory. A host puts
// its own component in place by registering a factory under the ProgID; tests
// register a recording fake the same way. The configuration-management
// ProgID starts out registered with the built-in component (see
// ConfigMgtComponent in configmgt/), which keeps check-outs and revisions.
#ifndef MIGPROF_OBJECT_REGISTRY_H_
#define MIGPROF_OBJECT_REGISTRY_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "migprof/ado.h"
#include "migprof/automation.h"

namespace migprof {

// Any object created by ProgID. Components derive from it and add their own
// interface; the creator asks for that interface with dynamic_pointer_cast.
class LateBoundObject {
 public:
  virtual ~LateBoundObject() = default;
};

// Makes a new object on each call.
using ObjectFactory = std::function<std::shared_ptr<LateBoundObject>()>;

// The ProgID of the configuration-management component.
inline constexpr const char* kConfigMgtProgId = "TOVR20ConfigMgt.TOVRSConfigMgt";

// Registers factory under prog_id (letter case ignored), replacing what was
// registered there before. Safe to call from any thread.
void RegisterObjectFactory(std::string_view prog_id, ObjectFactory factory);

// Removes the registration of prog_id, if any. Afterwards CreateObject fails
// for it.
void UnregisterObjectFactory(std::string_view prog_id);

// The factory registered under prog_id, if any.
std::optional<ObjectFactory> FindObjectFactory(std::string_view prog_id);

// A new object from the factory registered under prog_id. An unknown ProgID,
// or a factory that returns no object, raises ComError 429 "ActiveX component
// can't create object"; whatever the factory raises passes through.
std::shared_ptr<LateBoundObject> CreateObject(std::string_view prog_id);

// Registers a factory for the lifetime of this object and puts back what was
// registered under the ProgID before (or nothing) when it ends.
class ScopedObjectFactory {
 public:
  ScopedObjectFactory(std::string prog_id, ObjectFactory factory);
  ~ScopedObjectFactory();
  ScopedObjectFactory(const ScopedObjectFactory&) = delete;
  ScopedObjectFactory& operator=(const ScopedObjectFactory&) = delete;

 private:
  std::string prog_id_;
  std::optional<ObjectFactory> previous_;
};

// The configuration-management component as UpdateMap100 calls it: four
// database settings, a connection, three methods and an error text. The
// methods take their arguments by reference, as the late-bound call passes
// them; their results are converted to Boolean by the caller (a result that
// cannot be converted raises 13 "Type mismatch" there). Any member may raise
// ComError; UpdateMap100 records it as its own failure.
class ConfigMgt : public LateBoundObject {
 public:
  // Write-only settings, set on every UpdateMap100 call in this order:
  // DatabaseName, DatabasePassword, DatabaseServer, DatabaseUser.
  virtual void DatabaseName(const String& value) = 0;
  virtual void DatabasePassword(const String& value) = 0;
  virtual void DatabaseServer(const String& value) = 0;
  virtual void DatabaseUser(const String& value) = 0;
  // The connection to work on; set right before Check_Check_Out.
  virtual void OpenConnection(std::shared_ptr<ado::Connection> connection) = 0;

  // Undoes every check-out of the profile's VRC (revision control switched
  // off). The result is ignored.
  virtual Variant Global_Undo_Check_Out(String& i_strUsrn, Integer& i_intMPRF, String& i_StrVers,
                                        String& i_StrRele, String& i_StrCust,
                                        String& i_StrPath) = 0;
  // Removes the stored revisions of the profile's VRC (called right after
  // Global_Undo_Check_Out). The result is ignored.
  virtual Variant Delete_Revisions(Integer& i_intMPRF, String& i_StrVers, String& i_StrRele,
                                   String& i_StrCust, String& i_strUsrn, String& i_StrPath) = 0;
  // True when the profile's development VRC may be changed now; False
  // refuses the change, with the reason in ErrDescription.
  virtual Variant Check_Check_Out(Integer& i_intMPRF) = 0;
  // The text of the component's last answer; read after every
  // Check_Check_Out.
  virtual String ErrDescription() = 0;
};

}  // namespace migprof

#endif  // MIGPROF_OBJECT_REGISTRY_H_
