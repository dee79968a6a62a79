#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kHkcr = "_&H80000000";
const std::string kHklm = "_&H80000002";
const std::string kHku = "_&H80000003";

TEST_F(ControlTest, ExpandingListsSubKeysWithPlaceholdersOnlyWhereThereAreMore) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Leaf");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Branch\\Twig");
  ASSERT_TRUE(control_->Show());
  Open(kHklm);
  toolkit::NodePtr hive = Node(kHklm);
  EXPECT_FALSE(Node("DUMMY" + kHklm));
  EXPECT_EQ(ChildTexts(kHklm),
            (std::vector<std::string>{"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"}));
  Open(kHklm + "\\SOFTWARE");
  toolkit::NodePtr classes = Node(kHklm + "\\SOFTWARE\\CLASSES");
  ASSERT_TRUE(classes);
  EXPECT_EQ(classes->Text(), "Classes");
  EXPECT_EQ(classes->Image(), "REGKEY");
  EXPECT_EQ(classes->SelectedImage(), "KEYOPEN");
  EXPECT_EQ(classes->Parent(), Node(kHklm + "\\SOFTWARE"));

  Open(kHklm + "\\SOFTWARE\\NAV");
  toolkit::NodePtr leaf = Node(kHklm + "\\SOFTWARE\\NAV\\LEAF");
  toolkit::NodePtr branch = Node(kHklm + "\\SOFTWARE\\NAV\\BRANCH");
  ASSERT_TRUE(leaf && branch);
  EXPECT_EQ(leaf->Children(), 0);
  ASSERT_EQ(branch->Children(), 1);
  EXPECT_EQ(branch->Child()->Key(), "DUMMY" + kHklm + "\\SOFTWARE\\NAV\\BRANCH");
  // The status text is back once the listing is done.
  EXPECT_EQ(Status(), "");

  // Closing and opening again lists nothing anew: a key added meanwhile stays
  // unseen, the nodes stay the same.
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nav\\Later");
  toolkit::NodePtr nav = Node(kHklm + "\\SOFTWARE\\NAV");
  control_->tvReg().UserCollapse(nav);
  control_->tvReg().UserExpand(nav);
  EXPECT_EQ(Node(kHklm + "\\SOFTWARE\\NAV\\LEAF"), leaf);
  EXPECT_FALSE(Node(kHklm + "\\SOFTWARE\\NAV\\LATER"));
  EXPECT_EQ(hive->Image(), "REGKEY");
}

TEST_F(ControlTest, KeyThatCannotBeListedShowsErrorImage) {
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone\\Child");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Emptied\\Child");
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE");
  toolkit::NodePtr gone = Node(kHklm + "\\SOFTWARE\\GONE");
  ASSERT_TRUE(gone);
  ASSERT_EQ(gone->Children(), 1);
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone\\Child");
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone");
  control_->tvReg().UserExpand(gone);
  EXPECT_EQ(gone->Image(), "REGKEY_ERROR");
  EXPECT_EQ(gone->SelectedImage(), "REGKEY_ERROR");
  EXPECT_EQ(gone->Children(), 0);
  EXPECT_TRUE(messages_.Messages().empty());

  // A key whose sub-keys are all gone by now is listed, not failed.
  toolkit::NodePtr emptied = Node(kHklm + "\\SOFTWARE\\EMPTIED");
  ASSERT_EQ(emptied->Children(), 1);
  DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Emptied\\Child");
  control_->tvReg().UserExpand(emptied);
  EXPECT_EQ(emptied->Image(), "REGKEY");
  EXPECT_EQ(emptied->Children(), 0);
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
  EXPECT_EQ(control_->lvValues().ListItems().Count(), 0);

  OpenPath(kHklm + "\\SOFTWARE\\MIXEDCASE");
  Click(kHklm + "\\SOFTWARE\\MIXEDCASE\\INNER");
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase\\Inner");
  EXPECT_EQ(RowTexts(), (std::vector<std::string>{"(default)"}));
  EXPECT_EQ(events_->single_clicks, (std::vector<bool>{false, false, true}));

  // A double click raises evtDoubleClick in single selection only.
  control_->tvReg().UserDoubleClick(Node(kHku), false);
  EXPECT_EQ(events_->double_clicks, 1);
  UseMultiSelect();
  control_->tvReg().UserDoubleClick(Node(kHku), false);
  EXPECT_EQ(events_->double_clicks, 1);
}

TEST_F(ControlTest, LongListingYieldsEvery512KeysAndStaysBusy) {
  // 1,100 sub-keys: the host's loop runs after keys 512 and 1024.
  HKEY big = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Big", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &big, nullptr),
            ERROR_SUCCESS);
  for (int i = 0; i < 1100; ++i) {
    HKEY k = 0;
    char name[16];
    snprintf(name, sizeof name, "K%04d", i);
    ASSERT_EQ(RegCreateKeyExA(big, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), 0);
    RegCloseKey(k);
  }
  RegCloseKey(big);
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other\\Sub");
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE");
  Click(kHklm + "\\SOFTWARE");
  events_->single_clicks.clear();

  std::vector<std::string> statuses;
  std::vector<int> nodes_seen;
  bool other_stayed_closed = false;
  loop_.SetProcessEventsHook([&] {
    statuses.push_back(Status());
    nodes_seen.push_back(Node(kHklm + "\\SOFTWARE\\BIG")->Children());
    // What a person does meanwhile: opening another node is undone, a click
    // is only noted.
    toolkit::NodePtr other = Node(kHklm + "\\SOFTWARE\\OTHER");
    control_->tvReg().UserExpand(other);
    other_stayed_closed = !other->Expanded() && Node("DUMMY" + kHklm + "\\SOFTWARE\\OTHER");
    control_->tvReg().UserClick(other);
  });
  const int64_t yields_before = loop_.ProcessEventsCount();
  Open(kHklm + "\\SOFTWARE\\BIG");
  loop_.SetProcessEventsHook(nullptr);

  EXPECT_EQ(loop_.ProcessEventsCount() - yields_before, 2);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Enumerating SOFTWARE\\Big",
                                                "Enumerating SOFTWARE\\Big"}));
  EXPECT_EQ(nodes_seen, (std::vector<int>{512, 1024}));
  EXPECT_TRUE(other_stayed_closed);
  EXPECT_EQ(Node(kHklm + "\\SOFTWARE\\BIG")->Children(), 1100);
  // The clicks during the listing wrote nothing and raised nothing.
  EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE");
  EXPECT_TRUE(events_->single_clicks.empty());
  // Afterwards the control is idle again: the other node opens.
  Open(kHklm + "\\SOFTWARE\\OTHER");
  EXPECT_TRUE(Node(kHklm + "\\SOFTWARE\\OTHER\\SUB"));
}

TEST_F(ControlTest, ShowDuringAListingStopsIt) {
  HKEY big = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Big", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &big, nullptr),
            ERROR_SUCCESS);
  for (int i = 0; i < 1100; ++i) {
    HKEY k = 0;
    ASSERT_EQ(RegCreateKeyExA(big, ("K" + std::to_string(i)).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr),
              0);
    RegCloseKey(k);
  }
  RegCloseKey(big);
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE");
  toolkit::NodePtr old_big = Node(kHklm + "\\SOFTWARE\\BIG");
  int shows = 0;
  loop_.SetProcessEventsHook([&] {
    if (shows++ == 0) ASSERT_TRUE(control_->Show());
  });
  events_->single_clicks.clear();
  control_->tvReg().UserExpand(old_big);
  loop_.SetProcessEventsHook(nullptr);

  // The listing stopped at the Show: one pause only, nothing added after it.
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

TEST_F(ControlTest, ClassesHiveShowsHourglassAndStopsRedrawWhileFilling) {
  for (int i = 0; i < 600; ++i) MakeKey(HKEY_CLASSES_ROOT, ".ext" + std::to_string(i));
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Many");
  for (int i = 0; i < 600; ++i) MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Many\\K" + std::to_string(i));
  ASSERT_TRUE(control_->Show());
  std::vector<int> pointers;
  std::vector<bool> redraws;
  loop_.SetProcessEventsHook([&] {
    pointers.push_back(control_->tvReg().MousePointer());
    redraws.push_back(control_->tvReg().Redraw());
  });
  Open(kHkcr);
  OpenPath(kHklm + "\\SOFTWARE\\MANY");
  loop_.SetProcessEventsHook(nullptr);
  EXPECT_EQ(pointers, (std::vector<int>{toolkit::ccHourglass, toolkit::ccArrow}));
  EXPECT_EQ(redraws, (std::vector<bool>{false, false}));
  EXPECT_EQ(control_->tvReg().MousePointer(), toolkit::ccArrow);
  EXPECT_TRUE(control_->tvReg().Redraw());
}

}  // namespace
}  // namespace qvr
