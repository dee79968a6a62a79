#include "dispatch/registration.h"

#include <cstring>
#include <filesystem>

#include "registry/registry_api.h"
#include "base/unicode.h"

namespace qvr {
namespace {

constexpr DWORD kAccess = KEY_READ | KEY_WRITE;

// One key opened (created when missing) below HKEY_CLASSES_ROOT, closed when
// it ends.
class Key {
 public:
  explicit Key(const std::string& path) {
    rc_ = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          kAccess, nullptr, &handle_, nullptr);
  }
  ~Key() {
    if (rc_ == ERROR_SUCCESS) RegCloseKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool Ok() const { return rc_ == ERROR_SUCCESS; }
  bool Set(const std::string& name, const std::string& text) {
    if (!Ok()) return false;
    return RegSetValueExA(handle_, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  }

 private:
  HKEY handle_ = 0;
  LONG rc_ = ERROR_INVALID_HANDLE;
};

bool WriteKey(const std::string& path, const std::string& default_text = {},
              const std::vector<std::pair<std::string, std::string>>& named = {},
              bool set_default = true) {
  Key k(path);
  if (!k.Ok()) return false;
  if (set_default && !k.Set("", default_text)) return false;
  for (const auto& [name, text] : named) {
    if (!k.Set(name, text)) return false;
  }
  return true;
}

// Removes `path` below `parent` and everything under it; a key that is not
// there counts as removed.
bool DeleteTree(HKEY parent, const std::string& path) {
  HKEY key = 0;
  LONG rc = RegOpenKeyExA(parent, path.c_str(), 0, kAccess, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  bool ok = true;
  for (;;) {
    char name[1025];
    DWORD len = sizeof name - 1;
    rc = RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    if (!DeleteTree(key, std::string(name, len))) {
      ok = false;
      break;
    }
  }
  RegCloseKey(key);
  if (!ok) return false;
  rc = RegDeleteKeyA(parent, path.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Removes the key `path` when it holds neither sub-keys nor values: the
// containers registration had to create (CLSID, TypeLib, Interface in a new
// store) go again with the last entry in them.
void RemoveIfEmpty(const std::string& path) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[1025];
  DWORD len = sizeof name - 1;
  bool has_keys = RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                  ERROR_NO_MORE_ITEMS;
  len = sizeof name - 1;
  bool has_values = RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_NO_MORE_ITEMS;
  RegCloseKey(key);
  if (!has_keys && !has_values) RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
}

// The default text of `path`\CLSID, or "" when there is none.
std::string ProgIdClass(const std::string& path) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, (path + "\\CLSID").c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return {};
  }
  char buf[128] = {};
  DWORD type = 0, size = sizeof buf - 1;
  LONG rc = RegQueryValueExA(key, "", nullptr, &type,
                             reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
  return std::string(buf, strnlen(buf, size));
}

std::string Describe(const ClassInfo& c) { return c.description.empty() ? c.name : c.description; }

bool RegisterClasses(const TypeLibrary& lib, const std::string& path) {
  const std::string libid = lib.LibId().ToString();
  for (const auto& c : lib.Classes()) {
    if (!c.creatable) continue;
    const std::string clsid = c.clsid.ToString();
    const std::string base = "CLSID\\" + clsid;
    bool ok = WriteKey(base, Describe(c)) &&
              WriteKey(base + "\\InprocServer32", path, {{"ThreadingModel", "Apartment"}}) &&
              WriteKey(base + "\\ProgID", lib.VersionedProgId(c)) &&
              WriteKey(base + "\\VersionIndependentProgID", lib.ProgId(c)) &&
              WriteKey(base + "\\TypeLib", libid) &&
              WriteKey(base + "\\Version", lib.VersionText()) &&
              WriteKey(base + "\\Programmable", {}, {}, false) &&
              (!c.control || WriteKey(base + "\\Control", {}, {}, false)) &&
              WriteKey(lib.ProgId(c), Describe(c)) &&
              WriteKey(lib.ProgId(c) + "\\CLSID", clsid) &&
              WriteKey(lib.ProgId(c) + "\\CurVer", lib.VersionedProgId(c)) &&
              WriteKey(lib.VersionedProgId(c), Describe(c)) &&
              WriteKey(lib.VersionedProgId(c) + "\\CLSID", clsid);
    if (!ok) return false;
  }
  return true;
}

bool RegisterTypeLibrary(const TypeLibrary& lib, const std::string& path) {
  const std::string libid = lib.LibId().ToString();
  const std::string base = "TypeLib\\" + libid + "\\" + lib.VersionText();
  std::string folder = std::filesystem::path(path).parent_path().string();
  bool ok = WriteKey(base, lib.Description()) && WriteKey(base + "\\0\\linux64", path) &&
            WriteKey(base + "\\FLAGS", "0") && WriteKey(base + "\\HELPDIR", folder);
  if (!ok) return false;
  for (const auto& i : lib.Interfaces()) {
    const std::string key = "Interface\\" + i.iid.ToString();
    if (!WriteKey(key, i.name) ||
        !WriteKey(key + "\\TypeLib", libid, {{"Version", lib.VersionText()}})) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<std::string> RegisteredKeys(const TypeLibrary& lib) {
  std::vector<std::string> keys;
  for (const auto& c : lib.Classes()) {
    if (!c.creatable) continue;
    keys.push_back("CLSID\\" + c.clsid.ToString());
    keys.push_back(lib.ProgId(c));
    keys.push_back(lib.VersionedProgId(c));
  }
  keys.push_back("TypeLib\\" + lib.LibId().ToString() + "\\" + lib.VersionText());
  for (const auto& i : lib.Interfaces()) keys.push_back("Interface\\" + i.iid.ToString());
  return keys;
}

HRESULT RegisterServer(const TypeLibrary& lib, const std::string& server_path) {
  if (!RegisterClasses(lib, server_path)) {
    UnregisterServer(lib);
    return SELFREG_E_CLASS;
  }
  if (!RegisterTypeLibrary(lib, server_path)) {
    UnregisterServer(lib);
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterServer(const TypeLibrary& lib) {
  bool classes_ok = true;
  for (const auto& c : lib.Classes()) {
    if (!c.creatable) continue;
    const std::string clsid = c.clsid.ToString();
    classes_ok &= DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
    // A ProgID another server has taken over since stays.
    for (const std::string& progid : {lib.ProgId(c), lib.VersionedProgId(c)}) {
      if (EqualsNoCase(ProgIdClass(progid), clsid)) {
        classes_ok &= DeleteTree(HKEY_CLASSES_ROOT, progid);
      }
    }
  }
  // Other versions of the library stay registered.
  const std::string libkey = "TypeLib\\" + lib.LibId().ToString();
  bool lib_ok = DeleteTree(HKEY_CLASSES_ROOT, libkey + "\\" + lib.VersionText());
  RemoveIfEmpty(libkey);
  for (const auto& i : lib.Interfaces()) {
    lib_ok &= DeleteTree(HKEY_CLASSES_ROOT, "Interface\\" + i.iid.ToString());
  }
  for (const char* container : {"CLSID", "TypeLib", "Interface"}) RemoveIfEmpty(container);
  if (!classes_ok) return SELFREG_E_CLASS;
  if (!lib_ok) return SELFREG_E_TYPELIB;
  return S_OK;
}

}  // namespace qvr
