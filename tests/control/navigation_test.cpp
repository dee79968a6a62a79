#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kHkcr = "_&H80000000";
const std::string kSoftware = kHklm + "\\SOFTWARE";

TEST_F(ControlTest, ExpandingListsSubKeysWithPlaceholdersOnlyWhereThereAreMore) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Leaf");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Branch\\Twig");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone\\Child");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Emptied\\Child");
  ASSERT_TRUE(control_->Show());
  Open(kHklm);
  EXPECT_FALSE(Node("DUMMY" + kHklm));
  EXPECT_EQ(ChildTexts(kHklm),
            (std::vector<std::string>{"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"}));
  Open(kSoftware);
  EXPECT_EQ(ChildTexts(kSoftware).front(), "Classes");
  EXPECT_EQ(Images(kSoftware + "\\CLASSES"), "REGKEY/KEYOPEN");

  Open(kSoftware + "\\NAV");
  toolkit::NodePtr leaf = Node(kSoftware + "\\NAV\\LEAF");
  toolkit::NodePtr branch = Node(kSoftware + "\\NAV\\BRANCH");
  ASSERT_TRUE(leaf && branch);
  EXPECT_EQ(leaf->Children(), 0);
  ASSERT_EQ(branch->Children(), 1);
  EXPECT_EQ(branch->Child()->Key(), "DUMMY" + kSoftware + "\\NAV\\BRANCH");
  EXPECT_EQ(Status(), "");  // the status text is back once the listing is done

  // Closing and opening again lists nothing anew.
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Later");
  toolkit::NodePtr nav = Node(kSoftware + "\\NAV");
  Tree().UserCollapse(nav);
  Tree().UserExpand(nav);
  EXPECT_EQ(Node(kSoftware + "\\NAV\\LEAF"), leaf);
  EXPECT_FALSE(Node(kSoftware + "\\NAV\\LATER"));

  // A key gone by now shows the error image; one whose sub-keys are all gone
  // is listed, not failed.
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone\\Child");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Emptied\\Child");
  Open(kSoftware + "\\GONE");
  Open(kSoftware + "\\EMPTIED");
  EXPECT_EQ(Images(kSoftware + "\\GONE"), "REGKEY_ERROR/REGKEY_ERROR");
  EXPECT_EQ(Images(kSoftware + "\\EMPTIED"), "REGKEY/KEYOPEN");
  EXPECT_EQ(Node(kSoftware + "\\GONE")->Children() + Node(kSoftware + "\\EMPTIED")->Children(), 0);
  ExpectNoMessages();
}

TEST_F(ControlTest, ClicksWriteDisplayPathsAndLoadValues) {
  SetString(HKEY_USERS, "", "HiveValue", "x");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\MixedCase\\Inner");
  ASSERT_TRUE(control_->Show());
  events_->single_clicks.clear();

  Click(kHku);
  EXPECT_EQ(Status(), "HKEY_USERS");
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{"(default)", "HiveValue"}));
  Click("ROOTKEY");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(RowCount(), 0);
  OpenPath(kSoftware + "\\MIXEDCASE");
  Click(kSoftware + "\\MIXEDCASE\\INNER");
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase\\Inner");
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{"(default)"}));
  EXPECT_EQ(events_->single_clicks, (std::vector<bool>{false, false, true}));

  // A double click raises evtDoubleClick in single selection only.
  Tree().UserDoubleClick(Node(kHku), false);
  EXPECT_EQ(events_->double_clicks, 1);
  UseMultiSelect();
  Tree().UserDoubleClick(Node(kHku), false);
  EXPECT_EQ(events_->double_clicks, 1);
}

// 1,100 sub-keys: the host's loop runs after keys 512 and 1024, while the
// control stays busy; a Show in the meantime stops the listing.
TEST_F(ControlTest, LongListingYieldsEvery512KeysStaysBusyAndStopsForShow) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Big", 1100);
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other\\Sub");
  for (int i = 0; i < 600; ++i) MakeKey(HKEY_CLASSES_ROOT, ".ext" + std::to_string(i));
  ASSERT_TRUE(control_->Show());
  OpenPath(kSoftware);
  Click(kSoftware);
  events_->single_clicks.clear();

  std::vector<std::string> seen;
  loop_.SetProcessEventsHook([&] {
    auto& tree = Tree();
    seen.push_back(Status() + "|" + std::to_string(Node(kSoftware + "\\BIG")->Children()) + "|" +
                   std::to_string(tree.MousePointer()) + "|" + std::to_string(tree.Redraw()));
    // What a person does meanwhile: opening another node is undone, a click
    // is only noted.
    toolkit::NodePtr other = Node(kSoftware + "\\OTHER");
    tree.UserExpand(other);
    if (other->Expanded() || !Node("DUMMY" + kSoftware + "\\OTHER")) seen.push_back("opened");
    tree.UserClick(other);
  });
  const int64_t yields_before = loop_.ProcessEventsCount();
  Open(kSoftware + "\\BIG");
  EXPECT_EQ(loop_.ProcessEventsCount() - yields_before, 2);
  // Redraw is off while filling; the pointer stays as it was.
  const std::string pointer = std::to_string(toolkit::ccDefault);
  EXPECT_EQ(seen, (std::vector<std::string>{"Enumerating SOFTWARE\\Big|512|" + pointer + "|0",
                                            "Enumerating SOFTWARE\\Big|1024|" + pointer + "|0"}));
  EXPECT_EQ(Node(kSoftware + "\\BIG")->Children(), 1100);
  // The clicks during the listing wrote nothing and raised nothing.
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE");
  EXPECT_TRUE(events_->single_clicks.empty());

  // The classes hive shows the hourglass while it fills.
  loop_.SetProcessEventsHook([&] {
    seen.push_back(std::to_string(Tree().MousePointer()) +
                   std::to_string(Tree().Redraw()));
  });
  seen.clear();
  Open(kHkcr);
  EXPECT_EQ(seen, std::vector<std::string>{std::to_string(toolkit::ccHourglass) + "0"});
  EXPECT_EQ(Tree().MousePointer(), toolkit::ccArrow);
  EXPECT_TRUE(Tree().Redraw());
  // Afterwards the control is idle again: the other node opens.
  Open(kSoftware + "\\OTHER");
  EXPECT_TRUE(Node(kSoftware + "\\OTHER\\SUB"));

  // A Show at the first pause: nothing is added to the old tree after it.
  ASSERT_TRUE(control_->Show());
  OpenPath(kSoftware);
  toolkit::NodePtr old_big = Node(kSoftware + "\\BIG");
  int shows = 0;
  loop_.SetProcessEventsHook([&] {
    if (shows++ == 0) { ASSERT_TRUE(control_->Show()); }
  });
  events_->single_clicks.clear();
  Tree().UserExpand(old_big);
  loop_.SetProcessEventsHook(nullptr);
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(old_big->Children(), 0);
  EXPECT_EQ(Nodes().Count(), 11);
  // The new tree is idle and its closing click ran.
  EXPECT_EQ(events_->single_clicks, std::vector<bool>{false});
  EXPECT_EQ(Status(), "");
  Open(kHklm);
  EXPECT_GT(Node(kHklm)->Children(), 1);
  EXPECT_NE(Node(kHklm)->Image(), "REGKEY_ERROR");
}

TEST_F(ControlTest, ValuesOfANodeClickedDuringAListingAreFiledUnderThatNode) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Big", 600);
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other\\Sub");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "Colour", "blue");
  UseMultiSelect();
  ASSERT_TRUE(control_->Show());
  OpenPath(kSoftware);
  Click(kSoftware);
  // The click on Other during the pause is only noted; the person then opens
  // Other, which lists its values.
  loop_.SetProcessEventsHook([&] { Click(kSoftware + "\\OTHER"); });
  Open(kSoftware + "\\BIG");
  loop_.SetProcessEventsHook(nullptr);
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE");
  Open(kSoftware + "\\OTHER");
  ASSERT_EQ(RowTexts(), (std::vector<std::string>{"(default)", "Colour"}));
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other");

  List().UserCheck(Row("Colour"), true);
  EXPECT_FALSE(control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE")));
  auto records = control_->Selection().item(Variant("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"));
  ASSERT_TRUE(records);
  ASSERT_EQ(records->Count(), 1);
  EXPECT_EQ(records->item(Variant(int32_t{1}))->strPropSheetKey, "SOFTWARE\\Other");
  EXPECT_EQ(Node(kSoftware + "\\OTHER")->Image(), "SELECTKEY");
}

}  // namespace
}  // namespace qvr
