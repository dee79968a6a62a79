#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/unicode.h"
#include "regfile/reg_file_exporter.h"
#include "regfile/reg_file_importer.h"
#include "reg_collect_sink.h"
#include "registry/sqlite_store.h"
#include "support/faulty_store.h"
#include "support/temp_registry.h"

namespace qvr::testing {
namespace {

using ::testing::HasSubstr;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

class RegFileImportExport : public ::testing::Test {
 protected:
  // Every value of `key` as "name type=T hex", "" when the key is missing.
  std::vector<std::string> Values(HKEY root, const char* key) {
    std::vector<std::string> out;
    HKEY h = 0;
    if (reg_.Service().OpenKey(root, key, &h) != ERROR_SUCCESS) return out;
    std::string name, data;
    DWORD type;
    for (DWORD i = 0; reg_.Service().EnumValueBytes(h, i, &name, &type, &data) == 0; ++i) {
      out.push_back(name + " type=" + std::to_string(type) + " " + HexOf(data));
    }
    reg_.Service().CloseKey(h);
    return out;
  }
  bool Exists(HKEY root, const char* key) { return ValueText(root, key, "") != "<no key>"; }
  // Imports `text` from a file, through `importer` when one is given.
  Status Import(const std::string& text, const std::string& machine = "",
                   RegFileImporter* importer = nullptr) {
    WriteFile(reg_.Dir() + "/in.reg", text);
    RegFileImporter own(reg_.Service());
    return (importer ? *importer : own).ImportFile(reg_.Dir() + "/in.reg", machine);
  }
  std::string Export(const std::string& key) {
    std::filesystem::remove(reg_.Dir() + "/out.reg");
    Status status = RegFileExporter(reg_.Service()).ExportFile(key, reg_.Dir() + "/out.reg");
    EXPECT_TRUE(status.ok()) << status.ToString();
    return ReadFile(reg_.Dir() + "/out.reg");
  }

  TempRegistry reg_;
};

const char kEveryType[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Imp]\r\n"
    "@=\"unnamed\"\r\n"
    "\"Text\"=\"C:\\\\Path \\\"quoted\\\"\"\r\n"
    "\"Dword\"=dword:deadbeef\r\n"
    "\"Bin\"=hex:00,01,ff\r\n"
    "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Unterminated\"=hex(1):61,00,62,00\r\n"
    "\"Odd\"=hex(1):61\r\n"
    "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\"Custom\"=hex(ffffffff):01\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Imp\\Child]\r\n"
    "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
    "  2f\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Imp\\Child\\Grand]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Imp\\Other]\r\n"
    "@=hex(0):\r\n"
    "\r\n";

TEST_F(RegFileImportExport, ImportStoresEveryTypeAndExportGivesTheSameBytes) {
  RegFileImporter importer(reg_.Service());
  Status status = Import(Utf16File(kEveryType), "", &importer);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(importer.keys(), 4);
  EXPECT_EQ(importer.values(), 12);
  EXPECT_EQ(Values(HKEY_CURRENT_USER, "Software\\Imp"),
            (std::vector<std::string>{
                " type=1 " + HexOf(Sz(u"unnamed")),
                "Text type=1 " + HexOf(Sz(u"C:\\Path \"quoted\"")),
                "Dword type=4 efbeadde",
                "Bin type=3 0001ff",
                "Exp type=2 2500410025000000",
                "Multi type=7 61000000620000000000",
                "Unterminated type=1 61006200",
                "Odd type=1 61",
                "Qword type=11 0102030405060708",
                "Custom type=4294967295 01",
            }));
  // The file was written as the Windows editor writes; its export is itself.
  EXPECT_EQ(Export("HKCU\\Software\\Imp"), Utf16File(kEveryType));
}

TEST_F(RegFileImportExport, TheOnePassExportsWhatTheCallsKeyByKeyExport) {
  // Keys in every letter case and beyond ASCII, out of order, with every type.
  std::string text = kEveryType;
  for (const char* key : {"b", "Ärger\\Y", "A\\Inner", "a2", "äb", "Z", "_x", "Ωmega", "日本"}) {
    text += std::string("[HKEY_CURRENT_USER\\Software\\Imp\\") + key + "]\r\n\"Ñ\"=dword:1\r\n";
  }
  ASSERT_TRUE(Import(Utf16File(text)).ok());
  // The same file in a store read key by key: the walk built from the calls.
  FaultyRegistry by_calls;
  WriteFile(reg_.Dir() + "/in.reg", Utf16File(text));
  ASSERT_TRUE(IsOk(RegFileImporter(by_calls.Service()).ImportFile(reg_.Dir() + "/in.reg")));
  const std::string path = reg_.Dir() + "/by_calls.reg";
  RegFileExporter exporter(by_calls.Service());
  ASSERT_TRUE(IsOk(exporter.ExportFile("HKCU\\Software\\Imp", path)));
  EXPECT_GT(by_calls.Store().Calls(StoreOp::kEnumChild), 15);
  EXPECT_EQ(exporter.keys(), 15);
  EXPECT_TRUE(Export("HKCU\\Software\\Imp") == ReadFile(path));
}

TEST_F(RegFileImportExport, ASavedHiveLoadedAgainExportsTheSameBytes) {
  std::string text = kEveryType;
  text.insert(text.find("[HKEY_CURRENT_USER\\Software\\Imp\\Other]"),
              "[HKEY_CURRENT_USER\\Software\\Imp\\Grüße\\ключ]\r\n\"値\"=hex:" +
                  Repeat("5a,", 20000) + "5a\r\n\r\n");
  ASSERT_TRUE(Import(Utf16File(text)).ok());
  const std::string before = Export("HKCU\\Software\\Imp");
  HKEY key = 0;
  ASSERT_EQ(reg_.Service().OpenKey(HKEY_CURRENT_USER, "Software\\Imp", &key), ERROR_SUCCESS);
  const std::string hive = reg_.Dir() + "/imp.hiv";
  ASSERT_TRUE(reg_.Service().SaveKey(key, hive.c_str(), false).ok());
  reg_.Service().CloseKey(key);
  ASSERT_TRUE(Import("REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\Imp]\n").ok());

  ASSERT_TRUE(reg_.Service().LoadKey(HKEY_USERS, "Imp", hive.c_str()).ok());
  std::string after = Export("HKU\\Imp");
  const std::string from = Utf16ToLeBytes(Utf8ToUtf16("HKEY_USERS\\Imp"));
  const std::string to = Utf16ToLeBytes(Utf8ToUtf16("HKEY_CURRENT_USER\\Software\\Imp"));
  for (size_t at = 0; (at = after.find(from, at)) != std::string::npos; at += to.size()) {
    after.replace(at, from.size(), to);
  }
  EXPECT_EQ(after, before);
  // One import cannot write the store and the hive: nothing of it is kept.
  Status spanning = Import("REGEDIT4\n[HKEY_USERS\\Imp\\New]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n");
  EXPECT_EQ(spanning.code(), ERROR_NOT_SAME_DEVICE) << spanning.ToString();
  EXPECT_THAT(spanning.ToString(), HasSubstr("line 3: cannot create the key HKEY_LOCAL_MACHINE\\SOFTWARE\\New: it lies in another store"));
  EXPECT_FALSE(Exists(HKEY_USERS, "Imp\\New"));
}

TEST_F(RegFileImportExport, DeleteFormsRemoveTreesAndValues) {
  ASSERT_TRUE(Import("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\A\\B\\C]\n\"v\"=\"1\"\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep]\n\"a\"=\"1\"\n\"b\"=\"2\"\n")
                  .ok());
  Status status = Import(
      "REGEDIT4\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\A]\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Missing\\Too]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Keep]\n"
      "\"a\"=-\n"
      "\"never there\"=-\n");
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\A"));
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, "SOFTWARE\\T\\Keep"),
            (std::vector<std::string>{"b type=1 " + HexOf(Sz(u"2"))}));
  EXPECT_THAT(Import("REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n").message(),
              HasSubstr("a hive cannot be deleted"));
}

TEST_F(RegFileImportExport, AFaultAnywhereLeavesTheStoreAsItWas) {
  ASSERT_TRUE(Import("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Old]\n\"v\"=\"old\"\n").ok());
  const struct {
    const char* what;
    std::string file;
    int64_t line;
    const char* fault;
  } cases[] = {
      {"bad last line",
       "REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\Old]\n[HKEY_CURRENT_USER\\Software\\New]\n"
       "\"a\"=\"1\"\n\"b\"=dword:1\n\"c\"=hex:0\n",
       6, "odd number of digits"},
      {"truncated UTF-16",
       Utf16File("Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n"
                 "\"a\"=\"1\"\r\n") + "x",
       4, "odd number of bytes"},
      {"unknown root", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\New]\n[HKEY_NOWHERE\\X]\n", 3,
       "HKEY_NOWHERE"},
      // HKEY_USERS\<user>\Software\New is level 3: one level past the limit.
      {"too deep", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\New]\n[HKEY_CURRENT_USER\\Software\\New" +
                       Repeat("\\k", kMaxKeyDepth - 2) + "]\n",
       3, "more than 512 levels below its hive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Status status = Import(c.file);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.line(), c.line) << status.ToString();
    EXPECT_THAT(status.message(), HasSubstr(c.fault));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\New"));
    EXPECT_EQ(Values(HKEY_CURRENT_USER, "Software\\Old"),
              (std::vector<std::string>{"v type=1 " + HexOf(Sz(u"old"))}));
  }
  // And a later import still works: no transaction was left open.
  EXPECT_TRUE(Import("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\New]\n").ok());
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\New"));
}

TEST_F(RegFileImportExport, AnotherMachineOffersItsTwoHives) {
  reg_.AddMachine("far");
  Status status = Import("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Far]\n\"v\"=dword:7\n", "far");
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Far"));  // not here
  EXPECT_EQ(TextOf(Export("\\\\far\\HKLM\\SOFTWARE\\Far")),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Far]\r\n"
            "\"v\"=dword:00000007\r\n\r\n");
  EXPECT_THAT(Import("REGEDIT4\n[HKEY_CURRENT_USER\\X]\n", "far").ToString(),
              HasSubstr("line 2: only HKEY_LOCAL_MACHINE and HKEY_USERS"));
  EXPECT_EQ(Import("REGEDIT4\n", "nowhere").code(), ERROR_BAD_NETPATH);
}

TEST_F(RegFileImportExport, AFailedExportLeavesTheOldFile) {
  std::string path = reg_.Dir() + "/out.reg";
  WriteFile(path, "precious");
  RegFileExporter exporter(reg_.Service());
  EXPECT_EQ(exporter.ExportFile("HKLM\\SOFTWARE\\No such key", path).code(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadFile(path), "precious");
  EXPECT_EQ(exporter.ExportFile("HKXX\\Software", path).code(), ERROR_INVALID_PARAMETER);
  // Nor by an export that an exception cuts short (memory running out).
  struct Throwing : FaultyStore {
    using FaultyStore::FaultyStore;
    LONG EnumValue(KeyId, int64_t, EnumCursor*, std::string*, DWORD*, std::string*) override {
      throw std::bad_alloc();
    }
  };
  std::unique_ptr<SqliteStore> inner;
  ASSERT_TRUE(SqliteStore::OpenInMemory(&inner).ok());
  ASSERT_TRUE(RegistryService::Seed(*inner).ok());
  RegistryService throwing(std::make_shared<Throwing>(std::move(inner)));
  EXPECT_THROW(RegFileExporter(throwing).ExportFile("HKCU\\Environment", path), std::bad_alloc);
  EXPECT_EQ(ReadFile(path), "precious");
  // No temporary file is left behind beside it.
  for (auto& e : std::filesystem::directory_iterator(reg_.Dir())) {
    EXPECT_EQ(e.path().filename().string().rfind("out.reg.", 0), std::string::npos) << e.path();
  }
  ASSERT_TRUE(exporter.ExportFile("HKCU\\Environment", path).ok());
  EXPECT_EQ(ReadFile(path).substr(0, 2), "\xFF\xFE");
}

}  // namespace
}  // namespace qvr::testing
