// Tree semantics of the toolkit model: placing nodes by every relationship,
// keys and positions, removal, paths and navigation. (Positions under long
// runs of insertions and removals are the ordered slots' own test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "support/raised.h"

namespace qvr::toolkit {
namespace {

// The texts of a node's children, in sibling order.
std::vector<std::string> ChildTexts(const NodePtr& parent) {
  std::vector<std::string> out;
  for (NodePtr c = parent->Child(); c; c = c->Next()) out.push_back(c->Text());
  return out;
}

// The keys of the collection, in order of position.
std::vector<std::string> KeysByIndex(const Nodes& nodes) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= nodes.Count(); ++i) out.push_back(nodes.Item(i)->Key());
  return out;
}

// The keys of some nodes, space-separated ("-" for none).
std::string Keys(std::initializer_list<NodePtr> nodes) {
  std::string out;
  for (const NodePtr& n : nodes) out += (out.empty() ? "" : " ") + (n ? n->Key() : "-");
  return out;
}

using qvr::testing::ErrorNumberOf;

TEST(ToolkitTree, AddPlacesNodesByEveryRelationship) {
  TreeView tree;
  Nodes& nodes = tree.Nodes();
  NodePtr root = nodes.Add(Variant(), tvwFirst, "ROOT", "Computer", "ROOTKEY");
  NodePtr b = nodes.Add("ROOT", tvwChild, "B", "b");
  nodes.Add("B", tvwFirst, "A", "a");      // first sibling of B
  nodes.Add("B", tvwLast, "D", "d");       // last sibling of B
  nodes.Add("B", tvwNext, "C", "c");       // right after B
  nodes.Add("A", tvwPrevious, "Z", "z");   // right before A
  nodes.Add(2, tvwChild, "B1", "b1");      // relative by position: B is position 2
  EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"z", "a", "b", "c", "d"}));
  EXPECT_EQ(ChildTexts(b), (std::vector<std::string>{"b1"}));
  EXPECT_EQ(root->Image(), "ROOTKEY");

  // Index is the order of adding, not the place in the tree.
  EXPECT_EQ(KeysByIndex(nodes), (std::vector<std::string>{"ROOT", "B", "A", "D", "C", "Z", "B1"}));
  // Rows among siblings follow the tree.
  EXPECT_EQ(std::make_pair(nodes.Item("Z")->Row(), nodes.Item("D")->Row()), std::make_pair(0, 4));
  EXPECT_EQ(Keys({root->ChildAt(2), root->ChildAt(5)}), "B -");

  // Without a relative a node goes to the top level: first for tvwFirst,
  // last otherwise.
  nodes.Add(Variant(), tvwLast, "TOP2", "top2");
  nodes.Add(Variant(), tvwFirst, "TOP0", "top0");
  EXPECT_EQ(nodes.TopLevelCount(), 3);
  EXPECT_EQ(Keys({nodes.TopLevelAt(0), nodes.TopLevelAt(2), root->FirstSibling(),
                  root->LastSibling(), root->Next(), root->Previous(), nodes.Item("TOP0")->Previous()}),
            "TOP0 TOP2 TOP0 TOP2 TOP2 TOP0 -");

  // Paths and navigation up and down.
  NodePtr b1 = nodes.Item("B1");
  EXPECT_EQ(b1->FullPath(), "Computer\\b\\b1");
  tree.PathSeparator("/");
  EXPECT_EQ(b1->FullPath(), "Computer/b/b1");
  EXPECT_EQ(Keys({b1->Root(), b1->Parent(), root->Parent(), root->LastChild(), b1->Child()}),
            "ROOT B - D -");
}

TEST(ToolkitTree, KeysAndPositionsRaiseAsTheToolkitDoes) {
  TreeView tree;
  Nodes& nodes = tree.Nodes();
  nodes.Add(Variant(), tvwFirst, "ROOTKEY", "root");
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Add("ROOTKEY", tvwChild, "ROOTKEY", "again"); }), 35602);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Add("MISSING", tvwChild, "X", "x"); }), 35601);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Add(7, tvwChild, "X", "x"); }), 35600);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Add("ROOTKEY", 5, "X", "x"); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Add("ROOTKEY", tvwChild, 12, "x"); }), 35603);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Item("missing"); }), 35601);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Item(0); }), 35600);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Item(2); }), 35600);
  EXPECT_EQ(ErrorNumberOf([&] { nodes.Remove("missing"); }), 35601);
  // Failed calls change nothing.
  EXPECT_EQ(std::make_pair(nodes.Count(), nodes.Item(1)->Children()), std::make_pair(1, 0));
  // Keys compare exactly; nodes without keys are fine, any number of them.
  nodes.Add("ROOTKEY", tvwChild, "rootkey", "lower");
  nodes.Add("ROOTKEY", tvwChild, Variant(), "no key 1");
  nodes.Add("ROOTKEY", tvwChild, "", "no key 2");
  EXPECT_EQ(nodes.Count(), 4);
  EXPECT_EQ(nodes.Item("rootkey")->Text(), "lower");
  EXPECT_EQ(nodes.Find("Rootkey"), nullptr);
  EXPECT_TRUE(nodes.Exists("ROOTKEY"));
  // Variant look-ups: a text is a key, a number a position.
  EXPECT_EQ(nodes.Item(Variant("rootkey"))->Index(), 2);
  EXPECT_EQ(nodes.Item(Variant(int32_t{3}))->Text(), "no key 1");
}

TEST(ToolkitTree, RemovalTakesDescendantsAndShiftsPositions) {
  TreeView tree;
  Nodes& nodes = tree.Nodes();
  nodes.Add(Variant(), tvwFirst, "R", "r");
  for (auto [parent, key] : {std::pair{"R", "A"}, {"A", "A1"}, {"R", "B"}, {"A1", "A11"}, {"B", "B1"}})
    nodes.Add(parent, tvwChild, key, key);
  NodePtr a11 = nodes.Item("A11");
  NodePtr b1 = nodes.Item("B1");
  tree.SelectedItem(a11);
  EXPECT_EQ(b1->Index(), 6);

  nodes.Remove("A");
  EXPECT_EQ(KeysByIndex(nodes), (std::vector<std::string>{"R", "B", "B1"}));
  EXPECT_EQ(b1->Index(), 3);
  // The key of a removed node is free again.
  nodes.Add("R", tvwChild, "A1", "new a1");
  EXPECT_EQ(nodes.Item("A1")->Index(), 4);
  // A removed node someone still holds is cut loose.
  EXPECT_EQ(a11->Tree(), nullptr);
  EXPECT_EQ(a11->Parent(), nullptr);
  EXPECT_EQ(ErrorNumberOf([&] { a11->Index(); }), 35605);
  // Removing the selected node leaves no selection.
  EXPECT_EQ(tree.SelectedItem(), nullptr);
  EXPECT_FALSE(a11->Selected());

  // By position, and by the node itself.
  nodes.Remove(2);  // B and B1
  EXPECT_EQ(KeysByIndex(nodes), (std::vector<std::string>{"R", "A1"}));
  nodes.Remove(nodes.Item("A1"));
  EXPECT_EQ(std::make_pair(nodes.Count(), nodes.Item("R")->Children()), std::make_pair(1, 0));

  nodes.Clear();
  EXPECT_EQ(nodes.TopLevelCount(), 0);
  nodes.Add(Variant(), tvwFirst, "R", "again");
  EXPECT_EQ(nodes.Item(1)->Text(), "again");
}

TEST(ToolkitTree, SelectionMovesAndImagesByNumber) {
  TreeView tree;
  Nodes& nodes = tree.Nodes();
  nodes.Add(Variant(), tvwFirst, "R", "r");
  NodePtr a = nodes.Add("R", tvwChild, "A", "a");
  NodePtr a1 = nodes.Add("A", tvwChild, "A1", "a1");
  a1->Selected(true);
  a->Selected(true);
  EXPECT_FALSE(a1->Selected());
  a->Selected(false);
  EXPECT_EQ(tree.SelectedItem(), nullptr);
  ImageList images({"BLANK", "ROOTKEY", "STRVAL"});
  tree.ImageList(&images);
  EXPECT_EQ(nodes.Add("R", tvwChild, "N", "n", 2)->Image(), "ROOTKEY");
}

}  // namespace
}  // namespace qvr::toolkit
