// The enumerations of the registry browser control's properties.
#ifndef QVR_CONTROL_CTL_REGISTRY_TYPES_H_
#define QVR_CONTROL_CTL_REGISTRY_TYPES_H_

#include <cstdint>

namespace qvr {

// How the user picks: the one key or value clicked last, or every key and
// value whose check box is ticked.
enum eSelectionType : int32_t {
  SingleSelect = 0,
  MultiSelect = 1,
};

// What the browser shows. Both show the registry; a policy browser has no
// behaviour of its own yet.
enum eBrowserType : int32_t {
  Registry = 0,
  SystemPolicy = 1,
};

}  // namespace qvr

#endif  // QVR_CONTROL_CTL_REGISTRY_TYPES_H_
