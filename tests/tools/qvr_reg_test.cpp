// qvr-reg end to end: the built program run on a temporary store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "support/registry_values.h"
#include "support/run_program.h"
#include "support/temp_registry.h"
#include "support/windows_machine.h"
#include "support/wine_machine.h"

namespace qvr {
namespace {

using namespace std::string_literals;
using testing::ProgramResult;

class QvrRegTest : public ::testing::Test {
 protected:
  ProgramResult Reg(std::vector<std::string> args, const std::string& input = "") {
    return testing::RunProgram(testing::BuildOutput("tools/qvr-reg/qvr-reg"), args, input);
  }

  HKEY Create(HKEY parent, const std::string& path) {
    HKEY key = 0;
    EXPECT_EQ(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    keys_.push_back(key);
    return key;
  }
  void Put(HKEY key, const std::string& name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  std::pair<DWORD, std::string> Get(HKEY key, const std::string& name) {
    return testing::GetRaw(key, name);
  }
  bool Exists(HKEY parent, const std::string& path) { return testing::KeyExists(parent, path); }
  // How a run that should fail ended: its exit code and what it printed on
  // its error stream.
  std::string Failure(std::vector<std::string> args) {
    ProgramResult r = Reg(std::move(args));
    return std::to_string(r.exit_code) + " " + r.err;
  }
  void TearDown() override {
    for (HKEY key : keys_) RegCloseKey(key);
  }

  testing::TempRegistry temp_;
  std::vector<HKEY> keys_;
};

const char kSuccess[] = "The operation completed successfully.\n";
const char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

TEST_F(QvrRegTest, QueryPrintsValuesAndSubKeysAsRegDoes) {
  HKEY acme = Create(HKEY_CURRENT_USER, "Software\\Acme");
  Put(acme, "", REG_SZ, "default text\0"s);
  Put(acme, "Text", REG_SZ, "Grüße\0"s);
  Put(acme, "Path", REG_EXPAND_SZ, "%HOME%\\bin\0"s);
  Put(acme, "List", REG_MULTI_SZ, "a\0b c\0\0"s);
  Put(acme, "Count", REG_DWORD, "\x6d\x00\x00\x00"s);
  Put(acme, "Big", REG_QWORD, "\x01\x00\x00\x00\x02\x00\x00\x00"s);
  Put(acme, "Blob", REG_BINARY, "\x00\x0a\xff"s);
  Put(acme, "Nothing", REG_NONE, "");
  Create(acme, "zeta");
  Create(acme, "Alpha");

  ProgramResult r = Reg({"query", "HKCU\\Software\\Acme"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "\nHKEY_CURRENT_USER\\Software\\Acme\n"
            "    (Default)    REG_SZ    default text\n"
            "    Text    REG_SZ    Grüße\n"
            "    Path    REG_EXPAND_SZ    %HOME%\\bin\n"
            "    List    REG_MULTI_SZ    a\\0b c\n"
            "    Count    REG_DWORD    0x6d\n"
            "    Big    REG_QWORD    0x200000001\n"
            "    Blob    REG_BINARY    000AFF\n"
            "    Nothing    REG_NONE    \n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\Acme\\Alpha\n"
            "HKEY_CURRENT_USER\\Software\\Acme\\zeta\n");
  EXPECT_EQ(r.err, "");

  // An empty key shows its name; one value, any letter case; the default
  // value, set or not.
  const std::string shown = "\nHKEY_CURRENT_USER\\Software\\Acme";
  for (const auto& [args, out] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"HKEY_CURRENT_USER\\Software\\Acme\\Alpha"}, shown + "\\Alpha\n"},
           {{"HKCU\\Software\\Acme", "/V", "count"}, shown + "\n    Count    REG_DWORD    0x6d\n\n"},
           {{"HKCU\\Software\\Acme", "/ve"}, shown + "\n    (Default)    REG_SZ    default text\n\n"},
           {{"HKCU\\Software\\Acme\\Alpha", "/ve"},
            shown + "\\Alpha\n    (Default)    REG_SZ    (value not set)\n\n"},
       }) {
    std::vector<std::string> query = {"query"};
    query.insert(query.end(), args.begin(), args.end());
    r = Reg(query);
    EXPECT_EQ(r.exit_code, 0) << args.back();
    EXPECT_EQ(r.out, out) << args.back();
  }

  EXPECT_EQ(Failure({"query", "HKCU\\Software\\Acme", "/v", "Missing"}), "1 "s + kNotFound);
  r = Reg({"query", "HKCU\\Software\\NoSuchKey"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, kNotFound);
  EXPECT_EQ(r.out, "");
}

TEST_F(QvrRegTest, QueryWholeTreesAndSearches) {
  HKEY tree = Create(HKEY_CURRENT_USER, "Software\\Tree");
  Put(tree, "Name", REG_SZ, "root\0"s);
  HKEY b = Create(tree, "B");
  Put(b, "name", REG_DWORD, "\x01\x00\x00\x00"s);
  Create(tree, "a\\Deep");

  ProgramResult r = Reg({"query", "HKCU\\Software\\Tree", "/s"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "\nHKEY_CURRENT_USER\\Software\\Tree\n"
            "    Name    REG_SZ    root\n\n"
            "HKEY_CURRENT_USER\\Software\\Tree\\a\n\n"
            "HKEY_CURRENT_USER\\Software\\Tree\\a\\Deep\n\n"
            "HKEY_CURRENT_USER\\Software\\Tree\\B\n"
            "    name    REG_DWORD    0x1\n\n");

  r = Reg({"query", "HKCU\\Software\\Tree", "/v", "NAME", "/s"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "\nHKEY_CURRENT_USER\\Software\\Tree\n"
            "    Name    REG_SZ    root\n\n"
            "HKEY_CURRENT_USER\\Software\\Tree\\B\n"
            "    name    REG_DWORD    0x1\n\n"
            "End of search: 2 match(es) found.\n");
  r = Reg({"query", "HKCU\\Software\\Tree", "/v", "other", "/s"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("End of search: 0 match(es) found."), std::string::npos);
}

TEST_F(QvrRegTest, QueryFindPrintsMatchesAsRegDoes) {
  HKEY top = Create(HKEY_CURRENT_USER, "Software\\Find");
  Put(top, "Name", REG_SZ, "Python 3\0"s);
  Put(top, "Blob", REG_BINARY, "\xab\xcd"s);
  HKEY py = Create(top, "PyThon");
  Put(py, "List", REG_MULTI_SZ, "a\0pythonic\0\0"s);
  Create(py, "Deep");
  const std::string key = "HKEY_CURRENT_USER\\Software\\Find";
  const std::string name = "    Name    REG_SZ    Python 3\n";
  const std::string list = "    List    REG_MULTI_SZ    a\\0pythonic\n";
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out;
  } cases[] = {
      {{"/f", "python", "/s"}, 0,
       key + "\n" + name + "\n" + key + "\\PyThon\n" + list + "\nEnd of search: 3 match(es) found.\n"},
      // Without /s: the key's values and its sub-keys' names.
      {{"/f", "PYTHON"}, 0,
       key + "\n" + name + "\n" + key + "\\PyThon\nEnd of search: 2 match(es) found.\n"},
      {{"/f", "python", "/s", "/k"}, 0, key + "\\PyThon\nEnd of search: 1 match(es) found.\n"},
      {{"/f", "Python", "/s", "/c", "/d", "/z"}, 0,
       key + "\n    Name    REG_SZ (1)    Python 3\n\nEnd of search: 1 match(es) found.\n"},
      {{"/f", "pythonic", "/s", "/e", "/se", "|"}, 0,
       key + "\\PyThon\n    List    REG_MULTI_SZ    a|pythonic\n\nEnd of search: 1 match(es) found.\n"},
      {{"/f", "bc", "/s", "/t", "REG_BINARY", "/v", "/d"}, 0,
       key + "\n    Blob    REG_BINARY    ABCD\n\nEnd of search: 1 match(es) found.\n"},
      {{"/f", "bc", "/s", "/t", "REG_SZ,REG_MULTI_SZ"}, 1, "End of search: 0 match(es) found.\n"},
      {{"/f", "python", "/s", "/e"}, 0, key + "\\PyThon\nEnd of search: 1 match(es) found.\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"query", key};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramResult r = Reg(args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[1] << " " << r.err;
    EXPECT_EQ(r.out, "\n" + c.out) << c.args[1];
  }
  EXPECT_EQ(Reg({"query", key, "/f", "x", "/t", "REG_FOO"}).exit_code, 1);
}

TEST_F(QvrRegTest, AddWritesEveryTypeAndAsksBeforeOverwriting) {
  ProgramResult r = Reg({"add", "HKCU\\Software\\New\\Deeper"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kSuccess);
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\New\\Deeper"));

  const std::string key = "HKCU\\Software\\New";
  struct Row {
    std::vector<std::string> args;
    const char* name;
    DWORD type;
    std::string bytes;
  };
  const Row rows[] = {
      {{"/v", "s", "/d", "text"}, "s", REG_SZ, "text\0"s},
      {{"/v", "e", "/t", "reg_expand_sz", "/d", "%HOME%"}, "e", REG_EXPAND_SZ, "%HOME%\0"s},
      {{"/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b"}, "m", REG_MULTI_SZ, "a\0b\0\0"s},
      {{"/v", "m2", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "x#y"}, "m2", REG_MULTI_SZ, "x\0y\0\0"s},
      {{"/v", "d", "/t", "REG_DWORD", "/d", "0x10"}, "d", REG_DWORD, "\x10\0\0\0"s},
      {{"/v", "d2", "/t", "REG_DWORD", "/d", "4294967295"}, "d2", REG_DWORD, "\xff\xff\xff\xff"s},
      {{"/v", "be", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "1"}, "be", REG_DWORD_BIG_ENDIAN,
       "\0\0\0\x01"s},
      {{"/v", "q", "/t", "REG_QWORD", "/d", "0x100000000"}, "q", REG_QWORD, "\0\0\0\0\x01\0\0\0"s},
      {{"/v", "b", "/t", "REG_BINARY", "/d", "00ff0A"}, "b", REG_BINARY, "\x00\xff\x0a"s},
      {{"/ve", "/d", "dflt"}, "", REG_SZ, "dflt\0"s},
      {{"/v", "l", "/t", "REG_LINK", "/d", "5c00"}, "l", REG_LINK, "\x5c\x00"s},
      {{"/v", "rl", "/t", "REG_RESOURCE_LIST", "/d", "01"}, "rl", REG_RESOURCE_LIST, "\x01"s},
      {{"/v", "fr", "/t", "REG_FULL_RESOURCE_DESCRIPTOR", "/d", "0203"}, "fr",
       REG_FULL_RESOURCE_DESCRIPTOR, "\x02\x03"s},
      {{"/v", "rr", "/t", "reg_resource_requirements_list", "/d", ""}, "rr", 10, ""},
      {{"/v", "hex", "/t", "0x20000", "/d", "ff"}, "hex", 0x20000, "\xff"s},
      {{"/v", "dec", "/t", "42", "/d", "0a0b"}, "dec", 42, "\x0a\x0b"s},
      {{"/v", "num4", "/t", "4", "/d", "9"}, "num4", REG_DWORD, "\x09\0\0\0"s},
  };
  HKEY k = Create(HKEY_CURRENT_USER, "Software\\New");
  for (const Row& row : rows) {
    std::vector<std::string> args = {"add", key};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(Reg(args).exit_code, 0) << row.name;
    EXPECT_EQ(Get(k, row.name), std::make_pair(row.type, row.bytes)) << row.name;
  }

  // An existing value: asked first; "no" (or no answer) keeps it.
  r = Reg({"add", key, "/v", "S", "/d", "changed"}, "n\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Value S exists, overwrite (Yes/No)? ");
  EXPECT_EQ(r.err, "The operation was canceled by the user.\n");
  EXPECT_EQ(Reg({"add", key, "/v", "s", "/d", "changed"}).exit_code, 1);
  EXPECT_EQ(Get(k, "s"), std::make_pair(REG_SZ, "text\0"s));
  r = Reg({"add", key, "/v", "s", "/d", "changed"}, "maybe\nYES\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Get(k, "s"), std::make_pair(REG_SZ, "changed\0"s));
  EXPECT_EQ(Reg({"add", key, "/v", "s", "/t", "REG_DWORD", "/d", "7", "/f"}).exit_code, 0);
  EXPECT_EQ(Get(k, "s"), std::make_pair(REG_DWORD, "\x07\0\0\0"s));

  // Data that does not fit the type is refused and nothing is written.
  for (std::vector<std::string> bad : {
           std::vector<std::string>{"/t", "REG_DWORD", "/d", "4294967296"},
           {"/t", "REG_DWORD", "/d", "-1"},
           {"/t", "REG_DWORD", "/d", "12abc"},
           {"/t", "REG_BINARY", "/d", "abc"},
           {"/t", "REG_BINARY", "/d", "zz"},
           {"/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"},
           {"/t", "REG_WHATEVER", "/d", "1"},
           {"/t", "0x100000000", "/d", "00"},
       }) {
    std::vector<std::string> args = {"add", key, "/v", "bad"};
    args.insert(args.end(), bad.begin(), bad.end());
    r = Reg(args);
    EXPECT_EQ(r.exit_code, 1) << bad[1] << " " << bad[3];
    EXPECT_EQ(r.err.rfind("ERROR: ", 0), 0u) << r.err;
  }
  EXPECT_EQ(Get(k, "bad").second, "<absent>");
}

TEST_F(QvrRegTest, CopyAndCompareTreesOfEveryTypeAcrossStores) {
  HKEY src = Create(HKEY_CURRENT_USER, "Software\\Src");
  Put(src, "", REG_SZ, "dflt\0"s);
  Put(src, "s", REG_SZ, "Grüße\0"s);
  Put(src, "m", REG_MULTI_SZ, "a\0b\0\0"s);
  Put(src, "d", REG_DWORD, "\x10\0\0\0"s);
  Put(src, "odd", 0x20000, "\x01\x02"s);
  HKEY sub = Create(src, "Sub\\Deeper");
  Put(sub, "l", REG_LINK, "\x5c\0"s);
  Put(sub, "r", REG_RESOURCE_LIST, "\x07"s);
  temp_.AddMachine("Other");
  const std::string there = "\\\\other\\HKLM\\SOFTWARE\\Dst";

  // Without /s only the key's own values go; with it the whole tree.
  EXPECT_EQ(Reg({"copy", "HKCU\\Software\\Src", there}).out, kSuccess);
  EXPECT_EQ(Reg({"query", there + "\\Sub"}).exit_code, 1);
  ProgramResult r = Reg({"copy", "HKCU\\Software\\Src", there, "/s", "/f"});
  EXPECT_EQ(r.out, kSuccess) << r.err;
  r = Reg({"compare", "HKCU\\Software\\Src", there, "/s"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "\nResult Compared: Identical\nThe operation completed successfully.\n");
  EXPECT_EQ(Reg({"query", there + "\\Sub\\Deeper", "/v", "l"}).out,
            "\n\\\\other\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Dst\\Sub\\Deeper\n"
            "    l    REG_LINK    5C00\n\n");

  // Differences, each side's, in reg.exe's words; exit code 2.
  ASSERT_EQ(Reg({"add", there + "\\Sub\\Deeper", "/v", "l", "/d", "x", "/f"}).exit_code, 0);
  ASSERT_EQ(Reg({"add", there + "\\Extra"}).exit_code, 0);
  Put(src, "only", REG_DWORD, "\x01\0\0\0"s);
  const std::string left = "HKEY_CURRENT_USER\\Software\\Src";
  const std::string right = "\\\\other\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Dst";
  const std::string tail_different =
      "\nResult Compared: Different\nThe operation completed successfully.\n";
  r = Reg({"compare", "HKCU\\Software\\Src", there, "/s"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "< Value: " + left + "  only  REG_DWORD  0x1\n"
                   "< Value: " + left + "\\Sub\\Deeper  l  REG_LINK  5C00\n"
                   "> Value: " + right + "\\Sub\\Deeper  l  REG_SZ  x\n"
                   "> Key: " + right + "\\Extra\n" + tail_different);
  struct Row {
    std::vector<std::string> options;
    int exit_code;
    std::string out;
  };
  const Row rows[] = {
      {{"/on", "/s"}, 2, tail_different},
      {{"/v", "only"}, 2, "< Value: " + left + "  only  REG_DWORD  0x1\n" + tail_different},
      {{"/ve", "/os"}, 0, "= Value: " + left + "  (Default)  REG_SZ  dflt\n\nResult Compared: "
                          "Identical\nThe operation completed successfully.\n"},
      {{"/v", "M", "/oa"}, 0, "= Value: " + left + "  m  REG_MULTI_SZ  a\\0b\n\nResult Compared: "
                              "Identical\nThe operation completed successfully.\n"},
      {{"/v", "L", "/s"}, 2, "< Value: " + left + "\\Sub\\Deeper  l  REG_LINK  5C00\n"
                             "> Value: " + right + "\\Sub\\Deeper  l  REG_SZ  x\n"
                             "> Key: " + right + "\\Extra\n" + tail_different},
      {{"/v", "absent"}, 1, ""},
      {{"/oa", "/os"}, 1, ""},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"compare", "HKCU\\Software\\Src", there};
    args.insert(args.end(), row.options.begin(), row.options.end());
    r = Reg(args);
    EXPECT_EQ(r.exit_code, row.exit_code) << row.options[0] << r.err;
    EXPECT_EQ(r.out, row.out) << row.options[0];
  }
  EXPECT_EQ(Reg({"compare", "HKCU\\Software\\Nope", there}).exit_code, 1);

  // Existing values are asked about; "no" keeps that one and copies the rest.
  r = Reg({"copy", there + "\\Sub", "HKCU\\Software\\Src\\Sub", "/s"}, "yes\ny\n");
  const std::string ask = "of HKEY_CURRENT_USER\\Software\\Src\\Sub\\Deeper exists, overwrite (Yes/No)? ";
  EXPECT_EQ(r.out, "Value l " + ask + "Value r " + ask + kSuccess);
  EXPECT_EQ(Get(sub, "l"), std::make_pair(REG_SZ, "x\0"s));
  Put(sub, "l", REG_LINK, "\x5c\0"s);
  r = Reg({"copy", there + "\\Sub", "HKCU\\Software\\Src\\Sub", "/s"}, "no\n");
  EXPECT_EQ(Get(sub, "l"), std::make_pair(REG_LINK, "\x5c\0"s));

  EXPECT_EQ(Failure({"copy", "HKCU\\Software\\Src", "hkcu\\software\\src\\Sub\\X", "/s"}),
            "1 ERROR: HKEY_CURRENT_USER\\software\\src\\Sub\\X is HKEY_CURRENT_USER\\Software\\Src or "
            "lies below it: a key cannot be copied into itself.\n");
  // A tree reaching into a loaded hive and outside it is refused whole.
  ASSERT_EQ(Reg({"save", "HKCU\\Software\\Src\\Sub", temp_.Dir() + "/h.hiv"}).exit_code, 0);
  ASSERT_EQ(Reg({"load", "HKU\\H", temp_.Dir() + "/h.hiv"}).exit_code, 0);
  Put(Create(HKEY_CURRENT_USER, "Software\\Spans\\H"), "in", REG_SZ, "hive\0"s);
  Put(Create(HKEY_CURRENT_USER, "Software\\Spans"), "out", REG_SZ, "store\0"s);
  r = Reg({"copy", "HKCU\\Software\\Spans", "HKU", "/s", "/f"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("ERROR: The copy into HKEY_USERS would write both the registry store and a "
                        "loaded hive", 0), 0u) << r.err;
  EXPECT_EQ(Get(HKEY_USERS, "out").second, "<absent>");
  EXPECT_EQ(Reg({"copy", "HKCU\\Software\\Src", "HKU\\H\\Copy", "/s", "/f"}).out, kSuccess);
  EXPECT_EQ(Reg({"compare", "HKCU\\Software\\Src", "HKU\\H\\Copy", "/s"}).exit_code, 0);
  EXPECT_EQ(Reg({"unload", "HKU\\H"}).exit_code, 0);
}

TEST_F(QvrRegTest, ErrorsNameTheBrokenRule) {
  const std::string long_name(256, 'k');
  EXPECT_EQ(Failure({"add", "HKCU\\Software\\" + long_name}),
            "1 ERROR: Invalid key name: the name \"kkkkkkkkkkkkkkkkkkkk...\" has 256 characters, "
            "and a key name may have at most 255.\n");
  EXPECT_EQ(Reg({"add", "HKCU\\Software\\" + long_name.substr(1)}).exit_code, 0);

  const std::string prefix =
      testing::AddWineMachine(temp_.Dir(), temp_.MachineTablePath(), "winebox");
  EXPECT_EQ(Failure({"import", prefix + "/system.reg"}),
            "1 ERROR: " + prefix + "/system.reg is one of Wine's registry files (\"WINE REGISTRY "
            "Version 2\"), not a .reg file: import its prefix with \"qvr-reg import --wine " +
            prefix + "\".\n");
  EXPECT_EQ(Failure({"add", "\\\\winebox\\HKLM\\Software\\Wine", "/v", "x", "/d", "1"}),
            "1 ERROR: Access is denied: \\\\winebox is the Wine prefix " + prefix +
            ", which qvr-reg only reads (import it here with \"qvr-reg import --wine\").\n");
  const std::string drive =
      testing::AddWindowsMachine(temp_.Dir(), temp_.MachineTablePath(), "winbox");
  ProgramResult r = Reg({"delete", "\\\\winbox\\HKLM\\SOFTWARE\\Vendor", "/f"});
  EXPECT_EQ(r.exit_code, 1);
  // (After the machine's warning of the hives it lacks.)
  EXPECT_NE(r.err.find("\nERROR: Access is denied: \\\\winbox is the Windows installation " + drive +
                       ", shown read-only so that nothing on its drive changes.\n"),
            std::string::npos) << r.err;
  // That installation's DEFAULT hive is dirty: loaded here, it is read-only.
  ASSERT_EQ(Reg({"load", "HKU\\RO", drive + "/WINDOWS/system32/Config/DEFAULT"}).exit_code, 0);
  EXPECT_EQ(Failure({"add", "HKU\\RO\\Control Panel", "/v", "w", "/d", "1", "/f"}),
            "1 ERROR: Access is denied: HKEY_USERS\\RO is a hive file loaded read-only (\"qvr-reg "
            "load\" said why when it loaded it).\n");
  EXPECT_EQ(Reg({"unload", "HKU\\RO"}).exit_code, 0);
  const std::string store = temp_.AddMachine("frozen");
  ASSERT_EQ(chmod(store.c_str(), 0444), 0);
  EXPECT_EQ(Failure({"copy", "HKCU\\Software", "\\\\frozen\\HKLM\\SOFTWARE\\X", "/f"}),
            "1 ERROR: Access is denied: the registry store of \\\\frozen is read-only: " + store +
            " has no write permission bit.\n");
}

TEST_F(QvrRegTest, DeleteKeysTreesAndValues) {
  HKEY doomed = Create(HKEY_CURRENT_USER, "Software\\Doomed");
  Put(doomed, "", REG_SZ, "d\0"s);
  Put(doomed, "one", REG_SZ, "1\0"s);
  Put(doomed, "two", REG_SZ, "2\0"s);
  Create(doomed, "Child\\Grandchild");

  ProgramResult r = Reg({"delete", "HKCU\\Software\\Doomed", "/v", "ONE", "/f"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kSuccess);
  EXPECT_EQ(Get(doomed, "one").second, "<absent>");
  EXPECT_EQ(Failure({"delete", "HKCU\\Software\\Doomed", "/v", "one", "/f"}), "1 "s + kNotFound);

  r = Reg({"delete", "HKCU\\Software\\Doomed", "/ve"}, "y\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Delete the registry value (Default) (Yes/No)? "s + kSuccess);
  EXPECT_EQ(Get(doomed, "").second, "<absent>");
  EXPECT_EQ(Get(doomed, "two").first, REG_SZ);

  Put(doomed, "three", REG_SZ, "3\0"s);
  r = Reg({"delete", "HKCU\\Software\\Doomed", "/va", "/f"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Get(doomed, "two").second, "<absent>");
  EXPECT_EQ(Get(doomed, "three").second, "<absent>");
  EXPECT_TRUE(Exists(doomed, "Child"));

  // The whole tree, after asking; "no" keeps it.
  r = Reg({"delete", "HKCU\\Software\\Doomed"}, "no\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Doomed "
                   "(Yes/No)? ");
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Doomed\\Child\\Grandchild"));
  r = Reg({"delete", "HKCU\\Software\\Doomed", "/f"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Doomed"));

  EXPECT_EQ(Failure({"delete", "HKCU\\Software\\Doomed", "/f"}), "1 "s + kNotFound);
  EXPECT_EQ(Failure({"delete", "HKLM", "/f"}), "1 ERROR: A whole hive cannot be deleted.\n");
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
}

TEST_F(QvrRegTest, SyntaxErrorsAndHelp) {
  for (std::vector<std::string> bad : {
           std::vector<std::string>{},
           {"frobnicate", "HKCU"},
           {"query"},
           {"query", "HKCU", "HKLM"},
           {"query", "HKCU", "/x"},
           {"query", "HKCU", "/v"},
           {"query", "HKCU", "/v", "a", "/ve"},
           {"query", "HKCU", "/s", "/s"},
           {"add", "HKCU\\Software\\X", "/v", "a", "/s", "#"},
           {"delete", "HKCU\\Software\\X", "/va", "/ve"},
       }) {
    ProgramResult r = Reg(bad);
    EXPECT_EQ(r.exit_code, 1) << ::testing::PrintToString(bad);
    EXPECT_EQ(r.err.rfind("ERROR: Invalid syntax.", 0), 0u) << r.err;
  }
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\X"));
  // Which key names parse: KeyPathTest; a name that does not is said so.
  EXPECT_EQ(Failure({"query", "HKXX\\Software"}), "1 ERROR: Invalid key name.\n");

  ProgramResult help = Reg({"/?"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* verb : {"add", "delete", "query"}) {
    EXPECT_NE(help.out.find("  " + std::string(verb) + " "), std::string::npos) << verb;
    ProgramResult verb_help = Reg({verb, "/?"});
    EXPECT_EQ(verb_help.exit_code, 0);
    EXPECT_EQ(verb_help.out.rfind("qvr-reg " + std::string(verb) + " KeyName", 0), 0u);
  }
}

TEST_F(QvrRegTest, RemoteMachinesFromTheMachineTable) {
  temp_.AddMachine("Server1");
  ProgramResult r = Reg({"add", "\\\\server1\\HKLM\\SOFTWARE\\Remote", "/v", "where", "/d", "there"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  r = Reg({"query", "\\\\SERVER1\\HKLM\\SOFTWARE\\Remote"});
  EXPECT_EQ(r.out, "\n\\\\SERVER1\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Remote\n"
                   "    where    REG_SZ    there\n\n");
  // Written there, not here.
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Remote"));
  EXPECT_EQ(Reg({"delete", "\\\\Server1\\HKLM\\SOFTWARE\\Remote", "/f"}).exit_code, 0);
  EXPECT_EQ(Reg({"query", "\\\\Server1\\HKLM\\SOFTWARE\\Remote"}).exit_code, 1);
  // (Which names and hives connect, and why not, is tested on the service.)
  // A Wine prefix is a machine too; a listed store that is gone says so.
  testing::AddWineMachine(temp_.Dir(), temp_.MachineTablePath(), "winebox");
  EXPECT_EQ(Reg({"query", "\\\\winebox\\HKLM\\Software\\Wine", "/v", "Version"}).out,
            "\n\\\\winebox\\HKEY_LOCAL_MACHINE\\Software\\Wine\n    Version    REG_SZ    win10\n\n");
  // So is a Windows installation, which warns once of the hives it lacks.
  testing::AddWindowsMachine(temp_.Dir(), temp_.MachineTablePath(), "winbox");
  r = Reg({"query", "\\\\winbox\\HKLM\\SOFTWARE\\Vendor", "/s"});
  EXPECT_EQ(r.out, "\n\\\\winbox\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\n\n"
                   "\\\\winbox\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\n"
                   "    Path    REG_EXPAND_SZ    %AppHome%\\bin\n\n");
  EXPECT_EQ(r.err.rfind("WARNING: \\\\winbox: left out of its registry: HKLM\\SAM (", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find("WARNING", 1), std::string::npos) << r.err;
  std::ofstream(temp_.MachineTablePath(), std::ios::app) << "gone = gone.sqlite\n";
  EXPECT_EQ(Failure({"add", "\\\\gone\\HKLM\\SOFTWARE\\X"}),
            "1 ERROR: \\\\gone: the registry store " + temp_.Dir() + "/gone.sqlite does not exist\n");
}

TEST_F(QvrRegTest, AReadOnlyStoreIsReadButNeverWritten) {
  const std::string path = temp_.Dir() + "/readonly.sqlite";
  {
    std::shared_ptr<RegistryService> service;
    Status opened = RegistryService::Open(path, "", &service);
    ASSERT_TRUE(opened.ok()) << opened.ToString();
  }
  setenv("QVR_REGISTRY", path.c_str(), 1);
  ASSERT_EQ(Reg({"add", "HKLM\\SOFTWARE\\Kept", "/v", "v", "/d", "x"}).exit_code, 0);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ProgramResult query = Reg({"query", "HKLM\\SOFTWARE\\Kept", "/v", "v"});
  // (Each kind of write the store refuses is tested on the service.)
  ProgramResult change = Reg({"add", "HKLM\\SOFTWARE\\Kept", "/v", "v", "/d", "y", "/f"});
  ProgramResult after = Reg({"query", "HKLM\\SOFTWARE\\Kept", "/v", "v"});
  setenv("QVR_REGISTRY", temp_.LocalStorePath().c_str(), 1);
  EXPECT_EQ(query.exit_code, 0);
  EXPECT_NE(query.out.find("    v    REG_SZ    x\n"), std::string::npos);
  EXPECT_EQ(change.exit_code, 1);
  EXPECT_EQ(change.err, "ERROR: Access is denied: the registry store is read-only: " + path +
                            " has no write permission bit.\n");
  EXPECT_EQ(after.out, query.out);
}

TEST_F(QvrRegTest, AStoreThatCannotBeOpenedIsReported) {
  const std::string bogus = temp_.Dir() + "/not-a-store";
  std::ofstream(bogus) << "this is a text file, not a registry store\n";
  setenv("QVR_REGISTRY", bogus.c_str(), 1);
  ProgramResult r = Reg({"query", "HKLM"});
  setenv("QVR_REGISTRY", temp_.LocalStorePath().c_str(), 1);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("ERROR: Cannot open the registry store " + bogus, 0), 0u) << r.err;
}

}  // namespace
}  // namespace qvr
