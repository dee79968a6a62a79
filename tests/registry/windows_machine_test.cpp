// A Windows installation's hives as a machine of the machine table: its
// keys, CurrentControlSet, its profiles, its own environment, writes
// refused, and what was left out told once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "registry/hive_store.h"
#include "registry/registry_service.h"
#include "registry/windows_store.h"
#include "support/temp_registry.h"
#include "support/windows_machine.h"

namespace qvr {
namespace {

using namespace std::string_literals;
using testing::kAliceSid;
using testing::kBobSid;

class WindowsMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_ = testing::AddWindowsMachine(temp_.Dir(), temp_.MachineTablePath(), "win");
    // The same installation named by its Windows folder.
    std::ofstream(temp_.MachineTablePath(), std::ios::app)
        << "winfolder = windows:" << drive_ << "/WINDOWS\n";
  }
  RegistryService& S() { return temp_.Service(); }
  HKEY Hive(const std::string& machine, HKEY hive) {
    HKEY key = 0;
    EXPECT_TRUE(testing::IsOk(S().ConnectMachine(machine.c_str(), hive, &key)));
    return key;
  }
  std::vector<std::string> SubKeys(HKEY root, const std::string& path) {
    HKEY key = 0;
    std::vector<std::string> names;
    if (S().OpenKey(root, path.c_str(), &key) != ERROR_SUCCESS) return {"<no key>"};
    char name[256];
    DWORD size = sizeof name;
    for (DWORD i = 0; S().EnumKey(key, i, name, &size) == ERROR_SUCCESS; ++i, size = sizeof name) {
      names.push_back(name);
    }
    S().CloseKey(key);
    return names;
  }
  std::string Text(HKEY root, const std::string& path, const char* value) {
    HKEY key = 0;
    if (S().OpenKey(root, path.c_str(), &key) != ERROR_SUCCESS) return "<no key>";
    char data[256] = {};
    DWORD size = sizeof data, type = 0;
    LONG rc = S().QueryValue(key, value, &type, reinterpret_cast<BYTE*>(data), &size);
    S().CloseKey(key);
    return rc == ERROR_SUCCESS ? data : "<" + std::to_string(rc) + ">";
  }

  testing::TempRegistry temp_;
  std::string drive_;
};

TEST_F(WindowsMachineTest, HivesProfilesAndCurrentControlSetAsOnWindows) {
  const std::string alice = kAliceSid;
  for (const char* machine : {"win", "\\\\WINFOLDER"}) {
    SCOPED_TRACE(machine);
    HKEY hklm = Hive(machine, HKEY_LOCAL_MACHINE), hku = Hive(machine, HKEY_USERS);
    EXPECT_EQ(SubKeys(hklm, ""), (std::vector<std::string>{"HARDWARE", "SOFTWARE", "SYSTEM"}));
    EXPECT_EQ(SubKeys(hklm, "HARDWARE"), std::vector<std::string>{});
    EXPECT_EQ(SubKeys(hklm, "SYSTEM"), (std::vector<std::string>{"ControlSet001", "ControlSet002",
                                                                 "CurrentControlSet", "Select"}));
    EXPECT_EQ(SubKeys(hku, ""), (std::vector<std::string>{".DEFAULT", alice, alice + "_Classes"}));
    struct {
      HKEY root;
      std::string path;
      const char* value;
      std::string text;
    } const cases[] = {
        {hklm, "system\\currentcontrolset\\Control\\Session Manager\\Environment", "AppHome",
         "%SystemDrive%\\Apps"},
        {hklm, "SOFTWARE\\Vendor\\App", "Path", "%AppHome%\\bin"},
        {hku, ".DEFAULT\\Control Panel\\Desktop", "Wallpaper", "default"},
        {hku, alice + "\\Software\\Alice", "Name", "alice"},
        {hku, alice + "_Classes\\.txt", "", "txtfile"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.root, c.path, c.value), c.text) << c.path;

    // Its own environment, through the control set Select\Current names.
    HKEY app = 0;
    ASSERT_EQ(S().OpenKey(hklm, "SOFTWARE\\Vendor\\App", &app), ERROR_SUCCESS);
    std::string expanded;
    EXPECT_EQ(S().ExpandEnvironment(app, "%AppHome%\\bin", &expanded), ERROR_SUCCESS);
    EXPECT_EQ(expanded, "C:\\Apps\\bin");

    // Read-only, through every write.
    HKEY created = 0;
    const BYTE one[] = {'1', 0};
    EXPECT_EQ(S().SetValue(app, "Path", REG_SZ, one, 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(S().DeleteValue(app, "Path"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(S().CreateKey(hklm, "SOFTWARE\\New", KEY_ALL_ACCESS, &created, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(S().DeleteKey(hklm, "SOFTWARE\\Vendor\\App"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(S().Transact(app, [] { return ERROR_SUCCESS; }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Text(hklm, "SOFTWARE\\Vendor\\App", "Path"), "%AppHome%\\bin");
    S().CloseKey(app);

    // What was left out is told once: the missing SAM, the damaged
    // SECURITY, Bob without a profile folder, the logs of the dirty DEFAULT.
    const std::string note = S().TakeMachineNote(machine);
    for (const std::string& left : {"HKLM\\SAM ("s, "HKLM\\SECURITY ("s, "HKU\\"s + kBobSid,
                                    "the changes to HKU\\.DEFAULT"s}) {
      EXPECT_NE(note.find(left), std::string::npos) << note;
    }
    EXPECT_EQ(note.find("SOFTWARE"), std::string::npos) << note;
    EXPECT_EQ(S().TakeMachineNote(machine), "");
  }
}

// Reports a walk as "depth id name" lines, with the values' names.
class Lines : public StoreWalkVisitor {
 public:
  LONG Key(int depth, KeyId id, std::string_view name) override {
    text += std::to_string(depth) + " " + std::to_string(id) + " " + std::string(name) + "\n";
    return ERROR_SUCCESS;
  }
  LONG Value(std::string_view name, DWORD, std::string_view) override {
    text += "  " + std::string(name) + "\n";
    return ERROR_SUCCESS;
  }
  std::string text;
};

TEST_F(WindowsMachineTest, WalkAndKeyInfoAsTheCallsAndTheHivesGiveThem) {
  std::unique_ptr<WindowsStore> store;
  ASSERT_TRUE(testing::IsOk(WindowsStore::Open(drive_, &store)));
  Lines walked, called;
  ASSERT_EQ(store->Walk(0, walked), ERROR_SUCCESS);
  ASSERT_EQ(store->RegistryStore::Walk(0, called), ERROR_SUCCESS);
  EXPECT_EQ(walked.text, called.text);
  EXPECT_NE(walked.text.find(" CurrentControlSet\n4 "), std::string::npos) << walked.text;

  // A key's info is its hive's; SYSTEM's root counts CurrentControlSet too.
  std::unique_ptr<HiveStore> system;
  ASSERT_TRUE(
      testing::IsOk(HiveStore::Open(drive_ + "/WINDOWS/system32/Config/SYSTEM", true, &system)));
  KeyId hklm = 0, root = 0, current = 0, set = 0;
  ASSERT_EQ(store->FindChild(0, "HKEY_LOCAL_MACHINE", &hklm), ERROR_SUCCESS);
  ASSERT_EQ(store->FindChild(hklm, "SYSTEM", &root), ERROR_SUCCESS);
  ASSERT_EQ(store->FindChild(root, "CurrentControlSet", &current), ERROR_SUCCESS);
  ASSERT_EQ(system->FindChild(HiveStore::kRoot, "ControlSet002", &set), ERROR_SUCCESS);
  KeyInfo shown, own;
  for (auto [key, local, extra] : {std::tuple{current, set, 0u}, {root, HiveStore::kRoot, 1u}}) {
    ASSERT_EQ(store->QueryInfo(key, &shown), ERROR_SUCCESS);
    ASSERT_EQ(system->QueryInfo(local, &own), ERROR_SUCCESS);
    EXPECT_EQ(shown.sub_keys, own.sub_keys + extra);
    EXPECT_EQ(shown.last_write, own.last_write);
    EXPECT_NE(shown.last_write, 0);
  }
}

TEST_F(WindowsMachineTest, AFolderWithoutWindowsOrWithoutHivesIsUnreachable) {
  std::filesystem::create_directories(temp_.Dir() + "/empty/Windows/System32/config");
  std::ofstream(temp_.MachineTablePath(), std::ios::app)
      << "nothing = windows:" << temp_.Dir() << "\nnohives = windows:empty\n";
  HKEY key = 0;
  Status none = S().ConnectMachine("nothing", HKEY_LOCAL_MACHINE, &key);
  EXPECT_EQ(none.code(), ERROR_BAD_NETPATH);
  EXPECT_NE(none.message().find("holds no Windows installation"), std::string::npos)
      << none.message();
  Status empty = S().ConnectMachine("nohives", HKEY_LOCAL_MACHINE, &key);
  EXPECT_EQ(empty.code(), ERROR_BAD_NETPATH);
  EXPECT_NE(empty.message().find("no hive"), std::string::npos) << empty.message();
}

}  // namespace
}  // namespace qvr
