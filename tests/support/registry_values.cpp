#include "support/registry_values.h"

#include <gtest/gtest.h>

#include "base/hex.h"

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

std::string HexOf(std::string_view bytes) { return HexBytes(bytes); }

std::string ValueText(HKEY root, const char* key, const char* name) {
  HKEY h = 0;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
  char buffer[256] = {};
  DWORD size = sizeof buffer - 1, type = 0;
  LONG rc = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(h);
  if (rc != ERROR_SUCCESS) return "<absent>";
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<uint32_t*>(buffer));
  if (type == REG_BINARY) return HexOf(std::string_view(buffer, size));
  return std::string(buffer);
}

}  // namespace qvr::testing
