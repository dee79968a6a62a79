// Environment expansion: %NAME% comes from the environment Windows builds
// from the registry of the machine a key belongs to (the machine's variables,
// the user's over them, Path joined, SystemRoot from CurrentVersion), never
// from this process's environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "regfile/wine_prefix.h"
#include "registry/registry_api.h"
#include "support/faulty_store.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

constexpr char kMachineEnvironment[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Writes a text value (with its terminator) of `type` at `path` below `root`.
void Put(HKEY root, const std::string& path, const std::string& name, DWORD type,
         const std::string& text) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// `text` expanded for the machine of `key`, through the buffer protocol.
std::string Expand(HKEY key, const std::string& text) {
  DWORD needed = ExpandEnvironmentStringsForKeyA(key, text.c_str(), nullptr, 0);
  if (needed == 0) return "<failed>";
  std::string buffer(needed, '\x7f');
  EXPECT_EQ(ExpandEnvironmentStringsForKeyA(key, text.c_str(), buffer.data(), needed), needed);
  EXPECT_EQ(buffer.back(), '\0');
  buffer.pop_back();
  return buffer;
}

using Rows = std::vector<std::pair<std::string, std::string>>;

void ExpectRows(HKEY key, const Rows& rows) {
  for (const auto& [text, expanded] : rows) EXPECT_EQ(Expand(key, text), expanded) << text;
}

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The seeded store has Path = "%SystemRoot%\system32;%SystemRoot%"
    // (REG_EXPAND_SZ) and OS for the machine, TEMP for the user, and
    // CurrentVersion\SystemRoot = "C:\Windows".
    Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "Shared", REG_SZ, "machine");
    Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "Tools", REG_EXPAND_SZ, "%SystemRoot%\\Tools");
    Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "Twice", REG_EXPAND_SZ, "%Tools%\\bin");
    Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "Literal", REG_SZ, "%SystemRoot%");
    Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "Binary", REG_BINARY, "bytes");
    Put(HKEY_CURRENT_USER, "Environment", "SHARED", REG_SZ, "user");
    Put(HKEY_CURRENT_USER, "Environment", "path", REG_EXPAND_SZ, "%SystemRoot%\\user");
    // The process's own variables must never show through.
    for (const char* name : {"HOME", "OS"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      setenv(name, "process", 1);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

  testing::TempRegistry temp_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(EnvironmentTest, ThisMachineTheUserOverItPathJoinedSystemRootFallback) {
  ExpectRows(HKEY_LOCAL_MACHINE,
             {{"%OS%", "Windows_NT"},
              {"%Shared%", "user"},  // the user's variable wins, names in any case
              {"%PATH%", "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\user"},
              {"%systemroot%|%WINDIR%", "C:\\Windows|C:\\Windows"},
              {"%Tools%", "C:\\Windows\\Tools"},
              {"%Twice%", "%SystemRoot%\\Tools\\bin"},  // expanded once, not again
              {"%Literal%", "%SystemRoot%"},            // REG_SZ: not expanded
              {"%Binary%", "%Binary%"},                 // only text values count
              {"%TEMP%", "%USERPROFILE%\\AppData\\Local\\Temp"},
              {"%HOME%", "%HOME%"},
              {"%NOPE%", "%NOPE%"},
              {"%NOPE%OS%", "%NOPE%OS%"},  // an unknown name's closing % opens nothing
              {"[%OS%%OS%]", "[Windows_NTWindows_NT]"},
              {"100% sure", "100% sure"},
              {"%%", "%%"},
              {"Grüße %OS%", "Grüße Windows_NT"},
              {"", ""}});
  // Any key of this machine gives the same, HKEY_CURRENT_USER and the
  // plain call too.
  EXPECT_EQ(Expand(HKEY_CURRENT_USER, "%Shared%"), "user");
  char buffer[64];
  ASSERT_EQ(ExpandEnvironmentStringsA("%Shared%", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "user");

  // The size needed counts the NUL; a buffer too small is not written past.
  char small[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(ExpandEnvironmentStringsA("%OS%", small, 3), 11u);
  EXPECT_EQ(small[3], '#');
}

TEST_F(EnvironmentTest, ReadAnewAtEachCall) {
  // Edits show at the next call: without the user's variables the machine's
  // stand alone; a key's own SystemRoot wins over CurrentVersion's.
  HKEY user = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Environment", 0, KEY_ALL_ACCESS, &user),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(user, "Shared"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(user, "Path"), ERROR_SUCCESS);
  RegCloseKey(user);
  Put(HKEY_LOCAL_MACHINE, kMachineEnvironment, "SystemRoot", REG_SZ, "D:\\Win");
  ExpectRows(HKEY_LOCAL_MACHINE, {{"%Shared%", "machine"},
                                  {"%Path%", "D:\\Win\\system32;D:\\Win"},
                                  {"%windir%", "C:\\Windows"}});
  // Without any of the keys nothing is known, and nothing fails.
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Environment"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMachineEnvironment), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCurrentVersion), ERROR_SUCCESS);
  ExpectRows(HKEY_LOCAL_MACHINE, {{"%OS%;%SystemRoot%", "%OS%;%SystemRoot%"}});
}

TEST_F(EnvironmentTest, AnotherMachineUsesItsOwnMachineVariablesOnly) {
  temp_.AddMachine("Build");
  HKEY hklm = 0, hku = 0;
  ASSERT_EQ(RegConnectRegistryA("Build", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  ASSERT_EQ(RegConnectRegistryA("Build", HKEY_USERS, &hku), ERROR_SUCCESS);
  Put(hklm, kMachineEnvironment, "Shared", REG_SZ, "build");
  Put(hklm, kCurrentVersion, "SystemRoot", REG_SZ, "E:\\Build");
  // Its store has a hive of this user's name: that user is not logged on there.
  Put(hku, CurrentUserKeyName() + "\\Environment", "Shared", REG_SZ, "build user");
  const Rows rows = {{"%Shared%", "build"},
                     {"%Path%", "E:\\Build\\system32;E:\\Build"},
                     {"%windir%", "E:\\Build"},
                     {"%Tools%", "%Tools%"}};  // this machine's variable
  ExpectRows(hklm, rows);
  ExpectRows(hku, rows);
  EXPECT_EQ(Expand(HKEY_LOCAL_MACHINE, "%Shared%"), "user");
  RegCloseKey(hklm);
  RegCloseKey(hku);
  // A handle that is closed expands nothing.
  EXPECT_EQ(ExpandEnvironmentStringsForKeyA(hklm, "%Shared%", nullptr, 0), 0u);
}

TEST_F(EnvironmentTest, AWinePrefixUsesItsSystemRegistry) {
  WinePrefix::RegisterOpener();
  const std::string prefix = temp_.Dir() + "/wine";
  std::filesystem::create_directories(prefix);
  std::ofstream(prefix + "/system.reg")
      << "WINE REGISTRY Version 2\n\n"
         "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1600000000\n"
         "\"SystemRoot\"=\"C:\\\\windows\"\n\n"
         "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1600000000\n"
         "\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%SystemRoot%\"\n"
         "\"winedir\"=\"wine\"\n";
  std::ofstream(prefix + "/user.reg")
      << "WINE REGISTRY Version 2\n\n[Environment] 1600000000\n\"winedir\"=\"user\"\n";
  std::ofstream(temp_.MachineTablePath(), std::ios::app) << "winebox = wine:" << prefix << "\n";
  HKEY hklm = 0;
  ASSERT_EQ(RegConnectRegistryA("winebox", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  ExpectRows(hklm, {{"%path%", "C:\\windows\\system32;C:\\windows"},
                    {"%WINEDIR%|%OS%", "wine|%OS%"}});
  RegCloseKey(hklm);
}

TEST(EnvironmentFaultTest, AnEnvironmentThatCannotBeReadExpandsNothing) {
  // A damaged variable is not passed off as an unknown one.
  testing::FaultyRegistry registry;
  registry.Store().Fail(testing::StoreOp::kEnumValue, ERROR_BADDB);
  std::string expanded = "kept";
  EXPECT_EQ(registry.Service().ExpandEnvironment(HKEY_LOCAL_MACHINE, "%OS%", &expanded),
            ERROR_BADDB);
  EXPECT_EQ(expanded, "kept");
  EXPECT_EQ(ExpandEnvironmentStringsA("%OS%", nullptr, 0), 0u);
  registry.Store().Heal();
  EXPECT_EQ(ExpandEnvironmentStringsA("%OS%", nullptr, 0), 11u);
}

}  // namespace
}  // namespace qvr
