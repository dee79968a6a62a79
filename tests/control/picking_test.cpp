// Ticking rows and nodes in multiple selection: the records filed, the marks
// drawn on the tree, the ticks taken back.
#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kSw = kHklm + "\\SOFTWARE";
const std::string kA = kSw + "\\A";
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
    MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\My Computer (Local System)\\Inner");
    SetString(HKEY_USERS, "", "HiveValue", "h");
    UseMultiSelect();
    ASSERT_TRUE(control_->Show());
    OpenPath(kB);
  }
  std::shared_ptr<qvrData> Record(const std::string& path, const std::string& name) {
    auto records = control_->Selection().item(Variant(path));
    return records ? records->item(Variant(name)) : nullptr;
  }
  std::string Export() {
    DOMDocument doc;
    EXPECT_TRUE(doc.loadXML("<Root/>"));
    control_->GetSelectedDOM(&doc);
    EXPECT_TRUE(testing::WellFormedXml(doc.xml()));
    return doc.xml();
  }
};

TEST_F(PickingTest, TickingRowsFilesRecordsAndMarksTheWayUp) {
  Click(kB);
  Tick("(default)");
  Tick("Exp");
  Tick("Empty");
  // The record fields reach the document; the export tests read them there.
  ASSERT_TRUE(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "(default)"));
  EXPECT_EQ(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "Exp")->strRegistryImage, "2");
  EXPECT_EQ(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B", "Empty")->strPropSheetValue, "");
  EXPECT_EQ(Marks({kB, kA, kSw, kHklm, kSw + "\\CLASSES"}), "MMMMP");
  EXPECT_EQ(Node("ROOTKEY")->Image(), "ROOTKEY");

  // A value of A itself keeps A marked when B's last value goes.
  Click(kA);
  Tick("OwnValue");
  Click(kB);
  Tick("(default)", false);
  Tick("Exp", false);
  EXPECT_EQ(Marks({kB}), "M");  // "Empty" is still picked
  Tick("Empty", false);
  auto records = control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B"));
  ASSERT_TRUE(records);  // the empty record set stays
  EXPECT_EQ(records->Count(), 0);
  EXPECT_EQ(Marks({kB, kA, kHklm}), "PMM");
  Click(kA);
  Tick("OwnValue", false);
  EXPECT_EQ(Marks({kA, kSw, kHklm}), "PPP");
  ExpectNoMessages();
}

TEST_F(PickingTest, HiveRootValuesAndUncheckingWithoutRecords) {
  Open(kHku);
  Click(kHku);
  Tick("HiveValue");
  auto record = Record("HKEY_USERS", "HiveValue");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->strPropSheetHive + "|" + record->strPropSheetKey + "|" +
                record->strRegistryName, "HKEY_USERS||HKEY_USERS");
  EXPECT_EQ(Marks({kHku}), "M");

  // An export empties the selection; unticking a row afterwards is no error,
  // and the marks that no longer hold go.
  Export();
  EXPECT_EQ(control_->Selection().Count(), 0);
  EXPECT_TRUE(Row("HiveValue")->Checked());
  Tick("HiveValue", false);
  EXPECT_EQ(Marks({kHku}), "P");
  // Also when another value of the key was picked again meanwhile.
  Click(kB);
  Tick("V");
  Export();
  Tick("(default)");
  Tick("V", false);
  ExpectNoMessages();
  EXPECT_EQ(Marks({kB}), "M");  // "(default)" holds it
}

TEST_F(PickingTest, TickingAtTheBottomOfADeepChainMarksAndUnmarksEveryLevel) {
  constexpr int kLevels = 100000;
  toolkit::NodePtr deepest = AddChain(kHklm, kLevels, /*marked=*/false);
  RunOnSmallStack([&] { Tree().UserCheck(deepest, true); });
  EXPECT_EQ(MarkedUpFrom(deepest), kLevels);  // all but the ticked node, and the hive
  // A value picked half-way down keeps that level and those above it marked.
  std::string half = "HKEY_LOCAL_MACHINE";
  for (int i = 0; i < kLevels / 2; ++i) half += "\\K";
  FileValue(half, "HKEY_LOCAL_MACHINE", half.substr(half.find('\\') + 1));
  RunOnSmallStack([&] { Tree().UserCheck(deepest, false); });
  EXPECT_EQ(MarkedUpFrom(deepest), kLevels / 2 + 1);
  ExpectNoMessages();
}

TEST_F(PickingTest, TickingNodesMarksAncestorsAndTimerTakesBackHiveTicks) {
  TickNode(kB);
  EXPECT_EQ(Marks({kB, kA, kHklm}), "PMM");  // its own box shows its state
  // A sibling still ticked keeps the parent marked.
  TickNode(kA + "\\SIBLING");
  TickNode(kB, false);
  EXPECT_EQ(Marks({kA}), "M");
  TickNode(kA + "\\SIBLING", false);
  EXPECT_EQ(Marks({kA, kHklm}), "PP");
  // A key named like the computer does not stop the walk up.
  const std::string like_root = kSw + "\\MY COMPUTER (LOCAL SYSTEM)";
  Open(like_root);
  TickNode(like_root + "\\INNER");
  EXPECT_EQ(Marks({like_root, kHklm}), "MM");

  // Ticks on the computer and on hives are taken back 10 ms later.
  for (const std::string key : {"ROOTKEY", "_&H80000000", "_&H80000005"}) {
    TickNode(key);
    loop_.Advance(9);
    EXPECT_TRUE(Node(key)->Checked()) << key;
    loop_.Advance(1);
    EXPECT_FALSE(Node(key)->Checked()) << key;
    EXPECT_EQ(loop_.ActiveTimers(), 0u);
  }
  // Keys stay ticked.
  TickNode(kA);
  loop_.Advance(50);
  EXPECT_TRUE(Node(kA)->Checked());

  // On a remote machine its two hives are the hives, at positions 2 and 3.
  MakeRemoteKey("FARHOST", "SOFTWARE\\R\\S");
  ASSERT_TRUE(control_->Show("FARHOST"));
  OpenPath(kSw + "\\R");
  TickNode(kHku);
  TickNode(kSw);  // position 4, a key
  loop_.Advance(10);
  EXPECT_FALSE(Node(kHku)->Checked());
  EXPECT_TRUE(Node(kSw)->Checked());

  // Single selection ignores tree ticks, even where a view shows boxes.
  toolkit::PropertyBag single;
  control_->UserControl_ReadProperties(single);
  Tree().Checkboxes(true);
  TickNode(kSw + "\\R\\S");
  EXPECT_EQ(Marks({kSw + "\\R"}), "P");
  TickNode(kHklm);
  loop_.Advance(20);
  EXPECT_TRUE(Node(kHklm)->Checked());
}

TEST_F(PickingTest, RowTickedAfterAHiveTickMarksTheKeyItBelongsTo) {
  Click(kB);
  // A tick on the hive makes it the node to take back, and a row ticked
  // before the timer runs still marks its own key.
  TickNode(kHklm);
  Tick("V");
  loop_.Advance(10);
  EXPECT_FALSE(Node(kHklm)->Checked());
  EXPECT_EQ(Marks({kB, kA}), "MM");
  // So the export finds the value below its marked keys.
  EXPECT_NE(Export().find("key=\"SOFTWARE\\A\\B\" type=\"REG_SZ\" value=\"v\""),
            std::string::npos);
}

}  // namespace
}  // namespace qvr
