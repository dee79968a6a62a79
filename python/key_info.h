// key_info(path): what RegQueryInfoKeyA tells of a key, for Python scripts.
//
//   import qvrRegistryBrowser as q
//   info = q.key_info("HKCU\\Software\\Acme")
//   info.sub_keys, info.values, info.last_write   # datetime (UTC) or None
//
// A module function beside the server's classes, which gain no members for
// it: the module reaches the registry of this process directly (the store
// named by QVR_REGISTRY, the machines of the machine table), as the server
// library does.
#ifndef QVR_PYTHON_KEY_INFO_H_
#define QVR_PYTHON_KEY_INFO_H_

#include <pybind11/pybind11.h>

namespace qvr::python {

// Adds key_info and its result type KeyInfo to the module.
void BindKeyInfo(pybind11::module_& m);

}  // namespace qvr::python

#endif  // QVR_PYTHON_KEY_INFO_H_
