// Unknown: the root of every server interface, and ComPtr, its smart pointer.
//
// An object counts the references handed out to it: AddRef adds one, Release
// drops one and ends the object at zero. QueryInterface gives the object's
// interface with the identifier asked for (with a reference added), or
// E_NOINTERFACE. Objects live on the thread that made them. Each interface
// derived from Unknown names its identifier as kIid; an object implements
// these three through Implements or RefCounted (dispatch/unknown_impl.h).
//
//   ComPtr<Dispatch> d;
//   if (Succeeded(unknown->QueryInterface(IID_IDispatch, d.PutVoid()))) ...
#ifndef QVR_DISPATCH_UNKNOWN_H_
#define QVR_DISPATCH_UNKNOWN_H_

#include <cstdint>
#include <utility>

#include "dispatch/guid.h"
#include "dispatch/hresult.h"

namespace qvr {

class Unknown {
 public:
  virtual HRESULT QueryInterface(const Guid& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~Unknown() = default;
};

// Holds one reference to an interface and releases it when it ends.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Adds a reference to `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // The address to receive an interface from QueryInterface and the like
  // (releases what was held).
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T** Put() {
    Reset();
    return &p_;
  }

  // QueryInterface for another interface; empty when the object lacks it.
  template <class U>
  ComPtr<U> As(const Guid& iid) const {
    ComPtr<U> out;
    if (p_) p_->QueryInterface(iid, out.PutVoid());
    return out;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_UNKNOWN_H_
