// qvrClsRegistryObjectEvents: the event interface of qvrClsRegistryObject.
//
// A client that wants to hear of each item while EnumKeys or EnumValues runs
// derives from this class, overrides the events it cares about (the defaults
// do nothing) and connects an instance with qvrClsRegistryObject::Advise.
//
// Events are delivered synchronously, on the caller's thread, from inside the
// enumeration call, before the next item is fetched. A handler may call any
// member of the registry object, among them AbortEnum and Unadvise (its own
// connection or another one).
#ifndef QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_EVENTS_H_
#define QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_EVENTS_H_

#include <cstdint>
#include <memory>
#include <string>

namespace qvr {

class qvrClsValue;

class qvrClsRegistryObjectEvents {
 public:
  // Dispatch ids of the events, in the order of the event interface.
  static constexpr int32_t kKeyEnumeratedDispId = 1;
  static constexpr int32_t kValueEnumeratedDispId = 2;

  virtual ~qvrClsRegistryObjectEvents() = default;

  // One sub-key found by EnumKeys: its own name (one path element) and whether
  // it has at least one sub-key of its own.
  virtual void KeyEnumerated(const std::string& RegKey, bool HasChildren) {}

  // One value found by EnumValues, already given its name, type, parent key
  // and registry object (and so already holding its data).
  virtual void ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) {}
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_REGISTRY_OBJECT_EVENTS_H_
