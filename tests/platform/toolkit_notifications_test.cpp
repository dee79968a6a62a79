// Change notifications of the toolkit model, as a view observes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/toolkit/toolkit.h"

namespace qvr::toolkit {
namespace {

std::string Name(const Node* n) { return n ? n->Key() : "<top>"; }

// Writes every notification as one line, checking on the way that the tree
// is in the state each one promises.
class TreeLog : public TreeViewObserver, public WidgetObserver {
 public:
  void NodeAboutToBeInserted(Node* parent, int32_t row) override {
    log.push_back("about-insert " + Name(parent) + "#" + std::to_string(row));
    pending_parent_ = parent;
    pending_row_ = row;
  }
  void NodeInserted(Node& node) override {
    EXPECT_EQ(node.ParentNode(), pending_parent_);
    EXPECT_EQ(node.Row(), pending_row_);
    log.push_back("inserted " + node.Key());
  }
  void NodeAboutToBeRemoved(Node& node) override {
    EXPECT_NE(node.Tree(), nullptr);  // still in place
    log.push_back("about-remove " + node.Key() + " " + std::to_string(node.Children()));
  }
  void NodeRemoved(Node* parent, int32_t row) override {
    log.push_back("removed " + Name(parent) + "#" + std::to_string(row));
  }
  void NodesAboutToBeCleared() override { log.push_back("about-clear"); }
  void NodesCleared() override { log.push_back("cleared"); }
  void NodeChanged(Node& node, NodeField field) override {
    static const char* names[] = {"text", "image", "selected-image", "expanded", "checked", "selected"};
    log.push_back("changed " + node.Key() + " " + names[static_cast<int>(field)]);
  }
  void NodeScrolledIntoView(Node& node) override { log.push_back("scroll " + node.Key()); }
  void WidgetMoved(Widget& w) override { log.push_back("moved"); }
  void WidgetPropertyChanged(Widget& w, WidgetProperty p) override {
    log.push_back("property " + std::to_string(static_cast<int>(p)));
  }

  std::vector<std::string> log;

 private:
  Node* pending_parent_ = nullptr;
  int32_t pending_row_ = -1;
};

TEST(ToolkitNotifications, TreeChangesReachEveryObserver) {
  TreeView tree;
  TreeLog first, second;
  tree.AddObserver(&first);
  tree.AddObserver(&second);
  tree.AddWidgetObserver(&first);
  Nodes& nodes = tree.Nodes();
  nodes.Add(Variant(), tvwFirst, "R", "r");
  nodes.Add("R", tvwChild, "A", "a");
  nodes.Add("A", tvwChild, "A1", "a1");
  nodes.Add("A", tvwPrevious, "Z", "z");
  EXPECT_EQ(first.log, (std::vector<std::string>{
                           "about-insert <top>#0", "inserted R", "about-insert R#0", "inserted A",
                           "about-insert A#0", "inserted A1", "about-insert R#0", "inserted Z"}));
  first.log.clear();

  NodePtr a1 = nodes.Item("A1");
  a1->Text("A one");
  a1->Text("A one");  // no change, no notification
  a1->Image("SELECTKEY");
  a1->SelectedImage("SELECTOPEN");
  a1->Checked(true);
  a1->Selected(true);
  nodes.Item("Z")->Selected(true);
  a1->EnsureVisible();
  EXPECT_EQ(first.log, (std::vector<std::string>{
                           "changed A1 text", "changed A1 image", "changed A1 selected-image",
                           "changed A1 checked", "changed A1 selected", "changed A1 selected",
                           "changed Z selected", "changed R expanded", "changed A expanded",
                           "scroll A1"}));
  first.log.clear();

  nodes.Remove("A");
  nodes.Clear();
  EXPECT_EQ(first.log, (std::vector<std::string>{"about-remove A 1", "removed R#1", "about-clear",
                                                 "cleared"}));
  first.log.clear();

  // The widget's own state: redraw switch by window message, pointer, boxes.
  SendMessageA(tree.hWnd(), WM_SETREDRAW, 0, 0);
  EXPECT_FALSE(tree.Redraw());
  SendMessageA(tree.hWnd(), WM_SETREDRAW, -1, 0);
  EXPECT_TRUE(tree.Redraw());
  tree.MousePointer(ccHourglass);
  tree.Checkboxes(true);
  tree.Refresh();
  tree.Move(0, 0, 4800, 1855);
  auto property = [](WidgetProperty p) { return "property " + std::to_string(static_cast<int>(p)); };
  using enum WidgetProperty;
  EXPECT_EQ(first.log, (std::vector<std::string>{property(kRedraw), property(kRedraw),
                                                 property(kMousePointer), property(kCheckboxes),
                                                 property(kRefresh), "moved"}));
  // The second observer heard the nodes too; removed observers hear nothing.
  EXPECT_EQ(second.log.size(), 22u);
  tree.RemoveObserver(&second);
  nodes.Add(Variant(), tvwFirst, "R", "r");
  EXPECT_EQ(second.log.size(), 22u);
  EXPECT_EQ(SendMessageA(0, WM_SETREDRAW, 0, 0), 0);  // no such window
}

class ListLog : public ListViewObserver {
 public:
  void ItemAboutToBeInserted(int32_t row) override { log.push_back("about-insert " + std::to_string(row)); }
  void ItemInserted(ListItem& item) override { log.push_back("inserted " + item.Text()); }
  void ItemAboutToBeRemoved(ListItem& item) override { log.push_back("about-remove " + item.Text()); }
  void ItemRemoved(int32_t row) override { log.push_back("removed " + std::to_string(row)); }
  void ItemsAboutToBeCleared() override { log.push_back("about-clear"); }
  void ItemsCleared() override { log.push_back("cleared"); }
  void ItemsAboutToBeReordered() override { log.push_back("about-reorder"); }
  void ItemsReordered() override { log.push_back("reordered"); }
  void ItemChanged(ListItem& item, ListItemField field, int32_t column) override {
    log.push_back("changed " + item.Text() + " " + std::to_string(static_cast<int>(field)) + "/" +
                  std::to_string(column));
  }
  void SortPending() override { log.push_back("sort-pending"); }
  std::vector<std::string> log;
};

TEST(ToolkitNotifications, ListRowsAndReordering) {
  ListView list;
  ListLog log;
  list.AddObserver(&log);
  list.ColumnHeaders().Add(0, "NAME", "Name");
  list.ColumnHeaders().Add(0, "KIND", "Type");
  list.ColumnHeaders().Add(0, "VALUE", "Data");
  ListItemPtr b = list.ListItems().Add(Variant(), Variant(), "b");
  ListItemPtr a = list.ListItems().Add(Variant(), Variant(), "a");
  a->SubItems(2, "data");
  a->Checked(true);
  EXPECT_EQ(log.log, (std::vector<std::string>{"about-insert 0", "inserted b", "about-insert 1",
                                               "inserted a", "changed a 1/2", "changed a 4/0"}));
  log.log.clear();
  list.Sorted(true);  // sorts at once
  ListItemPtr c = list.ListItems().Add(Variant(), Variant(), "0");  // added at the end, pending
  EXPECT_TRUE(list.SortIsPending());
  list.Arrange(lvwAutoTop);  // settles
  EXPECT_FALSE(list.SortIsPending());
  list.ListItems().Remove(1);
  list.ListItems().Clear();
  EXPECT_EQ(log.log, (std::vector<std::string>{
                         "about-reorder", "reordered", "about-insert 2", "inserted 0",
                         "sort-pending", "about-reorder", "reordered", "about-remove 0",
                         "removed 0", "about-clear", "cleared"}));
  EXPECT_EQ(a->List(), nullptr);
}

}  // namespace
}  // namespace qvr::toolkit
