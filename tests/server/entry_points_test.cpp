// libqvrRegistryBrowser.so as a host uses it: loaded with dlopen, reached
// only through its exported entry points.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "registry/registry_api.h"
#include "dispatch/class_factory.h"
#include "dispatch/late_bound.h"
#include "server/entry_points.h"
#include "server/identifiers.h"
#include "support/temp_registry.h"
#include "support/wine_machine.h"

namespace qvr {
namespace {

std::string LibraryPath() {
  const char* dir = std::getenv("QVR_TEST_BIN_DIR");
  return std::string(dir ? dir : ".") + "/server/libqvrRegistryBrowser.so";
}

// Every key below `path` (HKLM-relative, full path) with its values, as text.
void Snapshot(const std::string& path, std::map<std::string, std::string>* out) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::string& entry = (*out)[path];
  char name[1025];
  BYTE data[4096];
  for (DWORD i = 0;; ++i) {
    DWORD len = 1024, type = 0, size = sizeof data;
    if (RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    entry += std::string(name, len) + "=" + std::to_string(type) + ":" +
             std::string(reinterpret_cast<char*>(data), size) + ";";
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = 1024;
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Snapshot(path + "\\" + std::string(name, len), out);
  }
  RegCloseKey(key);
}

std::map<std::string, std::string> ClassesSnapshot() {
  std::map<std::string, std::string> out;
  Snapshot("SOFTWARE\\Classes", &out);
  return out;
}

std::string ReadText(const std::string& path, const std::string& name = "") {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "<no key>";
  }
  char buf[4096] = {};
  DWORD type = 0, size = sizeof buf - 1;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "<no value>";
  return std::string(buf);
}

class EntryPointsTest : public ::testing::Test {
 protected:
  // One store and one load of the library for the whole suite: the library
  // opens the store named by QVR_REGISTRY when it first needs it.
  static void SetUpTestSuite() {
    temp_ = new testing::TempRegistry();
    handle_ = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  static void TearDownTestSuite() {
    delete temp_;
    temp_ = nullptr;
  }

  template <class Fn>
  static Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }

  static ComPtr<ClassFactory> Factory(const Guid& clsid) {
    ComPtr<ClassFactory> f;
    EXPECT_EQ(Entry<DllGetClassObjectFn>("DllGetClassObject")(&clsid, &IID_IClassFactory,
                                                             f.PutVoid()),
              S_OK);
    return f;
  }

  static LateBound Create(const Guid& clsid) {
    ComPtr<Dispatch> d;
    ComPtr<ClassFactory> f = Factory(clsid);
    if (f) {
      EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, d.PutVoid()), S_OK);
    }
    return LateBound(d);
  }

  static inline testing::TempRegistry* temp_ = nullptr;
  static inline void* handle_ = nullptr;
};

TEST_F(EntryPointsTest, ExportsOnlyTheEntryPoints) {
  for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject",
                           "DllCanUnloadNow", "DllGetTypeLibrary"}) {
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  }
  // The library's own C++ insides stay hidden from hosts.
  EXPECT_EQ(dlsym(handle_, "_ZN3qvr13RegCloseKeyEi"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN3qvr7FoldCaseESt17basic_string_viewIcSt11char_traitsIcEE"),
            nullptr);
}

TEST_F(EntryPointsTest, FactoriesAndUnloading) {
  auto get = Entry<DllGetClassObjectFn>("DllGetClassObject");
  auto can_unload = Entry<DllCanUnloadNowFn>("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), S_OK);

  // Every class of the type library: the creatable ones through their
  // factories, the others refused.
  const TypeLibrary* lib = nullptr;
  ASSERT_EQ(Entry<DllGetTypeLibraryFn>("DllGetTypeLibrary")(&lib), S_OK);
  int created = 0;
  for (const auto& cls : lib->Classes()) {
    ComPtr<ClassFactory> f;
    HRESULT hr = get(&cls.clsid, &IID_IClassFactory, f.PutVoid());
    if (!cls.creatable) {
      EXPECT_EQ(hr, CLASS_E_CLASSNOTAVAILABLE) << cls.name;
      continue;
    }
    ASSERT_EQ(hr, S_OK) << cls.name;
    ComPtr<Dispatch> d;
    ASSERT_EQ(f->CreateInstance(nullptr, cls.default_interface->iid, d.PutVoid()), S_OK) << cls.name;
    const InterfaceInfo* info = nullptr;
    ASSERT_EQ(d->GetTypeInfo(0, &info), S_OK);
    EXPECT_EQ(info, cls.default_interface);
    EXPECT_EQ(bool(d.As<Unknown>(IID_IConnectionPointContainer)), cls.events != nullptr) << cls.name;
    ++created;
  }
  EXPECT_EQ(created, 5);  // registry object, two selection classes, control, document
  EXPECT_EQ(can_unload(), S_OK);

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(&server_ids::kKeyClass, &IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(get(&server_ids::kRegistryObjectInterface, &IID_IClassFactory, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(get(&server_ids::kRegistryObjectClass, &IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(get(&server_ids::kRegistryObjectClass, &IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(can_unload(), S_OK);

  {
    ComPtr<ClassFactory> f = Factory(server_ids::kRegistryObjectClass);
    ASSERT_TRUE(f);
    EXPECT_EQ(can_unload(), S_FALSE);  // a factory is alive
    ComPtr<Dispatch> d;
    ComPtr<Unknown> outer(f.Get());
    EXPECT_EQ(f->CreateInstance(outer.Get(), IID_IDispatch, d.PutVoid()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, d.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(f->CreateInstance(nullptr, server_ids::kRegistryObjectInterface, d.PutVoid()), S_OK);
    outer.Reset();
    EXPECT_EQ(f->LockServer(true), S_OK);
    f.Reset();
    EXPECT_EQ(can_unload(), S_FALSE);  // the object
    d.Reset();
    EXPECT_EQ(can_unload(), S_FALSE);  // the lock
    ComPtr<ClassFactory> again = Factory(server_ids::kRegistryObjectClass);
    EXPECT_EQ(again->LockServer(false), S_OK);
  }
  EXPECT_EQ(can_unload(), S_OK);

  // Objects handed out by members keep the library busy too.
  {
    LateBound reg = Create(server_ids::kRegistryObjectClass);
    int32_t h = reg.Call("OpenKey", {Variant(static_cast<int32_t>(HKEY_CURRENT_USER)),
                                     Variant("Software\\EntryPoints\\Sub")})
                    .ToLong();
    ASSERT_GT(h, 0);
    Variant parent = reg.Call("OpenKey", {Variant(static_cast<int32_t>(HKEY_CURRENT_USER)),
                                          Variant("Software\\EntryPoints")});
    Variant keys = reg.Call("EnumKeys", {parent});
    reg = LateBound();
    EXPECT_EQ(can_unload(), S_FALSE);
    EXPECT_EQ(LateBound::FromVariant(keys).Get("Count").ToLong(), 1);
  }
  EXPECT_EQ(can_unload(), S_OK);
}

TEST_F(EntryPointsTest, TheControlShowsWineMachines) {
  testing::AddWineMachine(temp_->Dir(), temp_->MachineTablePath(), "winebox");
  LateBound ctl = Create(server_ids::kControlClass);
  EXPECT_TRUE(ctl.Call("Show", {Variant("\\\\winebox")}).ToBool());
  EXPECT_FALSE(ctl.Call("Show", {Variant("nowhere")}).ToBool());
}

TEST_F(EntryPointsTest, RegistrationRoundTrip) {
  auto reg = Entry<DllRegisterServerFn>("DllRegisterServer");
  auto unreg = Entry<DllUnregisterServerFn>("DllUnregisterServer");
  const TypeLibrary* lib = nullptr;
  ASSERT_EQ(Entry<DllGetTypeLibraryFn>("DllGetTypeLibrary")(&lib), S_OK);
  ASSERT_EQ(lib->Name(), "qvrRegistryBrowser");

  auto before = ClassesSnapshot();
  ASSERT_EQ(reg(), S_OK);
  const std::string clsid = server_ids::kRegistryObjectClass.ToString();
  char resolved[4096];
  ASSERT_NE(realpath(LibraryPath().c_str(), resolved), nullptr);
  EXPECT_EQ(ReadText("CLSID\\" + clsid + "\\InprocServer32"), resolved);
  EXPECT_EQ(ReadText("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ReadText("CLSID\\" + clsid + "\\ProgID"), "qvrRegistryBrowser.qvrClsRegistryObject.1");
  EXPECT_EQ(ReadText("CLSID\\" + clsid + "\\VersionIndependentProgID"),
            "qvrRegistryBrowser.qvrClsRegistryObject");
  EXPECT_EQ(ReadText("CLSID\\" + clsid + "\\TypeLib"), server_ids::kLibrary.ToString());
  EXPECT_EQ(ReadText("qvrRegistryBrowser.qvrClsRegistryObject\\CLSID"), clsid);
  EXPECT_EQ(ReadText("qvrRegistryBrowser.qvrClsRegistryObject\\CurVer"),
            "qvrRegistryBrowser.qvrClsRegistryObject.1");
  EXPECT_EQ(ReadText("TypeLib\\" + server_ids::kLibrary.ToString() + "\\1.0"),
            lib->Description());
  EXPECT_EQ(ReadText("TypeLib\\" + server_ids::kLibrary.ToString() + "\\1.0\\0\\linux64"),
            resolved);
  EXPECT_EQ(ReadText("Interface\\" + server_ids::kRegistryObjectInterface.ToString()),
            "_qvrClsRegistryObject");
  // Classes hosts cannot create are not registered as creatable.
  EXPECT_EQ(ReadText("CLSID\\" + server_ids::kKeyClass.ToString()), "<no key>");
  // Registering twice changes nothing.
  auto registered = ClassesSnapshot();
  EXPECT_GT(registered.size(), before.size());
  ASSERT_EQ(reg(), S_OK);
  EXPECT_EQ(ClassesSnapshot(), registered);

  // A key of someone else's next to ours survives.
  HKEY other = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-00000000ABCD}", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(other);
  ASSERT_EQ(unreg(), S_OK);
  auto after = ClassesSnapshot();
  EXPECT_EQ(after.count("SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000ABCD}"), 1u);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-00000000ABCD}"),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
  EXPECT_EQ(ClassesSnapshot(), before);
  // Unregistering what is not registered is not a failure.
  EXPECT_EQ(unreg(), S_OK);
  EXPECT_EQ(ClassesSnapshot(), before);
}

}  // namespace
}  // namespace qvr
