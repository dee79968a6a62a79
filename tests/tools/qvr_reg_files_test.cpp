// qvr-reg import and export end to end: the built program on a temporary store.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "regfile/reg_collect_sink.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "support/run_program.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using ::testing::HasSubstr;
using testing::ProgramResult;
using testing::ReadFile;
using testing::Utf16File;
using testing::ValueText;

const char kSuccess[] = "The operation completed successfully.\n";

class QvrRegFilesTest : public ::testing::Test {
 protected:
  ProgramResult Reg(std::vector<std::string> args, const std::string& input = "") {
    return testing::RunProgram(testing::BuildOutput("tools/qvr-reg/qvr-reg"), args, input);
  }
  std::string Path(const std::string& name) { return temp_.Dir() + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  testing::TempRegistry temp_;
};

const char kFile[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Acme]\r\n"
    "\"Name\"=\"Road Runner\"\r\n"
    "\"Count\"=dword:00000003\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Acme\\Sub]\r\n"
    "@=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
    "\r\n";

TEST_F(QvrRegFilesTest, ImportThenExportGivesTheFileBack) {
  Write("acme.reg", Utf16File(kFile));
  ProgramResult r = Reg({"import", Path("acme.reg")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kSuccess);
  // Names are written as stored, whatever letter case the command used.
  r = Reg({"export", "hkcu\\SOFTWARE\\acme\\", Path("out.reg")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kSuccess);
  EXPECT_EQ(ReadFile(Path("out.reg")), Utf16File(kFile));
}

// (That a faulty file changes nothing is the importer's test: tests/regfile.)
TEST_F(QvrRegFilesTest, ABadFileIsRefusedWithItsLine) {
  Write("bad.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Bad]\n\"a\"=\"1\"\n\"b\"=hex:1\n");
  ProgramResult r = Reg({"import", Path("bad.reg")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "ERROR: " + Path("bad.reg") +
                       ", line 4: hex data '1' with an odd number of digits or bytes not "
                       "separated by commas\n");
  r = Reg({"import", Path("missing.reg")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("cannot open"));
  r = Reg({"import"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("Invalid syntax"));
}

TEST_F(QvrRegFilesTest, ExportAsksBeforeOverwritingUnlessToldNotTo) {
  Write("old.reg", "keep me");
  ProgramResult r = Reg({"export", "HKCU\\Environment", Path("old.reg")}, "no\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.out, HasSubstr("already exists. Overwrite (Yes/No)?"));
  EXPECT_EQ(ReadFile(Path("old.reg")), "keep me");
  r = Reg({"export", "HKCU\\Environment", Path("old.reg")}, "yes\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("old.reg")).substr(0, 2), "\xFF\xFE");
  r = Reg({"export", "HKCU\\Environment", Path("old.reg"), "/Y", "/regedit4"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, kSuccess);
  EXPECT_EQ(ReadFile(Path("old.reg")).substr(0, 10), "REGEDIT4\r\n");
  r = Reg({"export", "HKCU\\No\\Such\\Key", Path("new.reg")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "ERROR: The system was unable to find the specified registry key or value.\n");
  EXPECT_FALSE(std::filesystem::exists(Path("new.reg")));
}

TEST_F(QvrRegFilesTest, HiveVerbsSaveLoadUnloadAndRestore) {
  ASSERT_EQ(Reg({"add", "HKCU\\Software\\Acme\\Sub", "/v", "Name", "/d", "one", "/f"}).exit_code, 0);
  EXPECT_EQ(Reg({"save", "HKCU\\Software\\Acme", Path("acme.hiv")}).out, kSuccess);
  ProgramResult r = Reg({"save", "HKCU\\Software\\Acme", Path("acme.hiv")}, "no\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.out, HasSubstr("File " + Path("acme.hiv") + " already exists. Overwrite (Yes/No)?"));
  EXPECT_EQ(Reg({"save", "HKCU\\Software\\Acme", Path("acme.hiv"), "/y"}).exit_code, 0);

  r = Reg({"load", "HKU\\Alice", Path("acme.hiv")});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Reg({"add", "HKU\\Alice\\Sub", "/v", "Name", "/d", "two", "/f"}).exit_code, 0);
  EXPECT_EQ(ValueText(HKEY_USERS, "Alice\\Sub", "Name"), "two");
  r = Reg({"delete", "HKU\\Alice", "/f"});
  EXPECT_EQ(r.err, "ERROR: HKEY_USERS\\Alice is a loaded hive file: unload it with \"qvr-reg unload\".\n");
  EXPECT_EQ(Reg({"load", "HKU\\Alice\\Deeper", Path("acme.hiv")}).exit_code, 1);
  Write("acme.reg", "REGEDIT4\n");
  r = Reg({"load", "HKLM\\Text", Path("acme.reg")});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("not a registry hive file"));
  EXPECT_EQ(Reg({"unload", "HKU\\Alice"}).out, kSuccess);
  EXPECT_EQ(ValueText(HKEY_USERS, "Alice\\Sub", "Name"), "<no key>");

  // The file kept the hive's write; restore brings it back into the store.
  EXPECT_EQ(Reg({"restore", "HKCU\\Software\\Acme", Path("acme.hiv")}).out, kSuccess);
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, "Software\\Acme\\Sub", "Name"), "two");
}

TEST_F(QvrRegFilesTest, TheDeepestTreeIsWalkedOnASmallStack) {
  // HKEY_CURRENT_USER\Software\Deep is level 3; the last key is level 512.
  const std::string top = "HKEY_CURRENT_USER\\Software\\Deep";
  std::string last = top;
  for (int level = 4; level <= kMaxKeyDepth; ++level) last += "\\k";
  HKEY key = 0;
  ASSERT_EQ(temp_.Service().Transact(HKEY_CURRENT_USER, [&] {
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, last.substr(18).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return rc ? rc : RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  }), ERROR_SUCCESS);
  RegCloseKey(key);
  // 64 KiB of stack, which a walk that recursed per level overflows.
  auto small_stack = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "ulimit -s 64 && exec \"$0\" \"$@\"",
                               testing::BuildOutput("tools/qvr-reg/qvr-reg")});
    return testing::RunProgram("/bin/sh", args);
  };
  ProgramResult r = small_stack({"query", top, "/s"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("\n" + last + "\n    v    REG_SZ    x\n\n"));
  r = small_stack({"query", top, "/s", "/v", "V"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("End of search: 1 match(es) found."));

  r = small_stack({"export", top, Path("deep.reg")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::string expected = "Windows Registry Editor Version 5.00\r\n";
  for (std::string name = top; name.size() <= last.size(); name += "\\k") {
    expected += "\r\n[" + name + "]\r\n";
  }
  EXPECT_TRUE(ReadFile(Path("deep.reg")) == Utf16File(expected + "\"v\"=\"x\"\r\n\r\n"));
  for (const auto& entry : std::filesystem::directory_iterator(temp_.Dir())) {
    EXPECT_THAT(entry.path().filename().string(), ::testing::Not(HasSubstr("deep.reg.")));
  }

  r = small_stack({"delete", top, "/f"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, "Software\\Deep", ""), "<no key>");
}

TEST_F(QvrRegFilesTest, AWinePrefixImportsIntoTheLocalHives) {
  // Which file goes into which hive, and Wine's syntax: tests/regfile.
  Write("prefix/system.reg",
        "WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1600000000\n\"Version\"=\"win10\"\n");
  ProgramResult r = Reg({"import", "--wine", Path("prefix")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, "Software\\Wine", "Version"), "win10");

  r = Reg({"import", "/wine", Path("prefix"), "\\\\nowhere"});
  EXPECT_EQ(r.err, "ERROR: The network path was not found.\n");
}

}  // namespace
}  // namespace qvr
