// qvr-reg's key names, tree deletion and result messages, in process.
#include <gtest/gtest.h>

#include <string>

#include "registry/registry_api.h"
#include "console.h"
#include "session.h"
#include "support/faulty_store.h"

namespace qvr::reg_tool {
namespace {

using qvr::testing::StoreOp;

TEST(KeyPathTest, ParsesHivesMachinesAndSubKeys) {
  KeyPath path;
  std::string error;
  ASSERT_TRUE(ParseKeyPath("hkcu\\Software\\Acme\\", &path, &error));
  EXPECT_EQ(path.hive, HKEY_CURRENT_USER);
  EXPECT_EQ(path.sub_key, "Software\\Acme");
  EXPECT_EQ(path.Text(), "HKEY_CURRENT_USER\\Software\\Acme");
  EXPECT_EQ(path.Child("Sub").Text(), "HKEY_CURRENT_USER\\Software\\Acme\\Sub");

  ASSERT_TRUE(ParseKeyPath("\\\\Build01\\HKEY_USERS", &path, &error));
  EXPECT_EQ(path.machine, "Build01");
  EXPECT_EQ(path.hive, HKEY_USERS);
  EXPECT_EQ(path.sub_key, "");
  EXPECT_EQ(path.Text(), "\\\\Build01\\HKEY_USERS");
  EXPECT_EQ(path.Child(".DEFAULT").Text(), "\\\\Build01\\HKEY_USERS\\.DEFAULT");
  ASSERT_TRUE(ParseKeyPath("hkey_local_machine\\software", &path, &error));
  EXPECT_EQ(path.Text(), "HKEY_LOCAL_MACHINE\\software");
  ASSERT_TRUE(ParseKeyPath("HKCC", &path, &error));
  EXPECT_EQ(path.hive, HKEY_CURRENT_CONFIG);

  for (const char* bad : {"", "HKCU\\\\x", "\\\\\\HKLM", "\\\\host", "\\\\host\\HKCC\\x",
                          "HKEY_CURRENT", "Software\\Acme", "HKLM\\\\"}) {
    EXPECT_FALSE(ParseKeyPath(bad, &path, &error)) << bad;
    EXPECT_EQ(error.rfind("Invalid key name.", 0), 0u) << bad;
  }
}

TEST(DeleteTreeTest, ATreeGoesWholeOrNotAtAll) {
  qvr::testing::FaultyRegistry registry;
  RegistrySession session;
  KeyPath tree;
  std::string error;
  ASSERT_TRUE(ParseKeyPath("HKCU\\Software\\Tree", &tree, &error));
  for (const char* sub : {"a\\a1", "a\\a2", "b\\b1", "c"}) {
    HKEY key = 0;
    ASSERT_EQ(session.Open(tree.Child(sub), true, &key), 0);
    ASSERT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    session.Close(key);
  }
  // The fourth of the seven deletions fails: nothing is deleted.
  registry.Store().Fail(StoreOp::kDeleteKey, 112, 1, 3);
  EXPECT_EQ(session.DeleteTree(tree), 112);
  for (const char* sub : {"a\\a1", "a\\a2", "b\\b1", "c"}) {
    HKEY key = 0;
    ASSERT_EQ(session.Open(tree.Child(sub), false, &key), 0) << sub;
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS) << sub;
    session.Close(key);
  }
  EXPECT_EQ(session.Registry().Count(), 0);

  EXPECT_EQ(session.DeleteTree(tree), 0);
  HKEY key = 0;
  EXPECT_EQ(session.Open(tree, false, &key), ERROR_FILE_NOT_FOUND);
  KeyPath software = tree;
  software.sub_key = "Software";
  EXPECT_EQ(session.Open(software, false, &key), 0);
  session.Close(key);
  EXPECT_EQ(session.Registry().Count(), 0);
  KeyPath hive = tree;
  hive.sub_key = "";
  EXPECT_EQ(session.DeleteTree(hive), ERROR_ACCESS_DENIED);
}

// A write that gave up waiting for another writer's transaction says so.
TEST(ResultTextTest, BusyNamesAnotherProgramWriting) {
  EXPECT_EQ(ResultText(ERROR_BUSY).rfind("Another program is writing to the registry", 0), 0u);
}

}  // namespace
}  // namespace qvr::reg_tool
