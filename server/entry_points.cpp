#include "server/entry_points.h"

#include <dlfcn.h>

#include <string>

#include "dispatch/class_factory.h"
#include "dispatch/registration.h"
#include "dispatch/server_lifetime.h"
#include "server/catalog.h"

namespace {

// The path this library was loaded from.
std::string OwnPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) {
    return {};
  }
  char resolved[4096];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

}  // namespace

extern "C" {

qvr::HRESULT DllRegisterServer() {
  std::string path = OwnPath();
  if (path.empty()) return qvr::E_UNEXPECTED;
  return qvr::RegisterServer(qvr::server::Catalog::Get().Library(), path);
}

qvr::HRESULT DllUnregisterServer() {
  return qvr::UnregisterServer(qvr::server::Catalog::Get().Library());
}

qvr::HRESULT DllGetClassObject(const qvr::Guid* rclsid, const qvr::Guid* riid, void** ppv) {
  if (!ppv) return qvr::E_POINTER;
  *ppv = nullptr;
  if (!rclsid || !riid) return qvr::E_INVALIDARG;
  auto& catalog = qvr::server::Catalog::Get();
  if (!catalog.IsCreatable(*rclsid)) return qvr::CLASS_E_CLASSNOTAVAILABLE;
  qvr::Guid clsid = *rclsid;
  auto* factory = new qvr::FunctionClassFactory([clsid] {
    return qvr::server::Catalog::Get().Create(clsid);
  });
  factory->AddRef();
  qvr::HRESULT hr = factory->QueryInterface(*riid, ppv);
  factory->Release();
  return hr;
}

qvr::HRESULT DllCanUnloadNow() {
  return qvr::server_lifetime::CanUnload() ? qvr::S_OK : qvr::S_FALSE;
}

qvr::HRESULT DllGetTypeLibrary(const qvr::TypeLibrary** library) {
  if (!library) return qvr::E_POINTER;
  *library = &qvr::server::Catalog::Get().Library();
  return qvr::S_OK;
}

}  // extern "C"
