// ClassFactory: makes the objects of one creatable class.
//
// DllGetClassObject hands out a factory; CreateInstance makes a new object
// and gives the interface asked for; LockServer(true) keeps the server loaded
// (DllCanUnloadNow answers S_FALSE) until the matching LockServer(false).
// Aggregation is not supported (CLASS_E_NOAGGREGATION).
#ifndef QVR_DISPATCH_CLASS_FACTORY_H_
#define QVR_DISPATCH_CLASS_FACTORY_H_

#include <atomic>
#include <functional>

#include "dispatch/server_lifetime.h"
#include "dispatch/unknown.h"

namespace qvr {

class ClassFactory : public Unknown {
 public:
  virtual HRESULT CreateInstance(Unknown* outer, const Guid& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;
};

// A factory whose objects come from a function. The function gives a new
// object with no reference taken yet (or null when it cannot make one).
class FunctionClassFactory : public ClassFactory {
 public:
  using Maker = std::function<Unknown*()>;
  explicit FunctionClassFactory(Maker maker) : maker_(std::move(maker)) {}

  HRESULT QueryInterface(const Guid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT CreateInstance(Unknown* outer, const Guid& iid, void** object) override;
  HRESULT LockServer(bool lock) override;

 private:
  ~FunctionClassFactory() override = default;

  std::atomic<uint32_t> refs_{0};
  server_lifetime::ObjectCount counted_;
  Maker maker_;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_CLASS_FACTORY_H_
