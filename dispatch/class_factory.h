// ClassFactory: makes the objects of one creatable class.
//
// DllGetClassObject hands out a factory; CreateInstance makes a new object
// and gives the interface asked for; LockServer(true) keeps the server loaded
// (DllCanUnloadNow answers S_FALSE) until the matching LockServer(false).
// Aggregation is not supported (CLASS_E_NOAGGREGATION).
#ifndef QVR_DISPATCH_CLASS_FACTORY_H_
#define QVR_DISPATCH_CLASS_FACTORY_H_

#include <functional>

#include "dispatch/server_lifetime.h"
#include "dispatch/unknown.h"
#include "dispatch/unknown_impl.h"

namespace qvr {

class ClassFactory : public Unknown {
 public:
  static constexpr const Guid& kIid = IID_IClassFactory;

  virtual HRESULT CreateInstance(Unknown* outer, const Guid& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;
};

// A factory whose objects come from a function. The function gives a new
// object with no reference taken yet (or null when it cannot make one). The
// factory keeps the server loaded while it lives.
class FunctionClassFactory : public RefCounted<ClassFactory> {
 public:
  using Maker = std::function<Unknown*()>;
  explicit FunctionClassFactory(Maker maker) : maker_(std::move(maker)) {}

  HRESULT CreateInstance(Unknown* outer, const Guid& iid, void** object) override;
  HRESULT LockServer(bool lock) override;

 private:
  ~FunctionClassFactory() override = default;

  server_lifetime::ObjectCount counted_;
  Maker maker_;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_CLASS_FACTORY_H_
