// The registry calls, with Windows' names, arguments and result codes.
//
// These free functions are the only way the library reaches registry data.
// Names and texts are UTF-8 (the system code page). Handles are 32-bit signed
// values; the predefined hive handles are accepted wherever a key handle is.
// The calls go to the current registry service (registry/registry_service.h),
// which a program may replace, for example with one over a temporary store.
//
// Result codes are Win32 error codes, named below; 0 is success:
//   2 a missing key or value           5 a write to a read-only store, or
//   6 an unknown or closed handle        RegDeleteKeyA of a key with sub-keys
//  13 data a file cannot carry        53 an unknown or unreachable machine
//  87 a bad name or argument         112 the disk is full
// 170 the store is busy elsewhere     234 a buffer too small
// 259 the end of an enumeration      1009 a store that is damaged or cannot
// 1018 a handle whose key was             be opened (see below)
//      deleted meanwhile                 1 (a store without transactions)
//
// 1009 (ERROR_BADDB) is the one answer for a damaged store, whether opening
// it finds the damage (a file that is not a store of ours, a missing table or
// column, another format marker) or a later call meets it (a page that cannot
// be read, a key or value that a listing shows but a look-up cannot find, a
// header that forbids writing). Calls that meet no damage answer as usual, so
// a damaged store still serves what it can read; damage that leaves a
// well-formed database (other bytes inside a value) reads as data. Damage
// never shows as 2, 5 or 1018: those mean that the key or value is really
// absent, the store really read-only, the key really deleted. (1015,
// ERROR_REGISTRY_CORRUPT, is not used.)
#ifndef QVR_REGISTRY_REGISTRY_API_H_
#define QVR_REGISTRY_REGISTRY_API_H_

#include <cstdint>

namespace qvr {

using HKEY = int32_t;
using LONG = int32_t;
using DWORD = uint32_t;
using BYTE = uint8_t;

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

inline constexpr HKEY HKEY_CLASSES_ROOT = static_cast<HKEY>(0x80000000u);
inline constexpr HKEY HKEY_CURRENT_USER = static_cast<HKEY>(0x80000001u);
inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002u);
inline constexpr HKEY HKEY_USERS = static_cast<HKEY>(0x80000003u);
inline constexpr HKEY HKEY_CURRENT_CONFIG = static_cast<HKEY>(0x80000005u);

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_INVALID_FUNCTION = 1;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_NOT_SAME_DEVICE = 17;
inline constexpr LONG ERROR_NOT_SUPPORTED = 50;
inline constexpr LONG ERROR_BAD_NETPATH = 53;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_DISK_FULL = 112;
inline constexpr LONG ERROR_BUSY = 170;
inline constexpr LONG ERROR_ALREADY_EXISTS = 183;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr LONG ERROR_NOT_REGISTRY_FILE = 1017;
inline constexpr LONG ERROR_KEY_DELETED = 1018;
inline constexpr LONG ERROR_CANCELLED = 1223;
inline constexpr LONG ERROR_NO_SYSTEM_RESOURCES = 1450;

inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_SET_VALUE = 0x0002;
inline constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_WRITE = 0x20006;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

// How many levels below its hive a key may lie (the hive's own key, such as
// HKEY_LOCAL_MACHINE or HKEY_USERS, is level 0; the keys the other hives
// show count from there), as on Windows: creating a deeper key gives 87.
inline constexpr int kMaxKeyDepth = 512;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_RESOURCE_LIST = 8;
inline constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
inline constexpr DWORD REG_QWORD = 11;

// Opens the key `lpSubKey` below `hKey` ("" or null opens `hKey` itself anew).
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired,
                   HKEY* phkResult);

// Opens the key, creating it and any missing parents first.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass,
                     DWORD dwOptions, DWORD samDesired, const void* lpSecurityAttributes,
                     HKEY* phkResult, DWORD* lpdwDisposition);

LONG RegCloseKey(HKEY hKey);

// Reads a value. With lpData null (or *lpcbData 0) it reports the type and the
// data length only. A buffer too small gives 234 and the length needed. String
// types are stored as UTF-16LE; this call returns them as UTF-8 and counts the
// bytes of the converted data, terminators included.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);

// Writes a value. String types are given in UTF-8 and stored as UTF-16LE.
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);

// Sub-key `dwIndex` in case-insensitive name order. *lpcchName is the buffer's
// size in bytes on entry and the name's length without its NUL on return.
// lpClass, lpcchClass and lpftLastWriteTime are left as they are: a listing
// stays one look-up per sub-key (RegQueryInfoKeyA of the sub-key tells them).
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved,
                   char* lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime);

// What a key holds and when it last changed. Each output may be null.
// *lpcSubKeys and *lpcValues count the key's sub-keys and values;
// *lpcbMaxSubKeyLen, *lpcbMaxClassLen and *lpcbMaxValueNameLen give the
// longest sub-key name, sub-key class and value name in UTF-16 units, as
// Windows counts them (this call's UTF-8 may take up to 3 bytes a unit), and
// *lpcbMaxValueLen the largest value data in bytes as stored (text types as
// UTF-16LE), all without a terminating NUL. *lpcbSecurityDescriptor is 0:
// keys carry no security descriptors here. *lpftLastWriteTime is the key's
// last-write time (UTC; 0 when the store does not know it). The class comes
// as UTF-8 into lpClass, whose size in bytes *lpcchClass gives on entry;
// *lpcchClass is the class's length without its NUL on return. A class
// buffer too small gives 234, with that length and every other output
// filled; lpClass without lpcchClass, or lpReserved not null, gives 87.
LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                      DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                      DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                      DWORD* lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);

// Value `dwIndex` in creation order (name, type and, when asked, data).
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);

// Deletes a key that has no sub-keys (5 when it has some).
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);

// HKEY_LOCAL_MACHINE or HKEY_USERS of another machine, found in the machine
// table. A null or empty name, ".", "localhost" and this host's name mean the
// local machine.
LONG RegConnectRegistryA(const char* lpMachineName, HKEY hKey, HKEY* phkResult);

// Replaces each %NAME% by the variable NAME of this machine's environment as
// Windows builds it from the registry: the machine's variables, then the
// user's (HKCU\Environment; see registry/environment.h), read anew for each
// call; never this Linux process's environment. Names compare without regard
// to case; a reference to an unknown name stays as written. Returns the
// characters needed, NUL included; when that is more than nSize the buffer
// holds nothing useful. 0 when the environment cannot be read (the store is
// damaged or cannot be opened).
DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize);

// The same, from the environment of the machine that holds hKey: this
// machine's (as above) for the predefined hives and keys opened below them,
// another machine's own (its machine variables alone) for keys reached
// through RegConnectRegistryA. 0 also for a handle that is closed or whose key
// was deleted.
DWORD ExpandEnvironmentStringsForKeyA(HKEY hKey, const char* lpSrc, char* lpDst, DWORD nSize);

}  // namespace qvr

#endif  // QVR_REGISTRY_REGISTRY_API_H_
