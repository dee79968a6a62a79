// Change notifications of the toolkit model that a view relies on beyond the
// insertions, removals and reorderings (whose consistency the Qt view tests
// check with Qt's model tester): which field changed, scrolling, the widget's
// own state, and who hears them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace qvr::toolkit {
namespace {

class TreeLog : public TreeViewObserver, public WidgetObserver {
 public:
  void NodeInserted(Node& node) override { log.push_back("inserted " + node.Key()); }
  void NodeChanged(Node& node, NodeField field) override {
    static const char* names[] = {"text", "image", "selected-image", "expanded", "checked", "selected"};
    log.push_back("changed " + node.Key() + " " + names[static_cast<int>(field)]);
  }
  void NodeScrolledIntoView(Node& node) override { log.push_back("scroll " + node.Key()); }
  void WidgetMoved(Widget&) override { log.push_back("moved"); }
  void WidgetPropertyChanged(Widget&, WidgetProperty p) override {
    log.push_back("property " + std::to_string(static_cast<int>(p)));
  }
  std::vector<std::string> log;
};

TEST(ToolkitNotifications, NodeChangesWidgetStateAndObservers) {
  TreeView tree;
  TreeLog first, second;
  tree.AddObserver(&first);
  tree.AddObserver(&second);
  tree.AddWidgetObserver(&first);
  Nodes& nodes = tree.Nodes();
  nodes.Add(Variant(), tvwFirst, "R", "r");
  nodes.Add("R", tvwChild, "A", "a");
  NodePtr a1 = nodes.Add("A", tvwChild, "A1", "a1");
  nodes.Add("A", tvwPrevious, "Z", "z");
  EXPECT_EQ(first.log, (std::vector<std::string>{"inserted R", "inserted A", "inserted A1", "inserted Z"}));
  first.log.clear();

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
  EXPECT_EQ(second.log.size(), 14u);
  tree.RemoveObserver(&second);
  nodes.Add(Variant(), tvwFirst, "S", "s");
  EXPECT_EQ(second.log.size(), 14u);
  EXPECT_EQ(SendMessageA(0, WM_SETREDRAW, 0, 0), 0);  // no such window
}

class ListLog : public ListViewObserver {
 public:
  void ItemChanged(ListItem& item, ListItemField field, int32_t column) override {
    log.push_back("changed " + item.Text() + " " + std::to_string(static_cast<int>(field)) + "/" +
                  std::to_string(column));
  }
  void SortPending() override { log.push_back("sort-pending"); }
  std::vector<std::string> log;
};

TEST(ToolkitNotifications, ListItemChangesAndPendingSort) {
  ListView list;
  ListLog log;
  list.AddObserver(&log);
  for (const char* key : {"NAME", "KIND", "VALUE"}) list.ColumnHeaders().Add(0, key, key);
  list.ListItems().Add(Variant(), Variant(), "b");
  ListItemPtr a = list.ListItems().Add(Variant(), Variant(), "a");
  a->SubItems(2, "data");
  a->Checked(true);
  list.Sorted(true);  // sorts at once
  list.ListItems().Add(Variant(), Variant(), "0");  // added at the end, pending
  EXPECT_TRUE(list.SortIsPending());
  list.Arrange(lvwAutoTop);  // settles
  EXPECT_FALSE(list.SortIsPending());
  EXPECT_EQ(log.log, (std::vector<std::string>{"changed a 1/2", "changed a 4/0", "sort-pending"}));
  list.ListItems().Clear();
  EXPECT_EQ(a->List(), nullptr);
}

}  // namespace
}  // namespace qvr::toolkit
