// Registry result codes raised as Python exceptions, the same way by every
// call of the module that reaches the registry directly.
#ifndef QVR_PYTHON_REGISTRY_ERROR_H_
#define QVR_PYTHON_REGISTRY_ERROR_H_

#include <pybind11/pybind11.h>

#include <string>

#include "registry/registry_api.h"

namespace qvr::python {

// Raises FileNotFoundError for 2, PermissionError for 5, OSError otherwise,
// with `what` and the code in the message.
[[noreturn]] inline void RaiseRegistryError(LONG code, const std::string& what) {
  PyObject* type = code == ERROR_FILE_NOT_FOUND  ? PyExc_FileNotFoundError
                   : code == ERROR_ACCESS_DENIED ? PyExc_PermissionError
                                                 : PyExc_OSError;
  PyErr_SetString(type, (what + " (registry error " + std::to_string(code) + ")").c_str());
  throw pybind11::error_already_set();
}

}  // namespace qvr::python

#endif  // QVR_PYTHON_REGISTRY_ERROR_H_
