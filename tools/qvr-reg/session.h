// Key names as qvr-reg takes them, and the registry access its verbs share.
//
// A key name is [\\MACHINE\]HIVE[\SubKey...], the hive in its long or short
// form (HKEY_LOCAL_MACHINE or HKLM, HKEY_CURRENT_USER or HKCU,
// HKEY_CLASSES_ROOT or HKCR, HKEY_USERS or HKU, HKEY_CURRENT_CONFIG or HKCC),
// any letter case; a trailing "\" is ignored. Another machine (one of the
// machine table) offers only HKLM and HKU.
//
//   RegistrySession session;
//   KeyPath path;
//   if (!ParseKeyPath("HKCU\\Software\\Acme", &path, &error)) ...
//   HKEY key;
//   LONG rc = session.Open(path, /*create=*/false, &key);
//   ... SubKeyAt(key, 0, &name), ValueAt(key, 0, &value) ...
//   session.Close(key);
#ifndef QVR_TOOLS_QVR_REG_SESSION_H_
#define QVR_TOOLS_QVR_REG_SESSION_H_

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "reglib/qvr_cls_registry_object.h"

namespace qvr::reg_tool {

struct KeyPath {
  std::string machine;    // as typed, without the leading "\\"; "" for this machine
  HKEY hive = 0;          // a predefined hive handle
  std::string hive_name;  // the long form, e.g. "HKEY_LOCAL_MACHINE"
  std::string sub_key;    // "" for the hive itself

  // The full name as output shows it: [\\MACHINE\]HIVE_LONG_NAME[\sub_key].
  std::string Text() const;
  // The path of the sub-key `name` (or path "A\\B") of this key; this key
  // for "".
  KeyPath Child(std::string_view name) const;
};

// Parses a key name; false, with `error` saying why, for a name that is not
// one.
bool ParseKeyPath(std::string_view text, KeyPath* path, std::string* error);

// One registry value as read.
struct RegistryValue {
  std::string name;  // "" for the key's default value
  DWORD type = REG_NONE;
  std::string data;  // string types as UTF-8 with their terminators
};

// The value `name` of `key`, whatever its size; `value->name` is `name`.
LONG ReadValue(HKEY key, const std::string& name, RegistryValue* value);
// As ReadValue, but `value->name` is the name as it is stored (the letter
// case it was created with).
LONG FindValue(HKEY key, const std::string& name, RegistryValue* value);
// The value at `index` (creation order); 259 past the end.
LONG ValueAt(HKEY key, DWORD index, RegistryValue* value);
// The name of the sub-key at `index` (name order); 259 past the end.
LONG SubKeyAt(HKEY key, DWORD index, std::string* name);

// The registry object a verb works through, with the connections to another
// machine that the key names need. Handles opened through a session are
// closed when it ends.
class RegistrySession {
 public:
  // `warnings` (when given) hears, as a "WARNING: " line, what a machine
  // connected to has to tell though it was reached (the keys a Windows
  // installation left out): once per process and machine.
  explicit RegistrySession(std::ostream* warnings = nullptr);
  ~RegistrySession();
  RegistrySession(const RegistrySession&) = delete;
  RegistrySession& operator=(const RegistrySession&) = delete;

  qvrClsRegistryObject& Registry() { return *registry_; }

  // Opens the key `path`, creating it and any missing parents when
  // `create`. Returns the registry result code; on 0 `key` holds a handle.
  LONG Open(const KeyPath& path, bool create, HKEY* key);
  void Close(HKEY key);

  // True when `path` is a hive file loaded below HKLM or HKU.
  bool IsLoadedHive(const KeyPath& path);

  // Deletes the key `path` with all its sub-keys and values, all or nothing.
  LONG DeleteTree(const KeyPath& path);

 private:
  // Points the registry object at the hives of `machine` ("" = this one).
  LONG UseMachine(const std::string& machine);
  HKEY ParentFor(HKEY hive) const;
  // Deletes every key below `key`, deepest first; a tree of any depth.
  LONG DeleteChildren(HKEY key);

  std::shared_ptr<qvrClsRegistryObject> registry_;
  std::ostream* warnings_;
  std::string machine_;
  HKEY remote_local_machine_ = 0;
  HKEY remote_users_ = 0;
};

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_SESSION_H_
