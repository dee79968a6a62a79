// The registry object's handle table: opening, filing, finding and closing
// keys, remote hives, and the sweep when the object ends.
#include <cstdio>
#include <string>
#include <vector>

#include "reglib_fixture.h"

namespace qvr {
namespace {

using HandleTableTest = ReglibTest;

std::string HexName(HKEY handle) {
  char text[16];
  std::snprintf(text, sizeof text, "_H%X", static_cast<unsigned>(handle));
  return text;
}

// True while the service still accepts the handle.
bool IsOpen(HKEY handle) {
  char name[64];
  DWORD length = sizeof name;
  LONG rc = RegEnumKeyExA(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
  return rc != ERROR_INVALID_HANDLE;
}

TEST_F(HandleTableTest, MustExistOpensWithoutCreating) {
  EXPECT_EQ(reg_->OpenKey(scratch_, "Absent\\Deeper", true), -1);
  EXPECT_FALSE(KeyExists(scratch_, "Absent"));
  EXPECT_EQ(reg_->Count(), 0);

  HKEY created = reg_->OpenKey(scratch_, "Absent\\Deeper");
  ASSERT_NE(created, -1);
  EXPECT_TRUE(KeyExists(scratch_, "Absent\\Deeper"));
  EXPECT_EQ(reg_->Count(), 1);
  EXPECT_EQ(reg_->item(Variant(HexName(created))), created);

  HKEY again = reg_->OpenKey(scratch_, "ABSENT\\deeper", true);
  ASSERT_NE(again, -1);
  EXPECT_NE(again, created);
  EXPECT_EQ(reg_->Count(), 2);
  // The handle allows writing: the client's own writes go through.
  EXPECT_EQ(reg_->SetValue(again, "w", Variant("x")), ERROR_SUCCESS);

  HKEY root = reg_->OpenKey(HKeyLocalMachine, "");
  ASSERT_NE(root, -1);
  EXPECT_TRUE(KeyExists(root, "SOFTWARE"));
}

TEST_F(HandleTableTest, IndexKeysFileFindAndClose) {
  const int32_t before = reg_->Count();
  HKEY first = reg_->OpenKey(scratch_, "A", false, "Mine");
  HKEY second = reg_->OpenKey(scratch_, "B", false, "MINE");
  ASSERT_TRUE(first != -1 && second != -1);
  EXPECT_NE(first, second);
  EXPECT_EQ(reg_->Count(), before + 1);
  EXPECT_EQ((std::vector<HKEY>{reg_->item(Variant("mine")), reg_->item(Variant(int32_t{1})),
                               reg_->item(Variant("nobody")), reg_->item(Variant(int32_t{7}))}),
            (std::vector<HKEY>{first, first, -1, -1}));

  // By index key: the entry goes and the key is closed.
  reg_->CloseKey(Variant("MiNe"));
  EXPECT_EQ(reg_->Count(), before);
  EXPECT_FALSE(IsOpen(first));

  // The unfiled second handle is still open and still ours to close.
  EXPECT_TRUE(IsOpen(second));
  reg_->CloseKey(Variant(second));
  EXPECT_FALSE(IsOpen(second));
}

TEST_F(HandleTableTest, CloseByHandleForgetsTheEntry) {
  HKEY plain = reg_->OpenKey(scratch_, "P");
  EXPECT_EQ(reg_->Count(), 1);
  reg_->CloseKey(Variant(plain));
  EXPECT_EQ(reg_->Count(), 0);
  EXPECT_FALSE(IsOpen(plain));

  // A key filed under an index key and closed by handle leaves no stale entry.
  HKEY named = reg_->OpenKey(scratch_, "N", false, "named");
  reg_->CloseKey(Variant(named));
  EXPECT_EQ(reg_->Count(), 0);
  EXPECT_EQ(reg_->item(Variant("named")), -1);

  // An Integer, a Double or Empty closes nothing.
  HKEY kept = reg_->OpenKey(scratch_, "K");
  ASSERT_LT(kept, 32768);
  reg_->CloseKey(Variant(static_cast<int16_t>(kept)));
  reg_->CloseKey(Variant(static_cast<double>(kept)));
  reg_->CloseKey(Variant());
  EXPECT_EQ(reg_->Count(), 1);
  EXPECT_TRUE(IsOpen(kept));
}

TEST_F(HandleTableTest, ObjectEndClosesEveryHandleItOpenedOrWasGiven) {
  HKEY filed = reg_->OpenKey(scratch_, "One");
  HKEY indexed = reg_->OpenKey(scratch_, "Two", false, "dup");
  HKEY unfiled = reg_->OpenKey(scratch_, "Three", false, "DUP");
  HKEY closed_by_handle = reg_->OpenKey(scratch_, "Four", false, "four");
  reg_->CloseKey(Variant(closed_by_handle));
  // A handle written over an entry is owned too; the one it replaced still is.
  HKEY given = 0;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "Two", 0, KEY_READ, &given), ERROR_SUCCESS);
  reg_->item(Variant("dup"), given);
  EXPECT_EQ(reg_->item(Variant("dup")), given);
  reg_->item(Variant("missing"), 1234);  // no such entry: nothing is filed
  EXPECT_EQ(reg_->Count(), 2);
  // Whatever the service now issues must survive the end of the object.
  HKEY foreign = 0;
  ASSERT_EQ(RegOpenKeyExA(scratch_, "One", 0, KEY_READ, &foreign), ERROR_SUCCESS);

  reg_.reset();
  for (HKEY handle : {filed, indexed, unfiled, given}) EXPECT_FALSE(IsOpen(handle)) << handle;
  EXPECT_TRUE(IsOpen(foreign));
  RegCloseKey(foreign);
}

TEST_F(HandleTableTest, MachineNameAndRemoteHives) {
  reg_->MachineName("elsewhere");
  EXPECT_EQ(reg_->MachineName(), "");

  temp_.AddMachine("FARAWAY");
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("FARAWAY", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  reg_->RegHKeyLocalMachine(remote);
  EXPECT_EQ(std::make_pair(reg_->RegHKeyLocalMachine(), reg_->RegHKeyUsers()),
            std::make_pair(remote, 0));

  // Created through the remote hive: present there, absent locally.
  HKEY made = reg_->OpenKey(HKeyLocalMachine, "SOFTWARE\\OnlyRemote");
  ASSERT_NE(made, -1);
  EXPECT_TRUE(KeyExists(remote, "SOFTWARE\\OnlyRemote"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyRemote"));
  // Other hives stay local.
  ASSERT_NE(reg_->OpenKey(HKeyCurrentUser, "Software\\QvrTest\\Local"), -1);
  EXPECT_TRUE(KeyExists(scratch_, "Local"));

  // The remote hive handle is the host's: it outlives the object.
  reg_.reset();
  EXPECT_TRUE(IsOpen(remote));
  RegCloseKey(remote);
}

}  // namespace
}  // namespace qvr
