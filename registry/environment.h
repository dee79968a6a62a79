// Environment: the variables a process of a Windows machine starts with, as
// Windows builds them from that machine's registry, and the expansion of
// %NAME% references with them. (Never this Linux process's environment: the
// registry shown may be another machine's, and its variables are its own.)
//
// The variables come from
//   1. the values of the machine's key
//      HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment;
//   2. then, for the local machine, those of the user's HKCU\Environment: a
//      user's variable replaces the machine's of the same name, except Path,
//      which becomes the machine's, ";", the user's (when both are set and
//      not empty);
//   3. then SystemRoot and windir, where neither key names them, from
//      HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\SystemRoot.
// Only REG_SZ and REG_EXPAND_SZ values with a name count; the text ends at its
// first NUL. A REG_EXPAND_SZ variable is expanded once, against the variables
// as they are stored, and its expansion is not expanded again (a Path joined
// from both keys expands each part by its own type). A key or value that is
// absent simply gives no variable. Names compare without regard to case.
//
// An Environment is a value: copies are independent, and a const one may be
// read from several threads at once. Read reaches the store, which needs the
// caller's synchronization (the registry service reads it under its lock).
//
//   Environment env;
//   if (Environment::Read(store, hklm, user_hive, &env) == ERROR_SUCCESS)
//     text = env.Expand("%SystemRoot%\\system32");   // "C:\Windows\system32"
#ifndef QVR_REGISTRY_ENVIRONMENT_H_
#define QVR_REGISTRY_ENVIRONMENT_H_

#include <map>
#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "registry/registry_store.h"

namespace qvr {

class Environment {
 public:
  // Reads the variables from `store`, whose HKEY_LOCAL_MACHINE is the key
  // `local_machine`; `user_hive` is the user's hive (the key HKEY_CURRENT_USER
  // shows), or 0 for the machine's variables alone, as another machine's
  // registry gives them. Returns 0, or the store's code when a key or value
  // that is there cannot be read (1009 for a damaged store); `*environment`
  // is left alone then.
  static LONG Read(RegistryStore& store, KeyId local_machine, KeyId user_hive,
                   Environment* environment);

  // `text` with every %NAME% that names a variable replaced by its value. A
  // reference to an unknown name stays as written, both % included, and the
  // text after it is read on from there ("%NOPE%HOME%" stays as it is); a %
  // without a closing one, and "%%", are text.
  std::string Expand(std::string_view text) const;

 private:
  std::map<std::string, std::string> values_;  // by folded name
};

}  // namespace qvr

#endif  // QVR_REGISTRY_ENVIRONMENT_H_
