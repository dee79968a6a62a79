// Small helpers for tests that set up or inspect registry data through the
// service's own functions.
#ifndef QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_
#define QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_

#include <string>
#include <utility>

#include "platform/registry_api.h"

namespace qvr::testing {

// Creates `path` below `root` as needed and stores `text` there as a REG_SZ
// value named `name`; a failure fails the running test.
void PutString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text);

// The type and raw bytes of a value of `key`; {REG_NONE, "<absent>"} when the
// value cannot be read.
std::pair<DWORD, std::string> GetRaw(HKEY key, const std::string& name);

// True when `path` below `parent` opens.
bool KeyExists(HKEY parent, const std::string& path);

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_REGISTRY_VALUES_H_
