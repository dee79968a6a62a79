#include "registry/hive_names.h"

#include "base/unicode.h"

namespace qvr {
namespace {

constexpr HiveName kHives[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

}  // namespace

const HiveName* FindHive(std::string_view name) {
  for (const HiveName& h : kHives) {
    if (EqualsNoCase(name, h.full) || EqualsNoCase(name, h.brief)) return &h;
  }
  return nullptr;
}

const HiveName* FindHiveByHandle(HKEY hive) {
  for (const HiveName& h : kHives) {
    if (h.hive == hive) return &h;
  }
  return nullptr;
}

}  // namespace qvr
