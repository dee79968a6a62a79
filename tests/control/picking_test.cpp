// Ticking rows and nodes in multiple selection: the records filed, the marks
// drawn on the tree, the ticks taken back.
#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kHklm = "_&H80000002";
const std::string kA = kHklm + "\\SOFTWARE\\A";
const std::string kB = kA + "\\B";

class PickingTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", "", "def");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", "V", "v");
    SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", "Exp", REG_EXPAND_SZ, std::string("x\0", 2));
    SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", "Empty", REG_BINARY, "");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "OwnValue", "o");
    MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\Sibling");
    SetString(HKEY_USERS, "", "HiveValue", "h");
    UseMultiSelect();
    ASSERT_TRUE(control_->Show());
    OpenPath(kB);
  }
  void Tick(const std::string& row, bool checked = true) {
    ASSERT_TRUE(Row(row)) << row;
    control_->lvValues().UserCheck(Row(row), checked);
  }
  std::string Images(const std::string& key) {
    return Node(key)->Image() + "/" + Node(key)->SelectedImage();
  }
  std::shared_ptr<qvrData> Record(const std::string& path, const std::string& name) {
    auto records = control_->Selection().item(Variant(path));
    return records ? records->item(Variant(name)) : nullptr;
  }
};

TEST_F(PickingTest, TickingRowsFilesRecordsAndMarksTheWayUp) {
  Click(kB);
  Tick("(default)");
  Tick("Exp");
  Tick("Empty");
  auto def = Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "(default)");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->strRegistryClsID, "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}");
  EXPECT_EQ(def->strRegistryName, "B");
  EXPECT_EQ(def->strRegistryDesc, "Wizard Generated Registry Item");
  EXPECT_EQ(def->strRegistryImage, "7");
  EXPECT_EQ(def->strPropSheetAct, "U");
  EXPECT_EQ(def->strPropSheetDefault, "1");
  EXPECT_EQ(def->strPropSheetHive, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(def->strPropSheetKey, "SOFTWARE\\A\\B");
  EXPECT_EQ(def->strPropSheetName, "(default)");
  EXPECT_EQ(def->strPropSheetType, "REG_SZ");
  EXPECT_EQ(def->strPropSheetValue, "def");
  EXPECT_EQ(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "Exp")->strRegistryImage, "2");
  EXPECT_EQ(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "Empty")->strPropSheetValue, "");
  EXPECT_EQ(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "Exp")->strPropSheetDefault, "0");

  EXPECT_EQ(Images(kB), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kA), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm + "\\SOFTWARE"), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Node("ROOTKEY")->Image(), "ROOTKEY");
  EXPECT_EQ(Images(kHklm + "\\SOFTWARE\\CLASSES"), "REGKEY/KEYOPEN");

  // A value of A itself keeps A marked when B's last value goes.
  Click(kA);
  Tick("OwnValue");
  Click(kB);
  Tick("(default)", false);
  Tick("Exp", false);
  EXPECT_EQ(Images(kB), "SELECTKEY/SELECTOPEN");  // "Empty" is still picked
  Tick("Empty", false);
  auto records = control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B"));
  ASSERT_TRUE(records);  // the empty record set stays
  EXPECT_EQ(records->Count(), 0);
  EXPECT_EQ(Images(kB), "REGKEY/KEYOPEN");
  EXPECT_EQ(Images(kA), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm), "SELECTKEY/SELECTOPEN");

  Click(kA);
  Tick("OwnValue", false);
  EXPECT_EQ(Images(kA), "REGKEY/KEYOPEN");
  EXPECT_EQ(Images(kHklm + "\\SOFTWARE"), "REGKEY/KEYOPEN");
  EXPECT_EQ(Images(kHklm), "REGKEY/KEYOPEN");
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(PickingTest, HiveRootValuesAndUncheckingWithoutRecords) {
  Open("_&H80000003");
  Click("_&H80000003");
  Tick("HiveValue");
  auto record = Record("HKEY_USERS", "HiveValue");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->strPropSheetHive, "HKEY_USERS");
  EXPECT_EQ(record->strPropSheetKey, "");
  EXPECT_EQ(record->strRegistryName, "HKEY_USERS");
  EXPECT_EQ(Images("_&H80000003"), "SELECTKEY/SELECTOPEN");

  // An export empties the selection; unticking a row afterwards is no error,
  // and the marks that no longer hold go.
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<Root/>"));
  control_->GetSelectedDOM(&doc);
  EXPECT_EQ(control_->Selection().Count(), 0);
  EXPECT_TRUE(Row("HiveValue")->Checked());
  Tick("HiveValue", false);
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(Images("_&H80000003"), "REGKEY/KEYOPEN");
  // Also when another value of the key was picked again meanwhile.
  Click(kB);
  Tick("V");
  control_->GetSelectedDOM(&doc);
  Tick("(default)");
  Tick("V", false);
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(Images(kB), "SELECTKEY/SELECTOPEN");  // "(default)" holds it
}

TEST_F(PickingTest, TickingNodesMarksAncestorsAndTimerTakesBackHiveTicks) {
  auto& tree = control_->tvReg();
  tree.UserCheck(Node(kB), true);
  EXPECT_EQ(Images(kB), "REGKEY/KEYOPEN");  // its own box shows its state
  EXPECT_EQ(Images(kA), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm), "SELECTKEY/SELECTOPEN");
  // A sibling still ticked keeps the parent marked.
  tree.UserCheck(Node(kA + "\\SIBLING"), true);
  tree.UserCheck(Node(kB), false);
  EXPECT_EQ(Images(kA), "SELECTKEY/SELECTOPEN");
  tree.UserCheck(Node(kA + "\\SIBLING"), false);
  EXPECT_EQ(Images(kA), "REGKEY/KEYOPEN");
  EXPECT_EQ(Images(kHklm), "REGKEY/KEYOPEN");

  // Ticks on the computer and on hives are taken back 10 ms later.
  for (const std::string key : {"ROOTKEY", "_&H80000000", "_&H80000005"}) {
    tree.UserCheck(Node(key), true);
    EXPECT_TRUE(Node(key)->Checked());
    loop_.Advance(9);
    EXPECT_TRUE(Node(key)->Checked()) << key;
    loop_.Advance(1);
    EXPECT_FALSE(Node(key)->Checked()) << key;
    EXPECT_EQ(loop_.ActiveTimers(), 0u);
  }
  // Keys stay ticked.
  tree.UserCheck(Node(kA), true);
  loop_.Advance(50);
  EXPECT_TRUE(Node(kA)->Checked());
}

TEST_F(PickingTest, RemoteMachineTreatsItsTwoHivesAsHives) {
  temp_.AddMachine("FARHOST");
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("FARHOST", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  MakeKey(remote, "SOFTWARE\\R\\S");
  RegCloseKey(remote);
  ASSERT_TRUE(control_->Show("FARHOST"));
  OpenPath(kHklm + "\\SOFTWARE\\R");
  auto& tree = control_->tvReg();
  tree.UserCheck(Node("_&H80000003"), true);
  tree.UserCheck(Node(kHklm + "\\SOFTWARE"), true);  // position 4, a key
  loop_.Advance(10);
  EXPECT_FALSE(Node("_&H80000003")->Checked());
  EXPECT_TRUE(Node(kHklm + "\\SOFTWARE")->Checked());
}

TEST_F(PickingTest, KeyNamedLikeTheComputerDoesNotStopTheWalk) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\My Computer (Local System)\\Inner");
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE\\MY COMPUTER (LOCAL SYSTEM)");
  control_->tvReg().UserCheck(Node(kHklm + "\\SOFTWARE\\MY COMPUTER (LOCAL SYSTEM)\\INNER"), true);
  EXPECT_EQ(Images(kHklm + "\\SOFTWARE\\MY COMPUTER (LOCAL SYSTEM)"), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm + "\\SOFTWARE"), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kHklm), "SELECTKEY/SELECTOPEN");
}

TEST_F(PickingTest, RowTickedAfterAHiveTickMarksTheKeyItBelongsTo) {
  Click(kB);
  // A tick on the hive makes it the node to take back...
  control_->tvReg().UserCheck(Node(kHklm), true);
  // ...and a row ticked before the timer runs still marks its own key.
  Tick("V");
  loop_.Advance(10);
  EXPECT_FALSE(Node(kHklm)->Checked());
  EXPECT_EQ(Images(kB), "SELECTKEY/SELECTOPEN");
  EXPECT_EQ(Images(kA), "SELECTKEY/SELECTOPEN");
  // So the export finds the value below its marked keys.
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<Root/>"));
  control_->GetSelectedDOM(&doc);
  EXPECT_NE(doc.xml().find("key=\"SOFTWARE\\A\\B\" type=\"REG_SZ\" value=\"v\""),
            std::string::npos);
}

TEST_F(PickingTest, SingleSelectionIgnoresTreeTicks) {
  toolkit::PropertyBag single;
  control_->UserControl_ReadProperties(single);
  control_->tvReg().Checkboxes(true);  // a view that shows boxes all the same
  control_->tvReg().UserCheck(Node(kB), true);
  EXPECT_EQ(Images(kA), "REGKEY/KEYOPEN");
  control_->tvReg().UserCheck(Node(kHklm), true);
  loop_.Advance(20);
  EXPECT_TRUE(Node(kHklm)->Checked());
}

}  // namespace
}  // namespace qvr
