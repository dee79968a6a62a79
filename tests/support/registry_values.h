// Small helpers for tests that set up or inspect registry data through the
// service's own functions.
#ifndef QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_
#define QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_

#include <string>
#include <string_view>
#include <utility>

#include "registry/registry_api.h"

namespace qvr::testing {

// Creates `path` below `root` as needed and stores `text` there as a REG_SZ
// value named `name`; a failure fails the running test.
void PutString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text);

// The type and raw bytes of a value of `key`; {REG_NONE, "<absent>"} when the
// value cannot be read.
std::pair<DWORD, std::string> GetRaw(HKEY key, const std::string& name);

// The bytes as lower-case hex digits, two per byte.
std::string HexOf(std::string_view bytes);

// A value read through the ordinary calls: text as it is, a DWORD in decimal,
// other data in hex; "<no key>" or "<absent>" when it is not there.
std::string ValueText(HKEY root, const char* key, const char* name);

// True when `path` below `parent` opens.
bool KeyExists(HKEY parent, const std::string& path);

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_
