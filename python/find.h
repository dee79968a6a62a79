// find(path, text, ...): the matches of a registry search, for Python scripts.
//
//   import qvrRegistryBrowser as q
//   for m in q.find("HKLM\\SOFTWARE", "python", keys=False):
//       print(m.kind, m.key_path, m.value_name, m.data)
//
// The search (registry/registry_search.h) runs on a thread of its own while
// the script takes its matches, which wait in a short queue: a script that
// stops iterating stops the search, and the search never holds the GIL. Like
// key_info, it reaches the registry of this process directly.
#ifndef QVR_PYTHON_FIND_H_
#define QVR_PYTHON_FIND_H_

#include <pybind11/pybind11.h>

namespace qvr::python {

// Adds find, its iterator type FindIterator and its result type Match.
void BindFind(pybind11::module_& m);

}  // namespace qvr::python

#endif  // QVR_PYTHON_FIND_H_
