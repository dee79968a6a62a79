// Events of the toolkit model come from a person's actions only; the
// owner's own writes raise nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/toolkit/toolkit.h"

namespace qvr::toolkit {
namespace {

// Records the tree's events as "Event:key" lines.
struct TreeEvents {
  explicit TreeEvents(TreeView& tree) {
    tree.OnExpand([this](const NodePtr& n) { log.push_back("Expand:" + n->Key()); });
    tree.OnCollapse([this](const NodePtr& n) { log.push_back("Collapse:" + n->Key()); });
    tree.OnNodeClick([this](const NodePtr& n) { log.push_back("NodeClick:" + n->Key()); });
    tree.OnNodeCheck([this](const NodePtr& n) {
      log.push_back("NodeCheck:" + n->Key() + (n->Checked() ? "=1" : "=0"));
    });
    tree.OnDblClick([this] { log.push_back("DblClick"); });
    tree.OnKeyDown([this](int16_t& key, int16_t& shift) {
      log.push_back("KeyDown:" + std::to_string(key) + "/" + std::to_string(shift));
    });
  }
  std::vector<std::string> log;
};

TEST(ToolkitEvents, TreeRaisesOnlyForPersonActions) {
  TreeView tree;
  TreeEvents events(tree);
  Nodes& nodes = tree.Nodes();
  NodePtr root = nodes.Add(Variant(), tvwFirst, "R", "r");
  NodePtr a = nodes.Add("R", tvwChild, "A", "a");
  NodePtr leaf = nodes.Add("A", tvwChild, "L", "l");

  // The owner's writes: nothing.
  root->Expanded(true);
  a->Checked(true);
  a->Selected(true);
  tree.SelectedItem(leaf);
  leaf->EnsureVisible();
  a->Expanded(false);
  nodes.Remove("L");
  EXPECT_TRUE(events.log.empty());

  nodes.Add("A", tvwChild, "L", "l");
  // A person's actions.
  EXPECT_FALSE(tree.UserExpand(nodes.Item("L")));  // a leaf cannot be opened
  EXPECT_TRUE(tree.UserExpand(a));
  EXPECT_TRUE(a->Expanded());
  EXPECT_FALSE(tree.UserExpand(a));  // already open
  EXPECT_TRUE(tree.UserCollapse(a));
  EXPECT_FALSE(a->Expanded());
  EXPECT_TRUE(tree.UserClick(a));
  EXPECT_EQ(tree.SelectedItem(), a);
  EXPECT_TRUE(tree.UserClick(a));  // clicking the selected node raises again
  EXPECT_FALSE(tree.UserCheck(a, false));  // no check boxes yet
  tree.Checkboxes(true);
  EXPECT_TRUE(tree.UserCheck(a, false));
  tree.UserKeyDown(vbKeyF5, vbShiftMask);
  EXPECT_TRUE(tree.UserDoubleClick(a));  // toggles the expansion, as the tree does
  EXPECT_TRUE(tree.UserDoubleClick(a, false));
  EXPECT_EQ(events.log, (std::vector<std::string>{
                            "Expand:A", "Collapse:A", "NodeClick:A", "NodeClick:A",
                            "NodeCheck:A=0", "KeyDown:116/1", "DblClick", "Expand:A",
                            "DblClick"}));

  // A node of another tree, or one removed, is no one's to click.
  TreeView other;
  NodePtr foreign = other.Nodes().Add(Variant(), tvwFirst, "F", "f");
  EXPECT_FALSE(tree.UserClick(foreign));
  NodePtr gone = nodes.Item("L");
  nodes.Remove(gone);
  EXPECT_FALSE(tree.UserClick(gone));
  EXPECT_EQ(events.log.size(), 9u);
}

TEST(ToolkitEvents, HandlersMayChangeTheTreeTheyWereCalledFrom) {
  TreeView tree;
  Nodes& nodes = tree.Nodes();
  NodePtr root = nodes.Add(Variant(), tvwFirst, "R", "r");
  nodes.Add("R", tvwChild, "DUMMYR", "");
  // The usual lazy filling: opening replaces the placeholder by children.
  tree.OnExpand([&](const NodePtr& n) {
    nodes.Remove("DUMMY" + n->Key());
    for (int i = 0; i < 3; ++i) nodes.Add(n->Key(), tvwChild, n->Key() + std::to_string(i), "c");
  });
  EXPECT_TRUE(tree.UserExpand(root));
  EXPECT_EQ(root->Children(), 3);
  EXPECT_EQ(root->Child()->Key(), "R0");
  // A handler that collapses the node again (a busy owner undoing it).
  NodePtr r0 = nodes.Item("R0");
  nodes.Add("R0", tvwChild, "DUMMYR0", "");
  tree.OnExpand([&](const NodePtr& n) { n->Expanded(false); });
  EXPECT_TRUE(tree.UserExpand(r0));
  EXPECT_FALSE(r0->Expanded());
  // A double click whose handler removes the node does not go on to toggle it.
  tree.OnDblClick([&] { nodes.Remove("R0"); });
  EXPECT_TRUE(tree.UserDoubleClick(r0));
  EXPECT_FALSE(nodes.Exists("R0"));
}

TEST(ToolkitEvents, ListRaisesOnlyForPersonActions) {
  ListView list;
  std::vector<std::string> log;
  list.OnItemClick([&](const ListItemPtr& i) { log.push_back("ItemClick:" + i->Text()); });
  list.OnClick([&] {
    log.push_back(std::string("Click:") + (list.SelectedItem() ? list.SelectedItem()->Text() : "-"));
  });
  list.OnDblClick([&] { log.push_back("DblClick"); });
  list.OnItemCheck([&](const ListItemPtr& i) {
    log.push_back("ItemCheck:" + i->Text() + (i->Checked() ? "=1" : "=0"));
  });
  list.OnColumnClick([&](ColumnHeader& c) { log.push_back("ColumnClick:" + std::to_string(c.Index())); });
  list.ColumnHeaders().Add(0, "NAME", "Name", 2424);
  list.ColumnHeaders().Add(0, "KIND", "Type", 1440);
  ListItemPtr x = list.ListItems().Add(Variant(), Variant(), "x");
  ListItemPtr y = list.ListItems().Add(Variant(), Variant(), "y");

  x->Checked(true);
  x->Selected(true);
  list.SelectedItem(y);
  list.Sorted(true);
  list.SortKey(1);
  list.SortOrder(lvwDescending);
  EXPECT_TRUE(log.empty());

  list.UserClickEmpty();
  EXPECT_TRUE(list.UserClickItem(x));
  list.UserDoubleClick();
  EXPECT_FALSE(list.UserCheck(y, true));  // no check boxes
  list.Checkboxes(true);
  EXPECT_TRUE(list.UserCheck(y, true));
  EXPECT_TRUE(y->Checked());
  EXPECT_TRUE(list.UserClickColumn(2));
  EXPECT_FALSE(list.UserClickColumn(3));
  EXPECT_EQ(log, (std::vector<std::string>{"Click:y", "ItemClick:x", "Click:x", "DblClick",
                                           "ItemCheck:y=1", "ColumnClick:2"}));
  list.ListItems().Clear();
  EXPECT_FALSE(list.UserClickItem(x));
  EXPECT_EQ(list.SelectedItem(), nullptr);
}

TEST(ToolkitEvents, PictureBoxAndSurfaceReportMouseAndSize) {
  PictureBox bar;
  std::vector<std::string> log;
  auto record = [&](const char* what) {
    return [&log, what](int16_t b, int16_t s, float x, float y) {
      log.push_back(std::string(what) + ":" + std::to_string(b) + "/" + std::to_string(s) + "/" +
                    std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
    };
  };
  bar.OnMouseDown(record("Down"));
  bar.OnMouseMove(record("Move"));
  bar.OnMouseUp(record("Up"));
  bar.Move(0, 1800, 4800, 45);
  bar.BackColor(vbApplicationWorkspace);
  EXPECT_TRUE(log.empty());
  bar.UserMouseDown(vbLeftButton, 0, 10, 20);
  bar.UserMouseMove(vbLeftButton, 0, 10, -300);
  bar.UserMouseUp(vbLeftButton, 0, 10, -300);
  EXPECT_EQ(log, (std::vector<std::string>{"Down:1/0/10,20", "Move:1/0/10,-300", "Up:1/0/10,-300"}));

  UserControl surface(4800, 3600);
  int resized = 0;
  surface.OnResize([&] {
    ++resized;
    EXPECT_EQ(surface.ScaleHeight(), 4600);  // the new size is in place
  });
  surface.Resize(4800, 3600);  // no change, no event
  EXPECT_EQ(resized, 0);
  surface.Resize(4800, 4600);
  EXPECT_EQ(resized, 1);
  EXPECT_EQ(surface.ScaleWidth(), 4800);
}

}  // namespace
}  // namespace qvr::toolkit
