// The C entry points of libqvrRegistryBrowser.so, as a host finds them with
// dlsym. Results are HRESULTs: 0 success, 1 false, failures negative
// (0x80040111 class not available, 0x80004002 no such interface, ...).
//
//   void* lib = dlopen("libqvrRegistryBrowser.so", RTLD_NOW);
//   auto get = (DllGetClassObjectFn)dlsym(lib, "DllGetClassObject");
//   qvr::ClassFactory* factory;
//   get(&clsid, &qvr::IID_IClassFactory, (void**)&factory);
#ifndef QVR_SERVER_ENTRY_POINTS_H_
#define QVR_SERVER_ENTRY_POINTS_H_

#include <cstdint>

#include "dispatch/guid.h"
#include "dispatch/hresult.h"
#include "dispatch/type_info.h"

#define QVR_EXPORT __attribute__((visibility("default")))

extern "C" {

// Writes the creatable classes, their ProgIDs, the interfaces and the type
// library into the local registry (HKEY_CLASSES_ROOT), naming this library's
// own path as the server.
QVR_EXPORT qvr::HRESULT DllRegisterServer();
// Removes exactly what DllRegisterServer wrote.
QVR_EXPORT qvr::HRESULT DllUnregisterServer();
// The class factory of a creatable class (riid IID_IClassFactory or
// IID_IUnknown); CLASS_E_CLASSNOTAVAILABLE for any other class id.
QVR_EXPORT qvr::HRESULT DllGetClassObject(const qvr::Guid* rclsid, const qvr::Guid* riid,
                                          void** ppv);
// S_OK when no object made by this library and no factory lock is alive,
// else S_FALSE.
QVR_EXPORT qvr::HRESULT DllCanUnloadNow();
// The type library, as a client reads it (valid while the library stays
// loaded).
QVR_EXPORT qvr::HRESULT DllGetTypeLibrary(const qvr::TypeLibrary** library);

}

using DllRegisterServerFn = qvr::HRESULT (*)();
using DllUnregisterServerFn = qvr::HRESULT (*)();
using DllGetClassObjectFn = qvr::HRESULT (*)(const qvr::Guid*, const qvr::Guid*, void**);
using DllCanUnloadNowFn = qvr::HRESULT (*)();
using DllGetTypeLibraryFn = qvr::HRESULT (*)(const qvr::TypeLibrary**);

#endif  // QVR_SERVER_ENTRY_POINTS_H_
