// RegistrySearch over the SQLite store, a loaded hive and a Wine prefix:
// every option, a cancel from another thread, and a tree changed meanwhile.
#include "registry/registry_search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/unicode.h"
#include "regfile/wine_prefix.h"
#include "support/temp_registry.h"
#include "support/wine_machine.h"

namespace qvr {
namespace {

using testing::IsOk;

std::string Utf16(std::string_view text) { return Utf16ToLeBytes(Utf8ToUtf16(text)); }

// The tree every store holds below its top "Find":
//   Find       Name = "Python 3.12", Paths = {"C:\bin", "C:\Python\lib"},
//              Blob = AB CD 01, Count = 0x12
//   Find\Alpha         Tool = "snake"
//   Find\Alpha\PYTHON
//   Find\Beta          python = REG_EXPAND_SZ "%x%"
void Build(RegistryService& s, HKEY root, const std::string& top) {
  auto put = [&](const std::string& path, const char* name, DWORD type, const std::string& bytes) {
    HKEY key = 0;
    ASSERT_EQ(s.CreateKey(root, path.c_str(), KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
    if (name) {
      ASSERT_EQ(s.SetValueBytes(key, name, type, bytes), ERROR_SUCCESS);
    }
    s.CloseKey(key);
  };
  put(top, "Name", REG_SZ, Utf16(std::string("Python 3.12\0", 12)));
  put(top, "Paths", REG_MULTI_SZ, Utf16(std::string("C:\\bin\0C:\\Python\\lib\0\0", 22)));
  put(top, "Blob", REG_BINARY, "\xAB\xCD\x01");
  put(top, "Count", REG_DWORD, std::string("\x12\0\0\0", 4));
  put(top + "\\Alpha", "Tool", REG_SZ, Utf16("snake"));
  put(top + "\\Alpha\\PYTHON", nullptr, 0, "");
  put(top + "\\Beta", "python", REG_EXPAND_SZ, Utf16("%x%"));
}

// The same tree as a Wine prefix's system.reg.
constexpr char kWineTree[] =
    "WINE REGISTRY Version 2\n\n"
    "[Find] 1600000000\n"
    "\"Name\"=\"Python 3.12\"\n"
    "\"Paths\"=str(7):\"C:\\\\bin\\0C:\\\\Python\\\\lib\\0\"\n"
    "\"Blob\"=hex:ab,cd,01\n"
    "\"Count\"=dword:00000012\n\n"
    "[Find\\\\Alpha] 1600000000\n\"Tool\"=\"snake\"\n\n"
    "[Find\\\\Alpha\\\\PYTHON] 1600000000\n\n"
    "[Find\\\\Beta] 1600000000\n\"python\"=str(2):\"%x%\"\n";

// Each match as "K path", "N path|name" or "D path|name", in the order found.
std::vector<std::string> Search(RegistryService& s, HKEY top, const SearchOptions& options,
                                LONG expected = ERROR_SUCCESS) {
  std::vector<std::string> found;
  RegistrySearch search(s, top, "TOP", options);
  EXPECT_EQ(search.Run([&](const SearchMatch& m) {
    const char* kinds = "KND";
    std::string line = std::string(1, kinds[static_cast<int>(m.kind)]) + " " + m.key_path;
    if (m.kind != SearchMatch::Kind::kKey) line += "|" + m.value_name;
    found.push_back(line);
  }), expected);
  return found;
}

struct Case {
  const char* what;
  SearchOptions options;
  std::vector<std::string> expected;
};

SearchOptions With(std::string text, void (*change)(SearchOptions&) = nullptr) {
  SearchOptions o;
  o.text = std::move(text);
  if (change) change(o);
  return o;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"everything, any case", With("python"),
       {"D TOP|Name", "D TOP|Paths", "K TOP\\Alpha\\PYTHON", "N TOP\\Beta|python"}},
      {"keys only", With("python", [](SearchOptions& o) { o.value_names = o.data = false; }),
       {"K TOP\\Alpha\\PYTHON"}},
      {"value names only", With("PYTHON", [](SearchOptions& o) { o.keys = o.data = false; }),
       {"N TOP\\Beta|python"}},
      {"case counts", With("Python", [](SearchOptions& o) { o.match_case = true; }),
       {"D TOP|Name", "D TOP|Paths"}},
      {"whole text, one string of a list", With("c:\\BIN", [](SearchOptions& o) { o.whole = true; }),
       {"D TOP|Paths"}},
      {"whole name", With("python", [](SearchOptions& o) { o.whole = true; }),
       {"K TOP\\Alpha\\PYTHON", "N TOP\\Beta|python"}},
      {"binary as hex", With("cd01"), {"D TOP|Blob"}},
      {"dword as hex, case counts", With("12000000", [](SearchOptions& o) { o.match_case = true; }),
       {"D TOP|Count"}},
      {"types limit values, not keys",
       With("python", [](SearchOptions& o) { o.types = {REG_EXPAND_SZ}; }),
       {"K TOP\\Alpha\\PYTHON", "N TOP\\Beta|python"}},
      {"the top only", With("python", [](SearchOptions& o) { o.recurse = false; }),
       {"D TOP|Name", "D TOP|Paths"}},
      {"the top's name is not matched", With("top"), {}},
      {"a name's part", With("lph"), {"K TOP\\Alpha"}},
      {"the top's sub-keys' names without entering them",
       With("a", [](SearchOptions& o) { o.recurse = false; o.data = false; }),
       {"N TOP|Name", "N TOP|Paths", "K TOP\\Alpha", "K TOP\\Beta"}},
  };
  return cases;
}

void ExpectCases(RegistryService& s, HKEY top, const char* store) {
  for (const Case& c : Cases()) {
    EXPECT_EQ(Search(s, top, c.options), c.expected) << store << ": " << c.what;
  }
}

TEST(RegistrySearchTest, EveryOptionOnEveryStoreKind) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  Build(s, HKEY_CURRENT_USER, "Software\\Find");
  HKEY top = 0;
  ASSERT_EQ(s.OpenKey(HKEY_CURRENT_USER, "Software\\Find", &top), ERROR_SUCCESS);
  ExpectCases(s, top, "sqlite");

  const std::string file = temp.Dir() + "/find.hive";
  ASSERT_TRUE(IsOk(s.SaveKey(top, file.c_str(), false)));
  s.CloseKey(top);
  ASSERT_TRUE(IsOk(s.LoadKey(HKEY_USERS, "Loaded", file.c_str())));
  ASSERT_EQ(s.OpenKey(HKEY_USERS, "Loaded", &top), ERROR_SUCCESS);
  ExpectCases(s, top, "hive");
  s.CloseKey(top);

  WinePrefix::RegisterOpener();
  const std::string prefix = testing::AddWineMachine(temp.Dir(), temp.MachineTablePath(), "wb");
  std::ofstream(prefix + "/system.reg") << kWineTree;
  HKEY hklm = 0;
  ASSERT_EQ(s.Connect("wb", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  ASSERT_EQ(s.OpenKey(hklm, "Find", &top), ERROR_SUCCESS);
  ExpectCases(s, top, "wine");
  s.CloseKey(top);
  s.CloseKey(hklm);
}

// A wide tree: Wide\K000 ... Wide\K<n-1>, each with a sub-key "KS".
HKEY Wide(RegistryService& s, int n) {
  HKEY top = 0;
  EXPECT_EQ(s.CreateKey(HKEY_CURRENT_USER, "Wide", KEY_ALL_ACCESS, &top, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(s.Transact(top, [&] {
    for (int i = 0; i < n; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "K%03d\\KS", i);
      HKEY key = 0;
      LONG rc = s.CreateKey(top, name, KEY_ALL_ACCESS, &key, nullptr);
      if (rc != ERROR_SUCCESS) return rc;
      s.CloseKey(key);
    }
    return ERROR_SUCCESS;
  }), ERROR_SUCCESS);
  return top;
}

TEST(RegistrySearchTest, CancelFromAnotherThreadStopsTheWalkAndClosesItsHandles) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  HKEY top = Wide(s, 300);
  const size_t handles = s.OpenHandleCount();
  SearchOptions options;
  options.text = "K";
  options.value_names = options.data = false;
  RegistrySearch search(s, top, "W", options);
  std::atomic<bool> asked{false}, cancelled{false};
  int matches = 0;
  LONG rc = -1;
  std::thread worker([&] {
    rc = search.Run([&](const SearchMatch&) {
      if (++matches == 50) {
        asked = true;
        while (!cancelled) std::this_thread::yield();
      }
    });
  });
  while (!asked) std::this_thread::yield();
  search.Cancel();
  cancelled = true;
  worker.join();
  EXPECT_EQ(rc, ERROR_CANCELLED);
  EXPECT_EQ(matches, 50);
  EXPECT_GE(search.KeysVisited(), 50);
  EXPECT_LT(search.KeysVisited(), 600);
  EXPECT_EQ(s.OpenHandleCount(), handles);
  s.CloseKey(top);
}

TEST(RegistrySearchTest, ATreeChangedWhileSearchedGivesEachKeyOnce) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  HKEY top = Wide(s, 100);
  SearchOptions options;
  options.text = "K";
  options.value_names = options.data = false;
  RegistrySearch search(s, top, "W", options);
  std::vector<std::string> found;
  // When the walk stands at K050, another thread deletes K050 itself (under
  // walk), K010 (walked) and K060 (still to come), and adds K005X (before
  // the walk's place) and K070X (after it).
  LONG rc = search.Run([&](const SearchMatch& m) {
    found.push_back(m.key_path);
    if (m.key_path != "W\\K050") return;
    std::thread([&] {
      for (const char* gone : {"K050\\KS", "K050", "K010\\KS", "K010", "K060\\KS", "K060"}) {
        EXPECT_EQ(s.DeleteKey(top, gone), ERROR_SUCCESS) << gone;
      }
      for (const char* added : {"K005X", "K070X"}) {
        HKEY key = 0;
        EXPECT_EQ(s.CreateKey(top, added, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
        s.CloseKey(key);
      }
    }).join();
  });
  EXPECT_EQ(rc, ERROR_SUCCESS);
  std::set<std::string> unique(found.begin(), found.end());
  EXPECT_EQ(unique.size(), found.size()) << "a key was reported twice";
  EXPECT_EQ(unique.count("W\\K060"), 0u);
  EXPECT_EQ(unique.count("W\\K050\\KS"), 0u);
  EXPECT_EQ(unique.count("W\\K070X"), 1u);
  EXPECT_EQ(unique.count("W\\K099\\KS"), 1u);
  // Every key but K060, K060\KS and K050\KS, and the K005X added behind.
  EXPECT_EQ(found.size(), 200u - 3 + 1);
  s.CloseKey(top);
}

}  // namespace
}  // namespace qvr
