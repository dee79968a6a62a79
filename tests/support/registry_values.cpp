#include "support/registry_values.h"

#include <gtest/gtest.h>

namespace qvr::testing {

void PutString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS)
      << path << " " << name;
  RegCloseKey(key);
}

std::pair<DWORD, std::string> GetRaw(HKEY key, const std::string& name) {
  DWORD type = REG_NONE, size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return {REG_NONE, "<absent>"};
  }
  std::string data(size, '\0');
  RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  data.resize(size);
  return {type, data};
}

bool KeyExists(HKEY parent, const std::string& path) {
  HKEY key = 0;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace qvr::testing
