// RegKeyPath: a key named the way people write it on a command line or in a
// .reg file: "[\\MACHINE\]ROOT[\sub\key]".
//
// ROOT is a hive's full name or its short form: HKEY_LOCAL_MACHINE (HKLM),
// HKEY_CURRENT_USER (HKCU), HKEY_CLASSES_ROOT (HKCR), HKEY_USERS (HKU),
// HKEY_CURRENT_CONFIG (HKCC), in any letter case. Another machine offers only
// HKEY_LOCAL_MACHINE and HKEY_USERS, as on Windows.
#ifndef QVR_REGFILE_REG_KEY_PATH_H_
#define QVR_REGFILE_REG_KEY_PATH_H_

#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "registry/registry_service.h"

namespace qvr {

class RegKeyPath {
 public:
  // False with `error` set for an unknown root, an empty component, a name
  // past 255 characters, or a root another machine does not offer.
  static bool Parse(std::string_view text, RegKeyPath* out, std::string* error);

  const std::string& machine() const { return machine_; }  // "" for this machine
  HKEY root() const { return root_; }
  const std::string& root_name() const { return root_name_; }  // always the full name
  const std::string& sub_key() const { return sub_key_; }      // "" for the hive itself
  // The key as a .reg file names it: the full root name and the sub-key.
  std::string FileName() const;

  // A handle to the root on the key's machine: the predefined handle here,
  // a connection elsewhere (then `must_close` is set). A registry code.
  LONG OpenRoot(RegistryService& service, HKEY* root, bool* must_close) const;

 private:
  std::string machine_;
  HKEY root_ = 0;
  std::string root_name_;
  std::string sub_key_;
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_KEY_PATH_H_
