#include "dispatch/class_factory.h"

#include <exception>

namespace qvr {

HRESULT FunctionClassFactory::CreateInstance(Unknown* outer, const Guid& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  Unknown* made = nullptr;
  try {
    made = maker_();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception&) {
    return E_FAIL;
  }
  if (!made) return E_FAIL;
  // Hold the new object while asking for the interface, so that a refusal
  // ends it.
  made->AddRef();
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

HRESULT FunctionClassFactory::LockServer(bool lock) {
  if (lock) {
    server_lifetime::Lock();
  } else {
    server_lifetime::Unlock();
  }
  return S_OK;
}

}  // namespace qvr
