#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kR = kHklm + "\\SOFTWARE\\R";

class RefreshTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\One");
    MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Two\\Deep");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\R", "Before", "b");
  }
  void F5(int16_t shift = 0) { Tree().UserKeyDown(toolkit::vbKeyF5, shift); }
};

TEST_F(RefreshTest, ExpandedKeySeesKeysAndValuesAddedAndDeleted) {
  ASSERT_TRUE(control_->Show());
  // Right after Show there is nothing to refresh.
  events_->single_clicks.clear();
  control_->Refresh();
  F5();
  EXPECT_EQ(Nodes().Count(), 11);
  EXPECT_TRUE(events_->single_clicks.empty());

  OpenPath(kR);
  Click(kR);
  EXPECT_EQ(ChildTexts(kR), (std::vector<std::string>{"One", "Two"}));
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Three");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\One");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\R", "After", "a");
  events_->single_clicks.clear();
  control_->sbStatusBar().Panels(1).Text("before refresh");

  F5();
  EXPECT_EQ(ChildTexts(kR), (std::vector<std::string>{"Three", "Two"}));
  EXPECT_TRUE(Node(kR)->Expanded());
  EXPECT_FALSE(Node("DUMMY" + kR));
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{"(default)", "Before", "After"}));
  EXPECT_EQ(events_->single_clicks, std::vector<bool>{true});
  // Pointer and status text are put back.
  EXPECT_EQ(Tree().MousePointer(), toolkit::ccArrow);
  EXPECT_EQ(Status(), "before refresh");
  // Shift, Ctrl or Alt with F5 do nothing.
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Four");
  for (int16_t shift : {toolkit::vbShiftMask, toolkit::vbCtrlMask, toolkit::vbAltMask}) F5(shift);
  EXPECT_FALSE(Node(kR + "\\FOUR"));

  // A key with one child is refreshed like one with several; one that had
  // none gains one.
  OpenPath(kR + "\\TWO");
  Click(kR + "\\TWO");
  toolkit::NodePtr deep = Node(kR + "\\TWO\\DEEP");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Two\\Deep");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Two\\Other");
  control_->Refresh();
  EXPECT_EQ(ChildTexts(kR + "\\TWO"), std::vector<std::string>{"Other"});
  EXPECT_EQ(deep->Tree(), nullptr);
  Click(kR + "\\TWO\\OTHER");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Two\\Other\\New");
  control_->Refresh();
  EXPECT_EQ(ChildTexts(kR + "\\TWO\\OTHER"), std::vector<std::string>{"New"});
  ExpectNoMessages();
}

TEST_F(RefreshTest, CollapsedKeyIsOpenedWithItsCurrentSubKeys) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vanishing\\Child");
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE");
  Click(kR);
  ASSERT_TRUE(Node("DUMMY" + kR));
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Zed");
  control_->Refresh();
  EXPECT_EQ(ChildTexts(kR), (std::vector<std::string>{"One", "Two", "Zed"}));
  EXPECT_TRUE(Node(kR)->Expanded());

  // A collapsed key whose sub-keys are gone by now refreshes quietly.
  Click(kHklm + "\\SOFTWARE\\VANISHING");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vanishing\\Child");
  control_->Refresh();
  EXPECT_EQ(Node(kHklm + "\\SOFTWARE\\VANISHING")->Children(), 0);
  ExpectNoMessages();
}

TEST_F(RefreshTest, MultipleSelectionDropsThePicksBelowTheKey) {
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Two", "Picked", "p");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "Kept", "k");
  UseMultiSelect();
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE\\OTHER");
  Click(kHklm + "\\SOFTWARE\\OTHER");
  Tick("Kept");
  OpenPath(kR + "\\TWO");
  Click(kR + "\\TWO");
  Tick("Picked");
  ASSERT_EQ(Node(kR)->Image(), "SELECTKEY");

  Click(kR);
  control_->Refresh();
  auto picked = control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE\\R\\Two"));
  ASSERT_TRUE(picked);
  EXPECT_EQ(picked->Count(), 0);
  auto kept = control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"));
  EXPECT_EQ(kept->Count(), 1);
  EXPECT_EQ(Node(kR)->Image(), "REGKEY");
  EXPECT_EQ(Node(kHklm + "\\SOFTWARE")->Image(), "SELECTKEY");  // still leads to a pick
  EXPECT_EQ(ChildTexts(kR), (std::vector<std::string>{"One", "Two"}));
}

TEST_F(RefreshTest, RefreshWithoutSelectedNodeReportsAndRecovers) {
  ASSERT_TRUE(control_->Show());
  OpenPath(kR);
  Click(kR);
  Tree().SelectedItem(nullptr);
  control_->sbStatusBar().Panels(1).Text("kept");
  control_->Refresh();
  ExpectOneMessage("Uncaught error occurred in Refresh()");
  EXPECT_EQ(Status(), "kept");
  EXPECT_EQ(Tree().MousePointer(), toolkit::ccArrow);
  // Not stuck: a later refresh runs.
  Click(kR);
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\R\\Later");
  control_->Refresh();
  EXPECT_TRUE(Node(kR + "\\LATER"));
}

}  // namespace
}  // namespace qvr
