// Events of the toolkit model come from a person's actions only; the
// owner's own writes raise nothing. The actions themselves are driven
// through the Qt views (tests/qt) and the control; here only the refusals
// and repeats the views cannot produce.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace qvr::toolkit {
namespace {

TEST(ToolkitEvents, TreeRaisesOnlyForPersonActions) {
  TreeView tree;
  std::vector<std::string> log;
  tree.OnExpand([&](const NodePtr& n) { log.push_back("Expand:" + n->Key()); });
  tree.OnCollapse([&](const NodePtr& n) { log.push_back("Collapse:" + n->Key()); });
  tree.OnNodeClick([&](const NodePtr& n) { log.push_back("NodeClick:" + n->Key()); });
  tree.OnNodeCheck([&](const NodePtr& n) { log.push_back("NodeCheck:" + n->Key() + (n->Checked() ? "=1" : "=0")); });
  tree.OnDblClick([&] { log.push_back("DblClick"); });
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
  EXPECT_TRUE(log.empty());

  // A person's actions.
  EXPECT_FALSE(tree.UserExpand(leaf));  // a leaf cannot be opened
  EXPECT_TRUE(tree.UserExpand(a));
  EXPECT_FALSE(tree.UserExpand(a));  // already open
  EXPECT_TRUE(tree.UserClick(a));
  EXPECT_TRUE(tree.UserClick(a));  // clicking the selected node raises again
  EXPECT_FALSE(tree.UserCheck(a, false));  // no check boxes yet
  EXPECT_TRUE(tree.UserDoubleClick(a, false));
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(log, (std::vector<std::string>{"Expand:A", "NodeClick:A", "NodeClick:A", "DblClick"}));

  // A node of another tree, or one removed, is no one's to click; a double
  // click whose handler removes the node does not go on to toggle it.
  TreeView other;
  EXPECT_FALSE(tree.UserClick(other.Nodes().Add(Variant(), tvwFirst, "F", "f")));
  nodes.Remove(leaf);
  EXPECT_FALSE(tree.UserClick(leaf));
  EXPECT_EQ(log.size(), 4u);
  tree.OnDblClick([&] { nodes.Remove("A"); });
  EXPECT_TRUE(tree.UserDoubleClick(a));
  EXPECT_FALSE(nodes.Exists("A"));
}

TEST(ToolkitEvents, ListRaisesOnlyForPersonActions) {
  ListView list;
  std::vector<std::string> log;
  list.OnItemClick([&](const ListItemPtr& i) { log.push_back("ItemClick:" + i->Text()); });
  list.OnClick([&] { log.push_back("Click:" + (list.SelectedItem() ? list.SelectedItem()->Text() : "-")); });
  list.OnDblClick([&] { log.push_back("DblClick"); });
  list.OnItemCheck([&](const ListItemPtr& i) { log.push_back("ItemCheck:" + i->Text() + (i->Checked() ? "=1" : "=0")); });
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

  // Clicks on empty space keep the selection; refusals raise nothing.
  list.UserClickEmpty();
  EXPECT_FALSE(list.UserCheck(y, true));  // no check boxes
  EXPECT_FALSE(list.UserClickColumn(3));
  EXPECT_EQ(log, (std::vector<std::string>{"Click:y"}));
  list.ListItems().Clear();
  EXPECT_FALSE(list.UserClickItem(x));
  EXPECT_EQ(list.SelectedItem(), nullptr);
}

}  // namespace
}  // namespace qvr::toolkit
