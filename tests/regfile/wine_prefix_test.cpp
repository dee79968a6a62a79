#include "regfile/wine_prefix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "regfile/reg_file_importer.h"
#include "registry/key_time.h"
#include "reg_collect_sink.h"
#include "support/temp_registry.h"

namespace qvr::testing {
namespace {

using ::testing::HasSubstr;

const char kSystem[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Wine\\\\Test] 1600000000\n"
    "#time=1d6a6d2a5c3e5f0\n"
    "\"Version\"=\"win10\"\n"
    "\"Path\"=str(2):\"%SystemRoot%\\\\system32\"\n"
    "\"Flags\"=dword:00000003\n"
    "\n"
    "[Software\\\\Wine\\\\Test\\\\Sub] 1600000000\n"
    "#class=\"Wine\"\n"
    "\"Bin\"=hex:de,ad,\\\n"
    "  be,ef\n";

const char kUser[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n"
    "\n"
    "[Control Panel\\\\Desktop] 1600000000\n"
    "\"Wallpaper\"=\"C:\\\\wall \\xe9.bmp\"\n";

const char kUserDef[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\.Default\n"
    "\n"
    "[Software\\\\Defaults] 1600000000\n"
    "\"Setting\"=dword:00000001\n";

class WinePrefixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = reg_.Dir() + "/prefix";
    std::filesystem::create_directories(prefix_);
    Write("system.reg", kSystem);
    Write("user.reg", kUser);
    Write("userdef.reg", kUserDef);
  }
  void Write(const std::string& name, const std::string& text) {
    WriteFile(prefix_ + "/" + name, text);
  }

  // The class name and time of `path` below `root`, as "class@time".
  std::string ClassAndTime(HKEY root, const char* path) {
    HKEY key = 0;
    KeyInfo info;
    if (reg_.Service().OpenKey(root, path, &key) != ERROR_SUCCESS) return "<no key>";
    reg_.Service().QueryInfoKey(key, &info);
    reg_.Service().CloseKey(key);
    return info.class_name + "@" + std::to_string(info.last_write);
  }

  TempRegistry reg_;
  std::string prefix_;
};

// The files' times: #time= (a FILETIME) where given, else the key line's
// seconds since 1970.
const std::string kTestTime = "@" + std::to_string(0x1d6a6d2a5c3e5f0);
const std::string kSecondsTime = "@" + std::to_string(FileTimeFromUnixSeconds(1600000000));

TEST_F(WinePrefixTest, ImportPutsEachFileIntoItsHiveOrNothingAtAll) {
  RegFileImporter importer(reg_.Service());
  Write("userdef.reg", std::string(kUserDef) + "\"Broken\"=hex:0\n");
  Status status = importer.ImportWinePrefix(prefix_);
  EXPECT_EQ(status.ToString(), "userdef.reg, line 6: hex data '0' with an odd number of digits or "
                               "bytes not separated by commas");
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test", "Version"), "<no key>");
  // A new store has this value, empty.
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper"), "");
  Write("userdef.reg", kUserDef);
  status = importer.ImportWinePrefix(prefix_);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test", "Version"), "win10");
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test", "Flags"), "3");
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test\\Sub", "Bin"), "deadbeef");
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper"),
            "C:\\wall \xC3\xA9.bmp");
  EXPECT_EQ(ValueText(HKEY_USERS, ".DEFAULT\\Software\\Defaults", "Setting"), "1");
  EXPECT_EQ(importer.values(), 6);
  // The keys keep the files' times, though values and sub-keys were written
  // after them; class names stay behind.
  EXPECT_EQ(ClassAndTime(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test"), kTestTime);
  EXPECT_EQ(ClassAndTime(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test\\Sub"), kSecondsTime);
  EXPECT_EQ(ClassAndTime(HKEY_CURRENT_USER, "Control Panel\\Desktop"), kSecondsTime);
  // A folder without registry files is not a prefix.
  std::filesystem::create_directories(reg_.Dir() + "/empty");
  EXPECT_THAT(importer.ImportWinePrefix(reg_.Dir() + "/empty").message(),
              HasSubstr("is not a Wine prefix"));
  EXPECT_THAT(importer.ImportWinePrefix(reg_.Dir() + "/none").message(),
              HasSubstr("is not a folder"));
}

TEST_F(WinePrefixTest, TheMachineTableShowsAPrefixReadOnly) {
  WinePrefix::RegisterOpener();
  std::ofstream(reg_.MachineTablePath(), std::ios::app) << "winebox = wine:" << prefix_ << "\n"
                                                        << "broken = wine:" << reg_.Dir() << "\n";
  HKEY hklm = 0, hku = 0;
  ASSERT_EQ(RegConnectRegistryA("\\\\winebox", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  ASSERT_EQ(RegConnectRegistryA("winebox", HKEY_USERS, &hku), ERROR_SUCCESS);
  EXPECT_EQ(ValueText(hklm, "Software\\Wine\\Test", "Path"), "%SystemRoot%\\system32");
  std::string desktop = CurrentUserKeyName() + "\\Control Panel\\Desktop";
  EXPECT_EQ(ValueText(hku, desktop.c_str(), "Wallpaper"), "C:\\wall \xC3\xA9.bmp");
  char name[64];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(hku, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, ".DEFAULT");
  EXPECT_EQ(ClassAndTime(hklm, "Software\\Wine\\Test"), kTestTime);
  EXPECT_EQ(ClassAndTime(hklm, "Software\\Wine\\Test\\Sub"), "Wine" + kSecondsTime);
  // Every write is refused with 5; the local machine did not get the data.
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(hklm, "Software\\Wine\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(key, "Version"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(key, "Sub"), ERROR_ACCESS_DENIED);
  HKEY created = 0;
  EXPECT_EQ(RegCreateKeyExA(key, "Made", 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr),
            ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  RegFileImporter importer(reg_.Service());
  Write("changes.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Test]\n\"New\"=\"x\"\n");
  EXPECT_EQ(importer.ImportFile(prefix_ + "/changes.reg", "winebox").code(), ERROR_ACCESS_DENIED);
  // What is not a registry file is refused for what it is, before any write.
  EXPECT_EQ(importer.ImportFile(prefix_ + "/system.reg", "winebox").ToString(),
            "line 1: not a registry file: the first line is neither \"Windows Registry Editor "
            "Version 5.00\" nor \"REGEDIT4\"");
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine\\Test", "Version"), "<no key>");
  RegCloseKey(hklm);
  RegCloseKey(hku);
  // A prefix that cannot be read is an unreachable machine, and says why.
  EXPECT_EQ(RegConnectRegistryA("broken", HKEY_LOCAL_MACHINE, &hklm), ERROR_BAD_NETPATH);
  EXPECT_THAT(reg_.Service().ConnectMachine("broken", HKEY_LOCAL_MACHINE, &hklm).ToString(),
              HasSubstr("\\\\broken: " + reg_.Dir() + " is not a Wine prefix"));
}

}  // namespace
}  // namespace qvr::testing
