// Implements and RefCounted: the Unknown part of a server object, written
// once for every object that offers interfaces.
//
// An object derives from the interfaces it offers through one of them, the
// first named being the one that stands for the object itself:
//
//   class Sink : public Object, public RefCounted<Dispatch> {
//     // GetTypeInfoCount, GetTypeInfo, GetIDsOfNames, Invoke
//   };
//   ComPtr<Sink> sink(new Sink());
//
// QueryInterface gives the first interface for IID_IUnknown (always the same
// pointer: clients compare objects by it) and each interface for its own id
// (the interface's kIid), with a reference added. For any other id it sets
// *object to null and gives E_NOINTERFACE; for a null `object`, E_POINTER.
// An object whose answers depend on its state overrides InterfaceFor.
//
// RefCounted keeps the reference count. It starts at zero (whoever makes the
// object takes the first reference), may be changed from several threads at
// once, and Release deletes the object when it drops to zero, so a RefCounted
// object is always made with new. Implements alone leaves AddRef and Release
// to the object, for one whose references are another object's (a
// connection point lives inside its owner).
//
// Neither keeps the server loaded: an object that does holds a
// server_lifetime::ObjectCount of its own.
#ifndef QVR_DISPATCH_UNKNOWN_IMPL_H_
#define QVR_DISPATCH_UNKNOWN_IMPL_H_

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "dispatch/unknown.h"

namespace qvr {

template <class First, class... Rest>
class Implements : public First, public Rest... {
  static_assert(std::is_base_of_v<Unknown, First> && (std::is_base_of_v<Unknown, Rest> && ...),
                "an object implements interfaces, which derive from Unknown");

 public:
  HRESULT QueryInterface(const Guid& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = InterfaceFor(iid);
    if (!*object) return E_NOINTERFACE;
    // Through First: each interface inherits its own AddRef.
    static_cast<First*>(this)->AddRef();
    return S_OK;
  }

 protected:
  ~Implements() override = default;

  // The interface given for `iid` (no reference added), or null.
  virtual void* InterfaceFor(const Guid& iid) {
    if (iid == IID_IUnknown) return static_cast<First*>(this);
    return Find<First, Rest...>(iid);
  }

 private:
  template <class Interface, class... More>
  void* Find(const Guid& iid) {
    if (iid == Interface::kIid) return static_cast<Interface*>(this);
    if constexpr (sizeof...(More) > 0) {
      return Find<More...>(iid);
    } else {
      return nullptr;
    }
  }
};

template <class... Interfaces>
class RefCounted : public Implements<Interfaces...> {
 public:
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  ~RefCounted() override = default;

 private:
  std::atomic<uint32_t> refs_{0};
};

}  // namespace qvr

#endif  // QVR_DISPATCH_UNKNOWN_IMPL_H_
