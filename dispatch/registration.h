// Registration of an in-process server's classes and type library in the
// local registry, as a system's registration tool does it.
//
// RegisterServer writes, below HKEY_CLASSES_ROOT:
//   CLSID\{clsid}                    (default) the class's description
//     InprocServer32                 (default) the server's path,
//                                    ThreadingModel "Apartment"
//     ProgID                         (default) "<library>.<class>.<major>"
//     VersionIndependentProgID       (default) "<library>.<class>"
//     TypeLib                        (default) the library's {libid}
//     Version                        (default) "<major>.<minor>"
//     Programmable, and Control for a control (empty keys)
//   <library>.<class>                (default) description; CLSID, CurVer
//   <library>.<class>.<major>        (default) description; CLSID
//   TypeLib\{libid}\<major>.<minor>  (default) the library's description;
//                                    0\linux64 the server's path, FLAGS "0",
//                                    HELPDIR the server's folder
//   Interface\{iid}                  (default) the interface's name;
//                                    TypeLib (default) {libid}, Version
// for every creatable class and every interface. UnregisterServer removes
// exactly those keys (a ProgID key only while it still names this server's
// class) and leaves everything else as it was.
#ifndef QVR_DISPATCH_REGISTRATION_H_
#define QVR_DISPATCH_REGISTRATION_H_

#include <string>
#include <vector>

#include "dispatch/hresult.h"
#include "dispatch/type_info.h"

namespace qvr {

// S_OK, or SELFREG_E_CLASS / SELFREG_E_TYPELIB when the store refused a write
// (what was written is then removed again).
HRESULT RegisterServer(const TypeLibrary& library, const std::string& server_path);
// S_OK also when nothing was registered; SELFREG_E_CLASS / SELFREG_E_TYPELIB
// when a key could not be removed.
HRESULT UnregisterServer(const TypeLibrary& library);

// The keys below HKEY_CLASSES_ROOT that RegisterServer creates as trees of
// their own (removed whole by UnregisterServer).
std::vector<std::string> RegisteredKeys(const TypeLibrary& library);

}  // namespace qvr

#endif  // QVR_DISPATCH_REGISTRATION_H_
