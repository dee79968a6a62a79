// ctlRegistryEvents: the outgoing interface of the registry browser control.
//
// A host derives from this class, overrides the events it wants and connects
// an instance with ctlRegistry::Advise. Events are delivered synchronously on
// the user-interface thread, from inside the person's action that caused them.
#ifndef QVR_CONTROL_CTL_REGISTRY_EVENTS_H_
#define QVR_CONTROL_CTL_REGISTRY_EVENTS_H_

#include <cstdint>

namespace qvr {

class ctlRegistryEvents {
 public:
  // Dispatch ids, in the order of the event interface.
  static constexpr int32_t kDoubleClickDispId = 1;
  static constexpr int32_t kSingleClickDispId = 2;

  virtual ~ctlRegistryEvents() = default;

  // A double click in the tree or in the value list, in single selection only.
  virtual void evtDoubleClick() {}

  // A click on a tree node or in the value list. `bValidSelection` is true
  // when a key below a hive, or a value, is now selected. The control reads
  // nothing back from it.
  virtual void evtSingleClick(bool& bValidSelection) {}
};

}  // namespace qvr

#endif  // QVR_CONTROL_CTL_REGISTRY_EVENTS_H_
