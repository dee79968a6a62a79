#include "registry/registry_api.h"

#include <cstring>
#include <string>

#include "registry/registry_service.h"

namespace qvr {
#define QVR_WITH_SERVICE(call)                  \
  auto service = CurrentRegistryService();      \
  if (!service) return ERROR_BADDB;                \
  return service->call

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, DWORD, HKEY* phkResult) {
  QVR_WITH_SERVICE(OpenKey(hKey, lpSubKey, phkResult));
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, DWORD samDesired,
                     const void*, HKEY* phkResult, DWORD* lpdwDisposition) {
  QVR_WITH_SERVICE(CreateKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition));
}

LONG RegCloseKey(HKEY hKey) { QVR_WITH_SERVICE(CloseKey(hKey)); }

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData) {
  QVR_WITH_SERVICE(QueryValue(hKey, lpValueName, lpType, lpData, lpcbData));
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  QVR_WITH_SERVICE(SetValue(hKey, lpValueName, dwType, lpData, cbData));
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD*, char*,
                   DWORD*, FILETIME*) {
  QVR_WITH_SERVICE(EnumKey(hKey, dwIndex, lpName, lpcchName));
}

LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                      DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                      DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                      DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
  auto service = CurrentRegistryService();
  if (!service) return ERROR_BADDB;
  KeyInfo info;
  // The handle is checked before the arguments, as Windows does.
  LONG rc = service->QueryInfoKey(hKey, &info);
  if (rc != ERROR_SUCCESS) return rc;
  if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (lpcchClass != nullptr) {
    const DWORD length = static_cast<DWORD>(info.class_name.size());
    if (lpClass != nullptr && length + 1 > *lpcchClass) {
      rc = ERROR_MORE_DATA;
    } else if (lpClass != nullptr) {
      std::memcpy(lpClass, info.class_name.c_str(), length + 1);
    }
    *lpcchClass = length;
  }
  auto put = [](DWORD* out, DWORD value) {
    if (out != nullptr) *out = value;
  };
  put(lpcSubKeys, info.sub_keys);
  put(lpcbMaxSubKeyLen, info.max_sub_key_len);
  put(lpcbMaxClassLen, info.max_class_len);
  put(lpcValues, info.values);
  put(lpcbMaxValueNameLen, info.max_value_name_len);
  put(lpcbMaxValueLen, info.max_value_len);
  put(lpcbSecurityDescriptor, 0);
  if (lpftLastWriteTime != nullptr) {
    const auto time = static_cast<uint64_t>(info.last_write);
    lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(time >> 32);
  }
  return rc;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
  QVR_WITH_SERVICE(EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData));
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
  QVR_WITH_SERVICE(DeleteValue(hKey, lpValueName));
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) { QVR_WITH_SERVICE(DeleteKey(hKey, lpSubKey)); }

LONG RegConnectRegistryA(const char* lpMachineName, HKEY hKey, HKEY* phkResult) {
  QVR_WITH_SERVICE(Connect(lpMachineName, hKey, phkResult));
}

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize) {
  return ExpandEnvironmentStringsForKeyA(HKEY_LOCAL_MACHINE, lpSrc, lpDst, nSize);
}

DWORD ExpandEnvironmentStringsForKeyA(HKEY hKey, const char* lpSrc, char* lpDst, DWORD nSize) {
  auto service = CurrentRegistryService();
  std::string out;
  if (!service || service->ExpandEnvironment(hKey, lpSrc ? lpSrc : "", &out) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (lpDst != nullptr && nSize >= needed) std::memcpy(lpDst, out.c_str(), needed);
  return needed;
}

}  // namespace qvr
